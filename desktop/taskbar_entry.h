#pragma once

#include <QDBusConnection>

#include <cstdint>

namespace timers {

// What the taskbar entry shows of a countdown: how far it has gone (0 to 1) and the minutes
// left, counted up (0:59 left is 1 minute); nothing while none runs.
struct TaskbarProgress {
    bool visible = false;
    double progress = 0;
    std::int64_t minutes = 0;
    bool operator==(const TaskbarProgress&) const = default;
};
TaskbarProgress taskbarProgress(std::int64_t remaining, std::int32_t length);

// The program's entry in the taskbar or dock, through the com.canonical.Unity.LauncherEntry
// signal that Plasma's task manager and GNOME's docks read for the desktop entry
// org.vorn.Timers.desktop. A signal goes out only when what it shows changes.
class TaskbarEntry {
public:
    // Shows no countdown at once: an earlier run that was killed may have left one.
    explicit TaskbarEntry(QDBusConnection bus);

    // The display shows `remaining` seconds of a countdown `length` long (0: none runs).
    void show(std::int64_t remaining, std::int32_t length);
    // Shows no countdown, and waits (briefly) until the bus has the signal.
    void clearBeforeExit();

private:
    void send(const TaskbarProgress& shown);

    QDBusConnection m_bus;
    TaskbarProgress m_shown;
};

} // namespace timers
