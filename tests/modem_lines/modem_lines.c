/* LD_PRELOAD library that gives pseudo-terminals the DTR and RTS lines they lack, so the
 * program's serial code can be tested without hardware. On a pty slave descriptor:
 *   - TIOCMGET, TIOCMSET, TIOCMBIS and TIOCMBIC act on emulated DTR and RTS bits (the kernel
 *     answers ENOTTY for a pty); a pty whose master has closed answers EIO, like an adapter
 *     that was unplugged;
 *   - the first open raises both lines and the last close drops both when HUPCL is set, as
 *     the kernel does for a real serial port;
 *   - once its master is gone, a pty's lines are down: an unplugged adapter has none;
 *   - the adapter's input pins CTS, DSR, DCD and RI read as a test sets them from outside (see
 *     input_bits below): TIOCMGET answers them with DTR and RTS, and TIOCMIWAIT waits for one
 *     of them to change. TIOCGICOUNT stays unsupported (ENOTTY, as for any pty).
 * With TIMERS_MODEM_FAIL=dtr, every request that would change DTR fails (EINVAL); with
 * TIMERS_MODEM_FAIL=open, opening a pty slave fails as for a user outside the dialout group
 * (EACCES).
 * Every change is appended to the file named by TIMERS_MODEM_LOG, one line each:
 *   <CLOCK_MONOTONIC ns> pts=<n> <event> dtr=<0|1> rts=<0|1> hupcl=<0|1>
 * with event one of open, set, hangup, close, eio, fail, and wait (a TIOCMIWAIT has taken the
 * pins it waits on to change: a test may change them from then on); and, for bytes written to a
 * pty slave, "write" with " bytes=<hex>" added (what a relay board on the adapter would read, at
 * the moment it was sent). TIMERS_STALL_SIGNAL holds a thread up (see stall below). */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/timerfd.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#define MAX_PTYS 64
#define MAX_FDS 4096

struct pty_lines {
    dev_t dev;
    int bits;  /* TIOCM_DTR | TIOCM_RTS */
    int opens; /* descriptors open on it in this process */
};

static struct pty_lines ptys[MAX_PTYS];
static dev_t fd_dev[MAX_FDS];    /* 0: not a tracked pty */
static char boot_timer[MAX_FDS]; /* 1: a timerfd on CLOCK_BOOTTIME (see timerfd_settime) */
static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
static void raised(void); /* a request raised a line: a suspend may follow (see clock_gettime) */

static int (*real_open)(const char*, int, ...);
static int (*real_open64)(const char*, int, ...);
static int (*real_close)(int);
static int (*real_ioctl)(int, unsigned long, ...);
static ssize_t (*real_write)(int, const void*, size_t);

static void init(void)
{
    if (!real_ioctl) {
        real_open = dlsym(RTLD_NEXT, "open");
        real_open64 = dlsym(RTLD_NEXT, "open64");
        real_close = dlsym(RTLD_NEXT, "close");
        real_ioctl = dlsym(RTLD_NEXT, "ioctl");
        real_write = dlsym(RTLD_NEXT, "write");
    }
}

/* UNIX98 pty slaves have majors 136 to 143. */
static dev_t pty_dev(int fd)
{
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return 0;
    unsigned int major_number = major(st.st_rdev);
    return major_number >= 136 && major_number <= 143 ? st.st_rdev : 0;
}

static struct pty_lines* lines_for(dev_t dev)
{
    for (int i = 0; i < MAX_PTYS; ++i)
        if (ptys[i].dev == dev)
            return &ptys[i];
    for (int i = 0; i < MAX_PTYS; ++i)
        if (ptys[i].dev == 0) {
            ptys[i].dev = dev;
            return &ptys[i];
        }
    return NULL;
}

static unsigned int pts_number(dev_t dev) { return (major(dev) - 136) * 256 + minor(dev); }

/* The input pins, as a test sets them from outside: TIMERS_MODEM_INPUTS names a folder whose
 * file pts<n> holds the pins of /dev/pts/<n> as words "cts=<0|1> dsr=<0|1> dcd=<0|1> ri=<0|1>"
 * (any order; a word left out, or no file, or no folder: 0, as an adapter with nothing on its
 * inputs reads). The test replaces the file by a rename, so a read sees one whole state. It is
 * read at each request, so a change counts from the rename on. */
