#pragma once

#include "com_settings.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;

namespace timers {

// The "COM port" dialog: three editable drop-downs that hold the COM settings (port number,
// on/off, output pin) and a Done button. Modeless and without a parent widget, but a dialog
// of the main window for the window manager; Done and every close request only hide it, so its texts (and the serial port) outlive hiding. Esc does nothing.
// Its controls are made when it is first polished, just before it first shows: made at start,
// they would hold up the main window. Until then the dialog holds the three texts itself.
class ComPort1 final : public QWidget, public ComSettings {
    Q_OBJECT
public:
    // `listDevices` gives the serial devices in port-number order, for the port field's tooltip.
    explicit ComPort1(std::function<QStringList()> listDevices, QWidget* parent = nullptr);

    QString portNumberText() const override;
    QString onOffText() const override;
    QString pinText() const override;

    // For the settings loader. A port-number text other than the one shown raises the
    // port-number edit, as typing does.
    void setPortNumberText(const QString& text);
    void setOnOffText(const QString& text);
    void setPinText(const QString& text);

    // The ComPort menu entry: shows the dialog, or leaves it as it is when already shown.
    void showModeless();
    // The window the dialog belongs to for the window manager (transient for it), which then
    // places it over that window; the dialog stays modeless.
    void setTransientFor(QWidget* window) { m_transientFor = window; }

Q_SIGNALS:
    // Typed into the port-number field (choosing a list entry does not count), or loaded.
    void portNumberEdited(const QString& text);

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    static void setFieldText(QComboBox* field, QString& held, const QString& text);
    void Command1_Click();
    void updatePortTooltip();

    std::function<QStringList()> m_listDevices;
    QPointer<QWidget> m_transientFor;
    // The texts while the controls are not made yet.
    QString m_portNumber, m_onOff, m_pin;
    QLabel* Label1 = nullptr;
    QComboBox* ComPort = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* PortOnOff = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* DTR_RTS = nullptr;
    QPushButton* Command1 = nullptr;
};

} // namespace timers
