// Writes a beeping sine tone as a 16-bit mono PCM wave file. Used at build time to make the
// program's alarm.wav and its built-in default alert, so no sound file comes from elsewhere.
//
//   make_tone OUT.wav FREQUENCY_HZ BEEPS BEEP_MS GAP_MS TAIL_MS

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <numbers>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr double kAmplitude = 0.6 * 32767;
constexpr int kFadeSamples = kRate / 200; // 5 ms ramps avoid clicks

void put16(std::ofstream& out, std::uint16_t v) { out.put(char(v & 0xFF)).put(char(v >> 8)); }
void put32(std::ofstream& out, std::uint32_t v)
{
    put16(out, std::uint16_t(v & 0xFFFF));
    put16(out, std::uint16_t(v >> 16));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 7) {
        std::fprintf(stderr, "usage: %s OUT.wav FREQUENCY_HZ BEEPS BEEP_MS GAP_MS TAIL_MS\n", argv[0]);
        return 2;
    }
    const double frequency = std::atof(argv[2]);
    const int beeps = std::atoi(argv[3]);
    const int beepSamples = std::atoi(argv[4]) * kRate / 1000;
    const int gapSamples = std::atoi(argv[5]) * kRate / 1000;
    // Silence at the end: QSoundEffect drops the last tenth of a second or so.
    const int tailSamples = std::atoi(argv[6]) * kRate / 1000;

    std::vector<std::int16_t> samples;
    for (int b = 0; b < beeps; ++b) {
        for (int i = 0; i < beepSamples; ++i) {
            const double ramp = std::min({1.0, double(i) / kFadeSamples, double(beepSamples - i) / kFadeSamples});
            samples.push_back(std::int16_t(kAmplitude * ramp * std::sin(2 * std::numbers::pi * frequency * i / kRate)));
        }
        samples.insert(samples.end(), std::size_t(b + 1 < beeps ? gapSamples : tailSamples), 0);
    }

    std::ofstream out(argv[1], std::ios::binary);
    const auto dataBytes = std::uint32_t(samples.size() * 2);
    out.write("RIFF", 4);
    put32(out, 36 + dataBytes);
    out.write("WAVEfmt ", 8);
    put32(out, 16);
    put16(out, 1); // PCM
    put16(out, 1); // mono
    put32(out, kRate);
    put32(out, kRate * 2);
    put16(out, 2);
    put16(out, 16);
    out.write("data", 4);
    put32(out, dataBytes);
    for (std::int16_t s : samples)
        put16(out, std::uint16_t(s));
    out.close();
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
