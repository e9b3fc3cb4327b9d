#include "input/foot_switch.h"

namespace timers {

FootSwitch::FootSwitch(Services services)
    : m_services(std::move(services))
{
}

void FootSwitch::tell(const QString& why)
{
    m_services.notifier.notify(Notifier::programSummary(), QStringLiteral("The foot switch did nothing: %1.").arg(why));
}

void FootSwitch::pressed()
{
    const auto now = m_services.now();
    if (m_pressedBefore && now - m_lastPress < kBounce)
        return;
    m_pressedBefore = true;
    m_lastPress = now;
    Countdown& countdown = m_services.countdown;
    if (const QString why = countdown.refusal(Countdown::Door::Tray); !why.isEmpty())
        return tell(why);
    if (countdown.cancellable()) {
        countdown.pressCancel();
        return;
    }
    const QStringList answers = m_services.recent.answers();
    if (answers.isEmpty())
        return tell(QStringLiteral("no countdown was set yet; set one once, and the switch starts it again"));
    const Countdown::SetOutcome outcome = countdown.enter(answers.first(), Countdown::Door::Tray);
    if (outcome.kind != Countdown::SetOutcome::Kind::Started)
        tell(outcome.told(answers.first()));
}

} // namespace timers
