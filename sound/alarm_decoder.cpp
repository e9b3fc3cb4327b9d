#include "sound/alarm_decoder.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace timers {

namespace {

class MemoryBytes final : public AlarmBytes {
public:
    explicit MemoryBytes(std::span<const std::byte> bytes)
        : m_bytes(bytes)
    {
    }
    std::int64_t size() const override { return std::int64_t(m_bytes.size()); }
    std::int64_t readAt(std::int64_t offset, void* destination, std::int64_t count) override
    {
        const std::int64_t n = std::clamp<std::int64_t>(count, 0, size() - offset);
        if (n > 0)
            std::memcpy(destination, m_bytes.data() + offset, std::size_t(n));
        return n;
    }

private:
    std::span<const std::byte> m_bytes;
};

class FileBytes final : public AlarmBytes {
public:
    FileBytes(int fd, std::int64_t size)
        : m_fd(fd)
        , m_size(size)
    {
    }
    ~FileBytes() override { ::close(m_fd); }
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;
    std::int64_t size() const override { return m_size; }
    std::int64_t readAt(std::int64_t offset, void* destination, std::int64_t count) override
    {
        const std::int64_t wanted = std::clamp<std::int64_t>(count, 0, m_size - offset);
        std::int64_t done = 0;
        while (done < wanted) {
            const ssize_t got = ::pread(m_fd, static_cast<char*>(destination) + done, std::size_t(wanted - done),
                                        off_t(offset + done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break; // a read error ends the sound where it is, like a copy cut short
            done += got;
        }
        return done;
    }

private:
    int m_fd;
    std::int64_t m_size;
};

std::int16_t toSample(float value)
{
    if (!std::isfinite(value))
        return 0;
    return std::int16_t(std::lround(std::clamp(value, -1.0F, 1.0F) * 32767.0F));
}

template <typename T> T refuse(std::string* why, std::string reason)
{
    if (why)
        *why = std::move(reason);
    return T{};
}

constexpr sf_count_t kChunkFrames = 4096;

} // namespace

std::unique_ptr<AlarmBytes> AlarmBytes::inMemory(std::span<const std::byte> bytes)
{
    return std::make_unique<MemoryBytes>(bytes);
}

std::unique_ptr<AlarmBytes> AlarmBytes::ofFile(const std::string& path, std::string* why)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat status = {};
    if (fd < 0 || ::fstat(fd, &status) != 0) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        return refuse<std::unique_ptr<AlarmBytes>>(why, std::strerror(error));
    }
    if (!S_ISREG(status.st_mode)) {
        ::close(fd);
        return refuse<std::unique_ptr<AlarmBytes>>(why, "it is not a regular file");
    }
    return std::make_unique<FileBytes>(fd, std::min<std::int64_t>(status.st_size, kMaxFileBytes));
}

// libsndfile reads the bytes through these callbacks; a header may point anywhere, so the
// position stays within the bytes.
struct AlarmDecoder::Source {
    std::unique_ptr<AlarmBytes> bytes;
    sf_count_t position = 0;
    SNDFILE* file = nullptr;

    static Source& of(void* source) { return *static_cast<Source*>(source); }
    static sf_count_t length(void* source) { return of(source).bytes->size(); }
    static sf_count_t seek(sf_count_t offset, int whence, void* source)
    {
        Source& s = of(source);
        const sf_count_t size = s.bytes->size();
        const sf_count_t base = whence == SEEK_CUR ? s.position : whence == SEEK_END ? size : 0;
        s.position = offset > size - base ? size : std::max<sf_count_t>(0, base + offset);
        return s.position;
    }
    static sf_count_t read(void* destination, sf_count_t count, void* source)
    {
        Source& s = of(source);
        const sf_count_t n = s.bytes->readAt(s.position, destination, count);
        s.position += n;
        return n;
    }
    static sf_count_t write(const void*, sf_count_t, void*) { return 0; }
    static sf_count_t tell(void* source) { return of(source).position; }
};

AlarmDecoder::~AlarmDecoder()
{
    if (m_source && m_source->file)
        sf_close(m_source->file);
}

