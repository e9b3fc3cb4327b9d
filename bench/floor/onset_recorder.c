/* Records a PulseAudio source and prints, on stdout, the CLOCK_MONOTONIC time in nanoseconds
 * of every sound onset: the first sample louder than -30 dBFS after at least 300 ms below it.
 * Each read's time is corrected by the stream's latency, so an onset is dated to within a few
 * milliseconds of when the sound reached the source.
 *   onset_recorder SOURCE */
#include <pulse/error.h>
#include <pulse/simple.h>

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

enum { kRate = 48000, kChunk = 240 /* 5 ms */, kQuietFrames = kRate * 3 / 10, kLoud = 1036 };

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s SOURCE\n", argv[0]);
        return 2;
    }
    const pa_sample_spec spec = {PA_SAMPLE_S16LE, kRate, 1};
    const pa_buffer_attr attr = {(uint32_t)-1, (uint32_t)-1, (uint32_t)-1, (uint32_t)-1, kChunk * 2};
    int error = 0;
    pa_simple* source = pa_simple_new(NULL, "onset_recorder", PA_STREAM_RECORD, argv[1], "onsets", &spec, NULL, &attr,
                                      &error);
    if (!source) {
        fprintf(stderr, "onset_recorder: %s\n", pa_strerror(error));
        return 1;
    }
    int16_t samples[kChunk];
    long quiet = kQuietFrames;
    for (;;) {
        if (pa_simple_read(source, samples, sizeof samples, &error) < 0) {
            fprintf(stderr, "onset_recorder: %s\n", pa_strerror(error));
            return 1;
        }
        struct timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        const long long latency_ns = (long long)pa_simple_get_latency(source, &error) * 1000;
        const long long last_ns = (long long)now.tv_sec * 1000000000LL + now.tv_nsec - latency_ns;
        for (int i = 0; i < kChunk; ++i) {
            if (abs(samples[i]) < kLoud) {
                ++quiet;
                continue;
            }
            if (quiet >= kQuietFrames) {
                printf("%lld\n", last_ns - (long long)(kChunk - 1 - i) * 1000000000LL / kRate);
                fflush(stdout);
            }
            quiet = 0;
        }
    }
}
