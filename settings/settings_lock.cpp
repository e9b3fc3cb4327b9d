#include "settings/settings_lock.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <array>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace timers {

namespace {

QString systemReason() { return QString::fromLocal8Bit(std::strerror(errno)); }

// The process that holds a flock() on the file `status` describes, as /proc/locks lists it
// ("1: FLOCK  ADVISORY  WRITE 4242 00:1a:1311 0 EOF"); 0 when it is not listed.
pid_t flockHolder(const struct stat& status)
{
    std::array<char, 64> where{};
    std::snprintf(where.data(), where.size(), "%02x:%02x:%" PRIuMAX, major(status.st_dev), minor(status.st_dev),
                  std::uintmax_t(status.st_ino));
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, file;
        long pid = 0;
        if (fields >> number >> kind >> mode >> access >> pid >> file && kind == "FLOCK" && file == where.data())
            return pid_t(pid);
    }
    return 0;
}

} // namespace

// The lock is flock() on a file in the user's runtime folder ($XDG_RUNTIME_DIR/timers), named
// after the settings folder's device and inode, rather than on the settings folder itself:
// the runtime folder is the user's alone (mode 0700), so no other user who can read a settings
// folder can lock its owner out of it, and it is local (flock() on an NFS home fails for a
// folder). Named by inode, the lock is the same whatever path leads to the folder (a link, a
// bind mount). Without a runtime folder of the user's own, the program runs as it did before
// there was a lock, and says so.
SettingsLock::SettingsLock(const QString& settingsPath)
    : m_folder(QFileInfo(settingsPath).absolutePath())
{
    struct stat folder = {};
    if (::stat(QFile::encodeName(m_folder).constData(), &folder) != 0) {
        m_why = systemReason();
        return;
    }
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    // Without XDG_RUNTIME_DIR, Qt chose a folder of the user's own and said so: the rest of the
    // program is told it, so that Qt does not say it a second time.
    if (!runtime.isEmpty() && qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    if (runtime.isEmpty()) {
        m_why = QStringLiteral("there is no runtime folder of your own (XDG_RUNTIME_DIR)");
        return;
    }
    const QString locks = runtime + QStringLiteral("/timers");
    if (::mkdir(QFile::encodeName(locks).constData(), 0700) != 0 && errno != EEXIST) {
        m_why = QStringLiteral("%1: %2").arg(locks, systemReason());
        return;
    }
    const QString path = QStringLiteral("%1/settings-%2-%3").arg(locks).arg(folder.st_dev).arg(folder.st_ino);
    m_descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (m_descriptor < 0) {
        m_why = QStringLiteral("%1: %2").arg(path, systemReason());
        return;
    }
    if (::flock(m_descriptor, LOCK_EX | LOCK_NB) == 0) {
        m_state = State::Held;
        return;
    }
    if (errno != EWOULDBLOCK) {
        m_why = QStringLiteral("%1: %2").arg(path, systemReason());
        return;
    }
    m_state = State::HeldElsewhere;
    struct stat lock = {};
    if (::fstat(m_descriptor, &lock) == 0)
        m_holder = flockHolder(lock);
}

SettingsLock::~SettingsLock()
{
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

} // namespace timers
