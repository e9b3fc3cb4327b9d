#pragma once

#include <QString>

namespace timers {

// Who has a serial device, for the message that says it cannot be opened and for the check
// before it is opened. Names come from /proc (other users' descriptors are visible only to
// root) and are shown as plain text: a control character in a process name becomes "?".
struct PortHolders {
    QString openIn;   // "It is open in ModemManager (pid 812)."; empty when none is seen
    QString lockedBy; // "It is locked by timers (pid 4711)." from its lock file; empty when none
    QString hints;    // the running programs known to take serial adapters, with the usual remedy

    // `otherProcessesOnly`: this process's own descriptors and lock do not count.
    static PortHolders of(const QString& device, bool otherProcessesOnly);
    bool seen() const { return !openIn.isEmpty() || !lockedBy.isEmpty(); }
    QString text() const;
};

} // namespace timers
