#pragma once

#include "desktop/notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>

#include <QHash>
#include <QList>

#include <functional>
#include <optional>

namespace timers {

// Desktop notifications through org.freedesktop.Notifications on the session bus, sent
// without waiting for the answer. Where no notification service answers, says so on stderr.
class DesktopNotifier final : public QObject, public Notifier {
    Q_OBJECT
public:
    // The session bus, connected at connectBus() or the first notification.
    explicit DesktopNotifier(QObject* parent = nullptr);
    explicit DesktopNotifier(QDBusConnection bus, QObject* parent = nullptr);

    // Connects to the bus (once; ahead of the first notification, so that no completion waits
    // for it) and returns it.
    QDBusConnection& connectBus();

    void notify(const QString& summary, const QString& body) override;
    // A notification with buttons, where the notification service shows them (its capability
    // "actions"); elsewhere the same notification without them. A button's `run` is called when
    // the user chooses it.
    struct Action {
        QString key;
        QString label;
        std::function<void()> run;
    };
    void notify(const QString& summary, const QString& body, const QList<Action>& actions);
    // For the exit, after which no answer could arrive: waits for it, at most kExitWaitMs,
    // without running any other event.
    void notifyBeforeExit(const QString& summary, const QString& body);

    static constexpr int kExitWaitMs = 500;

    // The name the notifications carry, and the icon: the desktop entry's.
    static constexpr const char* kAppName = "Timers";
    static constexpr const char* kIcon = "org.vorn.Timers";
    static constexpr const char* kDesktopEntry = "org.vorn.Timers"; // org.vorn.Timers.desktop

Q_SIGNALS:
    // Each notification's outcome, for the adapter's own tests.
    void answered(bool shown);

private Q_SLOTS:
    void actionInvoked(uint id, const QString& key);
    void notificationClosed(uint id);

private:
    void watchActions(QDBusConnection& bus);
    // The Notify call, or nothing (and a stderr line) when there is no bus.
    std::optional<QDBusMessage> notifyCall(const QString& summary, const QString& body,
                                           const QList<Action>& actions = {});

    std::optional<QDBusConnection> m_bus;
    bool m_showsActions = false;          // as the service said when asked
    QHash<uint, QList<Action>> m_offered; // by notification, until chosen or closed
};

} // namespace timers
