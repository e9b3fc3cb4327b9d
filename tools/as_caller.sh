# Sourced by the setup scripts. Started through sudo, packages are installed as root, but the
# build and the program run as the user who called sudo, with that user's home, so that nothing
# in the clone or the settings ends up owned by root.
as_caller() {
    if [ "$(id -u)" = 0 ] && [ -n "${SUDO_USER:-}" ] && [ "$SUDO_USER" != root ]; then
        local home runtime
        home=$(getent passwd "$SUDO_USER" | cut -d: -f6)
        runtime=/run/user/$(id -u "$SUDO_USER") # the user's session bus and sound server live there
        [ -d "$runtime" ] || runtime=
        runuser -u "$SUDO_USER" -- env HOME="$home" USER="$SUDO_USER" LOGNAME="$SUDO_USER" \
            ${runtime:+XDG_RUNTIME_DIR="$runtime"} "$@"
    else
        "$@"
    fi
}
