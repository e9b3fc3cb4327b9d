#include "settings/settings_format.h"

#include "common/ascii.h"

#include <algorithm>
#include <array>
#include <utility>

namespace timers {

namespace {

constexpr std::string_view kTitle = "//Timer Control";
constexpr std::string_view kPortHeader = "[USB/COM port]";
constexpr std::string_view kOnOffHeader = "[COM On-Off]";
constexpr std::string_view kPinHeader = "[COM output pin]";
constexpr std::string_view kAlarmHeader = "[Use alarm]";
// In the order the loader tests them on each line.
enum Header { kPort, kOnOff, kPin, kAlarm };
constexpr std::array kHeaders{kPortHeader, kOnOffHeader, kPinHeader, kAlarmHeader};

bool sameIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

std::string upper(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), asciiUpper);
    return result;
}

} // namespace

std::vector<std::string_view> settingsLines(std::string_view content)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        const std::size_t end = content.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back(content.substr(start));
            break;
        }
        lines.push_back(content.substr(start, end - start));
        start = end + 1;
        if (content[end] == '\r' && start < content.size() && content[start] == '\n')
            ++start;
    }
    return lines;
}

SettingsReader::SettingsReader(SettingsTarget& target)
    : m_target(target)
{
}

void SettingsReader::feed(std::string_view bytes)
{
    for (char c : bytes) {
        if (std::exchange(m_afterCr, false) && c == '\n')
            continue;
        if (c == '\r' || c == '\n') {
            endLine();
            m_afterCr = c == '\r';
            continue;
        }
        if (m_line.size() < kMaxLine)
            m_line.push_back(c);
        ++m_lineBytes;
    }
}

void SettingsReader::finish()
{
    if (!m_line.empty())
        endLine();
}

void SettingsReader::endLine()
{
    // The value of the header on the line before; the tests after that header's test then
    // look at this same line.
    int firstTest = 0;
    if (m_header >= 0) {
        if (m_lineBytes > m_line.size())
            m_target.valueCut(m_lineBytes);
        switch (Header(m_header)) {
        case kPort:
            m_target.setPortNumberText(m_line);
            break;
        case kOnOff:
            m_target.setOnOffText(upper(m_line));
            break;
        case kPin:
            m_target.setPinText(m_line);
            break;
        case kAlarm:
            if (sameIgnoringCase(m_line, "yes"))
                m_target.checkAlarm();
            break;
        }
        firstTest = std::exchange(m_header, -1) + 1;
    }
    for (int test = firstTest; test < int(kHeaders.size()); ++test) {
        if (sameIgnoringCase(m_line, kHeaders[std::size_t(test)])) {
            m_header = test;
            break;
        }
    }
    m_line.clear();
    m_lineBytes = 0;
}

void applySettings(std::string_view content, SettingsTarget& target)
{
    SettingsReader reader(target);
    reader.feed(content);
    reader.finish();
}

std::string composeSettings(const SettingsValues& values)
{
    std::string text;
    for (std::string_view line : {kTitle, kPortHeader, std::string_view(values.portNumberText), kOnOffHeader,
                                  std::string_view(values.onOffText), kPinHeader, std::string_view(values.pinText),
                                  kAlarmHeader, std::string_view(values.alarm ? "Yes" : "No")}) {
        text += line;
        text += "\r\n";
    }
    return text;
}

} // namespace timers
