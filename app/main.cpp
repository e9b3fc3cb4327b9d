// Timers: a countdown that switches a device on a serial control line, and a stopwatch.

#include "app/command_line.h"
#include "app/display_required.h"
#include "app/drawn_arrow_style.h"
#include "app/fontconfig_warmup.h"
#include "app/spoken_names.h"
#include "app/timers_app.h"
#include "desktop/session_bus_probe.h"
#include "raise/raise_holder.h"
#include "settings/settings_lock.h"
#include "system/diagnostics.h"
#include "system/termination_signals.h"
#include "system/utf8_locale.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QImageReader>
#include <QPixmap>

#include <chrono>
#include <cstdio>
#include <optional>

namespace {

// Every size the program carries: a dock or task switcher takes the nearest to the one it draws.
// Read as PNG only: left to guess the format, Qt would load every image plugin to ask it. The
// folder holds only the PNGs: a name filter would bring in the regular-expression engine.
QIcon windowIcon()
{
    QIcon icon;
    const QDir sizes(QStringLiteral(":/icons"));
    for (const QString& file : sizes.entryList(QDir::Files)) {
        QImageReader reader(sizes.filePath(file), "png");
        reader.setAutoDetectImageFormat(false);
        icon.addPixmap(QPixmap::fromImage(reader.read()));
    }
    return icon;
}

// A second Timers in a folder whose settings another one uses asks that one to bring its window
// to the front, says so and ends, having opened no window and no port.
int handOver(const timers::SettingsLock& lock, int& argc, char* argv[])
{
    const QCoreApplication app(argc, argv); // for the session bus; no display is needed
    QString why = QStringLiteral("which process holds them cannot be seen");
    std::string busWhy;
    if (lock.holder() != 0 && !timers::sessionBusAnswers(std::chrono::milliseconds(1000), busWhy))
        why = QString::fromStdString(busWhy);
    else if (lock.holder() != 0 && timers::raiseWindowOf(lock.holder(), std::chrono::seconds(5), why))
        why.clear(); // within a few seconds: a Timers started at the same instant shows its window first
    const QString holder = lock.holder() != 0 ? QStringLiteral(" (pid %1)").arg(lock.holder()) : QString();
    qCWarning(timers::lcTimers, "the settings in %s are in use by the Timers already running there%s; %s",
              qPrintable(lock.folder()), qPrintable(holder),
              why.isEmpty() ? "its window was brought to the front"
                            : qPrintable(QStringLiteral("its window could not be brought to the front (%1)").arg(why)));
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    // Answered before anything else: no display, bus or settings file is needed for them.
    const timers::CommandLine commandLine = timers::CommandLine::read(argc, argv);
    switch (commandLine.action) {
    case timers::CommandLine::Action::Run:
        break;
    case timers::CommandLine::Action::Help:
        std::fputs(timers::CommandLine::help().c_str(), stdout);
        return 0;
    case timers::CommandLine::Action::Version:
        std::fputs(timers::CommandLine::version().c_str(), stdout);
        return 0;
    case timers::CommandLine::Action::Usage:
        std::fprintf(stderr, "timers: %s\nTry 'timers --help' for more information.\n", commandLine.problem.c_str());
        return 64; // EX_USAGE
    }
    // One Timers to a settings file, decided before anything is opened.
    const timers::SettingsLock lock(QString::fromLatin1(timers::SettingsFile::kFileName));
    switch (lock.state()) {
    case timers::SettingsLock::State::Held:
        break;
    case timers::SettingsLock::State::HeldElsewhere:
        return handOver(lock, argc, argv);
    case timers::SettingsLock::State::NotLockable:
        qCWarning(timers::lcTimers,
                  "the settings in %s cannot be locked (%s): a second Timers started there is not kept out",
                  qPrintable(lock.folder()), qPrintable(lock.why()));
        break;
    }
    timers::FontconfigWarmup fonts; // while the bus and the display answer
    // A session bus that never answers would hold up the first window (Qt asks it for the
    // screen reader and the theme as widgets are made). Without an answer, the program runs
    // without the desktop's services: every use of the bus then fails at once.
    if (std::string why; !timers::sessionBusAnswers(std::chrono::milliseconds(1000), why)) {
        qCWarning(timers::lcTimers,
                  "%s; the desktop services (notifications, screen reader) stay off until Timers is "
                  "restarted",
                  why.c_str());
        qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
    }
    timers::chooseUtf8CharacterType();
    std::optional<timers::DisplayRequired> noDisplay(std::in_place);
    QApplication app(argc, argv);
    noDisplay.reset();
    // The desktop entry's name, as the X11 window class (Qt takes the application name) and the
    // Wayland app id (the desktop file name), ties the window to its menu entry and icon.
    QApplication::setApplicationName(QStringLiteral("org.vorn.Timers"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.vorn.Timers"));
    QApplication::setWindowIcon(windowIcon());
    timers::installSpokenNames(QStringLiteral("Timers")); // the class above is no name to hear
    auto* style = new timers::DrawnArrowStyle;
    style->setParent(&app); // as setStyle would: the application owns its style
    QApplication::setStyle(style);

    // Signals are watched before anything else: the settings load stops early for them.
    timers::TerminationSignals terminationSignals;
    fonts.wait(); // before the first widget, which would otherwise load them a second time
    timers::TimersApp timers({timers::SerialDevices::fromEnvironment(), timers::LazySound::defaultFolders(),
                              &timers::ExitSequence::endProcessNow,
                              QString::fromLatin1(timers::SettingsFile::kFileName),
                              &timers::TerminationSignals::endRequested});

    QObject::connect(&terminationSignals, &timers::TerminationSignals::requested, &app,
                     [&timers] { timers.exitBySignal(); });

    timers.startup();
    return QApplication::exec();
}
