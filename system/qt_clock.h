#pragma once

#include "system/clock.h"

namespace timers {

// The steady clock is CLOCK_BOOTTIME: it counts suspended time (a countdown whose time passed
// in a suspend completes at the first tick after resume) and no clock setting moves it.
class QtClock final : public Clock {
public:
    std::int64_t now() const override;

    // Milliseconds since the machine started, suspended time included.
    static std::int64_t millisecondsSinceStart();
    // The scale of now(): whole seconds since the machine started, counted from 2^32 s before.
    static std::int64_t secondsOnScale(std::int64_t msSinceStart);
};

} // namespace timers
