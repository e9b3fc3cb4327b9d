#include "raise/raise_holder.h"

#include "remote/bus_round_trip.h"
#include "remote/timers_bus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QElapsedTimer>
#include <QThread>

namespace timers {

bool raiseWindowOf(pid_t pid, std::chrono::milliseconds within, QString& why)
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()) {
        why = QStringLiteral("no session bus: %1").arg(bus.lastError().message());
        return false;
    }
    constexpr int kCallMs = 1000;
    constexpr unsigned long kAgainMs = 200;
    why = QStringLiteral("it is not on the session bus");
    bool failedLast = false;
    QElapsedTimer waited;
    waited.start();
    do {
        const QDBusReply<QStringList> names = bus.interface()->registeredServiceNames();
        failedLast = !names.isValid();
        for (const QString& name : names.value()) {
            if (!name.startsWith(u':'))
                continue;
            const QDBusReply<uint> owner = bus.interface()->servicePid(name);
            failedLast = !owner.isValid();
            if (failedLast || owner.value() != uint(pid))
                continue;
            const QDBusMessage reply = bus.call(QDBusMessage::createMethodCall(name, QString::fromLatin1(kWindowPath),
                                                                               QString::fromLatin1(kWindowInterface),
                                                                               QStringLiteral("Raise")),
                                                QDBus::Block, kCallMs);
            if (reply.type() == QDBusMessage::ReplyMessage)
                return true;
            failedLast = true; // one of its other connections, or its window not shown yet
            why = reply.errorMessage();
        }
        QThread::msleep(kAgainMs);
    } while (waited.elapsed() < within.count());
    if (failedLast)
        waitForEarlierReplies(bus);
    return false;
}

} // namespace timers
