#include "settings_format.h"

#include <algorithm>

namespace timers {

namespace {

const std::string_view kTitle = "//Timer Control";
const std::string_view kPortHeader = "[USB/COM port]";
const std::string_view kOnOffHeader = "[COM On-Off]";
const std::string_view kPinHeader = "[COM output pin]";
const std::string_view kAlarmHeader = "[Use alarm]";

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }
char asciiUpper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

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

void applySettings(std::string_view content, SettingsTarget& target)
{
    const std::vector<std::string_view> lines = settingsLines(content);
    std::size_t next = 0;
    // Reads the next line into `line`; false at the end of the file.
    const auto readLine = [&](std::string_view& line) {
        if (next >= lines.size())
            return false;
        line = lines[next++];
        return true;
    };

    std::string_view line;
    while (readLine(line)) {
        if (sameIgnoringCase(line, kPortHeader)) {
            if (!readLine(line))
                break;
            target.setPortNumberText(std::string(line));
        }
        if (sameIgnoringCase(line, kOnOffHeader)) {
            if (!readLine(line))
                break;
            target.setOnOffText(upper(line));
        }
        if (sameIgnoringCase(line, kPinHeader)) {
            if (!readLine(line))
                break;
            target.setPinText(std::string(line));
        }
        if (sameIgnoringCase(line, kAlarmHeader)) {
            if (!readLine(line))
                break;
            if (sameIgnoringCase(line, "yes"))
                target.checkAlarm();
        }
    }
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
