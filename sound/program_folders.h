#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QStringList>

namespace timers {

// The program's own folder, then a folder given relative to it: where an installed program
// finds what was installed with it, whatever the installation prefix.
inline QStringList programFolderAnd(const char* relative)
{
    const QDir program(QCoreApplication::applicationDirPath());
    return {program.path(), QDir::cleanPath(program.filePath(QString::fromUtf8(relative)))};
}

} // namespace timers