static int input_bits(dev_t dev)
{
    static const struct {
        const char* word;
        int bit;
    } pins[] = {{"cts=1", TIOCM_CTS}, {"dsr=1", TIOCM_DSR}, {"dcd=1", TIOCM_CAR}, {"ri=1", TIOCM_RNG}};
    const char* folder = getenv("TIMERS_MODEM_INPUTS");
    char path[4096];
    if (!folder || !real_open || snprintf(path, sizeof path, "%s/pts%u", folder, pts_number(dev)) >= (int)sizeof path)
        return 0;
    int in = real_open(path, O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return 0;
    char text[128];
    ssize_t n = read(in, text, sizeof text - 1);
    real_close(in);
    text[n > 0 ? n : 0] = '\0';
    int bits = 0;
    char* rest = NULL;
    for (char* word = strtok_r(text, " \t\n", &rest); word; word = strtok_r(NULL, " \t\n", &rest))
        for (size_t i = 0; i < sizeof pins / sizeof pins[0]; ++i)
            if (strcmp(word, pins[i].word) == 0)
                bits |= pins[i].bit;
    return bits;
}

static int hupcl(int fd)
{
    struct termios t;
    return tcgetattr(fd, &t) == 0 && (t.c_cflag & HUPCL) ? 1 : 0;
}

/* Appends a record; `bytes` (of `size`) are added in hex after a write. */
static void record_with(const struct pty_lines* p, const char* event, int hup, const unsigned char* bytes, size_t size)
{
    const char* path = getenv("TIMERS_MODEM_LOG");
    if (!path || !real_open)
        return;
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    char line[240];
    int n = snprintf(line, sizeof line, "%lld pts=%u %s dtr=%d rts=%d hupcl=%d",
                     (long long)ts.tv_sec * 1000000000LL + ts.tv_nsec, pts_number(p->dev), event,
                     (p->bits & TIOCM_DTR) ? 1 : 0, (p->bits & TIOCM_RTS) ? 1 : 0, hup);
    if (bytes)
        n += snprintf(line + n, sizeof line - (size_t)n, " bytes=");
    for (size_t i = 0; bytes && i < size && (size_t)n + 4 < sizeof line; ++i)
        n += snprintf(line + n, sizeof line - (size_t)n, "%02x", bytes[i]);
    line[n++] = '\n';
    int out = real_open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (out >= 0) {
        if (real_write(out, line, (size_t)n) != n) { /* nothing more to do */
        }
        real_close(out);
    }
}

static void record(const struct pty_lines* p, const char* event, int hup) { record_with(p, event, hup, NULL, 0); }

static void opened(int fd)
{
    dev_t dev = pty_dev(fd);
    if (!dev || fd >= MAX_FDS)
        return;
    pthread_mutex_lock(&lock);
    struct pty_lines* p = lines_for(dev);
    if (p) {
        fd_dev[fd] = dev;
        if (p->opens++ == 0) {
            p->bits = TIOCM_DTR | TIOCM_RTS; /* Linux raises both as a port opens */
            record(p, "open", hupcl(fd));
        }
    }
    pthread_mutex_unlock(&lock);
}

static int open_with(int (*fn)(const char*, int, ...), const char* path, int flags, va_list ap)
{
    mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? va_arg(ap, mode_t) : 0;
    int fd = fn(path, flags, mode);
    const char* fail = getenv("TIMERS_MODEM_FAIL");
    if (fd >= 0 && fail && strcmp(fail, "open") == 0 && pty_dev(fd)) {
        real_close(fd);
        errno = EACCES;
        return -1;
    }
    if (fd >= 0)
        opened(fd);
    return fd;
}

int open(const char* path, int flags, ...)
{
    init();
    va_list ap;
    va_start(ap, flags);
    int fd = open_with(real_open, path, flags, ap);
    va_end(ap);
    return fd;
}

int open64(const char* path, int flags, ...)
{
    init();
    va_list ap;
    va_start(ap, flags);
    int fd = open_with(real_open64, path, flags, ap);
    va_end(ap);
    return fd;
}

int close(int fd)
{
    init();
    if (fd >= 0 && fd < MAX_FDS)
        __atomic_store_n(&boot_timer[fd], 0, __ATOMIC_RELAXED);
    if (fd >= 0 && fd < MAX_FDS && fd_dev[fd]) {
        pthread_mutex_lock(&lock);
        struct pty_lines* p = lines_for(fd_dev[fd]);
        fd_dev[fd] = 0;
        int probe;
        if (p && real_ioctl(fd, TIOCMGET, &probe) != 0 && errno == EIO)
            p->bits = 0; /* unplugged: its lines went with it */
        if (p && --p->opens == 0) {
            int hup = hupcl(fd);
            if (hup && p->bits) {
                p->bits = 0;
                record(p, "hangup", hup);
            }
            record(p, "close", hup);
        }
        pthread_mutex_unlock(&lock);
    }
    return real_close(fd);
}

ssize_t write(int fd, const void* bytes, size_t size)
{
    init();
    const ssize_t written = real_write(fd, bytes, size);
    if (written > 0 && fd >= 0 && fd < MAX_FDS && fd_dev[fd]) {
        const int saved = errno;
        pthread_mutex_lock(&lock);
        const struct pty_lines* p = lines_for(fd_dev[fd]);
        if (p)
            record_with(p, "write", hupcl(fd), bytes, (size_t)written);
        pthread_mutex_unlock(&lock);
        errno = saved;
    }
    return written;
}

/* Under the lock: a request found the pty's master gone. */
static void unplugged(struct pty_lines* p, int fd)
{
    p->bits = 0; /* unplugged: its lines went with it */
    record(p, "eio", hupcl(fd));
}

/* TIOCMIWAIT: returns once one of the pins in `mask` differs from what it was at the call. It
 * looks each millisecond, blocked in a timerfd's read: like the driver's own wait, that read
 * goes on after a signal handler installed with SA_RESTART and fails with EINTR after any other,
 * so a program can end a waiting thread with a signal. Once the master is gone it fails with
 * EIO, as a driver's wait does when its adapter is unplugged. */
static int wait_inputs(int fd, dev_t dev, int mask)
{
    const int from = input_bits(dev);
    pthread_mutex_lock(&lock);
    struct pty_lines* p = lines_for(dev);
    if (p)
        record(p, "wait", hupcl(fd));
    pthread_mutex_unlock(&lock);
    const struct itimerspec tick = {{0, 1000000L}, {0, 1000000L}};
    const int timer = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC);
    if (timer < 0 || timerfd_settime(timer, 0, &tick, NULL) != 0) {
        const int saved = errno;
        if (timer >= 0)
            real_close(timer);
        errno = saved;
        return -1;
    }
    int result = 0;
    for (;;) {
        uint64_t ticks;
        int probe;
        if (read(timer, &ticks, sizeof ticks) < 0) {
            result = -1; /* EINTR: a signal whose handler does not restart */
            break;
        }
        /* A live pty answers ENOTTY; EIO: its master is gone; anything else (EBADF: closed
         * under the wait) ends the wait too. */
        if (real_ioctl(fd, TIOCMGET, &probe) != 0 && errno != ENOTTY) {
            const int error = errno;
            if (error == EIO) {
                pthread_mutex_lock(&lock);
                if (p)
                    unplugged(p, fd);
                pthread_mutex_unlock(&lock);
            }
            errno = error;
            result = -1;
            break;
        }
        if ((input_bits(dev) ^ from) & mask)
            break;
    }
    const int saved = errno;
    real_close(timer);
    errno = saved;
    return result;
}

