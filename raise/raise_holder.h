#pragma once

#include <QString>

#include <chrono>
#include <sys/types.h>

namespace timers {

// Asks the Timers that runs as process `pid` to bring its window to the front: Raise() at
// /org/vorn/Timers/Window on whichever of its connections to the session bus offers it (also
// one that runs without the script interface's name). A Timers offers it once its window
// shows, so the ask is repeated until `within` has passed. Made by a program that shows no
// window of its own: the calls block. False, with `why`, when no answer came.
bool raiseWindowOf(pid_t pid, std::chrono::milliseconds within, QString& why);

} // namespace timers
