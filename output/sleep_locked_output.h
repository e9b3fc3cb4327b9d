#pragma once

#include "desktop/sleep_inhibitor.h"
#include "output/device_output.h"

namespace timers {

// Keeps the machine awake exactly while the output it wraps holds a device on: a laptop that
// sleeps in the middle of an exposure cuts the USB adapter's power. Any output can be wrapped;
// the lock's reason is the output's.
class SleepLockedOutput final : public DeviceOutput {
public:
    SleepLockedOutput(DeviceOutput& output, SleepInhibitor& sleep);

    void startup() override { m_output.startup(); }
    bool engage(std::chrono::milliseconds length, std::uint64_t number) override;
    bool release() override;
    bool switchOffDevice() override;
    bool pause() override;
    bool resume(std::uint64_t number) override;
    bool cutNow() override { return m_output.cutNow(); }
    QString failure() const override { return m_output.failure(); }
    void switchOffAtExit() override { m_output.switchOffAtExit(); }
    QString completionText() const override { return m_output.completionText(); }
    QString sleepReason() const override { return m_output.sleepReason(); }
    void onDeadlinePassed(DeadlinePassed passed) override { m_output.onDeadlinePassed(std::move(passed)); }
    std::optional<DeviceOn> deviceOn() const override { return m_output.deviceOn(); }
    std::optional<DeviceRun> takeRun() override { return m_output.takeRun(); }

private:
    // The lock follows what the output holds after each call.
    void follow();

    DeviceOutput& m_output;
    SleepInhibitor& m_sleep;
};

} // namespace timers
