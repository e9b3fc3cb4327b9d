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

std::string durationLabel(std::int64_t seconds)
{
    const std::int64_t hours = seconds / 3600;
    const std::string minutesAndSeconds = twoDigits(seconds / 60 % 60) + ":" + twoDigits(seconds % 60);
    if (hours > 0)
        return std::to_string(hours) + ":" + minutesAndSeconds;
    return std::to_string(seconds / 60) + ":" + twoDigits(seconds % 60);
}

} // namespace timers
