#include "output/device_deadline.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace timers {

// Qt owns and frees the calls run() queues; the analyser cannot see that.
// NOLINTBEGIN(clang-analyzer-cplusplus.NewDeleteLeaks)

DeviceDeadline::DeviceDeadline(SwitchOff switchOff, Passed passed)
    : m_switchOff(std::move(switchOff))
    , m_passed(std::move(passed))
{
}

DeviceDeadline::~DeviceDeadline()
{
    if (m_thread.joinable()) {
        const std::uint64_t one = 1;
        if (::write(m_wake, &one, sizeof one) == sizeof one)
            m_thread.join();
        else
            m_thread.detach(); // cannot happen for an eventfd; never hang the exit on it
    }
    for (const int fd : {m_timer, m_wake}) {
        if (fd >= 0)
            ::close(fd);
    }
}

void DeviceDeadline::arm(int fd, std::chrono::milliseconds after, std::uint64_t tag)
{
    const std::lock_guard lock(m_mutex);
    if (m_timer < 0) {
        m_timer = ::timerfd_create(CLOCK_BOOTTIME, TFD_CLOEXEC | TFD_NONBLOCK);
        m_wake = ::eventfd(0, EFD_CLOEXEC);
        if (m_timer < 0 || m_wake < 0)
            return;
        m_thread = std::thread([this] { run(); });
    }
    const auto ms = std::max<std::int64_t>(after.count(), 1); // 0 would disarm the timer
    itimerspec when{};
    when.it_value.tv_sec = time_t(ms / 1000);
    when.it_value.tv_nsec = long(ms % 1000) * 1'000'000;
    // Setting the timer clears any expiry not yet read, so an earlier deadline cannot fire.
    if (::timerfd_settime(m_timer, 0, &when, nullptr) == 0) {
        m_fd = fd;
        m_tag = tag;
        m_cutLeft.reset();
    }
}

std::chrono::milliseconds DeviceDeadline::timeLeft() const
{
    itimerspec left{};
    if (m_fd < 0 || m_timer < 0 || ::timerfd_gettime(m_timer, &left) != 0)
        return std::chrono::milliseconds::zero();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::seconds(left.it_value.tv_sec)
                                                                 + std::chrono::nanoseconds(left.it_value.tv_nsec));
}

std::chrono::milliseconds DeviceDeadline::disarm()
{
    const std::lock_guard lock(m_mutex);
    const std::chrono::milliseconds left = m_cutLeft.value_or(timeLeft());
    m_cutLeft.reset();
    m_fd = -1;
    return left;
}

bool DeviceDeadline::cutNow()
{
    const std::lock_guard lock(m_mutex);
    if (m_fd < 0)
        return false;
    m_cutLeft = timeLeft();
    m_switchOff(m_fd);
    m_fd = -1; // an expiry still to come finds nothing armed
    return true;
}

void DeviceDeadline::run()
{
    for (;;) {
        pollfd watched[2] = {{m_timer, POLLIN, 0}, {m_wake, POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (watched[1].revents != 0)
            return;
        bool lowered = false;
        std::uint64_t tag = 0;
        {
            const std::lock_guard lock(m_mutex);
            std::uint64_t expired = 0;
            // Nothing to read: re-armed since the poll woke. The timer does not block.
            // NOLINTNEXTLINE(clang-analyzer-unix.BlockInCriticalSection): a non-blocking timerfd
            if (::read(m_timer, &expired, sizeof expired) != sizeof expired || m_fd < 0)
                continue;
            lowered = m_switchOff(m_fd);
            tag = m_tag;
            m_fd = -1;
        }
        if (lowered && m_passed) {
            const auto tell = [passed = m_passed, tag] { passed(tag); };
            // NOLINTNEXTLINE(clang-analyzer-cplusplus.NewDeleteLeaks): Qt owns and frees the call it queues
            QMetaObject::invokeMethod(&m_owner, tell, Qt::QueuedConnection);
        }
    }
}

// NOLINTEND(clang-analyzer-cplusplus.NewDeleteLeaks)

} // namespace timers
