#pragma once

#include "output/device_output.h"

#include <mutex>

namespace timers {

// A lid switch between the countdown and any output: while the lid is open the device cannot
// come on (Set and Resume fail and say why), and opening it switches the device off at once,
// from the switch's own thread. Closing it switches nothing on.
class InterlockedOutput final : public DeviceOutput {
public:
    explicit InterlockedOutput(DeviceOutput& output)
        : m_output(output)
    {
    }

    // From any thread. Opening cuts the device; true when one was on.
    bool setLidOpen(bool open)
    {
        const std::lock_guard lock(m_mutex);
        m_open = open;
        return open && m_output.cutNow();
    }

    void startup() override { m_output.startup(); }
    bool engage(std::chrono::milliseconds length, std::uint64_t number) override
    {
        const std::lock_guard lock(m_mutex); // a lid opening meanwhile waits, then cuts
        m_refused = false;
        if (m_open && length > std::chrono::milliseconds::zero())
            return refuse();
        return m_output.engage(length, number);
    }
    bool release() override { return m_output.release(); }
    bool switchOffDevice() override { return m_output.switchOffDevice(); }
    bool pause() override { return m_output.pause(); }
    bool resume(std::uint64_t number) override
    {
        const std::lock_guard lock(m_mutex);
        m_refused = false;
        return m_open ? refuse() : m_output.resume(number);
    }
    bool cutNow() override { return m_output.cutNow(); }
    QString failure() const override { return m_refused ? kLidOpen : m_output.failure(); }
    void switchOffAtExit() override { m_output.switchOffAtExit(); }
    QString completionText() const override { return m_output.completionText(); }
    QString sleepReason() const override { return m_output.sleepReason(); }
    void onDeadlinePassed(DeadlinePassed passed) override { m_output.onDeadlinePassed(std::move(passed)); }
    std::optional<DeviceOn> deviceOn() const override { return m_output.deviceOn(); }
    std::optional<DeviceRun> takeRun() override { return m_output.takeRun(); }

private:
    bool refuse()
    {
        m_refused = true;
        return false;
    }
    inline static const QString kLidOpen = QStringLiteral("the lid is open: close it, then try again");

    DeviceOutput& m_output;
    std::mutex m_mutex;
    bool m_open = false;
    bool m_refused = false; // the last engage or resume was refused for the lid
};

} // namespace timers
