/* Preloaded by the settings tests, for faults no disk gives on demand:
 *   - with TIMERS_SLOW_READ_MS set, each read() from a file named Timer_Control.ini first sleeps
 *     that long and appends one byte to the file named by TIMERS_SLOW_READ_LOG, so a test can
 *     end the program in the middle of the load and see how far the load got;
 *   - with TIMERS_FAIL_READ set, each read() from a file whose path ends in its value fails with
 *     EIO, as on a damaged disk;
 *   - with TIMERS_FAIL_RENAME set, renaming onto a file named Timer_Control.ini fails with EIO,
 *     so the last step of an atomic save fails;
 *   - with TIMERS_SLOW_SYNC_MS set, every fsync() and fdatasync() first sleeps that long, as on
 *     a slow or busy disk;
 *   - with TIMERS_SLOW_RENAME_MS set, renaming onto a file named Timer_Control.ini first sleeps
 *     that long, so the last step of a save is slow; and with TIMERS_RENAME_LOG set, each such
 *     rename that succeeded appends the CLOCK_MONOTONIC time it ended at, in ns, as a line to
 *     that file, so a test can order the save against what else happened (the modem lines' log
 *     has the same clock).
 * All are read at each call, so a test can switch them on and off. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static const char kName[] = "/Timer_Control.ini";

static int is_settings_file(const char* path, size_t length)
{
    const size_t name = sizeof kName - 1;
    return length >= name && memcmp(path + length - name, kName, name) == 0;
}

ssize_t read(int fd, void* buffer, size_t count)
{
    static ssize_t (*real_read)(int, void*, size_t);
    if (!real_read)
        real_read = (ssize_t(*)(int, void*, size_t))dlsym(RTLD_NEXT, "read");
    const char* ms = getenv("TIMERS_SLOW_READ_MS");
    const char* failing = getenv("TIMERS_FAIL_READ");
    char link[64];
    char target[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = ms || failing ? readlink(link, target, sizeof target - 1) : -1;
    const size_t ending = failing ? strlen(failing) : 0;
    if (failing && length >= (ssize_t)ending && memcmp(target + length - ending, failing, ending) == 0) {
        errno = EIO;
        return -1;
    }
    if (ms && length > 0 && is_settings_file(target, (size_t)length)) {
        const long delay = atol(ms);
        const struct timespec pause = {delay / 1000, (delay % 1000) * 1000000L};
        nanosleep(&pause, NULL);
        const char* log = getenv("TIMERS_SLOW_READ_LOG");
        const int out = log ? open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644) : -1;
        if (out >= 0) {
            if (write(out, ".", 1) != 1) { /* the count is only a little short */
            }
            close(out);
        }
    }
    return real_read(fd, buffer, count);
}

static void pause_for(const char* variable)
{
    const char* ms = getenv(variable);
    if (!ms)
        return;
    const long delay = atol(ms);
    const struct timespec pause = {delay / 1000, (delay % 1000) * 1000000L};
    nanosleep(&pause, NULL);
}

static void slow_sync(void) { pause_for("TIMERS_SLOW_SYNC_MS"); }

int fsync(int fd)
{
    static int (*real_fsync)(int);
    if (!real_fsync)
        real_fsync = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
    slow_sync();
    return real_fsync(fd);
}

int fdatasync(int fd)
{
    static int (*real_fdatasync)(int);
    if (!real_fdatasync)
        real_fdatasync = (int (*)(int))dlsym(RTLD_NEXT, "fdatasync");
    slow_sync();
    return real_fdatasync(fd);
}

/* Called before a rename onto `to`: 1 when it is to fail (EIO), after a pause on a slow disk. */
static int refuse(const char* to)
{
    if (!is_settings_file(to, strlen(to)))
        return 0;
    pause_for("TIMERS_SLOW_RENAME_MS");
    if (!getenv("TIMERS_FAIL_RENAME"))
        return 0;
    errno = EIO;
    return 1;
}

/* Called after a rename onto `to` that returned `result`; returns it. */
static int renamed(const char* to, int result)
{
    const char* log = getenv("TIMERS_RENAME_LOG");
    struct timespec now;
    if (result != 0 || !log || !is_settings_file(to, strlen(to)) || clock_gettime(CLOCK_MONOTONIC, &now) != 0)
        return result;
    const int kept = errno;
    char line[32];
    const int length = snprintf(line, sizeof line, "%lld\n", (long long)now.tv_sec * 1000000000LL + now.tv_nsec);
    const int out = open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (out >= 0) {
        if (write(out, line, (size_t)length) != length) { /* the test then finds no end of the save */
        }
        close(out);
    }
    errno = kept;
    return result;
}

int rename(const char* from, const char* to)
{
    static int (*real_rename)(const char*, const char*);
    if (!real_rename)
        real_rename = (int (*)(const char*, const char*))dlsym(RTLD_NEXT, "rename");
    return refuse(to) ? -1 : renamed(to, real_rename(from, to));
}

int renameat(int fromDir, const char* from, int toDir, const char* to)
{
    static int (*real_renameat)(int, const char*, int, const char*);
    if (!real_renameat)
        real_renameat = (int (*)(int, const char*, int, const char*))dlsym(RTLD_NEXT, "renameat");
    return refuse(to) ? -1 : renamed(to, real_renameat(fromDir, from, toDir, to));
}

int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned int flags)
{
    static int (*real_renameat2)(int, const char*, int, const char*, unsigned int);
    if (!real_renameat2)
        real_renameat2 = (int (*)(int, const char*, int, const char*, unsigned int))dlsym(RTLD_NEXT, "renameat2");
    return refuse(to) ? -1 : renamed(to, real_renameat2(fromDir, from, toDir, to, flags));
}
