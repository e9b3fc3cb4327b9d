#pragma once

#include <string_view>

namespace timers {

// Rewrites the existing file at `path` in place with `text`, for a folder that refuses a
// temporary file beside it. The whole new length is reserved before the first byte is written,
// so a full disk leaves the old file as it was. Returns 0, or the errno of the step that failed.
int rewriteInPlace(const char* path, std::string_view text);

} // namespace timers
