#pragma once

#include "desktop/sleep_inhibitor.h"

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
    // The system bus, connected at connectBus() or the first hold, on a thread of its own: a
    // system bus that accepts connections but never answers must not freeze the window.
    explicit LogindInhibitor(QObject* parent = nullptr);
    explicit LogindInhibitor(QDBusConnection bus, QObject* parent = nullptr);
    ~LogindInhibitor() override;

    // Starts connecting to the system bus (once; ahead of the first hold). A bus that does not
    // answer within a second is given up, with one line on stderr.
    void connectBus();

    void hold(const QString& why) override;
    void release() override;
    bool holding() const { return m_fd >= 0; }
    bool requesting() const { return m_request != nullptr; }

private:
    void request();
    void onInhibitReply(QDBusPendingCallWatcher* reply);

    std::optional<QDBusConnection> m_bus; // set once connected
    bool m_connecting = false;
    bool m_saidNoBus = false; // once a run
    QDBusPendingCallWatcher* m_request = nullptr;
    bool m_wanted = false;
    QString m_why;
    int m_fd = -1;
};

} // namespace timers
