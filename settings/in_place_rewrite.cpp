#include "settings/in_place_rewrite.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace timers {

namespace {

int writeAll(int fd, std::string_view text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = ::pwrite(fd, text.data() + done, text.size() - done, off_t(done));
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return wrote < 0 ? errno : EIO;
        done += std::size_t(wrote);
    }
    return 0;
}

} // namespace

int rewriteInPlace(const char* path, std::string_view text)
{
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    struct stat status = {};
    int error = ::fstat(fd, &status) != 0 ? errno : 0;
    // Keep the size while reserving: the old text stays whole until the space is had. A file
    // system that cannot reserve (EOPNOTSUPP) is written as before, every write checked.
    if (error == 0 && off_t(text.size()) > status.st_size
        && ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, off_t(text.size())) != 0 && errno != EOPNOTSUPP)
        error = errno;
    if (error == 0)
        error = writeAll(fd, text);
    if (error == 0 && ::ftruncate(fd, off_t(text.size())) != 0)
        error = errno;
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

} // namespace timers
