// Timers: a countdown that switches a device on a serial control line, and a stopwatch.

#include "termination_signals.h"
#include "timers_app.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // The desktop entry's name, as the X11 window class (Qt takes the application name) and the
    // Wayland app id (the desktop file name), ties the window to its menu entry and icon.
    QApplication::setApplicationName(QStringLiteral("org.vorn.Timers"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.vorn.Timers"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/org.vorn.Timers.svg")));

    // Signals are watched before anything else: the settings load stops early for them.
    timers::TerminationSignals terminationSignals;
    timers::TimersApp timers({timers::SerialDevices::fromEnvironment(), timers::LazySound::defaultFolders(),
                              &timers::ExitSequence::endProcessNow,
                              QString::fromLatin1(timers::SettingsFile::kFileName),
                              &timers::TerminationSignals::arrived});

    QObject::connect(&terminationSignals, &timers::TerminationSignals::requested, &app, [&timers] { timers.exit(); });

    timers.startup();
    return QApplication::exec();
}
