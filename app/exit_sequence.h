#pragma once

#include <functional>
#include <vector>

namespace timers {

// The exit sequence shared by File > Exit, the close box and termination signals: each step
// runs once, in the order added (saving the settings, closing the serial port), and then the
// process ends at once. A second request while it runs is ignored.
class ExitSequence {
public:
    using Step = std::function<void()>;

    explicit ExitSequence(Step endProcess);

    void addStep(Step step);
    void run();

    // Ends the real program: no further event runs and no window asks anything.
    static void endProcessNow();

private:
    std::vector<Step> m_steps;
    Step m_endProcess;
    bool m_running = false;
};

} // namespace timers
