#pragma once

#include "common/duration.h"
#include "countdown/countdown_view.h"
#include "countdown/countdown_watcher.h"
#include "desktop/notifier.h"
#include "output/device_output.h"
#include "recent/answer_history.h"
#include "runlog/run_record.h"
#include "sound/sound.h"
#include "system/clock.h"
#include "system/dialogs.h"
#include "system/tick_timer.h"

#include <QDateTime>

#include <cstdint>
#include <optional>
#include <vector>

namespace timers {

// The countdown: Set, Cancel, Esc, the one-second tick (Timer3) and the completion alert.
// Time is measured in whole seconds from the moment of Set, on a steady clock that no clock
// setting or daylight-saving change moves.
class Countdown {
public:
    struct Services {
        CountdownView& view;
        Dialogs& dialogs;
        Clock& clock;
        TickTimer& timer3;
        Sound& sound;
        DeviceOutput& output;
        Notifier& notifier;
        AnswerHistory& recent;
        RunLogWriter& runs; // each run that switched the device, as it ends
    };

    static constexpr int kEscKey = 27;
    static constexpr int kPauseKey = 'P'; // pauses, and resumes

    // What an answer entered at Set did.
    struct SetOutcome {
        enum class Kind {
            Nothing,     // an empty answer
            Stopped,     // "0": the display shows 00:00 and nothing runs
            Started,     // a countdown runs
            NoCountdown, // an answer that reads as 0 seconds other than "0" ("abc", "00")
            Invalid,     // no countdown could start: the answer or the COM output
            Refused,     // a caller's answer while the prompt or a box of the window waits
        };
        Kind kind;
        QString details; // why no countdown started (Invalid: as the box explains it)

        // What a caller is told when no countdown started: '"abc" starts no countdown: why'.
        QString told(const QString& answer) const;
    };
    // Where an answer comes from, which says how it is read and where a failure is told.
    enum class Door {
        Prompt, // the Set prompt: its own reading; a failure in the "Invalid port address" box
        Script, // the script interface: a duration read whole, or refused; told to the caller
        Tray,   // a recent answer from the tray or the notification's Again: a duration where the
                // text is one, else as the prompt read it; told to the caller
    };

    explicit Countdown(Services services);

    // Set: asks for the countdown time in the prompt and does what its answer says.
    void set();
    // Does what entering `answer` at `door` does. An answer from outside the window is refused
    // while the prompt or a box is open: a box's event loop must not let a countdown start under
    // it. Only the prompt's answer lets the window's waiting events run before it returns: a
    // caller is answered first, and never waits behind a box.
    SetOutcome enter(const QString& answer, Door door);
    // The length `answer` asks for at `door`: the device is on for exactly that long. Empty
    // where it is refused. The prompt's answers are whole seconds.
    static std::optional<Centiseconds> lengthOf(const QString& answer, Door door);
    // The whole seconds the display counts down for a length (a fraction runs into the next
    // second); empty where they do not fit.
    static std::optional<std::int32_t> displaySeconds(Centiseconds length);
    // The Set prompt is open: its answer decides what Set does.
    bool promptOpen() const { return m_promptOpen; }
    // Cancel, as the Cancel button and Esc do it.
    void cancel();
    // Pause: the device goes off at once and the display stops where it is; Resume: the device
    // goes on again for exactly what remained of its time, and the display goes on. From the
    // window's key, the tray and scripts; refused, like a caller's Set, while the prompt or a box
    // is open. Empty when done, else why not.
    QString pause(Door door);
    QString resume(Door door);
    bool paused() const { return m_paused; }
    // Why an answer, a pause or a resume from `door` is refused now; empty when it is not.
    QString refusal(Door door) const { return refusedFrom(door); }
    // Cancel as the tray and scripts press it: false while the Cancel button is disabled.
    bool pressCancel();
    bool cancelEnabled() const { return m_cancelEnabled; }
    // A countdown runs that Cancel would end (not cancelled already).
    bool cancellable() const { return m_seconds != 0 && !m_cancelledRunning; }
    // The output's own timer switched off the device of countdown `number` at the end of its
    // time: the port closes now, and the completion follows at its tick, as run out, also when
    // this thread was held up past it. A notice about an earlier countdown changes nothing.
    void deadlinePassed(std::uint64_t number);
    void keyDown(int keyCode);
    // The program exits (a signal, or File > Exit and the like) with the device just switched
    // off: the run ends there.
    void exiting(bool bySignal);
    // One tick of the countdown's timer (Timer3): shows the time left, and completes at zero.
    void tick();

    void addWatcher(CountdownWatcher* watcher) { m_watchers.push_back(watcher); }

    // Startup lowers the flag before the window is shown.
    void lowerCancelFlag() { m_cancelRaised = false; }

    std::int32_t seconds() const { return m_seconds; }
    bool cancelRaised() const { return m_cancelRaised; }

private:
    void SetLabel(std::int32_t countdownSeconds, std::int64_t elapsed);
    void show(std::int64_t seconds);
    void complete();
    void endedEarly(bool wasRunning);
    // Why an answer, a pause or a resume from `door` is refused now; empty when it is not.
    QString refusedFrom(Door door) const;
    // How long past its end a device may still be held before the completion goes ahead anyway.
    static constexpr std::int64_t kDeviceGraceSeconds = 2;
    void setCancelEnabled(bool enabled);
    // Records the run that switched the device, if one did, as ended by `ended`.
    void finishRun(const QString& ended);
    void tellWatchers();

    Services m_services;
    std::int32_t m_seconds = 0;   // 0: no countdown running
    std::int64_t m_startTime = 0; // on the clock's scale; its zero after Cancel, long past
    bool m_cancelRaised = false;
    bool m_promptOpen = false;
    bool m_cancelEnabled = false; // the Cancel button
    bool m_paused = false;
    // The run a record is kept of: when it was set, what it asked, its pauses, how Cancel came.
    QDateTime m_runStart;
    Centiseconds m_asked{0};
    int m_pauses = 0;
    QString m_cancelledBy = QStringLiteral("cancel");
    std::int64_t m_pausedShown = 0; // the display, frozen at the pause
    std::int64_t m_shown = 0;       // what the display shows
    // Each countdown that starts is numbered: a completion's last steps, after its box, touch
    // only its own countdown.
    std::uint64_t m_number = 0;
    // Cancel or Esc reached the running countdown (the cancel flag also stays raised by an Esc
    // with none running, for the sound of the next one).
    bool m_cancelledRunning = false;

    std::vector<CountdownWatcher*> m_watchers;
};

} // namespace timers
