#pragma once

#include "countdown/countdown_view.h"
#include "countdown/countdown_watcher.h"
#include "desktop/notifier.h"
#include "output/device_output.h"
#include "recent/answer_history.h"
#include "sound/sound.h"
#include "system/clock.h"
#include "system/dialogs.h"
#include "system/tick_timer.h"

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
    };

    static constexpr int kEscKey = 27;

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
    // The seconds `answer` counts down from at `door`; empty where it is refused or out of range.
    static std::optional<std::int32_t> secondsOf(const QString& answer, Door door);
    // The Set prompt is open: its answer decides what Set does.
    bool promptOpen() const { return m_promptOpen; }
    // Cancel, as the Cancel button and Esc do it.
    void cancel();
    // Cancel as the tray and scripts press it: false while the Cancel button is disabled.
    bool pressCancel();
    bool cancelEnabled() const { return m_cancelEnabled; }
    // A countdown runs that Cancel would end (not cancelled already).
    bool cancellable() const { return m_seconds != 0 && !m_cancelledRunning; }
    // The output's own deadline switched off the device of countdown `number`. If that countdown
    // still runs, its time ran out while this thread was held up: it completes as run out. A
    // notice about an earlier countdown changes nothing.
    void deadlinePassed(std::uint64_t number);
    void keyDown(int keyCode);
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
    void setCancelEnabled(bool enabled);
    void tellWatchers();

    Services m_services;
    std::int32_t m_seconds = 0;   // 0: no countdown running
    std::int64_t m_startTime = 0; // on the clock's scale; its zero after Cancel, long past
    bool m_cancelRaised = false;
    bool m_promptOpen = false;
    bool m_cancelEnabled = false; // the Cancel button
    std::int64_t m_shown = 0;     // what the display shows
    // Each countdown that starts is numbered: a completion's last steps, after its box, touch
    // only its own countdown.
    std::uint64_t m_number = 0;
    // Cancel or Esc reached the running countdown (the cancel flag also stays raised by an Esc
    // with none running, for the sound of the next one).
    bool m_cancelledRunning = false;

    std::vector<CountdownWatcher*> m_watchers;
};

} // namespace timers