int ioctl(int fd, unsigned long request, ...)
{
    init();
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    if (request == TIOCMIWAIT) {
        dev_t dev = pty_dev(fd);
        return dev ? wait_inputs(fd, dev, (int)(uintptr_t)arg) : real_ioctl(fd, request, arg);
    }
    if (request != TIOCMGET && request != TIOCMSET && request != TIOCMBIS && request != TIOCMBIC)
        return real_ioctl(fd, request, arg);
    dev_t dev = pty_dev(fd);
    if (!dev)
        return real_ioctl(fd, request, arg);

    pthread_mutex_lock(&lock);
    struct pty_lines* p = lines_for(dev);
    if (!p) {
        pthread_mutex_unlock(&lock);
        errno = ENOTTY;
        return -1;
    }
    /* A live pty answers ENOTTY to the real call; one whose master is gone answers EIO. */
    int probe;
    if (real_ioctl(fd, TIOCMGET, &probe) != 0 && errno == EIO) {
        unplugged(p, fd);
        pthread_mutex_unlock(&lock);
        errno = EIO;
        return -1;
    }
    int* bits = arg;
    int before = p->bits;
    /* TIMERS_MODEM_FAIL=dtr: every change request that touches DTR fails (read at each call, so
     * a test can switch it on and off). */
    const char* fail = getenv("TIMERS_MODEM_FAIL");
    if (fail && strcmp(fail, "dtr") == 0 && request != TIOCMGET
        && (request == TIOCMSET ? ((*bits ^ p->bits) & TIOCM_DTR) : (*bits & TIOCM_DTR))) {
        record(p, "fail", hupcl(fd));
        pthread_mutex_unlock(&lock);
        errno = EINVAL;
        return -1;
    }
    switch (request) {
    case TIOCMGET:
        *bits = p->bits | input_bits(dev);
        break;
    case TIOCMSET:
        p->bits = *bits & (TIOCM_DTR | TIOCM_RTS);
        break;
    case TIOCMBIS:
        p->bits |= *bits & (TIOCM_DTR | TIOCM_RTS);
        break;
    case TIOCMBIC:
        p->bits &= ~(*bits & (TIOCM_DTR | TIOCM_RTS));
        break;
    }
    if (p->bits != before)
        record(p, "set", hupcl(fd));
    if (p->bits & ~before)
        raised();
    pthread_mutex_unlock(&lock);
    return 0;
}

