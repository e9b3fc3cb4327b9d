#pragma once

#include "output/device_output.h"

namespace timers {

// An output that wraps another and passes every call on; a wrapper overrides only what it
// changes (the sleep lock, the lid switch).
class WrappedOutput : public DeviceOutput {
public:
    explicit WrappedOutput(DeviceOutput& output)
        : m_output(output)
    {
    }

    void startup() override { m_output.startup(); }
    bool engage(std::chrono::milliseconds length, std::uint64_t number) override
    {
        return m_output.engage(length, number);
    }
    bool release() override { return m_output.release(); }
    bool switchOffDevice() override { return m_output.switchOffDevice(); }
    bool pause() override { return m_output.pause(); }
    bool resume(std::uint64_t number) override { return m_output.resume(number); }
    bool cutNow() override { return m_output.cutNow(); }
    QString failure() const override { return m_output.failure(); }
    void switchOffAtExit() override { m_output.switchOffAtExit(); }
    QString completionText() const override { return m_output.completionText(); }
    QString sleepReason() const override { return m_output.sleepReason(); }
    void onDeadlinePassed(DeadlinePassed passed) override { m_output.onDeadlinePassed(std::move(passed)); }
    std::optional<DeviceOn> deviceOn() const override { return m_output.deviceOn(); }
    std::optional<DeviceRun> takeRun() override { return m_output.takeRun(); }

protected:
    DeviceOutput& wrapped() const { return m_output; }

private:
    DeviceOutput& m_output;
};

} // namespace timers
