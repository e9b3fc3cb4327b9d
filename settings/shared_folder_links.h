#pragma once

#include <QString>

namespace timers {

// The kernel's rule for links in shared folders (fs.protected_symlinks), kept also where the
// kernel is not told to: in a world-writable sticky folder such as /tmp, a link is followed
// only when it belongs to the folder's owner or to the user the program runs as. Otherwise
// another user could aim the settings file at a file of ours. Returns why `path` must not be
// followed, or an empty text.
QString refusedLink(const QString& path);

} // namespace timers
