#include "app/spoken_names.h"

#include <QAccessibleObject>
#include <QAccessibleWidget>
#include <QApplication>
#include <QWidget>

#include <utility>

namespace timers {

namespace {

QString& spokenApplicationName()
{
    static QString name;
    return name;
}

class NamedApplication final : public QAccessibleApplication {
public:
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name ? spokenApplicationName() : QAccessibleApplication::text(t);
    }
};

// A filler that is not shown: screen readers pass over it.
class SilentControl final : public QAccessibleWidget {
public:
    explicit SilentControl(QWidget* widget)
        : QAccessibleWidget(widget, QAccessible::Client)
    {
    }
    QString text(QAccessible::Text /*t*/) const override { return {}; }
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.invisible = true;
        return state;
    }
};

QAccessibleInterface* spokenInterface(const QString& /*className*/, QObject* object)
{
    if (object == qApp)
        return new NamedApplication;
    if (auto* widget = qobject_cast<QWidget*>(object); widget && widget->property(kSilentForScreenReaders).toBool())
        return new SilentControl(widget);
    return nullptr;
}

} // namespace

void silenceForScreenReaders(QWidget* control)
{
    control->setProperty(kSilentForScreenReaders, true);
    // Qt makes a control's interface as the control is built (for its change events), before
    // the property was there: drop it, so the next query makes the silent one.
    if (QAccessibleInterface* made = QAccessible::queryAccessibleInterface(control);
        made && !dynamic_cast<SilentControl*>(made))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

void installSpokenNames(const QString& applicationName)
{
    if (std::exchange(spokenApplicationName(), applicationName).isNull())
        QAccessible::installFactory(&spokenInterface);
}

} // namespace timers
