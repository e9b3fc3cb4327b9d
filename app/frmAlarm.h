#pragma once

#include "countdown/countdown.h"
#include "countdown/countdown_view.h"
#include "stopwatch/stopwatch.h"
#include "stopwatch/stopwatch_view.h"
#include "system/dialogs.h"
#include "system/signalling_tick_timer.h"

#include <QMainWindow>

class QAction;
class QCheckBox;
class QLabel;
class QPushButton;

namespace timers {

// The main window "Timers": the countdown above, the stopwatch below, the Alarm box and the
// menus. It binds its controls to the countdown and stopwatch logic, which the application
// owns, and is their view: it shows what they ask.
class frmAlarm final : public QMainWindow, public CountdownView, public StopwatchView {
    Q_OBJECT
public:
    struct Services {
        Countdown& countdown;         // only kept here: it may be made after the window
        Stopwatch& stopwatch;         // likewise
        Dialogs& dialogs;             // for Help
        SignallingTickTimer& tmrTime; // the stopwatch tick
    };

    explicit frmAlarm(Services services, QWidget* parent = nullptr);

    // Runs before the window is first shown, then shows it centred on the screen.
    void startup();

    // A second start from the desktop menu, or the tray's Show: the window comes to the front,
    // out of the taskbar if it was minimised.
    void bringToFront();

    // The Alarm box, for the settings file.
    bool isAlarmChecked() const { return alarmChecked(); }
    void checkAlarm();

Q_SIGNALS:
    // File > Exit and the close box: the application runs its exit sequence.
    void exitRequested();
    // The ComPort menu entry.
    void comPortRequested();
    // The window's context menu: the Device output dialog.
    void deviceOutputRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void centreOnScreen();
    void buildMenus();
    void addKeyboardCommands();
    void mHelp_Click();
    // Handlers named after their control and event, so that one is found from the control.
    void Countdown1_click();
    void Cancel_Click();
    void btnStart_Click();
    void tmrTime_Timer();

    void showRemaining(const QString& minutesSeconds) override;
    void setCancelEnabled(bool enabled) override;
    bool alarmChecked() const override;
    void showElapsed(const QString& hours, const QString& minutes, const QString& seconds) override;
    void setStartCaption(const QString& caption) override;

    Services m_services;
    bool m_centredWithFrame = false;
    QLabel* Label5 = nullptr;
    QLabel* lblTime = nullptr;
    QPushButton* Countdown1 = nullptr;
    QPushButton* Cancel = nullptr;
    QCheckBox* Alarm = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label3 = nullptr;
    QPushButton* btnStart = nullptr;
};

} // namespace timers
