#include "raise/window_raise.h"

#include "remote/timers_bus.h"
#include "system/diagnostics.h"

#include <QDBusError>

namespace timers {

WindowRaise::WindowRaise(std::function<void()> raise, QObject* parent)
    : QObject(parent)
    , m_raise(std::move(raise))
{
}

void WindowRaise::offer(QDBusConnection bus)
{
    if (!bus.isConnected())
        return; // said already: the desktop's services are off
    if (!bus.registerObject(QString::fromLatin1(kWindowPath), this, QDBusConnection::ExportScriptableSlots))
        qCWarning(lcTimers, "a second start from the menu cannot raise this window: %s",
                  qPrintable(bus.lastError().message()));
}

void WindowRaise::Raise() { m_raise(); }

} // namespace timers
