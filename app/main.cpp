// Timers: a countdown that switches a device on a serial control line, and a stopwatch.

#include "termination_signals.h"
#include "timers_app.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vorn Timers"));

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
