#pragma once

#include "output/com_settings.h"
#include "output/device_deadline.h"
#include "output/device_output.h"
#include "serial/serial_port.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace timers {

// What every output on a serial port shares: the port the COM settings name, opened at Set
// and closed at the end; in use when the on/off text is exactly "ON"; its own deadline; its
// time on. A kind of output says only how its device is switched (a line, a frame).
class SerialOutput : public DeviceOutput {
public:
    using Report = std::function<void(const QString& line)>;
    // Nanoseconds on the boot-time clock, which the deadline counts too.
    using Now = std::function<std::int64_t()>;
    using MakeDeadline
        = std::function<std::unique_ptr<DeviceDeadline>(DeviceDeadline::SwitchOff, DeviceDeadline::Passed)>;
    // What an output on a serial port is made with. `report` receives one line for each
    // failure that no box shows (stderr in the program).
    struct Context {
        const ComSettings& settings;
        SerialPort& port;
        Report report;
        MakeDeadline makeDeadline = &threadDeadline;
        Now now = &bootTimeNs;
    };
    // `switchOffOn` switches the device off on a descriptor, from the deadline's thread.
    SerialOutput(Context context, DeviceDeadline::SwitchOff switchOffOn);
    ~SerialOutput() override;
    SerialOutput(const SerialOutput&) = delete;
    SerialOutput& operator=(const SerialOutput&) = delete;

    void startup() override { }
    // Set: open the port unless it is open, arm the deadline at the countdown's length, then
    // switch the device on. With the output not in use, a port left open by the countdown
    // before closes.
    bool engage(std::chrono::milliseconds length, std::uint64_t number) override;
    // Completion: switch the device off when the output is in use, then close the port if it
    // is open; true when the output is in use.
    bool release() override;
    // Cancel, or an answer that leaves no countdown running: switch off and close a port left
    // open.
    bool switchOffDevice() override;
    // The device goes off and the deadline stops; the port stays open for the resume.
    bool pause() override;
    bool resume(std::uint64_t number) override;
    bool cutNow() override { return m_deadline->cutNow(); }
    QString failure() const override { return m_failure; }
    void switchOffAtExit() override;
    void onDeadlinePassed(DeadlinePassed passed) override { m_passed = std::move(passed); }
    std::optional<DeviceOn> deviceOn() const override { return m_held; }
    std::optional<DeviceRun> takeRun() override;

    static std::int64_t bootTimeNs();
    static std::unique_ptr<DeviceDeadline> threadDeadline(DeviceDeadline::SwitchOff off, DeviceDeadline::Passed passed);

protected:
    const ComSettings& settings() const { return m_settings; }
    SerialPort& port() { return m_port; }
    void report(const QString& line) const { m_report(line); }
    bool inUse() const { return m_settings.onOffText() == QLatin1String("ON"); }
    // Opens the port the settings name; false with the reason reported and kept in failure().
    bool openPort();
    bool fail(const QString& reason);

    // What a kind of output says. What it switches now ("RTS", "relay 1").
    virtual QString switchName() const = 0;
    // The port is open and the device is about to go on (a line output lowers the other line).
    virtual bool beforeSwitchOn() { return true; }
    // Switches `name` (what switchName said, or what was on at a pause) on, or off.
    virtual bool switchOn(const QString& name) = 0;
    virtual bool switchOff(const QString& name) = 0;
    // Everything the output can switch goes off; the port stays open.
    virtual bool switchAllOff() = 0;
    // The port opened for a countdown; and its descriptor is about to close, whoever closes
    // it (a device that latches goes off there).
    virtual void portOpened() { }
    virtual void portClosing() { }

private:
    void switchedOn();
    void switchedOff();
    bool closePort();

    const ComSettings& m_settings;
    SerialPort& m_port;
    Report m_report;
    Now m_now;
    DeadlinePassed m_passed;
    // When the deadline's thread (or a lid switch) switched the device off, ns on m_now's clock;
    // -1: not since it was armed. The record takes it, not when this thread hears of it.
    std::atomic<std::int64_t> m_cutAt{-1};
    std::unique_ptr<DeviceDeadline> m_deadline;
    QString m_failure;
    std::optional<DeviceOn> m_held;
    struct Paused {
        DeviceOn device;
        std::chrono::milliseconds left;
    };
    std::optional<Paused> m_paused;
    struct ClosedOn {
        std::int64_t at; // ns, m_now's clock
        std::chrono::milliseconds left;
    };
    std::optional<ClosedOn> m_closedWithTimeLeft; // the port closed itself with the device on
    // The device's time: on since (ns; -1: off), and what it was on before.
    std::int64_t m_onSince = -1;
    std::optional<DeviceRun> m_run;
};

} // namespace timers
