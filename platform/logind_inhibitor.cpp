#include "logind_inhibitor.h"

#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>

#include <cstdio>
#include <unistd.h>

namespace timers {

LogindInhibitor::LogindInhibitor() = default;

LogindInhibitor::LogindInhibitor(QDBusConnection bus)
    : m_bus(std::move(bus))
{
}

LogindInhibitor::~LogindInhibitor() { release(); }

void LogindInhibitor::hold(const QString& why)
{
    if (m_fd >= 0)
        return;
    if (!m_bus)
        m_bus = QDBusConnection::systemBus();
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << QStringLiteral("Timers") << why << QStringLiteral("block");
    const QDBusMessage reply = m_bus->call(call, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        const QString reason = m_bus->isConnected() ? reply.errorMessage() : m_bus->lastError().message();
        std::fprintf(stderr, "timers: cannot keep the machine awake during the countdown (no logind: %s)\n",
                     qPrintable(reason.isEmpty() ? QStringLiteral("no answer") : reason));
        return;
    }
    const auto fd = qvariant_cast<QDBusUnixFileDescriptor>(reply.arguments().constFirst());
    // The descriptor object closes its copy; keep one of our own until release.
    if (fd.isValid())
        m_fd = ::dup(fd.fileDescriptor());
}

void LogindInhibitor::release()
{
    if (m_fd < 0)
        return;
    ::close(m_fd);
    m_fd = -1;
}

} // namespace timers
