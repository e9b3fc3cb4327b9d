#pragma once

#include "countdown/countdown.h"
#include "desktop/notifier.h"
#include "recent/answer_history.h"

#include <chrono>
#include <functional>

namespace timers {

// A foot switch on an input pin: a press starts a countdown of the newest recent answer, or
// cancels the one that runs. Presses within 300 ms of the last one taken are bounce or a double
// press, and are ignored. While a box or the Set prompt waits for the user a press does nothing
// but say why.
class FootSwitch {
public:
    using Now = std::function<std::chrono::steady_clock::time_point()>;
    struct Services {
        Countdown& countdown;
        AnswerHistory& recent;
        Notifier& notifier;
        Now now = &std::chrono::steady_clock::now;
    };
    static constexpr std::chrono::milliseconds kBounce{300};

    explicit FootSwitch(Services services);
    // The pin came up (on the window's thread).
    void pressed();

private:
    void tell(const QString& why);

    Services m_services;
    std::chrono::steady_clock::time_point m_lastPress;
    bool m_pressedBefore = false;
};

} // namespace timers
