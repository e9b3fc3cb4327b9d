#pragma once

#include "notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>

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
    // For the exit, after which no answer could arrive: waits for it, at most kExitWaitMs,
    // without running any other event.
    void notifyBeforeExit(const QString& summary, const QString& body);

    static constexpr int kExitWaitMs = 500;

    // The name the notifications carry, and the icon: the desktop entry's.
    static constexpr const char* kAppName = "Timers";
    static constexpr const char* kIcon = "org.vorn.Timers";

Q_SIGNALS:
    // Each notification's outcome, for the adapter's own tests.
    void answered(bool shown);

private:
    // The Notify call, or nothing (and a stderr line) when there is no bus.
    std::optional<QDBusMessage> notifyCall(const QString& summary, const QString& body);

    std::optional<QDBusConnection> m_bus;
};

} // namespace timers
