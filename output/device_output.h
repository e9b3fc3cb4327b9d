#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace timers {

// The device output as the countdown drives it: engaged by Set, released by the completion.
// The COM output (a serial line) is one; the sleep lock wraps any.
class DeviceOutput {
public:
    virtual ~DeviceOutput() = default;
    // Switches the device on for countdown `number`, of `seconds`, when the COM output is on;
    // false when the port could not be selected, opened or driven (the reason is already
    // reported). With the output off, whatever an earlier countdown still holds goes off. The
    // output keeps its own deadline: a line still up 2 s after the countdown should have ended
    // goes off whatever the countdown does, and the notice names the countdown's number.
    virtual bool engage(std::int32_t seconds, std::uint64_t number) = 0;
    // The completion: switches off what engage switched on, whatever the texts say now; true
    // when the COM output is on (the completion box then says so).
    virtual bool release() = 0;
    // Switches off at once whatever line is held (Cancel, an answer that leaves no countdown
    // running); true when there was one.
    virtual bool switchOffHeldLine() = 0;
    // Why the last engage failed: the device and the system's reason, for the user to read.
    virtual QString failure() const = 0;
    // Exit, first of all: the device goes off before anything else that may take a while.
    virtual void lowerLinesAtExit() = 0;

    // The line this output switched on and still holds: its device and its name ("DTR",
    // "RTS"). What it did, not what the settings say now (they may have been edited since).
    struct HeldLine {
        QString device;
        QString line;
    };
    virtual std::optional<HeldLine> heldLine() const = 0;
};

} // namespace timers
