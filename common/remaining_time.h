#pragma once

#include "common/duration.h"

#include <cstdint>
#include <string>

namespace timers {

// The mm:ss form of a second count: minutes rounded towards minus infinity, seconds as the
// remainder with the sign of the count. 75 -> "01:15", 6000 -> "100:00", -5 -> "-01:-05".
std::string minutesSeconds(std::int64_t seconds);

// A length of time as a menu names it: "0:07", "12:34", "0:12.5", then hours: "1:30:00".
std::string durationLabel(Centiseconds length);

} // namespace timers
