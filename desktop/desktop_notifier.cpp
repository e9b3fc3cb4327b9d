#include "desktop/desktop_notifier.h"

#include "system/diagnostics.h"

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

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
} // namespace

QDBusConnection& DesktopNotifier::connectBus()
{
    if (!m_bus)
        watchActions(m_bus.emplace(QDBusConnection::sessionBus()));
    return *m_bus;
}

// Buttons are offered only where the service shows them: some would turn a notification with
// buttons into a window that waits for an answer.
void DesktopNotifier::watchActions(QDBusConnection& bus)
{
    if (!bus.isConnected())
        return;
    // QtDBus connects a bus signal to a slot by the slot's name only.
    bus.connect(kService, kPath, kService, QStringLiteral("ActionInvoked"), this, SLOT(actionInvoked(uint, QString)));
    bus.connect(kService, kPath, kService, QStringLiteral("NotificationClosed"), this, SLOT(notificationClosed(uint)));
    auto* watcher = new QDBusPendingCallWatcher(
        bus.asyncCall(QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("GetCapabilities"))),
        this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* reply) {
        reply->deleteLater();
        const QDBusPendingReply<QStringList> capabilities = *reply;
        m_showsActions = !capabilities.isError() && capabilities.value().contains(QLatin1String("actions"));
    });
}

void DesktopNotifier::actionInvoked(uint id, const QString& key)
{
    const QList<Action> actions = m_offered.take(id); // chosen once
    for (const Action& action : actions) {
        if (action.key == key)
            action.run();
    }
}

void DesktopNotifier::notificationClosed(uint id) { m_offered.remove(id); }

namespace {
void warnNotShown(const QString& reason)
{
    qCWarning(lcTimers, "cannot show a desktop notification (%s)",
              qPrintable(reason.isEmpty() ? QStringLiteral("no notification service") : reason));
}
} // namespace

std::optional<QDBusMessage> DesktopNotifier::notifyCall(const QString& summary, const QString& body,
                                                        const QList<Action>& actions)
{
    QDBusConnection& bus = connectBus();
    if (!bus.isConnected()) {
        warnNotShown(bus.lastError().message());
        Q_EMIT answered(false);
        return std::nullopt;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    // Message texts break lines with CR LF; a notification body with LF.
    QString text = body;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QStringList keysAndLabels;
    for (const Action& action : actions)
        keysAndLabels << action.key << action.label;
    // The desktop entry lets the desktop show Timers' own name and icon with the notification.
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QString::fromLatin1(kDesktopEntry)}};
    call << QString::fromLatin1(kAppName) << 0U << QString::fromLatin1(kIcon) << summary << text << keysAndLabels
         << hints << -1;
    return call;
}

void DesktopNotifier::notify(const QString& summary, const QString& body) { notify(summary, body, {}); }

void DesktopNotifier::notify(const QString& summary, const QString& body, const QList<Action>& actions)
{
    const QList<Action> offered = m_showsActions ? actions : QList<Action>();
    const auto call = notifyCall(summary, body, offered);
    if (!call)
        return;
    auto* watcher = new QDBusPendingCallWatcher(connectBus().asyncCall(*call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, offered](QDBusPendingCallWatcher* reply) {
        reply->deleteLater();
        const QDBusPendingReply<uint> answer = *reply;
        if (answer.isError())
            warnNotShown(answer.error().message());
        else if (!offered.isEmpty())
            m_offered.insert(answer.value(), offered);
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
