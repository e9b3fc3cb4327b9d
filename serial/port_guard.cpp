#include "serial/port_guard.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace timers {

namespace {

// The guard's descriptors, at fixed numbers so that one close_range() closes all the others.
constexpr int kPortFd = 3;
constexpr int kStopFd = 4;   // its end of the socket pair from the guarded process
constexpr int kParentFd = 5; // pidfd of the guarded process, when the kernel gives one
constexpr int kOtherFds = 6; // the first of those it closes, and where the three wait to move
constexpr char kReady = 'r';
constexpr char kStop = 'q';
constexpr unsigned kSwitchOffLimitS = 2;
constexpr auto kReadyWait = std::chrono::seconds(5);
constexpr auto kStopWait = std::chrono::seconds(1);

// Everything from here to runGuard() runs in the guard's process, forked from a process with
// other threads: only async-signal-safe calls, nothing that allocates or takes a lock. prctl()
// and close_range() go straight to the kernel, past the sanitizers' interceptors.

[[noreturn]] void switchOff(const char* off, std::size_t size)
{
    ::alarm(kSwitchOffLimitS); // its default action ends a guard held up by a stuck port
    std::size_t done = 0;
    while (done < size) {
        const ssize_t written = ::write(kPortFd, off + done, size - done);
        if (written > 0)
            done += std::size_t(written);
        else if (written < 0 && errno == EAGAIN) { // Qt opens ports non-blocking
            pollfd port{kPortFd, POLLOUT, 0};
            ::poll(&port, 1, -1);
        } else if (written == 0 || errno != EINTR)
            ::_exit(1);
    }
    ::tcdrain(kPortFd);
    ::_exit(0);
}

// Keeps only the port, the socket and the pidfd, at their fixed numbers: none of the guarded
// process's other files (its buses, lock files, other ports) stays open while the guard runs.
bool keepOnly(int port, int stopEnd, int parent)
{
    const int from[] = {port, stopEnd, parent};
    int moved[] = {-1, -1, -1};
    for (int i = 0; i < 3; ++i) {
        moved[i] = from[i] < 0 ? -1 : ::fcntl(from[i], F_DUPFD, kOtherFds);
        if (from[i] >= 0 && moved[i] < 0)
            return false;
    }
    for (int i = 0; i < 3; ++i) {
        if (moved[i] >= 0 && ::dup2(moved[i], kPortFd + i) < 0)
            return false;
    }
    if (parent < 0)
        ::close(kParentFd);
    if (::syscall(SYS_close_range, kOtherFds, ~0U, 0) != 0) {
        rlimit files{};
        ::getrlimit(RLIMIT_NOFILE, &files);
        for (rlim_t fd = kOtherFds; fd < files.rlim_cur; ++fd)
            ::close(int(fd));
    }
    for (int fd = 0; fd < kPortFd; ++fd)
        ::close(fd);
    return true;
}

[[noreturn]] void runGuard(int port, int stopEnd, int parent, const char* off, std::size_t size)
{
    // Handlers of the guarded process must not run here, and a Ctrl-C, "pkill timers" or a
    // SIGTERM to its process group must not end the guard before it acts.
    struct sigaction action = {};
    for (int signal = 1; signal < NSIG; ++signal) {
        const bool ignored = signal == SIGINT || signal == SIGTERM || signal == SIGHUP || signal == SIGQUIT
                          || signal == SIGPIPE;
        action.sa_handler = ignored ? SIG_IGN : SIG_DFL;
        ::sigaction(signal, &action, nullptr);
    }
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr); // SIGALRM must get through
    // A session of its own: out of the terminal's reach, and of a kill of the whole process
    // group, SIGKILL included.
    ::setsid();
    ::syscall(SYS_prctl, PR_SET_NAME, "timers-guard", 0, 0, 0);
    if (!keepOnly(port, stopEnd, parent))
        ::_exit(1);
    ::send(kStopFd, &kReady, 1, MSG_NOSIGNAL);

