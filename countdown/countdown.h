#pragma once

#include "answer_history.h"
#include "clock.h"
#include "com_hooks.h"
#include "countdown_view.h"
#include "countdown_watcher.h"
#include "dialogs.h"
#include "notifier.h"
#include "sound.h"
#include "tick_timer.h"

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
        ComHooks& com;
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
        };
        Kind kind;
        QString details; // for Invalid: why, as the "Invalid port address" box explains it
    };
    // Where an invalid answer is reported: in the "Invalid port address" box, or only to
    // the caller (a script, which has no one to read a box).
    enum class Report { Box, Caller };

    explicit Countdown(Services services);

    // Event handlers are named after their control and event (Countdown1_click is the Set
    // button's click, Timer3_Timer the countdown tick), like the controls they answer, so a
    // handler is found from the control's name; everything else uses ordinary names.
    void Countdown1_click();
    // Does what entering `answer` in the Set prompt does.
    SetOutcome enter(const QString& answer, Report report);
    // The Set prompt is open: its answer decides what Set does.
    bool promptOpen() const { return m_promptOpen; }
    void Cancel_Click();
    void keyDown(int keyCode);
    void Timer3_Timer();

    void addWatcher(CountdownWatcher* watcher) { m_watchers.push_back(watcher); }

    // Startup lowers the flag before the window is shown.
    void lowerCancelFlag() { m_cancelRaised = false; }

    std::int32_t seconds() const { return m_seconds; }
    bool cancelRaised() const { return m_cancelRaised; }

private:
    void SetLabel(std::int32_t countdownSeconds, std::int64_t elapsed);
    void show(std::int64_t seconds);
    void complete();
    void tellWatchers();

    Services m_services;
    std::int32_t m_seconds = 0;   // 0: no countdown running
    std::int64_t m_startTime = 0; // on the clock's scale; its zero after Cancel, long past
    bool m_cancelRaised = false;
    bool m_promptOpen = false;
    std::int64_t m_shown = 0; // what the display shows

    std::vector<CountdownWatcher*> m_watchers;
};

} // namespace timers