/* A stepped wall clock, for the tests of a countdown across a clock change: with
 * TIMERS_CLOCK_STEP_MS=<ms> (negative: back), clock_gettime's real-time clock reads that much
 * off from TIMERS_CLOCK_STEP_AT_MS=<ms> after the library loaded. The log's clock is not moved.
 * A suspend, as the boot-time clock sees it: with TIMERS_SUSPEND_MS=<ms> set when a request
 * first raises a line (a countdown's start), from one second after that the boot-time clock
 * reads that much further on, and a timerfd on it armed across that moment expires that much
 * sooner (at that moment, if it was due during the suspend), as the kernel's boot-time timers
 * do across a real suspend; the monotonic clock and its timers do not count it. */
static long long step_ns, step_at_ns = -1, suspend_ns, raised_at_ns = -1;

static long long monotonic_ns(void)
{
    struct timespec now;
    return clock_gettime(CLOCK_MONOTONIC, &now) == 0 ? now.tv_sec * 1000000000LL + now.tv_nsec : -1;
}

int clock_gettime(clockid_t clock, struct timespec* time)
{
    static int (*real)(clockid_t, struct timespec*);
    if (!real)
        real = (int (*)(clockid_t, struct timespec*))dlsym(RTLD_NEXT, "clock_gettime");
    struct timespec now;
    const int result = real(clock, time);
    const long long raised = __atomic_load_n(&raised_at_ns, __ATOMIC_ACQUIRE);
    const int stepped = step_at_ns >= 0 && (clock == CLOCK_REALTIME || clock == CLOCK_REALTIME_COARSE);
    const int suspended = raised >= 0 && clock == CLOCK_BOOTTIME;
    if (result != 0 || (!stepped && !suspended) || real(CLOCK_MONOTONIC, &now) != 0
        || now.tv_sec * 1000000000LL + now.tv_nsec < (stepped ? step_at_ns : raised + 1000000000LL))
        return result;
    const long long ns = time->tv_sec * 1000000000LL + time->tv_nsec + (stepped ? step_ns : suspend_ns);
    time->tv_sec = ns / 1000000000LL;
    time->tv_nsec = ns % 1000000000LL;
    return 0;
}

/* How long from now a boot-time timer due in `ns` (on the boot-time clock) really waits. */
static long long boot_time_wait(long long ns)
{
    const long long raised = __atomic_load_n(&raised_at_ns, __ATOMIC_ACQUIRE);
    const long long to_suspend = raised < 0 ? -1 : raised + 1000000000LL - monotonic_ns();
    if (to_suspend <= 0 || ns <= to_suspend)
        return ns; /* no suspend ahead, or due before it */
    return ns - suspend_ns > to_suspend ? ns - suspend_ns : to_suspend;
}

