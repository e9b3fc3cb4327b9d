#pragma once

#include <QString>

#include <chrono>
#include <cstdint>

namespace timers {

// The serial port as the COM output uses it: select a port by number, open and close it, and
// assert or de-assert its DTR and RTS lines. No data is ever sent or received.
class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Fails for a number that names no port, and while the port is open.
    virtual bool selectPort(std::int16_t number) = 0;
    virtual bool isOpen() const = 0;
    // Fails for a missing or busy port. Opens with both lines de-asserted.
    virtual bool open() = 0;
    // Leaves both lines de-asserted; the port ends closed even when that fails.
    virtual bool close() = 0;
    // On a closed port these do nothing and succeed.
    virtual bool setDtr(bool asserted) = 0;
    virtual bool setRts(bool asserted) = 0;
    // Both lines down in one request; the port stays open.
    virtual bool lowerLines() = 0;
    // The port's own deadline: both lines go down `after` from now, whatever the caller's thread
    // is doing, unless the port closes or the deadline is set again first. Arm it before a line
    // goes up. `countdown` names what armed it in the notice that the lines were lowered.
    virtual void lowerLinesAfter(std::chrono::milliseconds after, std::uint64_t countdown) = 0;
    // Stops the deadline; returns what remained of it (zero: none armed, or it has passed).
    virtual std::chrono::milliseconds stopDeadline() = 0;

    // The device of the selected port ("/dev/ttyUSB0"); empty before a port is selected.
    virtual QString device() const = 0;

    // Why the last call that returned false failed, in the operating system's words.
    virtual QString errorText() const = 0;
};

} // namespace timers
