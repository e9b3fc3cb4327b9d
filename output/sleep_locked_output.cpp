#include "output/sleep_locked_output.h"

namespace timers {

SleepLockedOutput::SleepLockedOutput(DeviceOutput& output, SleepInhibitor& sleep)
    : m_output(output)
    , m_sleep(sleep)
{
}

bool SleepLockedOutput::engage(std::chrono::milliseconds length, std::uint64_t number)
{
    const bool engaged = m_output.engage(length, number);
    follow();
    return engaged;
}

bool SleepLockedOutput::release()
{
    const bool on = m_output.release();
    follow();
    return on;
}

bool SleepLockedOutput::switchOffDevice()
{
    const bool held = m_output.switchOffDevice();
    follow();
    return held;
}

bool SleepLockedOutput::pause()
{
    const bool paused = m_output.pause();
    follow();
    return paused;
}

bool SleepLockedOutput::resume(std::uint64_t number)
{
    const bool resumed = m_output.resume(number);
    follow();
    return resumed;
}

void SleepLockedOutput::follow()
{
    if (m_output.deviceOn())
        m_sleep.hold(m_output.sleepReason());
    else
        m_sleep.release();
}

} // namespace timers
