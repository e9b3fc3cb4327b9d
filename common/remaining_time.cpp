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

std::string durationLabel(Centiseconds length)
{
    const long long seconds = length.count() / 100;
    const long long hundredths = length.count() % 100;
    std::string fraction;
    if (hundredths != 0)
        fraction = "." + std::to_string(hundredths / 10)
                 + (hundredths % 10 != 0 ? std::to_string(hundredths % 10) : "");
    const long long hours = seconds / 3600;
    if (hours > 0)
        return std::to_string(hours) + ":" + twoDigits(seconds / 60 % 60) + ":" + twoDigits(seconds % 60) + fraction;
    return std::to_string(seconds / 60) + ":" + twoDigits(seconds % 60) + fraction;
}

} // namespace timers
