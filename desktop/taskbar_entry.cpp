#include "desktop/taskbar_entry.h"

#include <QDBusMessage>
#include <QVariantMap>

#include <algorithm>

namespace timers {

TaskbarProgress taskbarProgress(std::int64_t remaining, std::int32_t length)
{
    if (length <= 0)
        return {};
    const std::int64_t left = std::clamp<std::int64_t>(remaining, 0, length);
    return {true, double(length - left) / length, (left + 59) / 60};
}

TaskbarEntry::TaskbarEntry(QDBusConnection bus)
    : m_bus(std::move(bus))
{
    send({});
}

void TaskbarEntry::show(std::int64_t remaining, std::int32_t length)
{
    const TaskbarProgress shown = taskbarProgress(remaining, length);
    if (shown != m_shown)
        send(shown);
}

void TaskbarEntry::clearBeforeExit()
{
    if (m_shown == TaskbarProgress{})
        return;
    send({});
    // The bus writes messages in order: once it answers, it has the signal too.
    const QDBusMessage ping = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping"));
    constexpr int kExitWaitMs = 250;
    m_bus.call(ping, QDBus::Block, kExitWaitMs);
}

void TaskbarEntry::send(const TaskbarProgress& shown)
{
    m_shown = shown;
    QDBusMessage update = QDBusMessage::createSignal(QStringLiteral("/org/vorn/Timers/LauncherEntry"),
                                                     QStringLiteral("com.canonical.Unity.LauncherEntry"),
                                                     QStringLiteral("Update"));
    const QVariantMap properties{{QStringLiteral("progress"), shown.progress},
                                 {QStringLiteral("progress-visible"), shown.visible},
                                 {QStringLiteral("count"), qint64(shown.minutes)},
                                 {QStringLiteral("count-visible"), shown.visible}};
    update << QStringLiteral("application://org.vorn.Timers.desktop") << properties;
    m_bus.send(update);
}

} // namespace timers
