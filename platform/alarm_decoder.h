#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace timers {

// A sound ready for the audio output: interleaved 16-bit samples.
struct DecodedSound {
    int sampleRate = 0;
    int channels = 0;
    std::vector<std::int16_t> samples;

    std::size_t frames() const { return channels > 0 ? samples.size() / std::size_t(channels) : 0; }
};

// Decodes an alarm sound held in memory, in any format libsndfile reads. Takes what a damaged
// file still holds (a data length past the end of the file, a copy cut short) and refuses what
// would not play sanely: a sample rate outside 8 to 192 kHz, more than 8 channels, no samples
// at all. More than two channels are mixed down to mono. A long sound is cut after kMaxSamples (over 2 minutes of 48 kHz stereo). On refusal, `why` says why in a few words.
std::optional<DecodedSound> decodeAlarm(std::span<const std::byte> file, std::string* why = nullptr);

inline constexpr int kMinSampleRate = 8'000;
inline constexpr int kMaxSampleRate = 192'000;
inline constexpr int kMaxChannels = 8;
inline constexpr std::size_t kMaxSamples = std::size_t(12) << 20;

} // namespace timers
