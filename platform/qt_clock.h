#pragma once

#include "clock.h"

#include <QDateTime>

namespace timers {

class QtClock final : public Clock {
public:
    std::int64_t now() const override;
    static std::int64_t secondsOnScale(const QDateTime& local);
};

} // namespace timers
