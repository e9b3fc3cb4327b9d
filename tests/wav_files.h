#pragma once

// Wave files made in memory for the sound tests, sound or damaged as a row asks.

#include <QByteArray>
#include <QtEndian>

#include <cmath>
#include <numbers>

namespace timers::testing {

struct WavFile {
    int rate = 44100;
    int channels = 1;
    double hz = 880;
    double seconds = 0.5;
    bool lengthPastTheEnd = false; // data length 0xFFFFFFFF, as recorders streaming to a pipe write it
    double keep = 1.0;             // the share of the samples that is there (a copy cut short)

    QByteArray bytes() const
    {
        const int frames = int(seconds * rate);
        QByteArray samples;
        for (int i = 0; i < frames; ++i) {
            const auto value = qint16(16000 * std::sin(2 * std::numbers::pi * hz * i / rate));
            for (int c = 0; c < channels; ++c)
                samples.append(reinterpret_cast<const char*>(&value), 2); // little-endian hosts only
        }
        const quint32 dataLength = lengthPastTheEnd ? 0xFFFFFFFFU : quint32(samples.size());
        QByteArray out;
        const auto u32 = [&out](quint32 v) {
            v = qToLittleEndian(v);
            out.append(reinterpret_cast<const char*>(&v), 4);
        };
        const auto u16 = [&out](quint16 v) {
            v = qToLittleEndian(v);
            out.append(reinterpret_cast<const char*>(&v), 2);
        };
        out.append("RIFF");
        u32(lengthPastTheEnd ? 0xFFFFFFFFU : quint32(36 + samples.size()));
        out.append("WAVEfmt ");
        u32(16);
        u16(1);
        u16(quint16(channels));
        u32(quint32(rate));
        u32(quint32(rate * channels * 2));
        u16(quint16(channels * 2));
        u16(16);
        out.append("data");
        u32(dataLength);
        out.append(samples.left(qsizetype(double(samples.size()) * keep) / 2 * 2));
        return out;
    }
};

} // namespace timers::testing
