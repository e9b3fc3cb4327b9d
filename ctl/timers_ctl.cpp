// timers-ctl: sets, cancels, reads and waits for the countdown of the running Timers, through
// its interface on the session bus (org.vorn.Timers).

#include "common/duration.h"
#include "common/remaining_time.h"
#include "remote/bus_round_trip.h"
#include "remote/timers_bus.h"
#include "runlog/run_log_file.h"
#include "system/utf8_locale.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <optional>
#include <utility>

namespace {

const QString kService = QString::fromLatin1(timers::kBusName);
const QString kPath = QString::fromLatin1(timers::kObjectPath);
const QString kInterface = kService;

// Exit statuses.
constexpr int kDone = 0;
constexpr int kRefused = 1; // also: the countdown waited for was cancelled
constexpr int kNoProgram = 2;
constexpr int kNothingToWaitFor = 3;
constexpr int kNothingToShow = 3; // no run recorded
constexpr int kUsage = 64;

int say(int status, const QString& text)
{
    std::fprintf(status == kDone ? stdout : stderr, "%s\n", qPrintable(text));
    return status;
}

const QString kUsageLine = QStringLiteral(
    "usage: timers-ctl set DURATION | cancel | pause | resume | status | wait | show\n"
    "       timers-ctl log [N]\n"
    "       timers-ctl --help | --version");

int usage(const QString& problem) { return say(kUsage, QStringLiteral("timers-ctl: %1\n%2").arg(problem, kUsageLine)); }

int help()
{
    return say(
        kDone,
        QStringLiteral("Usage: timers-ctl COMMAND\n"
                       "Drives the countdown of the Timers that runs in this desktop session.\n"
                       "\n"
                       "  set DURATION  starts a countdown of DURATION: 90, 12.5, 1:30, 1:02.3, 1:02:03, 90s,\n"
                       "                5m, 1.5m, 1h30m, 5 min (to the hundredth of a second); 0 stops it\n"
                       "  cancel        as the Cancel button\n"
                       "  pause         switches the device off and stops the countdown where it is\n"
                       "  resume        switches the device on again for exactly what remained\n"
                       "  status        the display and whether a countdown runs: \"01:29 running\",\n"
                       "                \"01:29 paused\"\n"
                       "  wait          returns when the countdown ends: status 0 when it ran out, 1 when cancelled\n"
                       "  show          brings the window of the running Timers to the front\n"
                       "  log [N]       the last N runs that switched the device (10 unless N is given),\n"
                       "                oldest first, from the record Timers keeps; needs no running Timers\n"
                       "  --help        shows this help\n"
                       "  --version     shows the version\n"
                       "\n"
                       "Exit status: 0 done, 1 refused or failed (the reason is printed) or cancelled, 2 no Timers\n"
                       "answers on the session bus, 3 no countdown to wait for or no run recorded, 64 the command\n"
                       "line was not understood.\n"
                       "See timers-ctl(1)."));
}

// The call's answer; a failure is said on stderr and gives the exit status.
struct Answer {
    QDBusMessage reply;
    int status = kDone;
};

// `timeoutMs` -1: the bus's own (25 s).
Answer call(QDBusConnection& bus, const QString& interface, const QString& method, const QVariantList& arguments = {},
            const QString& path = kPath, int timeoutMs = -1)
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, method);
    message.setArguments(arguments);
    Answer answer{bus.call(message, QDBus::Block, timeoutMs)};
    if (answer.reply.type() != QDBusMessage::ErrorMessage)
        return answer;
    timers::waitForEarlierReplies(bus); // before the program can end
    const QString name = answer.reply.errorName();
    if (name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown")
        || name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner")) {
        answer.status = say(
            kNoProgram, QStringLiteral("timers-ctl: Timers is not running (no %1 on the session bus)").arg(kService));
    } else if (name.startsWith(QLatin1String(timers::kErrorPrefix)))
        answer.status = say(kRefused, QStringLiteral("timers-ctl: %1").arg(answer.reply.errorMessage()));
    else
        answer.status = say(kNoProgram,
                            QStringLiteral("timers-ctl: Timers does not answer: %1").arg(answer.reply.errorMessage()));
    return answer;
}

