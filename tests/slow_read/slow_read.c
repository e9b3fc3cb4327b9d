/* Preloaded into the program by a test, to make the settings load slow without a slow disk:
 * each read() from a file named Timer_Control.ini first sleeps TIMERS_SLOW_READ_MS and appends
 * one byte to the file named by TIMERS_SLOW_READ_LOG, so the test can end the program in the
 * middle of the load and see how far the load got. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static const char kName[] = "/Timer_Control.ini";

ssize_t read(int fd, void* buffer, size_t count)
{
    static ssize_t (*real_read)(int, void*, size_t);
    if (!real_read)
        real_read = (ssize_t(*)(int, void*, size_t))dlsym(RTLD_NEXT, "read");
    char link[64];
    char target[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, target, sizeof target - 1);
    const size_t name = sizeof kName - 1;
    if (length >= (ssize_t)name && memcmp(target + length - name, kName, name) == 0) {
        const char* ms = getenv("TIMERS_SLOW_READ_MS");
        const long delay = ms ? atol(ms) : 50;
        const struct timespec pause = {delay / 1000, (delay % 1000) * 1000000L};
        nanosleep(&pause, NULL);
        const char* log = getenv("TIMERS_SLOW_READ_LOG");
        const int out = log ? open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644) : -1;
        if (out >= 0) {
            if (write(out, ".", 1) != 1) { /* the count is only a little short */ }
            close(out);
        }
    }
    return real_read(fd, buffer, count);
}
