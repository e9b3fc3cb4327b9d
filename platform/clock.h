#pragma once

#include <cstdint>

namespace timers {

// Local wall-clock time truncated to the whole second, counted in seconds from
// 1899-12-30 00:00:00 local time. Setting the system clock moves it.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::int64_t now() const = 0;
};

} // namespace timers
