#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

namespace timers {

// Which device a port number names. Port N is the N-th serial device in a fixed order: USB
// adapters first (ttyACM*, ttyUSB*, by kernel name, numbers compared as numbers), then
// built-in ports (ttyS*), then any others. The numbering stays put while the same devices
// are plugged in; plugging in another adapter can move the ones after it.
class SerialDevices {
public:
    // The system's serial ports, or, when `folder` is not empty, every tty* entry of that
    // folder (the tests put links to pseudo-terminals there).
    explicit SerialDevices(QString folder = {});

    // Reads TIMERS_SERIAL_DIR: the folder to take instead of the system's ports.
    static SerialDevices fromEnvironment();

    // Device paths in port-number order: the first is port 1.
    QStringList list() const;
    // The same, each followed by what its USB adapter says of itself (maker, product, serial
    // number, where it gives them), so that two adapters can be told apart.
    QStringList described() const;

    // Puts kernel names (ttyUSB0, ttyS1, ...) in port-number order.
    static QStringList ordered(QStringList names);

private:
    QStringList entries(bool withIdentity) const;

    QString m_folder;
};

} // namespace timers