    pollfd watched[] = {{kStopFd, POLLIN, 0}, {parent >= 0 ? kParentFd : -1, POLLIN, 0}};
    for (;;) {
        if (::poll(watched, 2, -1) <= 0)
            continue;
        if (watched[0].revents != 0) { // a stop comes before the end that follows it
            char byte = 0;
            const ssize_t got = ::read(kStopFd, &byte, 1);
            if (got == 1 && byte == kStop)
                ::_exit(0);
            if (got < 0 && errno == EINTR)
                continue;
            switchOff(off, size); // the end: the kernel closed the guarded process's files
        }
        if (watched[1].revents != 0)
            switchOff(off, size); // it ended while a child forked without exec holds its end
    }
}

int pidfdOfThisProcess()
{
#ifdef SYS_pidfd_open
    return int(::syscall(SYS_pidfd_open, ::getpid(), 0)); // close-on-exec; -1 on kernels before 5.3
#else
    return -1;
#endif
}

// Reaps `pid` once it has ended, waiting for at most `wait`.
bool reapWithin(pid_t pid, std::chrono::milliseconds wait)
{
    const auto until = std::chrono::steady_clock::now() + wait;
    for (;;) {
        const pid_t reaped = ::waitpid(pid, nullptr, WNOHANG);
        if (reaped == pid || (reaped < 0 && errno == ECHILD))
            return true;
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool readyWithin(int fd, std::chrono::milliseconds wait)
{
    const auto until = std::chrono::steady_clock::now() + wait;
    pollfd guard{fd, POLLIN, 0};
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until
                                                                                - std::chrono::steady_clock::now());
        const int ready = ::poll(&guard, 1, int(std::max<std::int64_t>(left.count(), 0)));
        if (ready < 0 && errno == EINTR)
            continue;
        char byte = 0;
        return ready == 1 && ::recv(fd, &byte, 1, MSG_DONTWAIT) == 1 && byte == kReady;
    }
}

} // namespace

PortGuard::~PortGuard() { stop(); }

bool PortGuard::fail(const QString& reason)
{
    m_error = QStringLiteral("cannot guard the port: %1").arg(reason);
    return false;
}

bool PortGuard::start(int fd, const QByteArray& offBytes)
{
    if (running())
        return fail(QStringLiteral("a guard runs already (pid %1)").arg(m_pid));
    if (offBytes.isEmpty() || std::size_t(offBytes.size()) > kMaxOffBytes)
        return fail(QStringLiteral("%1 bytes to switch off; 1 to %2 fit").arg(offBytes.size()).arg(kMaxOffBytes));
    if (::fcntl(fd, F_GETFD) < 0)
        return fail(QStringLiteral("%1 is no open descriptor").arg(fd));
    std::memcpy(m_off.data(), offBytes.constData(), std::size_t(offBytes.size()));
    m_offSize = std::size_t(offBytes.size());

    // A socket pair rather than a pipe: the guard tells when it is ready on it, and a stop sent
    // with MSG_NOSIGNAL to a guard killed by someone raises no SIGPIPE here. Close-on-exec, so
    // that no program this process starts keeps its end open, which would hide its end.
    int ends[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    const int parent = pidfdOfThisProcess();
    const char* off = m_off.data();
    const std::size_t size = m_offSize;
    const pid_t pid = ::fork();
    if (pid == 0)
        runGuard(fd, ends[1], parent, off, size);
    const int forkError = errno;
    ::close(ends[1]);
    if (parent >= 0)
        ::close(parent);
    if (pid < 0) {
        ::close(ends[0]);
        return fail(QString::fromLocal8Bit(std::strerror(forkError)));
    }
    m_pid = pid;
    m_stopWrite = ends[0];
    if (!readyWithin(m_stopWrite, kReadyWait)) {
        stop();
        return fail(QStringLiteral("its process did not get ready"));
    }
    return true;
}

void PortGuard::stop()
{
    if (m_pid <= 0)
        return;
    ::send(m_stopWrite, &kStop, 1, MSG_NOSIGNAL);
    ::close(m_stopWrite);
    m_stopWrite = -1;
    if (!reapWithin(m_pid, kStopWait)) {
        ::kill(m_pid, SIGKILL);
        while (::waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) { }
    }
    m_pid = 0;
}

} // namespace timers
