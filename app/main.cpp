// Timers: a countdown that switches a device on a serial control line, and a stopwatch.

#include "com_hooks.h"
#include "exit_sequence.h"
#include "frmAlarm.h"
#include "qt_clock.h"
#include "qt_dialogs.h"
#include "lazy_sound.h"
#include "termination_signals.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vorn Timers"));

    timers::QtClock clock;
    timers::QtDialogs dialogs;
    timers::LazySound sound({QCoreApplication::applicationDirPath()});
    timers::NoComOutput com;
    timers::ExitSequence exitSequence(&timers::ExitSequence::endProcessNow);

    timers::frmAlarm window({clock, dialogs, sound, com}, exitSequence);
    dialogs.setOwner(&window);

    timers::TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &timers::TerminationSignals::requested, &window,
                     [&exitSequence] { exitSequence.run(); });

    window.startup();
    return QApplication::exec();
}
