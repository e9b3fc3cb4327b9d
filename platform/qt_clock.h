#pragma once

#include "clock.h"

namespace timers {

class QtClock final : public Clock {
public:
    std::int64_t now() const override;
};

} // namespace timers
