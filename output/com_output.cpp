#include "output/com_output.h"

#include "common/numbers.h"
#include "system/diagnostics.h"

#include <algorithm>

namespace timers {

ComOutput::ComOutput(const ComSettings& settings, SerialPort& port, Report report)
    : m_settings(settings)
    , m_port(port)
    , m_report(std::move(report))
{
}

bool ComOutput::outputOn() const { return m_settings.onOffText() == QLatin1String("ON"); }

bool ComOutput::selectsRts() const { return m_settings.pinText().endsWith(QLatin1String("RTS")); }

QString ComOutput::selectedLineName() const { return selectsRts() ? QStringLiteral("RTS") : QStringLiteral("DTR"); }

bool ComOutput::setSelectedLine(bool asserted)
{
    return selectsRts() ? m_port.setRts(asserted) : m_port.setDtr(asserted);
}

bool ComOutput::engage(std::int32_t seconds, std::uint64_t number)
{
    if (!outputOn()) {
        // The countdown before may hold a line, switched on before the output was switched
        // off: a new countdown ends it, as it would have ended with the output on.
        switchOffHeldLine();
        return true;
    }
    const auto deadline = std::chrono::seconds(std::max(seconds, 0)) + kDeadlineGrace;
    if (m_port.isOpen()) {
        m_port.lowerLinesAfter(deadline, number);
        // Still open from an earlier Set whose pin may have been changed since: the line that
        // is not selected goes off before the selected one comes on, so both are never up.
        if (!(selectsRts() ? m_port.setDtr(false) : m_port.setRts(false)))
            return engageFailed(m_port.errorText());
        if (m_held && m_held->line != selectedLineName())
            m_held.reset(); // it went down just now
    } else {
        const QString text = m_settings.portNumberText();
        const auto port = leadingInt16(text.toStdString());
        if (!port)
            return engageFailed(QStringLiteral("the port number \"%1\" is out of range").arg(text));
        if (!m_port.selectPort(*port) || !m_port.open())
            return engageFailed(m_port.errorText());
        m_port.lowerLinesAfter(deadline, number);
    }
    if (!setSelectedLine(true))
        return engageFailed(m_port.errorText());
    m_held = HeldLine{m_port.device(), selectedLineName()};
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
    switchOffHeldLine();
    return on;
}

bool ComOutput::switchOffHeldLine()
{
    const bool held = m_port.isOpen();
    if (held && !m_port.close())
        m_report(m_port.errorText());
    m_held.reset(); // closing drops both lines, even when it reports a failure
    return held;
}

void ComOutput::lowerLinesAtExit()
{
    if (m_port.isOpen() && !m_port.lowerLines())
        m_report(m_port.errorText());
}

void ComOutput::reportDeadlinePassed()
{
    m_report(QStringLiteral("the countdown did not end in time: the COM output switched the device off %1 s after "
                            "the countdown's end")
                 .arg(kDeadlineGrace.count()));
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
