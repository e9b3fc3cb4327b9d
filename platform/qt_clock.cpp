#include "qt_clock.h"


namespace timers {

std::int64_t QtClock::now() const { return secondsOnScale(QDateTime::currentDateTime()); }

std::int64_t QtClock::secondsOnScale(const QDateTime& local)
{
    static const QDate kScaleZero(1899, 12, 30);
    return kScaleZero.daysTo(local.date()) * std::int64_t(86400) + local.time().msecsSinceStartOfDay() / 1000;
}

} // namespace timers
