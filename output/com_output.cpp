#include "output/com_output.h"

#include "common/numbers.h"
#include "system/diagnostics.h"

#include <algorithm>
#include <ctime>

namespace timers {

ComOutput::ComOutput(const ComSettings& settings, SerialPort& port, Report report, Now now)
    : m_settings(settings)
    , m_port(port)
    , m_report(std::move(report))
    , m_now(std::move(now))
{
}

std::int64_t ComOutput::bootTimeNs()
{
    timespec now{};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    return std::int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

void ComOutput::switchedOn(std::chrono::milliseconds length)
{
    m_onSince = m_now();
    m_timerEnds = m_onSince + std::chrono::nanoseconds(length).count();
    if (!m_run)
        m_run = DeviceRun{*m_held, {}};
}

// Where the port's timer switched the device off, it did so at its end, which came first.
void ComOutput::switchedOff()
{
    if (m_onSince < 0 || !m_run)
        return;
    const std::int64_t off = std::min(m_now(), m_timerEnds);
    m_run->on += std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::nanoseconds(off - m_onSince));
    m_onSince = -1;
}

std::optional<DeviceOutput::DeviceRun> ComOutput::takeRun()
{
    const bool on = m_onSince >= 0;
    const std::int64_t ends = m_timerEnds;
    switchedOff();
    std::optional<DeviceRun> run = std::exchange(m_run, std::nullopt);
    if (on && m_held) { // still on: a new count from now
        m_onSince = m_now();
        m_timerEnds = ends;
        m_run = DeviceRun{*m_held, {}};
    }
    return run;
}

bool ComOutput::outputOn() const { return m_settings.onOffText() == QLatin1String("ON"); }

bool ComOutput::selectsRts() const { return m_settings.pinText().endsWith(QLatin1String("RTS")); }

QString ComOutput::selectedLineName() const { return selectsRts() ? QStringLiteral("RTS") : QStringLiteral("DTR"); }

bool ComOutput::setSelectedLine(bool asserted)
{
    return selectsRts() ? m_port.setRts(asserted) : m_port.setDtr(asserted);
}

bool ComOutput::engage(std::chrono::milliseconds length, std::uint64_t number)
{
    m_paused.reset();
    m_run.reset(); // a new countdown's run: the one before was taken, or counts no more
    m_onSince = -1;
    if (!outputOn()) {
        // The countdown before may hold a line, switched on before the output was switched
        // off: a new countdown ends it, as it would have ended with the output on.
        switchOffDevice();
        return true;
    }
    if (m_port.isOpen()) {
        // Still open from an earlier Set whose pin may have been changed since: the line that
        // is not selected goes off before the selected one comes on, so both are never up.
        if (!(selectsRts() ? m_port.setDtr(false) : m_port.setRts(false)))
            return engageFailed(m_port.errorText());
        if (m_held && m_held->name != selectedLineName()) {
            switchedOff();
            m_held.reset(); // it went down just now
        }
    } else {
        const QString text = m_settings.portNumberText();
        const auto port = leadingInt16(text.toStdString());
        if (!port)
            return engageFailed(QStringLiteral("the port number \"%1\" is out of range").arg(text));
        if (!m_port.selectPort(*port) || !m_port.open())
            return engageFailed(m_port.errorText());
    }
    if (length <= std::chrono::milliseconds::zero()) {
        // A countdown of no length: the device is on for none of it.
        m_port.stopDeadline();
        if (m_held && !setSelectedLine(false))
            return engageFailed(m_port.errorText());
        switchedOff();
        m_held.reset();
        return true;
    }
    // Armed just before the line goes up: the port's own timer ends the device's time.
    m_port.lowerLinesAfter(length, number);
    if (!setSelectedLine(true))
        return engageFailed(m_port.errorText());
    m_held = DeviceOn{m_port.device(), selectedLineName()};
    switchedOn(length);
    return true;
}

bool ComOutput::pause()
{
    if (!m_held)
        return false;
    const std::chrono::milliseconds left = m_port.stopDeadline();
    if (!m_port.lowerLines())
        m_report(m_port.errorText());
    switchedOff();
    m_paused = Paused{*m_held, left};
    m_held.reset();
    return true;
}

bool ComOutput::resume(std::uint64_t number)
{
    const std::optional<Paused> paused = std::exchange(m_paused, std::nullopt);
    if (!paused || paused->left <= std::chrono::milliseconds::zero())
        return true; // nothing was on, or its time had run out as it paused
    if (!m_port.isOpen())
        return engageFailed(QStringLiteral("%1 closed during the pause").arg(paused->device.port));
    m_port.lowerLinesAfter(paused->left, number);
    // The line that was on, whatever the pin text says now.
    const bool rts = paused->device.name == QLatin1String("RTS");
    if (!(rts ? m_port.setRts(true) : m_port.setDtr(true)))
        return engageFailed(m_port.errorText());
    m_held = paused->device;
    switchedOn(paused->left);
    return true;
}

bool ComOutput::engageFailed(const QString& reason)
{
    m_failure = reason;
    m_report(reason);
    return false;
}

bool ComOutput::release()
{
    const bool on = outputOn();
    if (on && !setSelectedLine(false))
        m_report(m_port.errorText());
    // Whatever the texts say now, what engage switched on goes off: closing drops both lines.
    switchOffDevice();
    return on;
}

bool ComOutput::switchOffDevice()
{
    const bool held = m_port.isOpen();
    if (held && !m_port.close())
        m_report(m_port.errorText());
    switchedOff();
    m_held.reset(); // closing drops both lines, even when it reports a failure
    m_paused.reset();
    return held;
}

void ComOutput::switchOffAtExit()
{
    if (m_port.isOpen() && !m_port.lowerLines())
        m_report(m_port.errorText());
}

void ComOutput::portNumberEdited(const QString& text)
{
    const auto number = strictInt16(text.toStdString());
    if (!number) {
        m_report(QStringLiteral("%1 is not a port number").arg(quoted(text)));
        return;
    }
    if (!m_port.selectPort(*number))
        m_report(m_port.errorText());
}

} // namespace timers
