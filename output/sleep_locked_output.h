#pragma once

#include "desktop/sleep_inhibitor.h"
#include "output/wrapped_output.h"

namespace timers {

// Keeps the machine awake exactly while the output it wraps holds a device on: a laptop that
// sleeps in the middle of an exposure cuts the USB adapter's power. Any output can be wrapped;
// the lock's reason is the output's.
class SleepLockedOutput final : public WrappedOutput {
public:
    SleepLockedOutput(DeviceOutput& output, SleepInhibitor& sleep);

    bool engage(std::chrono::milliseconds length, std::uint64_t number) override;
    bool release() override;
    bool switchOffDevice() override;
    bool pause() override;
    bool resume(std::uint64_t number) override;

private:
    // The lock follows what the output holds after each call.
    void follow();

    SleepInhibitor& m_sleep;
};

} // namespace timers
