#pragma once

#include <QString>

namespace timers {

// The program's folder for what it keeps between runs that is not a setting (the recent answers,
// the record of runs): $XDG_STATE_HOME/timers, or ~/.local/state/timers. A relative
// XDG_STATE_HOME is ignored: it would follow the working folder.
QString stateFolder();

} // namespace timers
