// libFuzzer target: the leading-number reader and the whole-number conversions on any text.
#include "common/numbers.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto value = timers::leadingNumberValue(text);
    if (!value)
        return 0;
    if (!std::isfinite(*value))
        std::abort();
    if (const auto whole = timers::toInt32(*value); whole && std::fabs(double(*whole) - *value) > 0.5)
        std::abort();
    if (const auto port = timers::toInt16(*value); port && std::fabs(double(*port) - *value) > 0.5)
        std::abort();
    (void)timers::twoDigits(std::int64_t(timers::toInt32(*value).value_or(0)) - 3'900'000'000LL);
    return 0;
}
