#include "tray/tray_entry.h"

#include "common/remaining_time.h"
#include "system/diagnostics.h"

#include <QSet>

namespace timers {

TrayEntry::TrayEntry(Services services, const QIcon& icon, QObject* parent)
    : QObject(parent)
    , m_services(services)
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
    QSet<long long> listed;
    for (const QString& answer : m_services.recent.answers()) {
        // Named by the length a click starts, once each; an answer that starts none is left out.
        const auto length = Countdown::lengthOf(answer, Countdown::Door::Tray);
        if (!length || length->count() <= 0 || !Countdown::displaySeconds(*length) || listed.contains(length->count()))
            continue;
        listed.insert(length->count());
        auto id = m_answerIds.constFind(answer);
        if (id == m_answerIds.cend()) {
            id = m_answerIds.insert(answer, kFirstAnswer + int(m_answerIds.size()));
            m_answers.insert(*id, answer);
        }
        items << DBusMenu::Item{*id, QString::fromStdString(durationLabel(*length))};
    }
    if (!items.isEmpty())
        items << DBusMenu::Item{kSeparator, {}};
    if (m_services.countdown.cancellable())
        items << (m_services.countdown.paused() ? DBusMenu::Item{kResume, QStringLiteral("Resume")}
                                                : DBusMenu::Item{kPause, QStringLiteral("Pause")});
    if (m_services.countdown.cancelEnabled())
        items << DBusMenu::Item{kCancel, QStringLiteral("Cancel")};
    items << DBusMenu::Item{kShow, QStringLiteral("Show Timers")} << DBusMenu::Item{kExit, QStringLiteral("Exit")};
    return items;
}

void TrayEntry::clicked(int id)
{
    switch (id) {
    case kCancel:
        m_services.countdown.pressCancel();
        return;
    case kShow:
        Q_EMIT showRequested();
        return;
    case kPause:
    case kResume:
        if (const QString why = id == kPause ? m_services.countdown.pause(Countdown::Door::Tray)
                                             : m_services.countdown.resume(Countdown::Door::Tray);
            !why.isEmpty())
            tell(QStringLiteral("Cannot %1: %2")
                     .arg(id == kPause ? QStringLiteral("pause") : QStringLiteral("resume"), why));
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
    const Countdown::SetOutcome outcome = m_services.countdown.enter(answer, Countdown::Door::Tray);
    if (outcome.kind == Countdown::SetOutcome::Kind::Started || outcome.kind == Countdown::SetOutcome::Kind::Stopped)
        return;
    tell(outcome.told(answer));
}

// A refusal: in a notification and on stderr, never in a box that would hold the program.
void TrayEntry::tell(const QString& line)
{
    qCWarning(lcTimers, "%s", qPrintable(line));
    m_services.notifier.notify(Notifier::programSummary(), line);
}

void TrayEntry::cancelEnabledChanged(bool enabled)
{
    Q_UNUSED(enabled) // the menu asks the countdown
    m_menu.update();
}

void TrayEntry::shown(std::int64_t remaining, std::int32_t length)
{
    QString toolTip = QStringLiteral("No countdown");
    if (length != 0) {
        toolTip = QString::fromStdString(minutesSeconds(remaining)) + QStringLiteral(" left");
        if (m_services.countdown.paused())
            toolTip = QStringLiteral("paused, ") + toolTip;
        if (const auto held = m_services.com.deviceOn())
            toolTip += QStringLiteral(", %1 on %2").arg(held->name, held->port);
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
