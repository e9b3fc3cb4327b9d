#pragma once

#include <optional>
#include <string_view>

namespace timers {

// A duration as people type it in scripts, in seconds: "1:30", "1:02:03" (minutes or hours
// first, then two-digit fields below 60), "90s", "5m", "1h30m" (h, m and s in that order, each
// at most once). Any other text, a plain number among them, gives nullopt: it is passed on as
// typed. Sums too large for the type stay at its largest value, which no countdown accepts.
std::optional<long long> scriptDuration(std::string_view text);

} // namespace timers
