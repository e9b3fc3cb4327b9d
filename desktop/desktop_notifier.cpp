#include "desktop_notifier.h"

#include "diagnostics.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace timers {

DesktopNotifier::DesktopNotifier(QObject* parent)
    : QObject(parent)
{
}

DesktopNotifier::DesktopNotifier(QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
{
}

QDBusConnection& DesktopNotifier::connectBus()
{
    if (!m_bus)
        return m_bus.emplace(QDBusConnection::sessionBus());
    return *m_bus;
}

namespace {
void warnNotShown(const QString& reason)
{
    qCWarning(lcTimers, "cannot show a desktop notification (%s)",
              qPrintable(reason.isEmpty() ? QStringLiteral("no notification service") : reason));
}
} // namespace

std::optional<QDBusMessage> DesktopNotifier::notifyCall(const QString& summary, const QString& body)
{
    QDBusConnection& bus = connectBus();
    if (!bus.isConnected()) {
        warnNotShown(bus.lastError().message());
        Q_EMIT answered(false);
        return std::nullopt;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // Message texts break lines with CR LF; a notification body with LF.
    QString text = body;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    call << QString::fromLatin1(kAppName) << 0U << QString::fromLatin1(kIcon) << summary << text << QStringList()
         << QVariantMap() << -1;
    return call;
}

void DesktopNotifier::notify(const QString& summary, const QString& body)
{
    const auto call = notifyCall(summary, body);
    if (!call)
        return;
    auto* watcher = new QDBusPendingCallWatcher(connectBus().asyncCall(*call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* reply) {
        reply->deleteLater();
        const QDBusPendingReply<uint> answer = *reply;
        if (answer.isError())
            warnNotShown(answer.error().message());
        Q_EMIT answered(!answer.isError());
    });
}

void DesktopNotifier::notifyBeforeExit(const QString& summary, const QString& body)
{
    const auto call = notifyCall(summary, body);
    if (!call)
        return;
    const QDBusMessage answer = connectBus().call(*call, QDBus::Block, kExitWaitMs);
    const bool shown = answer.type() == QDBusMessage::ReplyMessage;
    if (!shown)
        warnNotShown(answer.errorMessage());
    Q_EMIT answered(shown);
}

} // namespace timers
