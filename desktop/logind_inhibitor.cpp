#include "logind_inhibitor.h"

#include "diagnostics.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>

#include <unistd.h>

namespace timers {

namespace {
void warnNoLock(const QString& reason)
{
    qCWarning(lcTimers, "cannot keep the machine awake during the countdown (no logind: %s)",
              qPrintable(reason.isEmpty() ? QStringLiteral("no answer") : reason));
}
} // namespace

LogindInhibitor::LogindInhibitor(QObject* parent)
    : QObject(parent)
{
}

LogindInhibitor::LogindInhibitor(QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
{
}

LogindInhibitor::~LogindInhibitor() { release(); }

QDBusConnection& LogindInhibitor::connectBus()
{
    if (!m_bus)
        return m_bus.emplace(QDBusConnection::systemBus());
    return *m_bus;
}

void LogindInhibitor::hold(const QString& why)
{
    m_wanted = true;
    if (m_fd >= 0 || m_request)
        return;
    QDBusConnection& bus = connectBus();
    if (!bus.isConnected()) {
        warnNoLock(bus.lastError().message());
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << QStringLiteral("Timers") << why << QStringLiteral("block");
    m_request = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(m_request, &QDBusPendingCallWatcher::finished, this, &LogindInhibitor::onInhibitReply);
}

void LogindInhibitor::onInhibitReply(QDBusPendingCallWatcher* call)
{
    call->deleteLater();
    m_request = nullptr;
    const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *call;
    if (reply.isError()) {
        warnNoLock(reply.error().message());
        return;
    }
    // Released while the request was under way: the descriptor object closes its copy and
    // the lock goes with it.
    if (!m_wanted)
        return;
    const QDBusUnixFileDescriptor fd = reply.value();
    // The descriptor object closes its copy; keep one of our own until release.
    if (fd.isValid())
        m_fd = ::dup(fd.fileDescriptor());
}

void LogindInhibitor::release()
{
    m_wanted = false;
    if (m_fd < 0)
        return;
    ::close(m_fd);
    m_fd = -1;
}

} // namespace timers
