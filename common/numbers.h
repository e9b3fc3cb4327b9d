#pragma once

// Number reading and rendering shared by the countdown, the stopwatch and the COM output.
// Plain standard C++: these functions see only bytes, so they can be fuzzed on their own.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace timers {

// The number at the start of a text, read the way the Set prompt's answer and the
// port-number text are read: blanks, tabs and line feeds are skipped anywhere; an optional
// sign; decimal digits with one optional full stop and an optional E or D exponent, or &H hex
// and &O octal forms (16-bit two's complement when the value fits in 16 bits, else 32-bit).
// A text with no number at its start is 0. Empty result: the value is beyond the double range,
// or a hex/octal form needs more than 32 bits.
std::optional<double> leadingNumberValue(std::string_view text);

// Rounds to the nearest whole number, ties to the even neighbour; empty when the result lies
// outside [lowest, highest] or the value is not a number.
std::optional<std::int64_t> toWholeNumber(double value, std::int64_t lowest, std::int64_t highest);

std::optional<std::int32_t> toInt32(double value);
std::optional<std::int16_t> toInt16(double value);

// The leading-number value of a text, converted to a whole number of that range: how the Set
// answer (32 bits) and the port-number text (16 bits) are read. Empty when either step fails.
std::optional<std::int32_t> leadingInt32(std::string_view text);
std::optional<std::int16_t> leadingInt16(std::string_view text);

// The whole text as one decimal number (blanks around it allowed; sign, fraction and E exponent
// accepted), rounded ties-to-even into the 16-bit signed range. Empty for anything else.
std::optional<std::int16_t> strictInt16(std::string_view text);

// At least two decimal digits, minus sign in front: 5 -> "05", 100 -> "100", -1 -> "-01".
std::string twoDigits(std::int64_t value);

} // namespace timers
