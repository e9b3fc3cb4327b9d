#pragma once

#include <QDBusConnection>
#include <QObject>

#include <functional>

namespace timers {

// Raise() at /org/vorn/Timers/Window: the desktop menu's launcher asks the running Timers to
// bring its window to the front (through timers-ctl show) rather than start a second one
// that would fight over the port. Only the program that owns the bus name is reached.
class WindowRaise final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.vorn.Timers.Window")
public:
    explicit WindowRaise(std::function<void()> raise, QObject* parent = nullptr);

    void offer(QDBusConnection bus);

public Q_SLOTS:
    Q_SCRIPTABLE void Raise();

private:
    std::function<void()> m_raise;
};

} // namespace timers
