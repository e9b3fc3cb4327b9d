#pragma once

#include "desktop/sleep_inhibitor.h"
#include "output/device_output.h"

namespace timers {

// Keeps the machine awake exactly while the output it wraps holds a device on: a laptop that
// sleeps in the middle of an exposure cuts the USB adapter's power. Any output can be wrapped.
class SleepLockedOutput final : public DeviceOutput {
public:
    // `why` is the reason the desktop lists for the lock.
    SleepLockedOutput(DeviceOutput& output, SleepInhibitor& sleep, QString why);

    bool engage(std::chrono::milliseconds length, std::uint64_t number) override;
    bool release() override;
    bool switchOffDevice() override;
    bool pause() override;
    bool resume(std::uint64_t number) override;
    QString failure() const override { return m_output.failure(); }
    void switchOffAtExit() override { m_output.switchOffAtExit(); }
    std::optional<DeviceOn> deviceOn() const override { return m_output.deviceOn(); }
    std::optional<DeviceRun> takeRun() override { return m_output.takeRun(); }

private:
    // The lock follows what the output holds after each call.
    void follow();

    DeviceOutput& m_output;
    SleepInhibitor& m_sleep;
    QString m_why;
};

} // namespace timers
