#pragma once

#include "app/exit_sequence.h"
#include "app/frmAlarm.h"
#include "comport/ComPort1.h"
#include "comport/device_dialog.h"
#include "desktop/desktop_notifier.h"
#include "desktop/logind_inhibitor.h"
#include "input/foot_switch.h"
#include "input/pin_watcher.h"
#include "output/device_output.h"
#include "output/interlocked_output.h"
#include "output/sleep_locked_output.h"
#include "raise/window_raise.h"
#include "recent/recent_answers.h"
#include "remote/remote_control.h"
#include "runlog/run_log.h"
#include "serial/qt_serial_port.h"
#include "settings/program_config.h"
#include "settings/settings_file.h"
#include "sound/lazy_sound.h"
#include "system/qt_clock.h"
#include "system/qt_dialogs.h"
#include "system/qt_tick_timer.h"
#include "tray/tray_entry.h"

#include <QTimer>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace timers {

// The whole program as it runs: it makes the platform adapters, the device output (the kind
// timers.conf chooses, on the serial port, in its sleep lock), the countdown and the stopwatch with the main
// window as their view, the COM port dialog, the script interface and the tray, and ties them
// together: the deadline's notice to the countdown, the settings load and the exit sequence.
class TimersApp {
public:
    struct Options {
        SerialDevices devices;
        QStringList soundModuleFolders;
        ExitSequence::Step endProcess;
        QString settingsPath = QString::fromLatin1(SettingsFile::kFileName);
        // Asked while the settings are read: true ends the program before it shows.
        std::function<bool()> endRequested = [] { return false; };
    };

    explicit TimersApp(Options options);

    // Loads the settings into the COM port dialog and the Alarm box, then shows the window.
    void startup();
    // File > Exit, the close box and termination signals all come here.
    void exit() { m_exitSequence.run(); }
    // SIGINT, SIGTERM, SIGHUP: the same exit, told as such in the record of a run.
    void exitBySignal()
    {
        m_exitBySignal = true;
        exit();
    }

    frmAlarm& window() { return m_window; }
    Countdown& countdown() { return m_countdown; }
    ComPort1& comDialog() { return m_comDialog; }
    ComTexts& comTexts() { return m_comTexts; }
    const QtSerialPort& serialPort() const { return m_serialPort; }

private:
    bool loadSettings();
    ProgramConfig loadConfig();
    void watchInputPin();
    void showDeviceDialog();
    void saveSettings();
    void tellOfFailedSave();

    QtClock m_clock;
    QtDialogs m_dialogs;
    LazySound m_sound;
    ExitSequence m_exitSequence;
    QtSerialPort m_serialPort;
    LogindInhibitor m_sleepInhibitor;
    DesktopNotifier m_notifier;
    QtTickTimer m_countdownTick{QtTickTimer::Phase::MidSecond};
    QtTickTimer m_stopwatchTick{QtTickTimer::Phase::FreeRunning};
    RecentAnswers m_recent;
    RunLog m_runs;
    ComTexts m_comTexts;
    ComPort1 m_comDialog; // created hidden; lives until exit
    ProgramConfigFile m_configFile;
    ProgramConfig m_config;                 // as it was at start: the output and the input pin
    std::unique_ptr<DeviceOutput> m_device; // the kind timers.conf chooses
    SleepLockedOutput m_sleepLocked;
    InterlockedOutput m_output; // what the countdown, the tray, the switches and the exit drive
    frmAlarm m_window;
    Countdown m_countdown;
    Stopwatch m_stopwatch;
    RemoteControl m_remote;
    TrayEntry m_tray;
    FootSwitch m_footSwitch;
    PinWatcher m_pinWatcher;
    DeviceDialog* m_deviceDialog = nullptr; // made at its first showing
    WindowRaise m_raise{[this] { m_window.bringToFront(); }};
    SettingsFile m_settings;
    std::function<bool()> m_endRequested;
    QTimer m_connectBuses; // once the window shows
    QString m_saveFailure; // why the exit's save failed, for the desktop notification
    bool m_exitBySignal = false;
};

} // namespace timers
