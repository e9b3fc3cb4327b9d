#pragma once

#include "output/com_settings.h"
#include "output/device_output.h"
#include "serial/serial_port.h"

#include <chrono>
#include <functional>
#include <optional>

namespace timers {

// Holds DTR or RTS of the chosen serial port asserted while a countdown runs, so a device
// wired to that pin is on for exactly the countdown. The output is on when the on/off text is
// exactly "ON"; the line is RTS when the pin text ends in "RTS", DTR otherwise.
class ComOutput final : public DeviceOutput {
public:
    using Report = std::function<void(const QString& line)>;

    // Nanoseconds on the boot-time clock, which the port's timer counts too.
    using Now = std::function<std::int64_t()>;
    // `report` receives one line for each failure that no box shows (stderr in the program).
    ComOutput(const ComSettings& settings, SerialPort& port, Report report, Now now = &bootTimeNs);

    // Set: select and open the port unless it is open (then the other line is de-asserted
    // first), arm the port's deadline at the countdown's length, then assert the selected line.
    // With the output off, a port left open by the countdown before closes.
    bool engage(std::chrono::milliseconds length, std::uint64_t number) override;
    // Completion: de-assert the selected line when the output is on, then close the port if it
    // is open (both lines drop); true when the output is on.
    bool release() override;
    // Cancel, or an answer that leaves no countdown running: close a port left open (both lines
    // drop).
    bool switchOffDevice() override;
    // The line goes down and the port's deadline stops; the port stays open for the resume.
    bool pause() override;
    bool resume(std::uint64_t number) override;
    QString failure() const override { return m_failure; }
    void switchOffAtExit() override;
    std::optional<DeviceOn> deviceOn() const override { return m_held; }
    std::optional<DeviceRun> takeRun() override;
    static std::int64_t bootTimeNs();
    // The port-number field's text changed: select that port now.
    void portNumberEdited(const QString& text);

private:
    bool outputOn() const;
    bool selectsRts() const;
    QString selectedLineName() const;
    bool setSelectedLine(bool asserted);
    bool engageFailed(const QString& reason);

    const ComSettings& m_settings;
    SerialPort& m_port;
    Report m_report;
    QString m_failure;
    std::optional<DeviceOn> m_held;
    struct Paused {
        DeviceOn device;
        std::chrono::milliseconds left;
    };
    std::optional<Paused> m_paused;
    // The device's time: on since (ns; -1: off), until when its timer switches it off, and what
    // it was on before.
    void switchedOn(std::chrono::milliseconds length);
    void switchedOff();
    Now m_now;
    std::int64_t m_onSince = -1;
    std::int64_t m_timerEnds = 0;
    std::optional<DeviceRun> m_run;
};

} // namespace timers
