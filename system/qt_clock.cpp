#include "system/qt_clock.h"

#include <ctime>

namespace timers {

namespace {
// More than a countdown can last (2^31 - 1 s): a start time at the scale's zero, as Cancel
// leaves it, has always passed.
constexpr std::int64_t kScaleZeroBeforeStart = std::int64_t(1) << 32;
} // namespace

std::int64_t QtClock::now() const { return secondsOnScale(millisecondsSinceStart()); }

std::int64_t QtClock::millisecondsSinceStart()
{
    timespec time{};
    ::clock_gettime(CLOCK_BOOTTIME, &time);
    return std::int64_t(time.tv_sec) * 1000 + time.tv_nsec / 1'000'000;
}

std::int64_t QtClock::secondsOnScale(std::int64_t msSinceStart) { return kScaleZeroBeforeStart + msSinceStart / 1000; }

} // namespace timers
