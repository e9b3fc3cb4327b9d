#include "system/qt_tick_timer.h"

#include "system/qt_clock.h"

namespace timers {

namespace {
constexpr int kPeriodMs = 1000;
constexpr int kMidSecondMs = 500;
} // namespace

QtTickTimer::QtTickTimer(Phase phase, QObject* parent)
    : SignallingTickTimer(parent)
    , m_phase(phase)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    if (m_phase == Phase::FreeRunning) {
        m_timer.setInterval(kPeriodMs);
        connect(&m_timer, &QTimer::timeout, this, &QtTickTimer::ticked);
    } else {
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            armMidSecond(true);
            Q_EMIT ticked();
        });
    }
}

void QtTickTimer::start()
{
    if (m_timer.isActive())
        return;
    if (m_phase == Phase::FreeRunning)
        m_timer.start();
    else
        armMidSecond(false);
}

void QtTickTimer::stop() { m_timer.stop(); }

bool QtTickTimer::isActive() const { return m_timer.isActive(); }

int QtTickTimer::delayToMidSecond(int msIntoSecond, bool afterTick)
{
    // After a tick, aim at the middle of the next second, whether the tick came a little early
    // or late; a first start takes the nearest middle ahead.
    const int toNextSecondsMiddle = kPeriodMs + kMidSecondMs - msIntoSecond;
    return afterTick ? toNextSecondsMiddle : toNextSecondsMiddle % kPeriodMs;
}

void QtTickTimer::armMidSecond(bool afterTick)
{
    const int msIntoSecond = int(QtClock::millisecondsSinceStart() % kPeriodMs);
    m_timer.start(delayToMidSecond(msIntoSecond, afterTick));
}

} // namespace timers
