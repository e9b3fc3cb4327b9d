/* Writes a long alarm file for the onset benchmark: one loud second of 880 Hz, then quiet noise
 * (below the onset recorder's threshold, so that the next alarm's onset shows, yet as costly
 * to decode as sound) for the rest.
 *   long_alarm flac|opus SECONDS OUT
 * flac: 192 kHz, 8 channels, 16 bit; opus: 48 kHz stereo in Ogg. */
#include <sndfile.h>

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv)
{
    if (argc != 4 || (strcmp(argv[1], "flac") != 0 && strcmp(argv[1], "opus") != 0)) {
        fprintf(stderr, "usage: %s flac|opus SECONDS OUT\n", argv[0]);
        return 2;
    }
    const int flac = strcmp(argv[1], "flac") == 0;
    SF_INFO info = {0};
    info.samplerate = flac ? 192000 : 48000;
    info.channels = flac ? 8 : 2;
    info.format = flac ? SF_FORMAT_FLAC | SF_FORMAT_PCM_16 : SF_FORMAT_OGG | SF_FORMAT_OPUS;
    SNDFILE* file = sf_open(argv[3], SFM_WRITE, &info);
    if (!file) {
        fprintf(stderr, "long_alarm: %s\n", sf_strerror(NULL));
        return 1;
    }
    const long frames = (long)info.samplerate * atol(argv[2]);
    float* second = malloc(sizeof(float) * (size_t)info.samplerate * (size_t)info.channels);
    srand(1);
    for (long start = 0; start < frames; start += info.samplerate) {
        for (long i = 0; i < info.samplerate; ++i) {
            const float value = start == 0 ? 0.5f * sinf(2 * 3.14159265f * 880 * (float)i / (float)info.samplerate)
                                           : 0.01f * ((float)rand() / (float)RAND_MAX - 0.5f);
            for (int c = 0; c < info.channels; ++c)
                second[i * info.channels + c] = value;
        }
        if (sf_writef_float(file, second, info.samplerate) != info.samplerate) {
            fprintf(stderr, "long_alarm: %s\n", sf_strerror(file));
            return 1;
        }
    }
    free(second);
    return sf_close(file) == 0 ? 0 : 1;
}
