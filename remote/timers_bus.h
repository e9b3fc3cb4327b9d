#pragma once

namespace timers {

// The program's names on the session bus, shared by the program and timers-ctl.
inline constexpr char kBusName[] = "org.vorn.Timers"; // the service and its interface
inline constexpr char kObjectPath[] = "/org/vorn/Timers";
inline constexpr char kErrorPrefix[] = "org.vorn.Timers.Error.";
// Raise(): brings the window to the front (a second start from the menu asks for it).
inline constexpr char kWindowPath[] = "/org/vorn/Timers/Window";
inline constexpr char kWindowInterface[] = "org.vorn.Timers.Window";

} // namespace timers
