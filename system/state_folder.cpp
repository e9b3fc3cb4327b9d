#include "system/state_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <filesystem>

namespace timers {

QString stateFolder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/timers");
}

QString makeFolder(const QString& folder)
{
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(folder).toStdString(), error);
    if (!error)
        return {};
    if (error != std::errc::not_a_directory)
        return QString::fromLocal8Bit(error.message());
    QFileInfo blocking(folder); // the deepest part of the path that is there: not a folder
    while (!blocking.exists() && !blocking.isSymLink() && !blocking.isRoot())
        blocking.setFile(blocking.path());
    return QStringLiteral("%1 is not a folder").arg(blocking.filePath());
}

} // namespace timers
