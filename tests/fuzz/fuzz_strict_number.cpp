// libFuzzer target: the strict port-number conversion on any text.
#include "common/numbers.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto number = timers::strictInt16(text);
    if (!number)
        return 0;
    // A number it accepts reads back the same when written plainly, and the lenient reader
    // agrees with it.
    if (timers::strictInt16(std::to_string(*number)) != number)
        std::abort();
    const auto lenient = timers::leadingNumberValue(text);
    if (!lenient || timers::toInt16(*lenient) != number)
        std::abort();
    return 0;
}
