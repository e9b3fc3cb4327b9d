#pragma once

#include <QString>

namespace timers {

// Why a serial device may be busy, for the message that says it cannot be opened: the
// processes that have it open ("ModemManager (pid 812)", from /proc; other users' processes
// are visible only to root), or else the running programs known to take serial adapters, with
// the usual remedy for those. Empty when nothing is known.
QString whoHolds(const QString& device);

} // namespace timers
