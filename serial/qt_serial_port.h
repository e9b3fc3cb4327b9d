#pragma once

#include "serial/serial_devices.h"
#include "serial/serial_port.h"

#include <QObject>
#include <QSerialPort>

namespace timers {

// The serial port over QSerialPort, made safe for switching a device on a control line:
// - opened write-only (nothing is read; and a port opened for reading spins at full CPU in
//   Qt 6.4 once a USB adapter is unplugged);
// - both lines de-asserted right after open (Linux raises both when a port opens), so a
//   device on the line that is not selected is never switched on by a countdown;
// - HUPCL set while open, so that if the program is killed or crashes, the kernel drops both
//   lines when it closes the descriptor;
// - closing de-asserts both lines itself before the descriptor closes, since Qt restores the
//   port's earlier settings (which may have HUPCL off) as it closes.
// - 9600 Bd 8N1, which the relay boards that take frames expect; a line ignores it.
// A line state set while the port is closed is not remembered: every open starts with both
// lines de-asserted.
class QtSerialPort final : public QObject, public SerialPort {
    Q_OBJECT
public:
    explicit QtSerialPort(SerialDevices devices, QObject* parent = nullptr);
    ~QtSerialPort() override;

    bool selectPort(std::int16_t number) override;
    bool isOpen() const override;
    bool open() override;
    bool close() override;
    bool setDtr(bool asserted) override;
    bool setRts(bool asserted) override;
    bool lowerLines() override;
    bool write(const QByteArray& bytes) override;
    int handle() const override { return m_port.isOpen() ? int(m_port.handle()) : -1; }
    void setBeforeClose(std::function<void()> beforeClose) override { m_beforeClose = std::move(beforeClose); }
    QString device() const override { return m_device; }
    QString errorText() const override { return m_error; }

    const SerialDevices& devices() const { return m_devices; }

private:
    bool fail(const QString& reason);
    void closeDescriptor();
    bool setLine(bool dtr, bool asserted);
    bool lowerBothLines();
    bool setHangUpOnClose();
    void onError(QSerialPort::SerialPortError error);

    SerialDevices m_devices;
    QSerialPort m_port;
    std::int16_t m_number = 0;
    QString m_device; // chosen by selectPort
    QString m_error;
    QString m_closedBecause;
    std::function<void()> m_beforeClose;
};

} // namespace timers
