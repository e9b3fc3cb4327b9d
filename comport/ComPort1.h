#pragma once

#include "comport/com_texts.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;

namespace timers {

// The "COM port" dialog: three editable drop-downs that show and edit the COM texts (port
// number, on/off, output pin) and a Done button. Modeless and without a parent widget, but a
// dialog of the main window for the window manager; Done and every close request only hide it.
// Esc does nothing. Its controls are made when it is first polished, just before it first
// shows: made at start, they would hold up the main window.
class ComPort1 final : public QWidget {
    Q_OBJECT
public:
    // `listDevices` gives the serial devices in port-number order, for the port field's tooltip.
    ComPort1(ComTexts& texts, std::function<QStringList()> listDevices, QWidget* parent = nullptr);

    // The ComPort menu entry: shows the dialog, or leaves it as it is when already shown.
    void showModeless();
    // The window the dialog belongs to for the window manager (transient for it), which then
    // places it over that window; the dialog stays modeless.
    void setTransientFor(QWidget* window) { m_transientFor = window; }

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    QComboBox* field(ComTexts::Field field) const;
    void showText(ComTexts::Field field, const QString& text);
    void Command1_Click();
    void updatePortTooltip();

    ComTexts& m_texts;
    std::function<QStringList()> m_listDevices;
    QPointer<QWidget> m_transientFor;
    QLabel* Label1 = nullptr;
    QComboBox* ComPort = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* PortOnOff = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* DTR_RTS = nullptr;
    QPushButton* Command1 = nullptr;
};

} // namespace timers
