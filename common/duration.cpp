#include "common/duration.h"

#include "common/numbers.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string>

namespace timers {

namespace {

constexpr long long kLargest = std::numeric_limits<long long>::max();

long long plus(long long a, long long b) { return a > kLargest - b ? kLargest : a + b; }
long long times(long long a, long long b) { return b != 0 && a > kLargest / b ? kLargest : a * b; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

void skipBlanks(std::string_view& text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
}

// Digits, then at most a full stop and one or two digits, taken off the front of the text.
struct Number {
    long long hundredths = 0;
    std::size_t digits = 0; // before the full stop
    bool fraction = false;
};

std::optional<Number> takeNumber(std::string_view& text)
{
    Number number;
    for (; number.digits < text.size() && isDigit(text[number.digits]); ++number.digits)
        number.hundredths = plus(times(number.hundredths, 10), text[number.digits] - '0');
    if (number.digits == 0)
        return std::nullopt;
    text.remove_prefix(number.digits);
    number.hundredths = times(number.hundredths, 100);
    if (text.empty() || text.front() != '.')
        return number;
    text.remove_prefix(1);
    std::size_t decimals = 0;
    for (long long scale = 10; decimals < text.size() && isDigit(text[decimals]); ++decimals, scale /= 10) {
        if (decimals == 2)
            return std::nullopt; // finer than a hundredth
        number.hundredths = plus(number.hundredths, (text[decimals] - '0') * scale);
    }
    if (decimals == 0)
        return std::nullopt;
    text.remove_prefix(decimals);
    number.fraction = true;
    return number;
}

// "1:30", "1:02.3", "1:02:03"
std::optional<long long> clockForm(std::string_view text)
{
    auto first = takeNumber(text);
    if (!first || first->fraction)
        return std::nullopt;
    long long total = first->hundredths;
    bool fraction = false;
    for (int field = 0; !text.empty(); ++field) {
        if (field == 2 || fraction || text.front() != ':')
            return std::nullopt;
        text.remove_prefix(1);
        const auto next = takeNumber(text);
        if (!next || next->digits != 2 || next->hundredths >= 6000)
            return std::nullopt;
        total = plus(times(total, 60), next->hundredths);
        fraction = next->fraction;
    }
    return total;
}

// "90s", "1.5m", "1h 30m", "5 min", "1h30"
std::optional<long long> unitForm(std::string_view text)
{
    struct Unit {
        long long seconds;
        std::array<std::string_view, 5> names;
    };
    static constexpr std::array<Unit, 3> kUnits{{{3600, {"h", "hr", "hrs", "hour", "hours"}},
                                                 {60, {"m", "min", "mins", "minute", "minutes"}},
                                                 {1, {"s", "sec", "secs", "second", "seconds"}}}};
    long long total = 0;
    std::size_t next = 0; // the first unit still allowed
    while (!text.empty()) {
        if (next == kUnits.size())
            return std::nullopt;
        const auto number = takeNumber(text);
        if (!number)
            return std::nullopt;
        skipBlanks(text);
        std::size_t letters = 0;
        while (letters < text.size() && isLetter(text[letters]))
            ++letters;
        std::string word(text.substr(0, letters));
        for (char& c : word)
            c = lower(c);
        text.remove_prefix(letters);
        skipBlanks(text);
        std::size_t unit = next;
        if (word.empty()) {
            // A bare number after a unit counts in the next smaller one, and ends the text.
            if (next == 0 || !text.empty())
                return std::nullopt;
        } else {
            while (unit < kUnits.size()
                   && std::find(kUnits[unit].names.begin(), kUnits[unit].names.end(), word) == kUnits[unit].names.end())
                ++unit;
            if (unit == kUnits.size())
                return std::nullopt;
        }
        if (number->fraction && !text.empty())
            return std::nullopt; // a fraction only on the last number
        total = plus(total, times(number->hundredths, kUnits[unit].seconds));
        next = unit + 1;
    }
    return next == 0 ? std::nullopt : std::optional(total);
}

// Whole seconds, rounded ties-to-even, when they fit in 32 bits.
std::optional<std::int32_t> wholeSeconds(Centiseconds duration)
{
    long long seconds = duration.count() / 100;
    const long long rest = duration.count() % 100;
    if (rest > 50 || (rest == 50 && seconds % 2 != 0))
        ++seconds;
    if (duration.count() < 0 || seconds > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return std::int32_t(seconds);
}

} // namespace

std::optional<Centiseconds> readDuration(std::string_view text)
{
    skipBlanks(text);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    std::optional<long long> hundredths;
    if (text.find(':') != std::string_view::npos)
        hundredths = clockForm(text);
    else if (std::any_of(text.begin(), text.end(), isLetter))
        hundredths = unitForm(text);
    else if (auto number = takeNumber(text); number && text.empty())
        hundredths = number->hundredths;
    return hundredths ? std::optional(Centiseconds(*hundredths)) : std::nullopt;
}

std::optional<std::int32_t> promptSeconds(std::string_view answer)
{
    const bool durationForm = answer.find(':') != std::string_view::npos
                           || std::any_of(answer.begin(), answer.end(), isLetter);
    if (durationForm) {
        if (const auto duration = readDuration(answer))
            return wholeSeconds(*duration);
    }
    return leadingInt32(answer);
}

} // namespace timers
