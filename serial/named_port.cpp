#include "serial/named_port.h"

#include "common/numbers.h"
#include "system/diagnostics.h"

namespace timers {

QString openNamedPort(SerialPort& port, const QString& text)
{
    const auto number = leadingInt16(text.toStdString());
    if (!number)
        return QStringLiteral("the port number \"%1\" is out of range").arg(text);
    if (!port.selectPort(*number) || !port.open())
        return port.errorText();
    return {};
}

QString selectEditedPort(SerialPort& port, const QString& text)
{
    const auto number = strictInt16(text.toStdString());
    if (!number)
        return QStringLiteral("%1 is not a port number").arg(quoted(text));
    return port.selectPort(*number) ? QString() : port.errorText();
}

} // namespace timers
