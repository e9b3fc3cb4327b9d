#include "countdown/countdown.h"

#include "common/duration.h"
#include "common/remaining_time.h"
#include "system/diagnostics.h"

#include <limits>

namespace timers {

namespace {
const QString kPromptTitle = QStringLiteral("Count Down Timer");
const QString kPromptText = QStringLiteral(
    "Enter <SECONDS> to count down from.\r\n\r\n<Entering> the time starts the timer.");
const QString kInvalid = QStringLiteral("Invalid port address");
const QString kApplicationTitle = QStringLiteral("Vorn Timers");
const QString kDoneTitle = QStringLiteral(" Timer");
const QString kDone = QStringLiteral("Done countdown...");
const QString kAlarmFile = QStringLiteral("alarm.wav");
} // namespace

QString Countdown::SetOutcome::told(const QString& answer) const
{
    return QStringLiteral("%1 starts no countdown: %2").arg(quoted(answer), details);
}

Countdown::Countdown(Services services)
    : m_services(services)
{
    m_services.timer3.start(); // Timer3 runs from startup
}

void Countdown::set()
{
    m_promptOpen = true;
    const QString answer = m_services.dialogs.prompt(kPromptText, kPromptTitle, QString(), m_services.recent.answers());
    m_promptOpen = false;
    enter(answer, Door::Prompt);
}

std::optional<Centiseconds> Countdown::lengthOf(const QString& answer, Door door)
{
    const std::string text = answer.toStdString();
    if (door != Door::Prompt) {
        if (const auto duration = readDuration(text))
            return duration;
        if (door == Door::Script)
            return std::nullopt;
    }
    const auto seconds = promptSeconds(text);
    return seconds ? std::optional(Centiseconds(std::int64_t(*seconds) * 100)) : std::nullopt;
}

std::optional<std::int32_t> Countdown::displaySeconds(Centiseconds length)
{
    // A fraction of a second shows as the whole second it runs into: 0.7 s shows 00:01.
    const long long seconds = length.count() / 100 + (length.count() % 100 > 0 ? 1 : 0);
    if (seconds > std::numeric_limits<std::int32_t>::max() || seconds < std::numeric_limits<std::int32_t>::min())
        return std::nullopt;
    return std::int32_t(seconds);
}

QString Countdown::refusedFrom(Door door) const
{
    if (door == Door::Prompt)
        return {};
    if (m_promptOpen)
        return QStringLiteral("the Set prompt is open in the window: its answer decides");
    if (m_services.dialogs.boxOpen())
        return QStringLiteral("a box is open in the window: close it first");
    return {};
}

Countdown::SetOutcome Countdown::enter(const QString& answer, Door door)
{
    if (const QString why = refusedFrom(door); !why.isEmpty())
        return {SetOutcome::Kind::Refused, why};
    if (answer.isEmpty())
        return {SetOutcome::Kind::Nothing, QStringLiteral("it is empty")};
    const bool wasRunning = m_seconds != 0;
    // "0" stops the tick; so does a script's duration of nothing ("0", "0:00", "0s").
    const bool stops = answer == QLatin1String("0")
                    || (door == Door::Script && readDuration(answer.toStdString()) == Centiseconds::zero());
    if (stops) {
        m_seconds = 0;
        m_paused = false;
        show(0);
        m_services.timer3.stop();
        endedEarly(wasRunning);
        return {SetOutcome::Kind::Stopped, {}};
    }

    // The answer is converted before the COM output is engaged, and one that reads as 0
    // seconds engages nothing: the device is never switched on with no countdown to end it.
    const auto refuse = [&](const QString& why) {
        if (door == Door::Prompt)
            m_services.dialogs.message(kInvalid, kApplicationTitle, Dialogs::Icon::None, why);
        return SetOutcome{SetOutcome::Kind::Invalid, why};
    };
    if (door == Door::Script && !readDuration(answer.toStdString()))
        return refuse(QStringLiteral("%1 is not a duration: use %2 (to the hundredth of a second)")
                          .arg(quoted(answer), QLatin1String(kDurationForms)));
    const auto length = lengthOf(answer, door);
    const auto seconds = length ? displaySeconds(*length) : std::nullopt;
    if (!seconds)
        return refuse(QStringLiteral("%1 is outside the seconds a countdown can take.").arg(quoted(answer)));
    const std::uint64_t number = m_number + 1;
    if (wasRunning) // a new answer ends the run before it, unless Cancel or Esc did
        finishRun(m_cancelledRunning ? m_cancelledBy : QStringLiteral("answer"));
    if (*seconds != 0 && !m_services.output.engage(*length, number))
        return refuse(m_services.output.failure());
    m_runStart = QDateTime::currentDateTime();
    m_asked = *length;
    m_pauses = 0;
    m_seconds = *seconds;
    m_paused = false;
    show(m_seconds);
    setCancelEnabled(true);
    m_startTime = m_services.clock.now();
    m_services.timer3.start();
    if (m_seconds != 0) {
        m_number = number;
        m_cancelledRunning = false;
        tellWatchers();
    } else {
        endedEarly(wasRunning);
    }
    // Decided now: the waiting events below may already complete a short countdown.
    SetOutcome outcome = m_seconds != 0
                           ? SetOutcome{SetOutcome::Kind::Started, {}}
                           : SetOutcome{SetOutcome::Kind::NoCountdown, QStringLiteral("it reads as 0 seconds")};
    if (m_seconds != 0)
        m_services.recent.add(answer);
    if (door == Door::Prompt)
        m_services.dialogs.processWaitingEvents();
    return outcome;
}

// An answer left no countdown running: the device goes off at once, and whoever waits for the
// countdown that ran hears that it ended without running out.
void Countdown::endedEarly(bool wasRunning)
{
    m_services.output.switchOffDevice();
    finishRun(m_cancelledRunning ? m_cancelledBy : QStringLiteral("answer"));
    tellWatchers();
    if (wasRunning) {
        for (CountdownWatcher* watcher : m_watchers)
            watcher->finished(true);
    }
}

void Countdown::cancel()
{
    m_startTime = 0;
    m_cancelRaised = true;
    if (m_seconds != 0 && !m_cancelledRunning) {
        m_cancelledRunning = true;
        m_cancelledBy = QStringLiteral("cancel");
    }
    // The device goes off now; the display, the completion and its alert come at the next tick.
    if (m_services.output.switchOffDevice() && m_seconds == 0)
        setCancelEnabled(false);
}

bool Countdown::pressCancel()
{
    if (!m_cancelEnabled)
        return false;
    cancel();
    return true;
}

void Countdown::setCancelEnabled(bool enabled)
{
    if (enabled == m_cancelEnabled)
        return;
    m_cancelEnabled = enabled;
    m_services.view.setCancelEnabled(enabled);
    for (CountdownWatcher* watcher : m_watchers)
        watcher->cancelEnabledChanged(enabled);
}

void Countdown::deadlinePassed(std::uint64_t number)
{
    if (number != m_number || m_seconds == 0)
        return;
    m_services.output.switchOffDevice();
    finishRun(QStringLiteral("ran out")); // the device's run ended here, whatever comes next
}

QString Countdown::pause(Door door)
{
    if (QString why = refusedFrom(door); !why.isEmpty())
        return why;
    if (!cancellable())
        return QStringLiteral("no countdown is running");
    if (m_paused)
        return QStringLiteral("the countdown is paused already");
    m_services.output.pause();
    m_paused = true;
    ++m_pauses;
    m_pausedShown = m_shown;
    tellWatchers();
    return {};
}

QString Countdown::resume(Door door)
{
    if (QString why = refusedFrom(door); !why.isEmpty())
        return why;
    if (!m_paused || !cancellable())
        return QStringLiteral("no countdown is paused");
    if (!m_services.output.resume(m_number))
        return m_services.output.failure(); // still paused: nothing came on
    m_paused = false;
    // The display goes on from where it stopped.
    m_startTime = m_services.clock.now() - (m_seconds - m_pausedShown);
    tellWatchers();
    return {};
}

void Countdown::keyDown(int keyCode)
{
    if (keyCode == kPauseKey) {
        const QString failed = m_paused ? resume(Door::Prompt) : pause(Door::Prompt);
        // Only a device that cannot come back on is worth a box; with nothing to pause the key
        // does nothing.
        if (m_paused && !failed.isEmpty() && failed != QLatin1String("no countdown is paused"))
            m_services.dialogs.message(kInvalid, kApplicationTitle, Dialogs::Icon::None, failed);
        return;
    }
    if (keyCode != kEscKey)
        return;
    m_cancelRaised = true;
    cancel();
    if (m_cancelledRunning)
        m_cancelledBy = QStringLiteral("esc");
}

void Countdown::exiting(bool bySignal) { finishRun(bySignal ? QStringLiteral("signal") : QStringLiteral("exit")); }

void Countdown::finishRun(const QString& ended)
{
    const auto run = m_services.output.takeRun();
    if (!run || !m_runStart.isValid())
        return;
    m_services.runs.add(
        {m_runStart, m_asked.count(), run->on.count(), m_pauses, ended, run->device.port, run->device.name});
    m_runStart = {};
}

void Countdown::tick()
{
    if (m_paused && !m_cancelledRunning) {
        show(m_pausedShown);
        return tellWatchers();
    }
    show(m_seconds);
    if (m_seconds == 0)
        return tellWatchers();
    const std::int64_t elapsed = m_services.clock.now() - m_startTime;
    // The device's own timer ends its time; the completion comes after it, never cutting it
    // short, unless the output still holds the device well past the end (a fault of its own).
    const bool deviceOff = !m_services.output.deviceOn() || elapsed > std::int64_t(m_seconds) + kDeviceGraceSeconds;
    if (elapsed > m_seconds && deviceOff) {
        complete();
        return;
    }
    SetLabel(m_seconds, std::min<std::int64_t>(elapsed, m_seconds));
    tellWatchers();
}

void Countdown::SetLabel(std::int32_t countdownSeconds, std::int64_t elapsed)
{
    show(std::int64_t(countdownSeconds) - elapsed);
}

void Countdown::show(std::int64_t seconds)
{
    m_services.view.showRemaining(QString::fromStdString(minutesSeconds(seconds)));
    m_shown = seconds;
}

// Once a step is done: a tick writes the display twice (the length, then what remains).
void Countdown::tellWatchers()
{
    for (CountdownWatcher* watcher : m_watchers)
        watcher->shown(m_shown, m_seconds);
}

void Countdown::complete()
{
    const std::uint64_t number = m_number;
    const bool cancelled = m_cancelledRunning;
    m_seconds = 0; // before the box: ticks while it is open only show 00:00
    m_paused = false;
    show(0);
    setCancelEnabled(false);
    QString message = kDone;
    if (m_services.output.release())
        message += m_services.output.completionText();
    finishRun(cancelled ? m_cancelledBy : QStringLiteral("ran out"));
    // Before the box, which waits for the user: a script waits only for the device.
    tellWatchers();
    for (CountdownWatcher* watcher : m_watchers)
        watcher->finished(cancelled);
    if (!m_services.view.alarmChecked())
        m_services.dialogs.message(message, kDoneTitle, Dialogs::Icon::Exclamation, {});
    else if (!m_cancelRaised) {
        m_services.sound.play(kAlarmFile);
        // Seen even where the sound is muted or no audio output exists.
        m_services.notifier.notify(Notifier::programSummary(), message);
    }
    // The box ran its own event loop: a countdown started meanwhile keeps its tick and flag.
    if (number != m_number)
        return;
    m_services.timer3.stop();
    m_cancelRaised = false;
}

} // namespace timers
