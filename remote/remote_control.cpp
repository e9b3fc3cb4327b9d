#include "remote/remote_control.h"

#include "system/diagnostics.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace timers {

namespace {
const QString kInterface = QString::fromLatin1(kBusName);
QString errorName(const char* name) { return QLatin1String(kErrorPrefix) + QLatin1String(name); }
} // namespace

RemoteControl::RemoteControl(Countdown& countdown, QObject* parent)
    : QObject(parent)
    , m_countdown(countdown)
{
    m_countdown.addWatcher(this);
}

void RemoteControl::publish(const QDBusConnection& bus)
{
    if (!bus.isConnected() || !bus.interface())
        return; // said already: the desktop's services are off
    // Only the first program takes the name; a second one is not queued for it.
    constexpr uint kDoNotQueue = 4;
    auto* watcher = new QDBusPendingCallWatcher(
        bus.interface()->asyncCall(QStringLiteral("RequestName"), kInterface, kDoNotQueue), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, bus](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<uint> reply = *call;
        constexpr uint kPrimaryOwner = 1;
        if (reply.isError())
            return goWithout(reply.error().message());
        if (reply.value() != kPrimaryOwner)
            return goWithout(QStringLiteral("another Timers has it"));
        offer(bus);
    });
}

void RemoteControl::offer(QDBusConnection bus)
{
    if (!bus.registerObject(QString::fromLatin1(kObjectPath), this,
                            QDBusConnection::ExportScriptableContents | QDBusConnection::ExportAllProperties))
        return goWithout(bus.lastError().message());
    m_bus = bus;
    // Clears what a run that was killed may have left, then shows what runs now.
    m_taskbar.emplace(std::move(bus)).show(m_remaining, m_length);
}

void RemoteControl::goWithout(const QString& why)
{
    qCWarning(lcTimers, "no script interface (%s on the session bus: %s); this Timers runs without it", kBusName,
              qPrintable(why));
}

void RemoteControl::clearTaskbarBeforeExit()
{
    if (m_taskbar)
        m_taskbar->clearBeforeExit();
}

void RemoteControl::shown(std::int64_t remaining, std::int32_t length)
{
    if (m_taskbar)
        m_taskbar->show(remaining, length);
    QVariantMap changed;
    if (remaining != m_remaining)
        changed.insert(QStringLiteral("Remaining"), qint64(m_remaining = remaining));
    if ((length != 0) != running())
        changed.insert(QStringLiteral("Running"), length != 0);
    if (m_countdown.paused() != m_paused)
        changed.insert(QStringLiteral("Paused"), m_paused = m_countdown.paused());
    m_length = length;
    if (changed.isEmpty() || !m_bus)
        return;
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(kObjectPath),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << kInterface << changed << QStringList();
    m_bus->send(signal);
}

// The countdown has already shown that none runs, which cleared the taskbar entry.
void RemoteControl::finished(bool cancelled) { Q_EMIT Finished(cancelled); }

void RemoteControl::Set(const QString& answer)
{
    const Countdown::SetOutcome outcome = m_countdown.enter(answer, Countdown::Door::Script);
    switch (outcome.kind) {
    case Countdown::SetOutcome::Kind::Started:
    case Countdown::SetOutcome::Kind::Stopped:
        return;
    case Countdown::SetOutcome::Kind::Invalid:
        sendErrorReply(errorName("Invalid"), outcome.details);
        return;
    case Countdown::SetOutcome::Kind::Refused:
        sendErrorReply(errorName(m_countdown.promptOpen() ? "PromptOpen" : "BoxOpen"), outcome.details);
        return;
    case Countdown::SetOutcome::Kind::Nothing:
    case Countdown::SetOutcome::Kind::NoCountdown:
        sendErrorReply(errorName("NoCountdown"), outcome.told(answer));
        return;
    }
}

void RemoteControl::Pause()
{
    if (const QString why = m_countdown.pause(Countdown::Door::Script); !why.isEmpty())
        sendErrorReply(errorName("Refused"), QStringLiteral("cannot pause: %1").arg(why));
}

void RemoteControl::Resume()
{
    if (const QString why = m_countdown.resume(Countdown::Door::Script); !why.isEmpty())
        sendErrorReply(errorName("Refused"), QStringLiteral("cannot resume: %1").arg(why));
}

void RemoteControl::Cancel()
{
    // Only a countdown that Cancel ends counts: one cancelled already, or an idle countdown
    // that Cancel leaves enabled, switches nothing off.
    if (!m_countdown.cancellable() || !m_countdown.pressCancel())
        sendErrorReply(errorName("NothingToCancel"), QStringLiteral("no countdown is running"));
}

} // namespace timers
