#include "serial/serial_devices.h"

#include <QDir>
#include <QSerialPortInfo>

#include <algorithm>
#include <tuple>

namespace timers {

namespace {

int group(const QString& name)
{
    if (name.startsWith(QLatin1String("ttyUSB")) || name.startsWith(QLatin1String("ttyACM")))
        return 0;
    if (name.startsWith(QLatin1String("ttyS")))
        return 1;
    return 2;
}

// ttyUSB10 sorts after ttyUSB9: the trailing number is compared as a number.
auto sortKey(const QString& name)
{
    qsizetype digits = name.size();
    while (digits > 0 && name[digits - 1].isDigit())
        --digits;
    const QString stem = name.left(digits);
    const qulonglong number = name.mid(digits).toULongLong();
    return std::make_tuple(group(name), stem, number, name);
}

// "FTDI FT232R USB UART, serial A50285BI": what an adapter gives of its maker, product and
// serial number; empty for a port that is not on USB.
QString usbIdentity(const QSerialPortInfo& port)
{
    if (!port.hasVendorIdentifier())
        return {};
    QStringList parts;
    const QString product = QStringList{port.manufacturer(), port.description()}.join(QLatin1Char(' ')).trimmed();
    if (!product.isEmpty())
        parts << product;
    if (!port.serialNumber().isEmpty())
        parts << QStringLiteral("serial %1").arg(port.serialNumber());
    return parts.join(QStringLiteral(", "));
}

} // namespace

SerialDevices::SerialDevices(QString folder)
    : m_folder(std::move(folder))
{
}

SerialDevices SerialDevices::fromEnvironment() { return SerialDevices(qEnvironmentVariable("TIMERS_SERIAL_DIR")); }

QStringList SerialDevices::ordered(QStringList names)
{
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) { return sortKey(a) < sortKey(b); });
    return names;
}

QStringList SerialDevices::list() const { return entries(false); }

QStringList SerialDevices::described() const { return entries(true); }

QStringList SerialDevices::entries(bool withIdentity) const
{
    QStringList paths;
    if (!m_folder.isEmpty()) {
        const QDir folder(m_folder);
        for (const QString& name : ordered(folder.entryList({QStringLiteral("tty*")}, QDir::System | QDir::Files)))
            paths << folder.filePath(name);
        return paths;
    }
    QHash<QString, QSerialPortInfo> ports; // by kernel name
    for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts())
        ports.insert(port.portName(), port);
    for (const QString& name : ordered(ports.keys())) {
        const QSerialPortInfo& port = ports[name];
        const QString identity = withIdentity ? usbIdentity(port) : QString();
        paths << (identity.isEmpty() ? port.systemLocation()
                                     : QStringLiteral("%1 (%2)").arg(port.systemLocation(), identity));
    }
    return paths;
}

} // namespace timers
