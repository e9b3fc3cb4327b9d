// libFuzzer target: the settings reader on any bytes, and the writer on what it read.
#include "settings/settings_format.h"

#include <cstdint>
#include <cstdlib>

namespace {
class Recorder final : public timers::SettingsTarget {
public:
    void setPortNumberText(const std::string& text) override { values.portNumberText = text; }
    void setOnOffText(const std::string& text) override { values.onOffText = text; }
    void setPinText(const std::string& text) override { values.pinText = text; }
    void checkAlarm() override { values.alarm = true; }
    timers::SettingsValues values{"Combo1", "Combo1", "Combo1", false};
};

bool hasLineBreak(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    for (std::string_view line : timers::settingsLines(content)) {
        if (line.find_first_of("\r\n") != std::string_view::npos)
            std::abort();
    }
    Recorder first;
    timers::applySettings(content, first);
    const auto& v = first.values;
    if (hasLineBreak(v.portNumberText) || hasLineBreak(v.onOffText) || hasLineBreak(v.pinText))
        std::abort();
    // What was read is written as nine lines and reads back without fault.
    const std::string written = timers::composeSettings(v);
    if (timers::settingsLines(written).size() != 9)
        std::abort();
    Recorder second;
    timers::applySettings(written, second);
    return 0;
}
