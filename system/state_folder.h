#pragma once

#include <QString>

namespace timers {

// The program's folder for what it keeps between runs that is not a setting (the recent answers,
// the record of runs): $XDG_STATE_HOME/timers, or ~/.local/state/timers. A relative
// XDG_STATE_HOME is ignored: it would follow the working folder.
QString stateFolder();

// Makes `folder` and those above it; why it cannot, or an empty text. (QDir::mkpath gives no
// reason, and a QSaveFile that never opened says only "Unknown error".)
QString makeFolder(const QString& folder);

} // namespace timers
