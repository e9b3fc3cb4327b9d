#include "qt_clock.h"

#include <QDateTime>

namespace timers {

std::int64_t QtClock::now() const
{
    static const QDate kScaleZero(1899, 12, 30);
    const QDateTime local = QDateTime::currentDateTime();
    return kScaleZero.daysTo(local.date()) * std::int64_t(86400) + local.time().msecsSinceStartOfDay() / 1000;
}

} // namespace timers
