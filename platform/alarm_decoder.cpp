#include "alarm_decoder.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace timers {

namespace {

// libsndfile reads the file from memory through these callbacks.
struct MemoryFile {
    std::span<const std::byte> bytes;
    sf_count_t position = 0;
};

sf_count_t length(void* file) { return sf_count_t(static_cast<MemoryFile*>(file)->bytes.size()); }

sf_count_t seek(sf_count_t offset, int whence, void* file)
{
    auto* memory = static_cast<MemoryFile*>(file);
    const auto size = sf_count_t(memory->bytes.size());
    sf_count_t base = 0;
    if (whence == SEEK_CUR)
        base = memory->position;
    else if (whence == SEEK_END)
        base = size;
    // A header may point anywhere: keep the position within the file.
    if (offset > size - base)
        memory->position = size;
    else
        memory->position = std::max<sf_count_t>(0, base + offset);
    return memory->position;
}

sf_count_t read(void* destination, sf_count_t count, void* file)
{
    auto* memory = static_cast<MemoryFile*>(file);
    const sf_count_t available = sf_count_t(memory->bytes.size()) - memory->position;
    const sf_count_t n = std::clamp<sf_count_t>(count, 0, available);
    if (n > 0)
        std::memcpy(destination, memory->bytes.data() + memory->position, std::size_t(n));
    memory->position += n;
    return n;
}

sf_count_t write(const void*, sf_count_t, void*) { return 0; }

sf_count_t tell(void* file) { return static_cast<MemoryFile*>(file)->position; }

std::int16_t toSample(float value)
{
    if (!std::isfinite(value))
        return 0;
    return std::int16_t(std::lround(std::clamp(value, -1.0F, 1.0F) * 32767.0F));
}

bool refuse(std::string* why, std::string reason)
{
    if (why)
        *why = std::move(reason);
    return false;
}

} // namespace

std::optional<DecodedSound> decodeAlarm(std::span<const std::byte> file, std::string* why)
{
    SF_VIRTUAL_IO io{&length, &seek, &read, &write, &tell};
    MemoryFile memory{file};
    SF_INFO info{};
    const std::unique_ptr<SNDFILE, int (*)(SNDFILE*)> sound(sf_open_virtual(&io, SFM_READ, &info, &memory), &sf_close);
    if (!sound) {
        refuse(why, file.empty() ? "the file is empty" : sf_strerror(nullptr));
        return std::nullopt;
    }
    if (info.samplerate < kMinSampleRate || info.samplerate > kMaxSampleRate) {
        refuse(why, "its sample rate of " + std::to_string(info.samplerate) + " Hz is not playable");
        return std::nullopt;
    }
    if (info.channels < 1 || info.channels > kMaxChannels) {
        refuse(why, "its " + std::to_string(info.channels) + " channels are not playable");
        return std::nullopt;
    }

    // Mono and stereo play as they are; more channels are mixed down to mono, which every
    // output takes.
    const int outChannels = info.channels <= 2 ? info.channels : 1;
    DecodedSound decoded{info.samplerate, outChannels, {}};
    // The header's frame count may be wrong (a length past the end): read until the data ends.
    const std::size_t maxFrames = kMaxSamples / std::size_t(outChannels);
    decoded.samples.reserve(std::size_t(std::clamp<sf_count_t>(info.frames, 0, sf_count_t(maxFrames))) * std::size_t(outChannels));
    constexpr sf_count_t kChunkFrames = 4096;
    std::vector<float> chunk(std::size_t(kChunkFrames) * std::size_t(info.channels));
    while (decoded.frames() < maxFrames) {
        const sf_count_t got = sf_readf_float(sound.get(), chunk.data(), kChunkFrames);
        if (got <= 0)
            break;
        for (std::size_t frame = 0; frame < std::size_t(got); ++frame) {
            const float* in = chunk.data() + frame * std::size_t(info.channels);
            if (outChannels == info.channels) {
                for (int c = 0; c < outChannels; ++c)
                    decoded.samples.push_back(toSample(in[c]));
            } else {
                float sum = 0;
                for (int c = 0; c < info.channels; ++c)
                    sum += std::isfinite(in[c]) ? std::clamp(in[c], -1.0F, 1.0F) : 0.0F;
                decoded.samples.push_back(toSample(sum / float(info.channels)));
            }
        }
    }
    decoded.samples.resize(std::min(decoded.frames(), maxFrames) * std::size_t(outChannels));
    if (decoded.samples.empty()) {
        refuse(why, "it holds no audio");
        return std::nullopt;
    }
    return decoded;
}

} // namespace timers
