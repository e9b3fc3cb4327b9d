#include "system/state_folder.h"

#include <QDir>

namespace timers {

QString stateFolder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/timers");
}

} // namespace timers
