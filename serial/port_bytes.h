#pragma once

#include <cstddef>

namespace timers {

// Writes all `size` bytes to the port descriptor `fd`, waiting (up to a second in all) while a
// non-blocking port's buffer is full. Uses only system calls, so a deadline's thread or a guard
// process may call it. False with errno set when it could not.
bool writeAll(int fd, const char* bytes, std::size_t size);

} // namespace timers
