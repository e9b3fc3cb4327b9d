#pragma once

#include "system/signalling_tick_timer.h"

#include <QTimer>

namespace timers {

// A 1000 ms tick. FreeRunning starts its phase when started (the stopwatch counts ticks).
// MidSecond ticks half-way between the second boundaries of the countdown's steady clock
// (QtClock), so a tick that reads that whole-second clock is never within jitter of a boundary:
// a countdown never shows a second twice or skips one, and ends within half a second of its
// set length plus one. Each tick aims anew, so the phase holds after a suspend too.
class QtTickTimer final : public SignallingTickTimer {
    Q_OBJECT
public:
    enum class Phase { FreeRunning, MidSecond };

    explicit QtTickTimer(Phase phase, QObject* parent = nullptr);

    void start() override;
    void stop() override;
    bool isActive() const override;

    // Milliseconds from a moment `msIntoSecond` into a second of the steady clock to the next tick.
    // After a tick the next one is in the following second, so a tick that fires a little
    // early is not repeated at once.
    static int delayToMidSecond(int msIntoSecond, bool afterTick);

private:
    void armMidSecond(bool afterTick);

    Phase m_phase;
    QTimer m_timer;
};

} // namespace timers
