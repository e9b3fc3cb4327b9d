#pragma once

#include "sleep_inhibitor.h"

#include <QDBusConnection>

#include <optional>

namespace timers {

// A systemd-logind "block" inhibitor lock on sleep, held as a file descriptor from
// org.freedesktop.login1.Manager.Inhibit and released by closing it. Where logind cannot be
// reached, says so on stderr once per hold and carries on without it.
class LogindInhibitor final : public SleepInhibitor {
public:
    // The system bus, connected at the first hold.
    LogindInhibitor();
    explicit LogindInhibitor(QDBusConnection bus);
    ~LogindInhibitor() override;

    void hold(const QString& why) override;
    void release() override;
    bool holding() const { return m_fd >= 0; }

private:
    std::optional<QDBusConnection> m_bus;
    int m_fd = -1;
};

} // namespace timers
