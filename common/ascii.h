#pragma once

// Case conversion of ASCII letters only: the settings file and typed numbers are read the same
// whatever the user's locale (a Turkish "i" stays an "i").

namespace timers {

constexpr char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }
constexpr char asciiUpper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

} // namespace timers
