#pragma once

#include <QString>

#include <sys/types.h>

namespace timers {

// The one Timers that works with the settings file of a folder. Two programs in one folder
// would save over each other's Timer_Control.ini and switch one serial port each their own
// way: the first to lock the folder runs, and a second one started there finds it held and
// ends before it opens a window or a port. The lock is held until the program ends, however it
// ends (the kernel lets go of it with the program). Only the user's own programs are kept
// apart: the lock lives in the user's runtime folder.
class SettingsLock {
public:
    enum class State {
        Held,          // this program works here
        HeldElsewhere, // another program works here: holder() says which, when it can be seen
        NotLockable,   // the folder cannot be locked (why()): the program runs as it did without
    };

    // Locks the folder of `settingsPath` (a bare name is taken in the working directory).
    explicit SettingsLock(const QString& settingsPath);
    ~SettingsLock();
    SettingsLock(const SettingsLock&) = delete;
    SettingsLock& operator=(const SettingsLock&) = delete;

    State state() const { return m_state; }
    const QString& folder() const { return m_folder; }
    // The process that holds the lock, for HeldElsewhere; 0 when it cannot be seen.
    pid_t holder() const { return m_holder; }
    const QString& why() const { return m_why; }

private:
    QString m_folder;
    int m_descriptor = -1;
    State m_state = State::NotLockable;
    pid_t m_holder = 0;
    QString m_why;
};

} // namespace timers
