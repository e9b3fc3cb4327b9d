#include "serial/port_bytes.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace timers {

bool writeAll(int fd, const char* bytes, std::size_t size)
{
    int waits = 0;
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written > 0) {
            bytes += written;
            size -= std::size_t(written);
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno != EAGAIN)
            return false;
        // The port's buffer is full: a stalled adapter must not hold the caller for long.
        pollfd out{fd, POLLOUT, 0};
        if (++waits > 10 || ::poll(&out, 1, 100) < 0) {
            errno = EAGAIN;
            return false;
        }
    }
    return true;
}

} // namespace timers
