#pragma once

#include "countdown/countdown.h"
#include "countdown/countdown_watcher.h"
#include "desktop/taskbar_entry.h"
#include "remote/timers_bus.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>

#include <optional>

namespace timers {

// The program's interface on the session bus, for scripts (timers-ctl): org.vorn.Timers at
// /org/vorn/Timers. Set starts a countdown of a duration (read whole, as timers-ctl reads it),
// Cancel presses Cancel, Pause and Resume hold it; Remaining, Running and Paused
// follow the display, and Finished comes at each completion. Only the program that owns the
// name offers it and drives the taskbar entry; a second one runs without them.
class RemoteControl final : public QObject, protected QDBusContext, public CountdownWatcher {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.vorn.Timers")
    Q_PROPERTY(qint64 Remaining READ remaining)
    Q_PROPERTY(bool Running READ running)
    Q_PROPERTY(bool Paused READ paused)
public:
    explicit RemoteControl(Countdown& countdown, QObject* parent = nullptr);

    // Asks the bus for the name, without waiting; the interface is offered once it is granted.
    void publish(const QDBusConnection& bus);
    // At exit: the taskbar entry shows no countdown.
    void clearTaskbarBeforeExit();

    qint64 remaining() const { return m_remaining; }
    bool running() const { return m_length != 0; }
    bool paused() const { return m_paused; }

    void shown(std::int64_t remaining, std::int32_t length) override;
    void finished(bool cancelled) override;

public Q_SLOTS:
    Q_SCRIPTABLE void Set(const QString& answer);
    Q_SCRIPTABLE void Cancel();
    Q_SCRIPTABLE void Pause();
    Q_SCRIPTABLE void Resume();

Q_SIGNALS:
    Q_SCRIPTABLE void Finished(bool cancelled);

private:
    void offer(QDBusConnection bus);
    static void goWithout(const QString& why);

    Countdown& m_countdown;
    std::optional<QDBusConnection> m_bus; // set once the name is ours
    std::optional<TaskbarEntry> m_taskbar;
    qint64 m_remaining = 0;
    std::int32_t m_length = 0; // of the countdown that runs; 0: none runs
    bool m_paused = false;
};

} // namespace timers
