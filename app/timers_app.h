#pragma once

#include "ComPort1.h"
#include "com_output.h"
#include "desktop_notifier.h"
#include "exit_sequence.h"
#include "frmAlarm.h"
#include "lazy_sound.h"
#include "logind_inhibitor.h"
#include "qt_clock.h"
#include "qt_dialogs.h"
#include "qt_serial_port.h"
#include "settings_file.h"

namespace timers {

// The whole program as it runs: the platform adapters, the COM port dialog with the serial
// port and the COM output, the main window, and the exit sequence that ties them together.
class TimersApp {
public:
    struct Options {
        SerialDevices devices;
        QStringList soundModuleFolders;
        ExitSequence::Step endProcess;
        QString settingsPath = QString::fromLatin1(SettingsFile::kFileName);
    };

    explicit TimersApp(Options options);

    // Loads the settings into the COM port dialog and the Alarm box, then shows the window.
    void startup();
    // File > Exit, the close box and termination signals all come here.
    void exit() { m_exitSequence.run(); }

    frmAlarm& window() { return m_window; }
    ComPort1& comDialog() { return m_comDialog; }
    const QtSerialPort& serialPort() const { return m_serialPort; }

private:
    void loadSettings();
    void saveSettings();

    QtClock m_clock;
    QtDialogs m_dialogs;
    LazySound m_sound;
    ExitSequence m_exitSequence;
    QtSerialPort m_serialPort;
    LogindInhibitor m_sleepInhibitor;
    DesktopNotifier m_notifier;
    ComPort1 m_comDialog; // created hidden; lives until exit
    ComOutput m_com;
    frmAlarm m_window;
    SettingsFile m_settings;
};

} // namespace timers
