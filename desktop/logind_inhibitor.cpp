#include "desktop/logind_inhibitor.h"

#include "desktop/session_bus_probe.h"
#include "system/diagnostics.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QThread>

#include <memory>
#include <utility>

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

void LogindInhibitor::connectBus()
{
    if (m_bus || m_connecting)
        return;
    m_connecting = true;
    // Probed first: libdbus would wait for a silent bus far longer, holding Qt's bus thread.
    auto result = std::make_shared<std::pair<std::optional<QDBusConnection>, QString>>();
    QThread* connecting = QThread::create([result] {
        std::string why;
        if (systemBusAnswers(std::chrono::milliseconds(1000), why))
            result->first.emplace(QDBusConnection::systemBus());
        else
            result->second = QString::fromStdString(why);
    });
    // Not parented: a thread still connecting when this goes away ends and deletes itself.
    connect(connecting, &QThread::finished, connecting, &QObject::deleteLater);
    connect(connecting, &QThread::finished, this, [this, result] {
        m_connecting = false;
        m_bus = result->first ? *result->first : QDBusConnection(QStringLiteral("no system bus"));
        if (!m_bus->isConnected()) {
            m_saidNoBus = true;
            warnNoLock(result->first ? m_bus->lastError().message() : result->second);
            return;
        }
        if (m_wanted && m_fd < 0 && !m_request)
            request();
    });
    connecting->start();
}

void LogindInhibitor::hold(const QString& why)
{
    m_wanted = true;
    m_why = why;
    if (m_fd >= 0 || m_request)
        return;
    if (!m_bus) {
        connectBus(); // requests once connected
        return;
    }
    if (m_bus->isConnected())
        request();
    else if (!std::exchange(m_saidNoBus, true))
        warnNoLock(m_bus->lastError().message());
}

void LogindInhibitor::request()
{
    QDBusConnection& bus = m_bus.value(); // set before any request
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << QStringLiteral("Timers") << m_why << QStringLiteral("block");
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
