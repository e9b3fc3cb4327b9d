#include "serial/qt_serial_port.h"

#include "serial/port_bytes.h"
#include "serial/port_holders.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace timers {

QtSerialPort::QtSerialPort(SerialDevices devices, QObject* parent)
    : QObject(parent)
    , m_devices(std::move(devices))
{
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialPort::onError);
}

QtSerialPort::~QtSerialPort()
{
    if (m_port.isOpen())
        close();
}

bool QtSerialPort::fail(const QString& reason)
{
    m_error = reason;
    return false;
}

bool QtSerialPort::selectPort(std::int16_t number)
{
    if (m_port.isOpen())
        return fail(
            QStringLiteral("port %1 (%2) is open; close it before choosing another").arg(m_number).arg(m_device));
    const QStringList devices = m_devices.list();
    if (number < 1 || number > devices.size()) {
        return fail(QStringLiteral("there is no serial port %1 (%2 found%3%4)")
                        .arg(number)
                        .arg(devices.size())
                        .arg(devices.isEmpty() ? QString() : QStringLiteral(": "))
                        .arg(devices.join(QStringLiteral(", "))));
    }
    m_number = number;
    m_device = devices[number - 1];
    return true;
}

bool QtSerialPort::isOpen() const { return m_port.isOpen(); }

bool QtSerialPort::open()
{
    if (m_port.isOpen())
        return fail(QStringLiteral("port %1 (%2) is already open").arg(m_number).arg(m_device));
    if (m_device.isEmpty())
        return fail(QStringLiteral("no serial port is selected"));
    // A program that has the port open without a lock (a terminal program, a script) is not
    // stopped by Qt's lock: look for one before Linux raises the lines by opening the port.
    if (const PortHolders others = PortHolders::of(m_device, true); !others.openIn.isEmpty())
        return fail(
            QStringLiteral("cannot open port %1 (%2): it is busy. %3").arg(m_number).arg(m_device, others.text()));
    m_port.setPortName(m_device);
    m_port.setBaudRate(QSerialPort::Baud9600);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::WriteOnly)) {
        QString reason
            = QStringLiteral("cannot open port %1 (%2): %3").arg(m_number).arg(m_device, m_port.errorString());
        if (m_port.error() == QSerialPort::PermissionError) {
            // Qt gives one error for a lock held, a port in exclusive use and a missing right.
            const PortHolders holders = PortHolders::of(m_device, false);
            if (holders.seen())
                reason += QStringLiteral("; it is busy. ") + holders.text();
            else if (::access(QFile::encodeName(m_device).constData(), W_OK) != 0)
                reason += QStringLiteral(" (your user may need to be in the dialout group: sudo adduser $USER "
                                         "dialout, then log in again)");
            else {
                reason += QStringLiteral(" (another program may be using it, or your user may need to be in the "
                                         "dialout group: sudo adduser $USER dialout, then log in again)");
                if (!holders.hints.isEmpty())
                    reason += QLatin1Char(' ') + holders.hints;
            }
        }
        return fail(reason);
    }
    // Linux raised both lines as it opened the port: drop them before anything else.
    if (!lowerBothLines() || !setHangUpOnClose()) {
        const QString reason = m_error;
        closeDescriptor();
        return fail(reason);
    }
    return true;
}

bool QtSerialPort::setHangUpOnClose()
{
    termios settings{};
    const int fd = int(m_port.handle());
    if (::tcgetattr(fd, &settings) != 0)
        return fail(QStringLiteral("cannot read the settings of %1: %2")
                        .arg(m_device, QString::fromLocal8Bit(std::strerror(errno))));
    settings.c_cflag |= HUPCL;
    if (::tcsetattr(fd, TCSANOW, &settings) != 0)
        return fail(QStringLiteral("cannot set hang-up on close for %1: %2")
                        .arg(m_device, QString::fromLocal8Bit(std::strerror(errno))));
    return true;
}

bool QtSerialPort::close()
{
    if (!m_port.isOpen())
        return true;
    const bool lowered = lowerBothLines();
    const QString reason = m_error;
    // Qt restores the port's earlier settings as it closes, which may have HUPCL off: the lines
    // were dropped explicitly above.
    closeDescriptor();
    return lowered ? true : fail(reason);
}

void QtSerialPort::closeDescriptor()
{
    if (m_beforeClose)
        m_beforeClose(); // before the descriptor's number can be given to another file
    m_port.close();
}

bool QtSerialPort::lowerLines() { return lowerBothLines(); }

bool QtSerialPort::write(const QByteArray& bytes)
{
    if (!m_port.isOpen())
        return fail(QStringLiteral("port %1 (%2) is not open").arg(m_number).arg(m_device));
    if (writeAll(int(m_port.handle()), bytes.constData(), std::size_t(bytes.size())))
        return true;
    return fail(QStringLiteral("cannot write to port %1 (%2): %3")
                    .arg(m_number)
                    .arg(m_device, QString::fromLocal8Bit(std::strerror(errno))));
}

bool QtSerialPort::lowerBothLines()
{
    if (!m_port.isOpen())
        return true;
    // One request, so neither device stays on while the other goes off.
    int both = TIOCM_DTR | TIOCM_RTS;
    if (::ioctl(int(m_port.handle()), TIOCMBIC, &both) == 0)
        return true;
    // Try each even when the first fails: a device on the other line must still go off.
    const bool dtrLowered = setLine(true, false);
    const QString dtrError = m_error;
    const bool rtsLowered = setLine(false, false);
    if (!dtrLowered)
        m_error = dtrError;
    return dtrLowered && rtsLowered;
}

bool QtSerialPort::setDtr(bool asserted) { return setLine(true, asserted); }

bool QtSerialPort::setRts(bool asserted) { return setLine(false, asserted); }

bool QtSerialPort::setLine(bool dtr, bool asserted)
{
    if (!m_port.isOpen())
        return true;
    const bool done = dtr ? m_port.setDataTerminalReady(asserted) : m_port.setRequestToSend(asserted);
    if (!done) {
        // A vanished adapter has closed the port already (onError); keep the system's reason.
        const QString reason = m_port.isOpen() ? m_port.errorString() : m_closedBecause;
        m_port.clearError();
        return fail(QStringLiteral("cannot %1 %2 on port %3 (%4): %5")
                        .arg(asserted ? QStringLiteral("assert") : QStringLiteral("de-assert"),
                             dtr ? QStringLiteral("DTR") : QStringLiteral("RTS"))
                        .arg(m_number)
                        .arg(m_device, reason));
    }
    return true;
}

void QtSerialPort::onError(QSerialPort::SerialPortError error)
{
    // Opening reports NoError; a vanished adapter reports ResourceError. Close the port then,
    // so the next countdown can open it again once the adapter is back. Errors only arise in
    // our own calls (nothing is read), whose callers report them.
    if (error == QSerialPort::ResourceError && m_port.isOpen()) {
        m_closedBecause = m_port.errorString();
        closeDescriptor();
    }
}

} // namespace timers
