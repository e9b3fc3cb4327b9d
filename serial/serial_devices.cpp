#include "serial_devices.h"

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

} // namespace

SerialDevices::SerialDevices(QString folder)
    : m_folder(std::move(folder))
{
}

SerialDevices SerialDevices::fromEnvironment()
{
    return SerialDevices(qEnvironmentVariable("TIMERS_SERIAL_DIR"));
}

QStringList SerialDevices::ordered(QStringList names)
{
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return sortKey(a) < sortKey(b); });
    return names;
}

QStringList SerialDevices::list() const
{
    QStringList paths;
    if (!m_folder.isEmpty()) {
        const QDir folder(m_folder);
        for (const QString& name : ordered(folder.entryList({QStringLiteral("tty*")}, QDir::System | QDir::Files)))
            paths << folder.filePath(name);
        return paths;
    }
    QStringList names;
    QHash<QString, QString> locations;
    for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts()) {
        names << port.portName();
        locations.insert(port.portName(), port.systemLocation());
    }
    for (const QString& name : ordered(names))
        paths << locations.value(name);
    return paths;
}

} // namespace timers
