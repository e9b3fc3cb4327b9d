#include "system/diagnostics.h"

namespace timers {

Q_LOGGING_CATEGORY(lcTimers, "timers")

QString quoted(const QString& text)
{
    constexpr qsizetype kShown = 40;
    if (text.size() <= kShown)
        return QStringLiteral("\"%1\"").arg(text);
    return QStringLiteral("\"%1...\" (%2 characters)").arg(text.left(kShown)).arg(text.size());
}

} // namespace timers
