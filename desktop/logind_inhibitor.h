#pragma once

#include "sleep_inhibitor.h"

#include <QDBusConnection>
#include <QObject>

#include <optional>

class QDBusPendingCallWatcher;

namespace timers {

// A systemd-logind "block" inhibitor lock on sleep, held as a file descriptor from
// org.freedesktop.login1.Manager.Inhibit and released by closing it. The request is
// asynchronous: the countdown never waits for logind. A lock that arrives after the output was
// released is let go at once. Where logind cannot be reached, says so on stderr and carries on.
class LogindInhibitor final : public QObject, public SleepInhibitor {
    Q_OBJECT
public:
    // The system bus, connected at connectBus() or the first hold.
    explicit LogindInhibitor(QObject* parent = nullptr);
    explicit LogindInhibitor(QDBusConnection bus, QObject* parent = nullptr);
    ~LogindInhibitor() override;

    // Connects to the bus (once; ahead of the first hold, so that no countdown waits for it)
    // and returns it.
    QDBusConnection& connectBus();

    void hold(const QString& why) override;
    void release() override;
    bool holding() const { return m_fd >= 0; }
    bool requesting() const { return m_request != nullptr; }

private:
    void onInhibitReply(QDBusPendingCallWatcher* reply);

    std::optional<QDBusConnection> m_bus;
    QDBusPendingCallWatcher* m_request = nullptr;
    bool m_wanted = false;
    int m_fd = -1;
};

} // namespace timers
