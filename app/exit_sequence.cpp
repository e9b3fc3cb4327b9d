#include "app/exit_sequence.h"

#include <cstdio>
#include <cstdlib>

namespace timers {

ExitSequence::ExitSequence(Step endProcess)
    : m_endProcess(std::move(endProcess))
{
}

void ExitSequence::addStep(Step step) { m_steps.push_back(std::move(step)); }

void ExitSequence::run()
{
    if (m_running)
        return;
    m_running = true;
    for (const Step& step : m_steps)
        step();
    m_endProcess();
    m_running = false;
}

void ExitSequence::endProcessNow()
{
    std::fflush(nullptr);
    std::_Exit(EXIT_SUCCESS);
}

} // namespace timers
