#include "tray/tray_entry.h"

#include "common/remaining_time.h"
#include "system/diagnostics.h"

namespace timers {

TrayEntry::TrayEntry(Services services, const QIcon& icon, QObject* parent)
    : QObject(parent)
    , m_services(std::move(services))
    , m_menu([this] { return menuItems(); })
    , m_item(QStringLiteral("org.vorn.Timers"), QStringLiteral("Timers"), QStringLiteral("org.vorn.Timers"), icon,
             m_menu)
{
    m_services.countdown.addWatcher(this);
    m_item.setToolTip(QStringLiteral("No countdown"));
    connect(&m_menu, &DBusMenu::clicked, this, &TrayEntry::clicked);
    connect(&m_item, &StatusNotifierItem::activated, this, &TrayEntry::showRequested);
}

QList<DBusMenu::Item> TrayEntry::menuItems()
{
    QList<DBusMenu::Item> items;
    for (const QString& answer : m_services.recent.answers()) {
        auto id = m_answerIds.constFind(answer);
        if (id == m_answerIds.cend()) {
            id = m_answerIds.insert(answer, kFirstAnswer + int(m_answerIds.size()));
            m_answers.insert(*id, answer);
        }
        items << DBusMenu::Item{*id, answer};
    }
    if (!items.isEmpty())
        items << DBusMenu::Item{kSeparator, {}};
    if (m_cancelEnabled)
        items << DBusMenu::Item{kCancel, QStringLiteral("Cancel")};
    items << DBusMenu::Item{kShow, QStringLiteral("Show Timers")} << DBusMenu::Item{kExit, QStringLiteral("Exit")};
    return items;
}

void TrayEntry::clicked(int id)
{
    switch (id) {
    case kCancel:
        m_services.cancel();
        return;
    case kShow:
        Q_EMIT showRequested();
        return;
    case kExit:
        Q_EMIT exitRequested();
        return;
    default:
        if (m_answers.contains(id))
            start(m_answers.value(id));
    }
}

void TrayEntry::start(const QString& answer)
{
    const Countdown::SetOutcome outcome = m_services.countdown.enter(answer, Countdown::Report::Caller);
    QString why = outcome.details;
    switch (outcome.kind) {
    case Countdown::SetOutcome::Kind::Started:
    case Countdown::SetOutcome::Kind::Stopped:
        return;
    case Countdown::SetOutcome::Kind::Invalid:
    case Countdown::SetOutcome::Kind::Refused:
        break;
    case Countdown::SetOutcome::Kind::Nothing:
    case Countdown::SetOutcome::Kind::NoCountdown:
        why = QStringLiteral("it reads as 0 seconds");
        break;
    }
    const QString line = QStringLiteral("%1 starts no countdown: %2").arg(quoted(answer), why);
    qCWarning(lcTimers, "%s", qPrintable(line));
    m_services.notifier.notify(Notifier::programSummary(), line);
}

void TrayEntry::setCancelEnabled(bool enabled)
{
    m_cancelEnabled = enabled;
    m_menu.update();
}

void TrayEntry::shown(std::int64_t remaining, std::int32_t length)
{
    QString toolTip = QStringLiteral("No countdown");
    if (length != 0) {
        toolTip = QString::fromStdString(minutesSeconds(remaining)) + QStringLiteral(" left");
        if (const auto held = m_services.com.heldLine())
            toolTip += QStringLiteral(", %1 on %2").arg(held->line, held->device);
    }
    m_item.setToolTip(toolTip);
    m_menu.update(); // an answer that started a countdown is among the recent ones now
}

void TrayEntry::finished(bool cancelled) { Q_UNUSED(cancelled) }

// The completion's notification: "Again" enters the answer that started this countdown, the
// newest of the recent answers, once more.
void TrayEntry::notify(const QString& summary, const QString& body)
{
    const QString again = m_services.recent.answers().value(0);
    QList<DesktopNotifier::Action> actions;
    if (!again.isEmpty())
        actions << DesktopNotifier::Action{QStringLiteral("again"), QStringLiteral("Again"),
                                           [this, again] { start(again); }};
    actions << DesktopNotifier::Action{QStringLiteral("show"), QStringLiteral("Show"),
                                       [this] { Q_EMIT showRequested(); }};
    m_services.notifier.notify(summary, body, actions);
}

} // namespace timers
