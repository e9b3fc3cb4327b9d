#include "stopwatch/stopwatch.h"

#include "common/numbers.h"

namespace timers {

namespace {
QString twoDigitText(std::int64_t value) { return QString::fromStdString(twoDigits(value)); }
} // namespace

Stopwatch::Stopwatch(StopwatchView& view, TickTimer& tmrTime)
    : m_view(view)
    , m_tmrTime(tmrTime)
{
}

void Stopwatch::startOrStop()
{
    if (m_tmrTime.isActive()) {
        m_tmrTime.stop();
        m_view.setStartCaption(QStringLiteral("Start"));
        return;
    }
    m_hours = m_minutes = m_seconds = 0;
    show();
    m_tmrTime.start();
    m_view.setStartCaption(QStringLiteral("Stop"));
}

void Stopwatch::tick()
{
    if (++m_seconds == 60) {
        m_seconds = 0;
        if (++m_minutes == 60) {
            m_minutes = 0;
            ++m_hours;
        }
    }
    show();
}

void Stopwatch::show() { m_view.showElapsed(twoDigitText(m_hours), twoDigitText(m_minutes), twoDigitText(m_seconds)); }

} // namespace timers
