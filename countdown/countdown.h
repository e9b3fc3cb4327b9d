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
            Refused,     // a caller's answer while a box of the window waits for the user
        };
        Kind kind;
        QString details; // for Invalid and Refused: why (Invalid: as the box explains it)
    };
    // Where an invalid answer is reported: in the "Invalid port address" box, or only to
    // the caller (a script, which has no one to read a box).
    enum class Report { Box, Caller };

    explicit Countdown(Services services);

    // Set: asks for the countdown time in the prompt and does what its answer says.
    void set();
    // Does what entering `answer` in the Set prompt does. A caller's answer is refused while the
    // prompt or a box is open: a box's event loop must not let a countdown start under it.
    SetOutcome enter(const QString& answer, Report report);
    // The Set prompt is open: its answer decides what Set does.
    bool promptOpen() const { return m_promptOpen; }
    // Cancel, as the Cancel button and Esc do it.
    void cancel();
    // A countdown runs that Cancel would end (not cancelled already).
    bool cancellable() const { return m_seconds != 0 && !m_cancelledRunning; }
    // The output's own deadline lowered the line: the countdown ends as by Cancel, and its
    // tick runs so that the completion comes.
    void deadlinePassed();
    void keyDown(int keyCode);
    // One tick of the countdown's timer: shows the time left, and completes at zero.
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
    void tellWatchers();

    Services m_services;
    std::int32_t m_seconds = 0;   // 0: no countdown running
    std::int64_t m_startTime = 0; // on the clock's scale; its zero after Cancel, long past
    bool m_cancelRaised = false;
    bool m_promptOpen = false;
    std::int64_t m_shown = 0; // what the display shows
    // Each countdown that starts is numbered: a completion's last steps, after its box, touch
    // only its own countdown.
    std::uint64_t m_number = 0;
    // Cancel or Esc reached the running countdown (the cancel flag also stays raised by an Esc
    // with none running, for the sound of the next one).
    bool m_cancelledRunning = false;

    std::vector<CountdownWatcher*> m_watchers;
};

} // namespace timers
