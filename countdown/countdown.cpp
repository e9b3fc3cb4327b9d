#include "countdown.h"

#include "diagnostics.h"
#include "numbers.h"
#include "remaining_time.h"

namespace timers {

namespace {
const QString kPromptTitle = QStringLiteral("Count Down Timer");
const QString kPromptText = QStringLiteral("Enter <SECONDS> to count down from.\r\n\r\n<Entering> the time starts the timer.");
const QString kInvalid = QStringLiteral("Invalid port address");
const QString kApplicationTitle = QStringLiteral("Vorn Timers");
const QString kDoneTitle = QStringLiteral(" Timer");
const QString kDone = QStringLiteral("Done countdown...");
const QString kComOff = QStringLiteral("\r\n COM output Off.");
const QString kAlarmFile = QStringLiteral("alarm.wav");
} // namespace

Countdown::Countdown(Services services)
    : m_services(services)
{
}

void Countdown::Countdown1_click()
{
    const QString answer = m_services.dialogs.prompt(kPromptText, kPromptTitle, QString());
    if (answer.isEmpty())
        return;
    if (answer == QLatin1String("0")) {
        m_seconds = 0;
        show(0);
        m_services.timer3.stop();
        return;
    }

    // The answer is converted before the COM output is engaged, and one that reads as 0
    // seconds engages nothing: the device is never switched on with no countdown to end it.
    const auto seconds = leadingInt32(answer.toStdString());
    if (!seconds) {
        m_services.dialogs.message(kInvalid, kApplicationTitle, Dialogs::Icon::None,
                                   QStringLiteral("%1 is outside the seconds a countdown can take.").arg(quoted(answer)));
        return;
    }
    if (*seconds != 0 && !m_services.com.engage()) {
        m_services.dialogs.message(kInvalid, kApplicationTitle, Dialogs::Icon::None, m_services.com.failure());
        return;
    }
    m_seconds = *seconds;
    show(m_seconds);
    m_services.view.setCancelEnabled(true);
    m_startTime = m_services.clock.now();
    m_services.timer3.start();
    m_services.dialogs.processWaitingEvents();
}

void Countdown::Cancel_Click()
{
    m_startTime = 0;
    m_cancelRaised = true;
    // A running countdown ends at the next tick and releases the output then. With none
    // running, nothing else would switch off a line still held.
    if (m_seconds == 0 && m_services.com.switchOffHeldLine())
        m_services.view.setCancelEnabled(false);
}

void Countdown::keyDown(int keyCode)
{
    if (keyCode != kEscKey)
        return;
    m_cancelRaised = true;
    Cancel_Click();
}

void Countdown::Timer3_Timer()
{
    show(m_seconds);
    if (m_seconds == 0)
        return;
    const std::int64_t elapsed = m_services.clock.now() - m_startTime;
    if (elapsed > m_seconds) {
        complete();
        return;
    }
    SetLabel(m_seconds, elapsed);
}

void Countdown::SetLabel(std::int32_t countdownSeconds, std::int64_t elapsed)
{
    show(std::int64_t(countdownSeconds) - elapsed);
}

void Countdown::show(std::int64_t seconds)
{
    m_services.view.showRemaining(QString::fromStdString(minutesSeconds(seconds)));
}

void Countdown::complete()
{
    m_seconds = 0; // before the box: ticks while it is open only show 00:00
    show(0);
    m_services.view.setCancelEnabled(false);
    QString message = kDone;
    if (m_services.com.release())
        message += kComOff;
    if (!m_services.view.alarmChecked())
        m_services.dialogs.message(message, kDoneTitle, Dialogs::Icon::Exclamation, {});
    else if (!m_cancelRaised) {
        m_services.sound.play(kAlarmFile);
        // Seen even where the sound is muted or no audio output exists.
        m_services.notifier.notify(Notifier::programSummary(), message);
    }
    m_services.timer3.stop();
    m_cancelRaised = false;
}

} // namespace timers
