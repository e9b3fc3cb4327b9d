#include "common/remaining_time.h"

#include "common/numbers.h"

namespace timers {

std::string minutesSeconds(std::int64_t seconds)
{
    std::int64_t minutes = seconds / 60;
    const std::int64_t rest = seconds % 60; // C++ keeps the sign of the dividend
    if (rest < 0)
        --minutes;
    return twoDigits(minutes) + ":" + twoDigits(rest);
}

} // namespace timers