// Remaining and Running, or the failure's status.
struct State {
    qint64 remaining = 0;
    bool running = false;
    bool paused = false;
    int status = kDone;
};

State state(QDBusConnection& bus)
{
    const Answer answer = call(bus, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"),
                               {kInterface});
    if (answer.status != kDone)
        return {0, false, false, answer.status};
    const QVariantMap properties = qdbus_cast<QVariantMap>(answer.reply.arguments().value(0));
    return {properties.value(QStringLiteral("Remaining")).toLongLong(),
            properties.value(QStringLiteral("Running")).toBool(), properties.value(QStringLiteral("Paused")).toBool(),
            kDone};
}

// Waits for the running countdown's Finished signal, or for the program to leave the bus.
class Waiter : public QObject {
    Q_OBJECT
public:
    explicit Waiter(QDBusConnection& bus)
        : m_bus(bus)
    {
        m_decide.setSingleShot(true);
        m_decide.setInterval(0);
        connect(&m_decide, &QTimer::timeout, this, &Waiter::ownerGone);
    }
    bool listen()
    {
        return m_bus.connect(kService, kPath, kInterface, QStringLiteral("Finished"), this, SLOT(finished(bool)))
            && m_bus.connect(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                             QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameOwnerChanged"), this,
                             SLOT(ownerChanged(QString, QString, QString)));
    }

private Q_SLOTS:
    void finished(bool cancelled)
    {
        if (std::exchange(m_decided, true))
            return;
        std::printf("%s\n", cancelled ? "cancelled" : "done"); // an outcome, not a failure: on stdout
        QCoreApplication::exit(cancelled ? kRefused : kDone);
    }
    void ownerChanged(const QString& name, const QString& /*before*/, const QString& now)
    {
        if (name != kService || !now.isEmpty())
            return;
        // Decided once the messages that came with it are handled: a Finished sent just before
        // the program ended is its outcome.
        m_decide.start();
    }

private:
    void ownerGone()
    {
        if (m_decided)
            return;
        // A bus that went away says nothing of the program: only a bus that still answers does.
        const bool busAnswers = m_bus.isConnected() && m_bus.interface()->isServiceRegistered(kService).isValid();
        m_decided = true;
        QCoreApplication::exit(
            say(kNoProgram, busAnswers
                                ? QStringLiteral("timers-ctl: Timers ended before the countdown did")
                                : QStringLiteral("timers-ctl: the session bus went away before the countdown ended")));
    }

    bool m_decided = false;
    QTimer m_decide; // after the messages that came with the owner's change
    QDBusConnection& m_bus;
};

// N of `timers-ctl log N`: a whole number above 0; one too large for an int asks for every run.
std::optional<int> runCount(const QString& text)
{
    if (text.isEmpty() || !std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return {};
    bool fits = false;
    const int count = text.toInt(&fits);
    if (!fits)
        return std::numeric_limits<int>::max();
    return count > 0 ? std::optional(count) : std::nullopt;
}

// `timers-ctl log [N]`: read from the file, with no bus, so that it works with no Timers running.
int showLog(const QStringList& arguments)
{
    constexpr int kDefaultCount = 10;
    if (arguments.size() > 1)
        return usage(QStringLiteral("log takes at most one N"));
    const std::optional<int> count = arguments.isEmpty() ? kDefaultCount : runCount(arguments.first());
    if (!count)
        return usage(QStringLiteral("'%1' is not a number of runs: use a whole number above 0").arg(arguments.first()));
    const QString path = timers::runLogPath();
    const timers::RunLogTail tail = timers::readRunLogTail(path, *count);
    if (!tail.failure.isEmpty())
        return say(kRefused, QStringLiteral("timers-ctl: cannot read %1: %2").arg(path, tail.failure));
    if (tail.unreadableLines > 0)
        std::fprintf(
            stderr, "%s\n",
            qPrintable(QStringLiteral("timers-ctl: skipped %1 unreadable %2 of %3")
                           .arg(tail.unreadableLines)
                           .arg(tail.unreadableLines == 1 ? QStringLiteral("line") : QStringLiteral("lines"), path)));
    if (tail.runs.isEmpty())
        return say(kNothingToShow, QStringLiteral("timers-ctl: no run recorded yet in %1").arg(path));
    for (const timers::RunRecord& run : tail.runs)
        std::printf("%s\n", qPrintable(timers::readableRun(run)));
    return kDone;
}

} // namespace

