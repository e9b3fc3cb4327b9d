#include "input/pin_watcher.h"

#include <QFile>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace timers {

namespace {
// Interrupts a thread waiting in TIOCMIWAIT: installed without SA_RESTART, so the wait ends.
int wakeSignal() { return SIGRTMIN + 3; }

void installWakeHandler()
{
    static const bool installed = [] {
        struct sigaction action { };
        action.sa_handler = [](int) {};
        sigemptyset(&action.sa_mask);
        ::sigaction(wakeSignal(), &action, nullptr);
        return true;
    }();
    (void)installed;
}

bool asserted(int fd, int bit, bool* readable)
{
    int bits = 0;
    *readable = ::ioctl(fd, TIOCMGET, &bits) == 0;
    return *readable && (bits & bit) != 0;
}
} // namespace

bool PinWatcher::start(const QString& device, int bit, Changed changed)
{
    stop();
    installWakeHandler();
    m_device = device;
    if (!open()) {
        m_error = QStringLiteral("cannot watch %1: %2").arg(device, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    m_wake = ::eventfd(0, EFD_CLOEXEC);
    m_changed = std::move(changed);
    m_stop = false;
    m_ended = false;
    m_thread = std::thread([this, bit] { run(bit); });
    return true;
}

bool PinWatcher::open()
{
    m_fd = ::open(QFile::encodeName(m_device).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        return false;
    int both = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(m_fd, TIOCMBIC, &both);
    return true;
}

// After an unplug: tries the port's name again every half second until it opens or stop().
bool PinWatcher::reopen()
{
    ::close(m_fd);
    m_fd = -1;
    while (!m_stop) {
        pollfd wake{m_wake, POLLIN, 0};
        ::poll(&wake, 1, 500);
        if (!m_stop && open())
            return true;
    }
    return false;
}

void PinWatcher::stop()
{
    if (m_thread.joinable()) {
        m_stop = true;
        const std::uint64_t one = 1;
        (void)!::write(m_wake, &one, sizeof one);
        // A wait in TIOCMIWAIT ends only for a signal; one sent just before the wait began is
        // lost, so it is sent again until the thread has ended.
        while (!m_ended) {
            ::pthread_kill(m_thread.native_handle(), wakeSignal());
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        m_thread.join();
    }
    for (int* fd : {&m_fd, &m_wake}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

void PinWatcher::run(int bit)
{
    bool readable = false;
    bool last = asserted(m_fd, bit, &readable);
    m_changed(last, true);
    bool canWait = true;
    while (!m_stop) {
        bool unplugged = false;
        if (canWait) {
            if (::ioctl(m_fd, TIOCMIWAIT, bit) != 0) {
                unplugged = errno == EIO;
                // EINTR: stop, or a stray signal; anything else: the driver cannot wait.
                canWait = errno == EINTR || unplugged;
            }
        } else {
            pollfd wake{m_wake, POLLIN, 0};
            ::poll(&wake, 1, 20);
        }
        if (m_stop)
            break;
        const bool now = !unplugged && asserted(m_fd, bit, &readable);
        if (unplugged || (!readable && errno == EIO)) {
            if (last)
                m_changed(false, false); // a pulled cable reads as the pin dropped
            if (!reopen())
                break;
            canWait = true;
            last = asserted(m_fd, bit, &readable);
            m_changed(last, true);
            continue;
        }
        if (now != last) {
            last = now;
            m_changed(now, false);
        }
    }
    m_ended = true;
}

} // namespace timers
