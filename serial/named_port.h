#pragma once

#include "serial/serial_port.h"

#include <QString>

namespace timers {

// Opens the port that `text` (the port-number field) names: its leading number selects the
// port, whose busy, lock-file and holder checks the open makes. Empty when it opened, else why
// not, for the user.
QString openNamedPort(SerialPort& port, const QString& text);
// The port-number field was edited to `text`: selects that port now, so that a wrong number is
// said at once. Empty when selected, else why not.
QString selectEditedPort(SerialPort& port, const QString& text);

} // namespace timers