int main(int argc, char* argv[])
{
    timers::chooseUtf8CharacterType();
    QCoreApplication app(argc, argv);
    // The command line is read before the bus is: help and usage need no session.
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    const QString command = arguments.value(0);
    if (command == QLatin1String("--help") || command == QLatin1String("-h"))
        return arguments.size() == 1 ? help() : usage(QStringLiteral("--help takes no arguments"));
    if (command == QLatin1String("--version"))
        return arguments.size() == 1 ? say(kDone, QStringLiteral("timers-ctl " TIMERS_VERSION))
                                     : usage(QStringLiteral("--version takes no arguments"));
    if (command == QLatin1String("log"))
        return showLog(arguments.mid(1));
    static const QStringList kCommands{QStringLiteral("set"),    QStringLiteral("cancel"), QStringLiteral("pause"),
                                       QStringLiteral("resume"), QStringLiteral("status"), QStringLiteral("wait"),
                                       QStringLiteral("show")};
    if (command.isEmpty())
        return usage(QStringLiteral("no command given"));
    if (!kCommands.contains(command))
        return usage(QStringLiteral("unknown command '%1'").arg(command));
    if (arguments.size() != (command == QLatin1String("set") ? 2 : 1)) {
        return usage(command == QLatin1String("set") ? QStringLiteral("set takes one DURATION")
                                                     : QStringLiteral("%1 takes no arguments").arg(command));
    }
    // Read whole here, before any bus: a text read in part would run for a time nobody asked.
    if (command == QLatin1String("set") && !timers::readDuration(arguments[1].toStdString()))
        return usage(
            QStringLiteral("'%1' is not a duration: use %2").arg(arguments[1], QLatin1String(timers::kDurationForms)));

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return say(kNoProgram, QStringLiteral("timers-ctl: no session bus (%1)").arg(bus.lastError().message()));

    if (command == QLatin1String("set"))
        return call(bus, kInterface, QStringLiteral("Set"), {arguments[1]}).status;
    if (command == QLatin1String("show")) {
        // Started from the menu, the launcher waits for this: a stalled program must not hold it.
        constexpr int kShowTimeoutMs = 5000;
        return call(bus, QString::fromLatin1(timers::kWindowInterface), QStringLiteral("Raise"), {},
                    QString::fromLatin1(timers::kWindowPath), kShowTimeoutMs)
            .status;
    }
    if (command == QLatin1String("cancel"))
        return call(bus, kInterface, QStringLiteral("Cancel")).status;
    if (command == QLatin1String("pause") || command == QLatin1String("resume"))
        return call(bus, kInterface,
                    command == QLatin1String("pause") ? QStringLiteral("Pause") : QStringLiteral("Resume"))
            .status;
    if (command == QLatin1String("status")) {
        const State now = state(bus);
        if (now.status != kDone)
            return now.status;
        return say(kDone, QStringLiteral("%1 %2").arg(QString::fromStdString(timers::minutesSeconds(now.remaining)),
                                                      !now.running ? QStringLiteral("stopped")
                                                      : now.paused ? QStringLiteral("paused")
                                                                   : QStringLiteral("running")));
    }
    if (command == QLatin1String("wait")) {
        Waiter waiter(bus);
        if (!waiter.listen())
            return say(
                kNoProgram,
                QStringLiteral("timers-ctl: cannot listen on the session bus (%1)").arg(bus.lastError().message()));
        const State now = state(bus); // after listening: a completion in between is not missed
        if (now.status != kDone)
            return now.status;
        if (!now.running)
            return say(kNothingToWaitFor, QStringLiteral("timers-ctl: no countdown is running"));
        return QCoreApplication::exec();
    }
    return usage(QStringLiteral("unknown command '%1'").arg(command));
}

#include "timers_ctl.moc"
