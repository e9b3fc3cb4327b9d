#include "common/numbers.h"

#include "common/ascii.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace timers {
namespace {

bool isSkipped(char c) { return c == ' ' || c == '\t' || c == '\n'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads the text while skipping blanks, so "1 20" is seen as "120".
class Reader {
public:
    explicit Reader(std::string_view text)
        : m_text(text)
    {
    }
    char peek()
    {
        while (m_pos < m_text.size() && isSkipped(m_text[m_pos]))
            ++m_pos;
        return m_pos < m_text.size() ? m_text[m_pos] : '\0';
    }
    void take() { ++m_pos; }

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
};

int digitValue(char c, int radix)
{
    int v = -1;
    if (isDigit(c))
        v = c - '0';
    else if (asciiLower(c) >= 'a' && asciiLower(c) <= 'f')
        v = asciiLower(c) - 'a' + 10;
    return v < radix ? v : -1;
}

// &H / &O forms. Leading zeros do not count against the 32-bit limit.
std::optional<double> readRadix(Reader& in, int radix)
{
    std::uint64_t value = 0;
    for (int d; (d = digitValue(in.peek(), radix)) >= 0; in.take()) {
        value = value * std::uint64_t(radix) + std::uint64_t(d);
        if (value > 0xFFFFFFFFull)
            return std::nullopt;
    }
    if (value <= 0xFFFFull)
        return double(std::int16_t(std::uint16_t(value)));
    return double(std::int32_t(std::uint32_t(value)));
}

// The power of ten of a decimal form's first significant digit (12.5 -> 1, 0.05e3 -> 1), or
// nothing when every digit is zero. The exponent saturates, so any length of digits is safe.
std::optional<long long> decimalMagnitude(std::string_view digits)
{
    const auto e = digits.find_first_of("eE");
    const std::string_view mantissa = digits.substr(0, e);
    const auto first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos)
        return std::nullopt;
    const auto point = std::min(mantissa.find('.'), mantissa.size());
    long long magnitude = first < point ? (long long)(point - first) - 1 : -(long long)(first - point);
    if (e != std::string_view::npos) {
        std::string_view exponent = digits.substr(e + 1);
        const bool negative = !exponent.empty() && exponent.front() == '-';
        if (!exponent.empty() && (exponent.front() == '-' || exponent.front() == '+'))
            exponent.remove_prefix(1);
        long long value = 0;
        for (char c : exponent)
            value = std::min(value * 10 + (c - '0'), 1'000'000'000LL);
        magnitude += negative ? -value : value;
    }
    return magnitude;
}

// Parses a plain decimal form (digits, one full stop, e exponent) that must be consumed
// whole. from_chars does not say which way a value ran out of range: the value's magnitude
// does (10^390 written as 1000...0e-10 is an overflow, 0.000...01e5 an underflow to zero).
std::optional<double> parseDecimal(std::string_view digits)
{
    if (digits.empty())
        return 0.0;
    double value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                           std::chars_format::general);
    if (end != digits.data() + digits.size())
        return std::nullopt;
    if (ec == std::errc::result_out_of_range) {
        const auto magnitude = decimalMagnitude(digits);
        const bool underflow = !magnitude || *magnitude < 0;
        return underflow ? std::optional<double>(0.0) : std::nullopt;
    }
    if (ec != std::errc() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

std::optional<double> leadingNumberValue(std::string_view text)
{
    Reader in(text);
    bool negative = false;
    if (in.peek() == '+' || in.peek() == '-') {
        negative = in.peek() == '-';
        in.take();
    }

    std::optional<double> value;
    if (in.peek() == '&') {
        in.take();
        const char kind = asciiLower(in.peek());
        if (kind == 'h' || kind == 'o') {
            in.take();
            value = readRadix(in, kind == 'h' ? 16 : 8);
        } else {
            value = 0.0;
        }
    } else {
        std::string digits;
        bool point = false;
        for (char c = in.peek(); isDigit(c) || (c == '.' && !point); c = in.peek()) {
            point = point || c == '.';
            digits += c;
            in.take();
        }
        if (digits == ".")
            digits.clear();
        if (!digits.empty() && (asciiLower(in.peek()) == 'e' || asciiLower(in.peek()) == 'd')) {
            in.take();
            std::string exponent = "e";
            if (in.peek() == '+' || in.peek() == '-') {
                exponent += in.peek();
                in.take();
            }
            bool any = false;
            for (; isDigit(in.peek()); in.take()) {
                exponent += in.peek();
                any = true;
            }
            if (any)
                digits += exponent;
        }
        value = parseDecimal(digits);
    }
    if (value && negative)
        *value = -*value;
    return value;
}

std::optional<std::int64_t> toWholeNumber(double value, std::int64_t lowest, std::int64_t highest)
{
    // nearbyint in the default rounding mode rounds ties to even.
    const double rounded = std::nearbyint(value);
    if (!(rounded >= double(lowest) && rounded <= double(highest)))
        return std::nullopt;
    return std::int64_t(rounded);
}

namespace {
template <typename Int> std::optional<Int> toWhole(double value)
{
    const auto whole = toWholeNumber(value, std::numeric_limits<Int>::min(), std::numeric_limits<Int>::max());
    return whole ? std::optional<Int>(Int(*whole)) : std::nullopt;
}
} // namespace

std::optional<std::int32_t> toInt32(double value) { return toWhole<std::int32_t>(value); }

std::optional<std::int16_t> toInt16(double value) { return toWhole<std::int16_t>(value); }

std::optional<std::int32_t> leadingInt32(std::string_view text)
{
    const auto value = leadingNumberValue(text);
    return value ? toInt32(*value) : std::nullopt;
}

std::optional<std::int16_t> leadingInt16(std::string_view text)
{
    const auto value = leadingNumberValue(text);
    return value ? toInt16(*value) : std::nullopt;
}

std::optional<std::int16_t> strictInt16(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return std::nullopt;
    text = text.substr(first, text.find_last_not_of(" \t") - first + 1);

    // One sign, then a digit or full stop: rules out blanks inside, hex, "inf" and "nan".
    std::string_view number = text;
    bool negative = false;
    if (!number.empty() && (number.front() == '+' || number.front() == '-')) {
        negative = number.front() == '-';
        number.remove_prefix(1);
    }
    if (number.empty() || !(isDigit(number.front()) || number.front() == '.'))
        return std::nullopt;
    const auto value = parseDecimal(number);
    if (!value)
        return std::nullopt;
    return toInt16(negative ? -*value : *value);
}

std::string twoDigits(std::int64_t value)
{
    // The magnitude as unsigned, so the most negative value renders too.
    const std::uint64_t magnitude = value < 0 ? 0 - std::uint64_t(value) : std::uint64_t(value);
    std::string text = value < 0 ? "-" : "";
    if (magnitude < 10)
        text += '0';
    text += std::to_string(magnitude);
    return text;
}

} // namespace timers
