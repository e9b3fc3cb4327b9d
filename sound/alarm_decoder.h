#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace timers {

inline constexpr int kMinSampleRate = 8'000;
inline constexpr int kMaxSampleRate = 192'000;
inline constexpr int kMaxChannels = 8;
inline constexpr std::size_t kMaxSamples = std::size_t(12) << 20;
// An alarm is short; more than this of a file is never read.
inline constexpr std::int64_t kMaxFileBytes = std::int64_t(64) << 20;

// The bytes of an alarm file as the decoder reads them: from memory or from a file.
class AlarmBytes {
public:
    virtual ~AlarmBytes() = default;
    virtual std::int64_t size() const = 0;
    // Copies up to `count` bytes from `offset` on; returns how many.
    virtual std::int64_t readAt(std::int64_t offset, void* destination, std::int64_t count) = 0;

    static std::unique_ptr<AlarmBytes> inMemory(std::span<const std::byte> bytes);
    // The first kMaxFileBytes of a file, read as they are needed; null with `why` when it
    // cannot be opened.
    static std::unique_ptr<AlarmBytes> ofFile(const std::string& path, std::string* why);
};

// Decodes an alarm sound, in any format libsndfile reads, a block at a time as it plays, so
// that the sound can start before a long file is decoded. Takes what a damaged file still
// holds (a data length past the end of the file, a copy cut short) and refuses what would not
// play sanely: a sample rate outside 8 to 192 kHz, more than 8 channels, no samples at all.
// More than two channels are mixed down to mono. A long sound ends after kMaxSamples (over 2
// minutes of 48 kHz stereo).
class AlarmDecoder {
public:
    // Null when the sound is refused; `why` then says why in a few words.
    static std::unique_ptr<AlarmDecoder> open(std::unique_ptr<AlarmBytes> bytes, std::string* why = nullptr);
    ~AlarmDecoder();
    AlarmDecoder(const AlarmDecoder&) = delete;
    AlarmDecoder& operator=(const AlarmDecoder&) = delete;

    int sampleRate() const { return m_sampleRate; }
    int channels() const { return m_outChannels; } // 1 or 2
    // Up to `frames` frames of interleaved 16-bit samples into `out`; 0 once the sound has ended.
    std::size_t read(std::int16_t* out, std::size_t frames);

private:
    struct Source;
    AlarmDecoder() = default;
    bool decodeChunk();

    std::unique_ptr<Source> m_source;
    int m_sampleRate = 0;
    int m_fileChannels = 0;
    int m_outChannels = 0;
    std::size_t m_samplesLeft = kMaxSamples;
    std::vector<float> m_chunk;
    std::vector<std::int16_t> m_ready; // decoded, not yet read
    std::size_t m_readyAt = 0;
};

// A sound decoded whole: interleaved 16-bit samples.
struct DecodedSound {
    int sampleRate = 0;
    int channels = 0;
    std::vector<std::int16_t> samples;

    std::size_t frames() const { return channels > 0 ? samples.size() / std::size_t(channels) : 0; }
};

// The whole of a sound held in memory, with the decoder's rules.
std::optional<DecodedSound> decodeAlarm(std::span<const std::byte> file, std::string* why = nullptr);

} // namespace timers
