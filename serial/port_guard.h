#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

#include <array>
#include <cstddef>

namespace timers {

// Writes `offBytes` to a port if this process dies while the guard runs: a relay board latches,
// so a relay switched on by a program that is then killed (or crashes, or aborts) would stay on.
// The guard is a child process ("timers-guard") that holds only the port, a socket to this
// process and, where the kernel has them, a pidfd of this process. It takes this process's
// death from the socket's end (the kernel closes this end when the last thread goes, which a
// parent-death signal does not wait for: that one comes when the forking thread ends), or from
// the pidfd should a child forked without exec keep a copy of this end. It then writes the
// off bytes, waits for them to leave, and ends; it is bounded by a 2 s alarm, so a stuck port
// never leaves it behind to make the port look busy. It ignores SIGINT, SIGTERM, SIGHUP,
// SIGQUIT and SIGPIPE, and takes a session of its own, so a Ctrl-C, "pkill timers" or a kill of
// the whole process group (even by SIGKILL) ends this process and not the guard.
// Stop it before closing the port: a running guard holds the port open.
class PortGuard {
public:
    static constexpr std::size_t kMaxOffBytes = 64;

    PortGuard() = default;
    ~PortGuard(); // stops it
    PortGuard(const PortGuard&) = delete;
    PortGuard& operator=(const PortGuard&) = delete;

    // Starts a guard over `fd`; false, with errorText(), when one runs already, `offBytes` is
    // empty or longer than kMaxOffBytes, or it cannot be started.
    bool start(int fd, const QByteArray& offBytes);
    // A normal end: the guard ends without writing, and is reaped before stop() returns (after
    // at most a second's wait, then by SIGKILL).
    void stop();
    bool running() const { return m_pid > 0; } // started and not stopped
    QString errorText() const { return m_error; }
    pid_t pid() const { return m_pid; } // 0 when not running

private:
    bool fail(const QString& reason);

    pid_t m_pid = 0;
    int m_stopWrite = -1; // this end of the socket: a byte ends the guard, its close means death
    // Ready before fork(): the guard's process must not allocate (another thread may have held
    // the allocator's lock as this one forked).
    std::array<char, kMaxOffBytes> m_off{};
    std::size_t m_offSize = 0;
    QString m_error;
};

} // namespace timers
