# The folders that hold the project's sources, for the scripts that go over all of them.
# shellcheck disable=SC2034 # read by the scripts that source this file
source_folders=(app bench common comport countdown ctl desktop input output raise recent remote runlog serial settings sound stopwatch system tests
    tools tray window_layout)
