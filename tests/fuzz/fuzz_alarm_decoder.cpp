// libFuzzer target: the alarm decoder on any bytes. What it accepts must be playable as it
// promises: a sane rate and channel count, at least one whole frame, no more than the cap.
#include "sound/alarm_decoder.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto sound = timers::decodeAlarm(std::as_bytes(std::span(data, size)));
    if (!sound)
        return 0;
    const bool playable = sound->sampleRate >= timers::kMinSampleRate && sound->sampleRate <= timers::kMaxSampleRate
                       && (sound->channels == 1 || sound->channels == 2) && sound->frames() > 0
                       && sound->samples.size() % std::size_t(sound->channels) == 0
                       && sound->samples.size() <= timers::kMaxSamples;
    if (!playable)
        std::abort();
    return 0;
}
