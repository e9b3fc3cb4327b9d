#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>

namespace timers {

// Hundredths of a second: the finest a person types for a device.
using Centiseconds = std::chrono::duration<long long, std::centi>;

// A duration as people type it for a device, read in full or not at all:
//   seconds   "90", "12.5", "0.7"
//   a clock   "1:30", "1:02.3", "1:02:03": minutes or hours first, then fields of two digits
//             below 60
//   units     "90s", "5m", "1.5m", "1h30m", "1h 30m", "5 min", "2 minutes", "1h30" (a bare
//             number after a unit counts in the next smaller one); letters in either case
// with blanks around the whole, at most two decimals, and a fraction only on the last number.
// Anything else ("-5", "1e3", "1:60", "5x", "") is refused. A sum too large for the type stays
// at its largest value, which no countdown accepts.
std::optional<Centiseconds> readDuration(std::string_view text);

// The forms above, for a message that refuses a text.
inline constexpr char kDurationForms[] = "90, 12.5, 1:30, 1:02.3, 1:02:03, 90s, 5m, 1.5m or 1h30m";

// The seconds the Set prompt reads from its answer. A duration with a unit or a colon ("2m",
// "1:30", "5 min") means what it says, in whole seconds rounded ties-to-even; anything else
// ("90", "1 20", "12x", "-5", "abc") is read by its leading number, blanks skipped (numbers.h).
// Empty when the value lies outside the 32-bit range.
std::optional<std::int32_t> promptSeconds(std::string_view answer);

} // namespace timers
