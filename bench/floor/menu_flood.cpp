// A tray host gone wrong: sends the program's tray menu (`SERVICE` on the session bus, process
// `PID`) a list of COUNT ids at once (GetGroupProperties or AboutToShowGroup; EventGroup: as many
// "opened" events; GetLayout: as many property names; a METHOD the menu does not have sends the
// list of the one it starts with), then asks for the tray entry's status, which the program's
// window thread answers. Prints how soon each was answered and the CPU time the program's window
// thread (the process's first) and its other threads (QtDBus's among them) spent meanwhile.
//   menu_flood SERVICE PID METHOD COUNT...
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>
#include <numeric>

namespace {
// One event of EventGroup: (isvu).
struct Event {
    int id = 0;
};
QDBusArgument& operator<<(QDBusArgument& argument, const Event& event)
{
    argument.beginStructure();
    argument << event.id << QStringLiteral("opened") << QDBusVariant(QString()) << 0U;
    argument.endStructure();
    return argument;
}
const QDBusArgument& operator>>(const QDBusArgument& argument, Event&) { return argument; } // never read

// Seconds on a CPU of the window thread of process `pid` (its first), or of all its others.
double cpuSeconds(const QString& pid, bool window)
{
    double seconds = 0;
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if ((task == pid) != window)
            continue;
        QFile schedstat(tasks + QLatin1Char('/') + task + QStringLiteral("/schedstat"));
        if (schedstat.open(QIODevice::ReadOnly))
            seconds += double(schedstat.readAll().split(' ').value(0).toLongLong()) / 1e9;
    }
    return seconds;
}

// When `call` was answered, on `clock`, and how.
struct Timed {
    double seconds = -1;
    QString answer;
};
void time(const QDBusPendingCall& call, const QElapsedTimer& clock, Timed& into)
{
    auto* watcher = new QDBusPendingCallWatcher(call);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [&clock, &into](QDBusPendingCallWatcher* done) {
        into.seconds = double(clock.nsecsElapsed()) / 1e9;
        const QDBusMessage reply = done->reply();
        into.answer = reply.type() == QDBusMessage::ErrorMessage ? reply.errorName() : QStringLiteral("an answer");
        done->deleteLater();
    });
}
} // namespace

Q_DECLARE_METATYPE(Event)

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 5) {
        std::fprintf(stderr, "usage: menu_flood SERVICE PID METHOD COUNT...\n");
        return 2;
    }
    qDBusRegisterMetaType<Event>();
    qDBusRegisterMetaType<QList<Event>>();
    const QString& pid = args[2];
    const QString& method = args[3];
    QDBusConnection bus = QDBusConnection::sessionBus();
    constexpr int kHangMs = 600000; // bounds a hang only
    for (const QString& count : args.mid(4)) {
        QList<int> ids(count.toInt());
        std::iota(ids.begin(), ids.end(), 1);
        QDBusMessage flood = QDBusMessage::createMethodCall(args[1], QStringLiteral("/MenuBar"),
                                                            QStringLiteral("com.canonical.dbusmenu"), method);
        if (method.startsWith(QLatin1String("EventGroup"))) {
            QList<Event> events;
            for (const int id : ids)
                events << Event{id};
            flood << QVariant::fromValue(events);
        } else if (method.startsWith(QLatin1String("GetLayout"))) {
            flood << 0 << -1 << QStringList(ids.size(), QStringLiteral("label"));
        } else if (method.startsWith(QLatin1String("AboutToShowGroup"))) {
            flood << QVariant::fromValue(ids);
        } else {
            flood << QVariant::fromValue(ids) << QStringList{};
        }
        const QDBusMessage status = QDBusMessage::createMethodCall(args[1], QStringLiteral("/StatusNotifierItem"),
                                                                   QStringLiteral("org.freedesktop.DBus.Properties"),
                                                                   QStringLiteral("Get"))
                                 << QStringLiteral("org.kde.StatusNotifierItem") << QStringLiteral("Status");
        const double windowBefore = cpuSeconds(pid, true);
        const double othersBefore = cpuSeconds(pid, false);
        Timed flooded, next;
        QElapsedTimer clock;
        clock.start();
        time(bus.asyncCall(flood, kHangMs), clock, flooded);
        time(bus.asyncCall(status, kHangMs), clock, next);
        while (flooded.seconds < 0 || next.seconds < 0)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        std::printf("%-20s %8d ids: %s after %5.2f s, the status after %5.2f s; CPU: window thread %5.2f s, "
                    "others %5.2f s\n",
                    qPrintable(method), int(ids.size()), qPrintable(flooded.answer), flooded.seconds, next.seconds,
                    cpuSeconds(pid, true) - windowBefore, cpuSeconds(pid, false) - othersBefore);
    }
    return 0;
}
