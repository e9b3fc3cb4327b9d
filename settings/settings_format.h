#pragma once

// The settings file "Timer_Control.ini": nine lines of bracketed headers and values.
// Plain standard C++ over bytes, so the reader can be fuzzed on its own.

#include <string>
#include <string_view>
#include <vector>

namespace timers {

// What the loader writes into: the COM port dialog's three fields and the Alarm box.
class SettingsTarget {
public:
    virtual ~SettingsTarget() = default;
    virtual void setPortNumberText(const std::string& text) = 0;
    virtual void setOnOffText(const std::string& text) = 0;
    virtual void setPinText(const std::string& text) = 0;
    virtual void checkAlarm() = 0; // the loader only ever checks the box
    // Comes before a value whose line was cut at SettingsReader::kMaxLine: the bytes the line
    // really had, for messages.
    virtual void valueCut(std::size_t lineBytes) { static_cast<void>(lineBytes); }
};

struct SettingsValues {
    std::string portNumberText;
    std::string onOffText;
    std::string pinText;
    bool alarm = false;
};

// Lines as the loader reads them: a line ends at CR (a LF right after it is skipped) or at a
// LF on its own. Nothing after the last line break makes no further line.
std::vector<std::string_view> settingsLines(std::string_view content);

// Applies the file's headers, in file order, each to the line after it. Headers are compared
// whole and without regard to ASCII letter case; the four tests run in turn on each line, so a
// value line that equals a header tested later is taken as that header. A header on the last
// line, with no value after it, changes nothing.
//
// The file is fed in pieces of any size as it is read, with memory that does not grow with the
// file: a line longer than kMaxLine is cut there (no header is that long, and no field holds
// more).
class SettingsReader {
public:
    explicit SettingsReader(SettingsTarget& target);

    void feed(std::string_view bytes);
    // The end of the file: a last line without a line break counts.
    void finish();

    static constexpr std::size_t kMaxLine = std::size_t(128) << 10;

private:
    void endLine();

    SettingsTarget& m_target;
    std::string m_line;          // a line ends only at a line break, so an empty one needs no flag
    std::size_t m_lineBytes = 0; // with what was cut off
    bool m_afterCr = false;      // a LF right after a CR ends no further line
    int m_header = -1;           // the header whose value the next line is
};

// The whole file at once.
void applySettings(std::string_view content, SettingsTarget& target);

// The nine lines as written, each ended by CR LF.
std::string composeSettings(const SettingsValues& values);

} // namespace timers
