// Stand-ins for systemd-logind (on the system bus) and a desktop's notification service and
// tray (on the session bus), for a private bus: `fake_desktop login1 notifications` offers the
// first two. Inhibit answers with the write end of a pipe; stdout says when a lock is taken,
// when its holder lets go of it, what each notification said, and which tray item registered.
// With `actions` the notification service shows buttons, and with `click=KEY` the user
// chooses the button KEY of the first notification that offers it, a second after it came.
// `watcher` offers org.kde.StatusNotifierWatcher, the tray's registry. `timers=HOW` stands in
// for the program's script interface (see Timers below).
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QSocketNotifier>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>

#include <cstdio>
#include <ctime>
#include <unistd.h>
#include <utility>

namespace {
void say(const QString& line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}
} // namespace

class Manager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public Q_SLOTS:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why, const QString& mode)
    {
        int ends[2];
        if (::pipe(ends) != 0)
            return {};
        say(QStringLiteral("inhibit %1|%2|%3|%4").arg(what, who, why, mode));
        auto* watch = new QSocketNotifier(ends[0], QSocketNotifier::Read, this);
        connect(watch, &QSocketNotifier::activated, this, [watch, who] {
            char byte;
            if (::read(int(watch->socket()), &byte, 1) > 0)
                return;
            say(QStringLiteral("released ") + who);
            watch->setEnabled(false);
            ::close(int(watch->socket()));
            watch->deleteLater();
        });
        QDBusUnixFileDescriptor handed(ends[1]); // a duplicate goes to the caller
        ::close(ends[1]);
        return handed;
    }
};

class Notifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList capabilities{QStringLiteral("body")};
    QString click; // the button the user chooses

public Q_SLOTS:
    QStringList GetCapabilities() { return capabilities; }
    uint Notify(const QString& app, uint, const QString& icon, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap& hints, int)
    {
        // With the time it came, on the clock of the modem-line log.
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        say(QStringLiteral("notify %1|%2|%3|%4|entry=%5|at=%6%7")
                .arg(app, icon, summary, QString(body).replace('\n', QLatin1String("\\n")),
                     hints.value(QStringLiteral("desktop-entry")).toString())
                .arg(qint64(now.tv_sec) * 1000000000 + now.tv_nsec)
                .arg(actions.isEmpty() ? QString() : "|actions=" + actions.join(',')));
        const uint id = ++m_id;
        if (!click.isEmpty() && actions.contains(click)) {
            QTimer::singleShot(1000, this, [id, key = std::exchange(click, {})] {
                QDBusMessage signal = QDBusMessage::createSignal("/org/freedesktop/Notifications",
                                                                 "org.freedesktop.Notifications", "ActionInvoked");
                QDBusConnection::sessionBus().send(signal << id << key);
            });
        }
        return id;
    }

private:
    uint m_id = 0;
};

class Watcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ yes)
    Q_PROPERTY(int ProtocolVersion READ version)
public:
    bool yes() const { return true; }
    int version() const { return 0; }
public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service) { say("item " + service); }
    void RegisterStatusNotifierHost(const QString&) { }
};

// The program's script interface, for timers-ctl's wait at the moments a real countdown makes
// rare: HOW is `ends-as-read` (Finished goes out as the state is read, before its answer),
// `at-zero` (00:00 while it runs; done a second later) or `stranger-leaves` (another client
// leaves the bus; cancelled two seconds later). Set is told on stdout. It leaves the bus three
// seconds after the state was read: a wait that missed the end ends too.
class Timers : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.vorn.Timers")
    Q_PROPERTY(qint64 Remaining READ remaining)
    Q_PROPERTY(bool Running READ running)
public:
    QString how;
    qint64 remaining() const { return how == QLatin1String("at-zero") ? 0 : 5; }
    bool running()
    {
        if (std::exchange(m_read, true))
            return true;
        if (how == QLatin1String("ends-as-read"))
            finish(false);
        if (how == QLatin1String("at-zero"))
            QTimer::singleShot(1000, this, [this] { finish(false); });
        if (how == QLatin1String("stranger-leaves")) {
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("stranger"));
            QDBusConnection::disconnectFromBus(QStringLiteral("stranger"));
            QTimer::singleShot(2000, this, [this] { finish(true); });
        }
        QTimer::singleShot(3000, qApp, &QCoreApplication::quit);
        return true;
    }
public Q_SLOTS:
    void Set(const QString& answer) { say("set " + answer); }

private:
    void finish(bool cancelled)
    {
        QDBusConnection::sessionBus().send(QDBusMessage::createSignal("/org/vorn/Timers", "org.vorn.Timers", "Finished")
                                           << cancelled);
    }
    bool m_read = false;
};

namespace {
bool offer(QDBusConnection bus, const QString& path, const QString& name, QObject* object)
{
    if (bus.registerObject(path, object, QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties)
        && bus.registerService(name))
        return true;
    std::fprintf(stderr, "fake_desktop: %s\n", qPrintable(bus.lastError().message()));
    return false;
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList services = QCoreApplication::arguments().mid(1);
    Manager manager;
    Notifications notifications;
    Watcher watcher;
    Timers timers;
    if (services.contains(QLatin1String("actions")))
        notifications.capabilities << QStringLiteral("actions");
    for (const QString& service : services) {
        if (service.startsWith(QLatin1String("click=")))
            notifications.click = service.mid(6);
        if (service.startsWith(QLatin1String("timers=")))
            timers.how = service.mid(7);
    }
    if (services.contains(QLatin1String("login1"))
        && !offer(QDBusConnection::systemBus(), QStringLiteral("/org/freedesktop/login1"),
                  QStringLiteral("org.freedesktop.login1"), &manager))
        return 1;
    if (services.contains(QLatin1String("notifications"))
        && !offer(QDBusConnection::sessionBus(), QStringLiteral("/org/freedesktop/Notifications"),
                  QStringLiteral("org.freedesktop.Notifications"), &notifications))
        return 1;
    if (services.contains(QLatin1String("watcher"))
        && !offer(QDBusConnection::sessionBus(), QStringLiteral("/StatusNotifierWatcher"),
                  QStringLiteral("org.kde.StatusNotifierWatcher"), &watcher))
        return 1;
    if (!timers.how.isEmpty()
        && !offer(QDBusConnection::sessionBus(), QStringLiteral("/org/vorn/Timers"), QStringLiteral("org.vorn.Timers"),
                  &timers))
        return 1;
    say(QStringLiteral("ready"));
    return QCoreApplication::exec();
}

#include "fake_desktop.moc"
