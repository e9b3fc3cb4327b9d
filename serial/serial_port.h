#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>

namespace timers {

// The serial port as the serial outputs use it: select a port by number, open and close it,
// assert or de-assert its DTR and RTS lines, and write a relay board's frames. Nothing is read.
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
    // Writes all of `bytes` (a relay board's command frame); fails on a closed port.
    virtual bool write(const QByteArray& bytes) = 0;
    // The open port's descriptor, which an output's deadline and guard use from threads and
    // processes of their own; -1 while closed.
    virtual int handle() const = 0;
    // `beforeClose` runs just before the descriptor closes, whoever closes it (the caller, or
    // the port itself when the adapter vanishes), so that nothing still holds its number.
    virtual void setBeforeClose(std::function<void()> beforeClose) = 0;

    // The device of the selected port ("/dev/ttyUSB0"); empty before a port is selected.
    virtual QString device() const = 0;

    // Why the last call that returned false failed, in the operating system's words.
    virtual QString errorText() const = 0;
};

} // namespace timers
