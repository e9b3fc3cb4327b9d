#pragma once

#include <chrono>
#include <string>

namespace timers {

// Whether the session bus answers a connection within `timeout`: a bus daemon that is stopped
// (or hung) accepts the connection and then never replies, and Qt, which asks it for
// accessibility and theme settings while the first window is made, would wait for it. Only
// Unix socket addresses are probed; for others, and for no bus at all, this says true (libdbus
// fails fast there). `why` receives the reason for false.
bool sessionBusAnswers(std::chrono::milliseconds timeout, std::string& why);
// The same for the system bus (DBUS_SYSTEM_BUS_ADDRESS, or the well-known socket).
bool systemBusAnswers(std::chrono::milliseconds timeout, std::string& why);

} // namespace timers
