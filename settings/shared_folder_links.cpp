#include "settings/shared_folder_links.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace timers {

QString refusedLink(const QString& path)
{
    struct stat link = {};
    if (::lstat(QFile::encodeName(path).constData(), &link) != 0 || !S_ISLNK(link.st_mode))
        return {};
    const QString folderPath = QFileInfo(path).absolutePath();
    struct stat folder = {};
    if (::stat(QFile::encodeName(folderPath).constData(), &folder) != 0)
        return {};
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    if (!shared || link.st_uid == folder.st_uid || link.st_uid == ::geteuid())
        return {};
    return QStringLiteral("%1 is a link that another user (uid %2) made in the shared folder %3; it is not followed")
        .arg(path)
        .arg(link.st_uid)
        .arg(folderPath);
}

} // namespace timers
