#pragma once

#include "stopwatch/stopwatch_view.h"
#include "system/tick_timer.h"

#include <cstdint>

namespace timers {

// Hours:minutes:seconds counted in ticks of tmrTime: each tick is one second, whatever the
// real interval was. Start always begins again at 00:00:00; there is no resume.
class Stopwatch {
public:
    Stopwatch(StopwatchView& view, TickTimer& tmrTime);

    // The Start/Stop button: starts again from 00:00:00, or stops.
    void startOrStop();
    // One tick of tmrTime: one second more.
    void tick();

    bool running() const { return m_tmrTime.isActive(); }

private:
    void show();

    StopwatchView& m_view;
    TickTimer& m_tmrTime;
    std::int64_t m_hours = 0; // no upper bound: 100 and more show three digits
    int m_minutes = 0;
    int m_seconds = 0;
};

} // namespace timers
