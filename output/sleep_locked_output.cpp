#include "output/sleep_locked_output.h"

namespace timers {

SleepLockedOutput::SleepLockedOutput(DeviceOutput& output, SleepInhibitor& sleep, QString why)
    : m_output(output)
    , m_sleep(sleep)
    , m_why(std::move(why))
{
}

bool SleepLockedOutput::engage(std::int32_t seconds, std::uint64_t number)
{
    const bool engaged = m_output.engage(seconds, number);
    follow();
    return engaged;
}

bool SleepLockedOutput::release()
{
    const bool on = m_output.release();
    follow();
    return on;
}

bool SleepLockedOutput::switchOffHeldLine()
{
    const bool held = m_output.switchOffHeldLine();
    follow();
    return held;
}

void SleepLockedOutput::follow()
{
    if (m_output.heldLine())
        m_sleep.hold(m_why);
    else
        m_sleep.release();
}

} // namespace timers
