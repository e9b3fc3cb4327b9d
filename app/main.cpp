// Timers: a countdown that switches a device on a serial control line, and a stopwatch.

#include "diagnostics.h"
#include "session_bus_probe.h"
#include "termination_signals.h"
#include "timers_app.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[])
{
    // A session bus that never answers would hold up the first window (Qt asks it for the
    // screen reader and the theme as widgets are made). Without an answer, the program runs
    // without the desktop's services: every use of the bus then fails at once.
    if (std::string why; !timers::sessionBusAnswers(std::chrono::milliseconds(1000), why)) {
        qCWarning(timers::lcTimers, "%s; the desktop services (notifications, screen reader) stay off until Timers is "
                                    "restarted", why.c_str());
        qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
    }
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
