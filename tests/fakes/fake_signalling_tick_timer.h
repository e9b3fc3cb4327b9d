#pragma once

#include "system/signalling_tick_timer.h"

namespace timers::fakes {

// A tick timer the test ticks by hand: tick() delivers a tick while the timer runs.
class FakeSignallingTickTimer final : public SignallingTickTimer {
public:
    void start() override { m_active = true; }
    void stop() override { m_active = false; }
    bool isActive() const override { return m_active; }
    void tick()
    {
        if (m_active)
            Q_EMIT ticked();
    }

private:
    bool m_active = false;
};

} // namespace timers::fakes
