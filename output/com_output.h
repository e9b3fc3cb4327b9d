#pragma once

#include "device_output.h"
#include "com_settings.h"
#include "serial_port.h"
#include "sleep_inhibitor.h"

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

    // `report` receives one line for each failure that no box shows (stderr in the program).
    // While the output holds a line asserted, `sleep` keeps the machine awake.
    ComOutput(const ComSettings& settings, SerialPort& port, SleepInhibitor& sleep, Report report);

    // Set: select and open the port unless it is open (then the other line is de-asserted
    // first), arm the port's deadline at the countdown's length + 2 s, then assert the selected
    // line.
    bool engage(std::int32_t seconds) override;
    // Completion: de-assert the selected line when the output is on, then close the port if it
    // is open (both lines drop); true when the output is on.
    bool release() override;
    // Cancel, or an answer that leaves no countdown running: close a port left open (both lines
    // drop).
    bool switchOffHeldLine() override;
    QString failure() const override { return m_failure; }
    // Exit, first of all: the device goes off before anything else that may take a while.
    void lowerLinesAtExit();
    // The line this output raised and still holds: its device and "DTR" or "RTS". What it
    // did, not what the fields say now (they may have been edited since).
    struct HeldLine {
        QString device;
        QString line;
    };
    std::optional<HeldLine> heldLine() const { return m_held; }
    // Exit: close a port left open.
    void closeAtExit();
    // The port's deadline lowered a line the countdown still held: says so, and closes the port.
    void deadlinePassed();

    // How long past its countdown a line may stay up before the port's deadline lowers it.
    static constexpr std::chrono::seconds kDeadlineGrace{2};
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
    SleepInhibitor& m_sleep;
    Report m_report;
    QString m_failure;
    std::optional<HeldLine> m_held;
};

} // namespace timers
