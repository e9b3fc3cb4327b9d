#include "settings_file.h"

#include <QFile>
#include <QSaveFile>

namespace timers {

SettingsFile::SettingsFile(QString path)
    : m_path(std::move(path))
{
}

bool SettingsFile::fail(const QString& reason)
{
    m_error = reason;
    return false;
}

bool SettingsFile::load(SettingsTarget& target)
{
    QFile file(m_path);
    // Opening for appending creates a missing file and leaves an existing one as it is. An
    // existing file that cannot be opened so (a read-only folder) is still read.
    if (file.open(QIODevice::Append))
        file.close();
    else if (!file.exists())
        return fail(QStringLiteral("cannot create %1: %2").arg(m_path, file.errorString()));
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1: %2").arg(m_path, file.errorString()));
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(QStringLiteral("cannot read %1: %2").arg(m_path, file.errorString()));
    applySettings(std::string_view(content.constData(), std::size_t(content.size())), target);
    return true;
}

bool SettingsFile::save(const SettingsValues& values)
{
    const std::string text = composeSettings(values);
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("cannot write %1: %2").arg(m_path, file.errorString()));
    // QSaveFile::commit() in Qt 6.4 can report success after a failed write and leave an empty
    // file behind on a full disk: check every step and give up before committing.
    const qint64 written = file.write(text.data(), qint64(text.size()));
    if (written != qint64(text.size()) || !file.flush() || file.error() != QFileDevice::NoError) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(QStringLiteral("cannot write %1: %2").arg(m_path, reason));
    }
    if (!file.commit())
        return fail(QStringLiteral("cannot write %1: %2").arg(m_path, file.errorString()));
    return true;
}

} // namespace timers
