#pragma once

#include <cstdint>

namespace timers {

// Whole seconds on a steady scale: the time since the machine started, time spent suspended
// included, so that neither the time zone, a daylight-saving change nor a setting of the system
// clock moves it. The scale's zero lies far enough back that the time elapsed from it exceeds
// any countdown.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::int64_t now() const = 0;
};

} // namespace timers
