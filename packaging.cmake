# A Debian package of the installed files: tools/package.sh, or cpack -G DEB in the build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME timers)
set(CPACK_PACKAGE_VENDOR Vorn)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "countdown timer that switches a device through a serial port")
set(CPACK_PACKAGE_DESCRIPTION "\
Timers counts down a number of seconds and then plays an alarm (with a desktop
notification) or shows a message box. While it counts down, it can hold the
DTR or RTS control line of a serial port asserted, so that a device wired to
that pin through a relay, such as a UV exposure lamp, a pump or a light, is on
for exactly the countdown. Any USB serial adapter works. It also has an
hours:minutes:seconds stopwatch.")
# The maintainer is whoever signs the changelog's newest entry, so the two never disagree.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/data/changelog timers_signature REGEX "^ -- " LIMIT_COUNT 1)
string(REGEX REPLACE "^ -- (.*>)  .*$" "\\1" CPACK_PACKAGE_CONTACT "${timers_signature}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core, fonts-dejavu-extra, fonts-liberation2, qt6-wayland, pulseaudio | pipewire-pulse")
# Install with DESTDIR, so that paths written at install time (the desktop entry's) say /usr.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Without `file` and dpkg-shlibdeps, CPack would quietly build a package with no Depends.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/tools/package_checks.cmake)
# The default component and the package's own files (lintian's override).
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};Unspecified;/;${CMAKE_BINARY_DIR};${PROJECT_NAME};debian;/")
include(CPack)

# Packages carry no compiler identification: .comment goes from the installed binaries, as
# Debian's own packaging tools remove it.
install(CODE "
    foreach(binary ${CMAKE_INSTALL_BINDIR}/timers ${CMAKE_INSTALL_BINDIR}/timers-ctl ${TIMERS_MODULE_DIR}/timers-sound.so)
        execute_process(COMMAND ${CMAKE_OBJCOPY} --remove-section=.comment
            \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${binary}\" COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
")
