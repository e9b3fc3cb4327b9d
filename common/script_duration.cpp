#include "common/script_duration.h"

#include <array>
#include <limits>
#include <string>

namespace timers {

namespace {

constexpr long long kLargest = std::numeric_limits<long long>::max();

bool isDigit(char c) { return c >= '0' && c <= '9'; }

long long plus(long long a, long long b) { return a > kLargest - b ? kLargest : a + b; }
long long times(long long a, long long b) { return a > kLargest / b ? kLargest : a * b; }

// The digits at the front of `text`, taken off it, and how many there were.
std::pair<long long, std::size_t> takeDigits(std::string_view& text)
{
    long long value = 0;
    std::size_t count = 0;
    for (; count < text.size() && isDigit(text[count]); ++count)
        value = plus(times(value, 10), text[count] - '0');
    text.remove_prefix(count);
    return {value, count};
}

// "1:30", "1:02:03"
std::optional<long long> clockForm(std::string_view text)
{
    auto [total, digits] = takeDigits(text);
    if (digits == 0)
        return std::nullopt;
    for (int field = 0; field < 2 && !text.empty(); ++field) {
        if (text.front() != ':')
            return std::nullopt;
        text.remove_prefix(1);
        const auto [value, count] = takeDigits(text);
        if (count != 2 || value >= 60)
            return std::nullopt;
        total = plus(times(total, 60), value);
    }
    return text.empty() ? std::optional(total) : std::nullopt;
}

// "90s", "5m", "1h30m"
std::optional<long long> unitForm(std::string_view text)
{
    constexpr std::array<std::pair<char, long long>, 3> kUnits{{{'h', 3600}, {'m', 60}, {'s', 1}}};
    long long total = 0;
    std::size_t next = 0; // the first unit still allowed
    while (!text.empty()) {
        const auto [value, digits] = takeDigits(text);
        if (digits == 0 || text.empty())
            return std::nullopt;
        while (next < kUnits.size() && kUnits[next].first != text.front())
            ++next;
        if (next == kUnits.size())
            return std::nullopt;
        total = plus(total, times(value, kUnits[next++].second));
        text.remove_prefix(1);
    }
    return next == 0 ? std::nullopt : std::optional(total);
}

} // namespace

std::optional<long long> scriptDuration(std::string_view text)
{
    return text.find(':') != std::string_view::npos ? clockForm(text) : unitForm(text);
}

} // namespace timers
