# Read by cpack before it builds the package: the package's Depends come from dpkg-shlibdeps
# (dpkg-dev), which needs `file`; without them CPack would only warn and leave Depends out.
foreach(tool IN ITEMS file dpkg-shlibdeps)
    find_program(timers_tool_${tool} ${tool})
    if(NOT timers_tool_${tool})
        message(FATAL_ERROR "${tool} is missing, so the package's dependencies cannot be computed; "
            "install file and dpkg-dev (tools/package.sh does).")
    endif()
endforeach()