std::unique_ptr<AlarmDecoder> AlarmDecoder::open(std::unique_ptr<AlarmBytes> bytes, std::string* why)
{
    using Refused = std::unique_ptr<AlarmDecoder>;
    if (!bytes)
        return nullptr; // AlarmBytes said why
    std::unique_ptr<AlarmDecoder> decoder(new AlarmDecoder);
    decoder->m_source = std::make_unique<Source>();
    Source& source = *decoder->m_source;
    source.bytes = std::move(bytes);
    SF_VIRTUAL_IO io{&Source::length, &Source::seek, &Source::read, &Source::write, &Source::tell};
    SF_INFO info{};
    source.file = sf_open_virtual(&io, SFM_READ, &info, &source);
    if (!source.file)
        return refuse<Refused>(why, source.bytes->size() == 0 ? "the file is empty" : sf_strerror(nullptr));
    if (info.samplerate < kMinSampleRate || info.samplerate > kMaxSampleRate)
        return refuse<Refused>(why, "its sample rate of " + std::to_string(info.samplerate) + " Hz is not playable");
    if (info.channels < 1 || info.channels > kMaxChannels)
        return refuse<Refused>(why, "its " + std::to_string(info.channels) + " channels are not playable");
    decoder->m_sampleRate = info.samplerate;
    decoder->m_fileChannels = info.channels;
    // Mono and stereo play as they are; more channels are mixed down to mono, which every
    // output takes.
    decoder->m_outChannels = info.channels <= 2 ? info.channels : 1;
    decoder->m_samplesLeft = kMaxSamples - kMaxSamples % std::size_t(decoder->m_outChannels);
    decoder->m_chunk.resize(std::size_t(kChunkFrames) * std::size_t(info.channels));
    // The first block, so that a file with no audio gives way before anything plays.
    if (!decoder->decodeChunk())
        return refuse<Refused>(why, "it holds no audio");
    return decoder;
}

bool AlarmDecoder::decodeChunk()
{
    m_ready.clear();
    m_readyAt = 0;
    if (m_samplesLeft == 0)
        return false;
    // The header's frame count may be wrong (a length past the end): read until the data ends.
    const sf_count_t got = sf_readf_float(m_source->file, m_chunk.data(), kChunkFrames);
    if (got <= 0)
        return false;
    for (std::size_t frame = 0; frame < std::size_t(got); ++frame) {
        const float* in = m_chunk.data() + frame * std::size_t(m_fileChannels);
        if (m_outChannels == m_fileChannels) {
            for (int c = 0; c < m_outChannels; ++c)
                m_ready.push_back(toSample(in[c]));
        } else {
            float sum = 0;
            for (int c = 0; c < m_fileChannels; ++c)
                sum += std::isfinite(in[c]) ? std::clamp(in[c], -1.0F, 1.0F) : 0.0F;
            m_ready.push_back(toSample(sum / float(m_fileChannels)));
        }
    }
    m_ready.resize(std::min(m_ready.size(), m_samplesLeft));
    m_samplesLeft -= m_ready.size();
    return true;
}

std::size_t AlarmDecoder::read(std::int16_t* out, std::size_t frames)
{
    const auto channels = std::size_t(m_outChannels);
    std::size_t done = 0;
    while (done < frames) {
        if (m_readyAt == m_ready.size() && !decodeChunk())
            break;
        const std::size_t n = std::min((m_ready.size() - m_readyAt) / channels, frames - done);
        std::copy_n(m_ready.begin() + std::ptrdiff_t(m_readyAt), n * channels, out + done * channels);
        m_readyAt += n * channels;
        done += n;
    }
    return done;
}

std::optional<DecodedSound> decodeAlarm(std::span<const std::byte> file, std::string* why)
{
    const auto decoder = AlarmDecoder::open(AlarmBytes::inMemory(file), why);
    if (!decoder)
        return std::nullopt;
    DecodedSound sound{decoder->sampleRate(), decoder->channels(), {}};
    constexpr std::size_t kFrames = 4096;
    for (;;) {
        const std::size_t at = sound.samples.size();
        sound.samples.resize(at + kFrames * std::size_t(sound.channels));
        const std::size_t got = decoder->read(sound.samples.data() + at, kFrames);
        sound.samples.resize(at + got * std::size_t(sound.channels));
        if (got == 0)
            return sound;
    }
}

} // namespace timers
