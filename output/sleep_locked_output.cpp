#include "output/sleep_locked_output.h"

namespace timers {

SleepLockedOutput::SleepLockedOutput(DeviceOutput& output, SleepInhibitor& sleep)
    : WrappedOutput(output)
    , m_sleep(sleep)
{
}

bool SleepLockedOutput::engage(std::chrono::milliseconds length, std::uint64_t number)
{
    const bool engaged = WrappedOutput::engage(length, number);
    follow();
    return engaged;
}

bool SleepLockedOutput::release()
{
    const bool on = WrappedOutput::release();
    follow();
    return on;
}

bool SleepLockedOutput::switchOffDevice()
{
    const bool held = WrappedOutput::switchOffDevice();
    follow();
    return held;
}

bool SleepLockedOutput::pause()
{
    const bool paused = WrappedOutput::pause();
    follow();
    return paused;
}

bool SleepLockedOutput::resume(std::uint64_t number)
{
    const bool resumed = WrappedOutput::resume(number);
    follow();
    return resumed;
}

void SleepLockedOutput::follow()
{
    if (wrapped().deviceOn())
        m_sleep.hold(wrapped().sleepReason());
    else
        m_sleep.release();
}

} // namespace timers