static int (*real_timerfd_settime)(int, int, const struct itimerspec*, struct itimerspec*);

static int set_boot_timer(int fd, int flags, const struct itimerspec* value, struct itimerspec* old)
{
    struct itimerspec sooner = *value;
    const long long ns = value->it_value.tv_sec * 1000000000LL + value->it_value.tv_nsec;
    if (ns > 0 && !(flags & TFD_TIMER_ABSTIME)) { /* relative, as the program arms it */
        const long long wait = boot_time_wait(ns);
        sooner.it_value.tv_sec = (time_t)(wait / 1000000000LL);
        sooner.it_value.tv_nsec = (long)(wait % 1000000000LL);
    }
    return real_timerfd_settime(fd, flags, &sooner, old);
}

int timerfd_create(int clock, int flags)
{
    static int (*real)(int, int);
    if (!real)
        real = (int (*)(int, int))dlsym(RTLD_NEXT, "timerfd_create");
    const int fd = real(clock, flags);
    if (fd >= 0 && fd < MAX_FDS)
        __atomic_store_n(&boot_timer[fd], clock == CLOCK_BOOTTIME, __ATOMIC_RELAXED);
    return fd;
}

int timerfd_settime(int fd, int flags, const struct itimerspec* value, struct itimerspec* old)
{
    if (!real_timerfd_settime)
        real_timerfd_settime = (int (*)(int, int, const struct itimerspec*, struct itimerspec*))dlsym(
            RTLD_NEXT, "timerfd_settime");
    if (fd < 0 || fd >= MAX_FDS || !__atomic_load_n(&boot_timer[fd], __ATOMIC_RELAXED))
        return real_timerfd_settime(fd, flags, value, old);
    return set_boot_timer(fd, flags, value, old);
}

static void raised(void)
{
    const char* suspend = getenv("TIMERS_SUSPEND_MS"); /* read here, so a test can set it late */
    if (!suspend || __atomic_load_n(&raised_at_ns, __ATOMIC_ACQUIRE) >= 0)
        return;
    suspend_ns = atoll(suspend) * 1000000LL;
    __atomic_store_n(&raised_at_ns, monotonic_ns(), __ATOMIC_RELEASE);
    /* Boot-time timers already armed now see the suspend ahead of them. */
    for (int fd = 0; fd < MAX_FDS && real_timerfd_settime; ++fd) {
        struct itimerspec left;
        if (__atomic_load_n(&boot_timer[fd], __ATOMIC_RELAXED) && timerfd_gettime(fd, &left) == 0
            && (left.it_value.tv_sec != 0 || left.it_value.tv_nsec != 0))
            set_boot_timer(fd, 0, &left, NULL);
    }
}

__attribute__((constructor)) static void read_clock_step(void)
{
    struct timespec now;
    if (getenv("TIMERS_CLOCK_STEP_MS") && getenv("TIMERS_CLOCK_STEP_AT_MS")
        && clock_gettime(CLOCK_MONOTONIC, &now) == 0) {
        step_ns = atoll(getenv("TIMERS_CLOCK_STEP_MS")) * 1000000LL;
        step_at_ns = now.tv_sec * 1000000000LL + now.tv_nsec + atoll(getenv("TIMERS_CLOCK_STEP_AT_MS")) * 1000000LL;
    }
}

/* The window's thread held up, as a debugger or a slow call on it would hold it: with
 * TIMERS_STALL_SIGNAL set, a SIGUSR2 sent to one thread with a value (rt_tgsigqueueinfo) makes
 * that thread sleep for that many milliseconds while the others run on. */
static void stall(int signal, siginfo_t* info, void* context)
{
    (void)signal;
    (void)context;
    const int saved = errno;
    const long ms = info->si_code == SI_QUEUE ? info->si_value.sival_int : 0;
    struct timespec rest = {ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&rest, &rest) != 0 && errno == EINTR) { }
    errno = saved;
}

__attribute__((constructor)) static void offer_stall(void)
{
    if (!getenv("TIMERS_STALL_SIGNAL"))
        return;
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_sigaction = stall;
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGUSR2, &action, NULL);
}
