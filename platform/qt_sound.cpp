#include "qt_sound.h"

#include <QApplication>
#include <QAudioDevice>
#include <QDir>
#include <QFileInfo>
#include <QMediaDevices>
#include <QUrl>

namespace timers {

namespace {
const QUrl kDefaultAlert(QStringLiteral("qrc:/sounds/default_alert.wav"));
} // namespace

QtSound::QtSound(QObject* parent)
    : QtSound(defaultFolders(), parent)
{
}

QtSound::QtSound(QStringList folders, QObject* parent)
    : QObject(parent)
    , m_folders(std::move(folders))
{
}

QStringList QtSound::defaultFolders()
{
    const QDir program(QCoreApplication::applicationDirPath());
    return {QDir::currentPath(), program.path(),
            QDir::cleanPath(program.filePath(QStringLiteral(TIMERS_DATA_FROM_BIN)))};
}

QString QtSound::locate(const QString& fileName, const QStringList& folders)
{
    for (const QString& folder : folders) {
        const QFileInfo candidate(QDir(folder), fileName);
        if (candidate.isFile())
            return candidate.absoluteFilePath();
    }
    return {};
}

void QtSound::play(const QString& fileName)
{
    if (!m_file) {
        m_file = std::make_unique<QSoundEffect>();
        connect(m_file.get(), &QSoundEffect::statusChanged, this, &QtSound::onFileStatus);
        m_defaultAlert = std::make_unique<QSoundEffect>();
        m_defaultAlert->setSource(kDefaultAlert);
    }
    m_file->stop();
    m_defaultAlert->stop();
    m_filePending = false;

    // Without an output device QSoundEffect claims to play and never finishes.
    if (QMediaDevices::audioOutputs().isEmpty()) {
        QApplication::beep();
        emit rangBell();
        return;
    }
    const QString path = locate(fileName, m_folders);
    if (path.isEmpty()) {
        playDefaultAlert();
        return;
    }
    m_filePending = true;
    const QUrl url = QUrl::fromLocalFile(path);
    if (m_file->source() != url)
        m_file->setSource(url); // loads asynchronously; onFileStatus plays it
    else
        onFileStatus();
}

void QtSound::onFileStatus()
{
    if (!m_filePending)
        return;
    switch (m_file->status()) {
    case QSoundEffect::Ready:
        m_filePending = false;
        m_file->play();
        emit startedFile(m_file->source().toLocalFile());
        break;
    case QSoundEffect::Error:
        m_filePending = false;
        playDefaultAlert();
        break;
    case QSoundEffect::Null:
    case QSoundEffect::Loading:
        break;
    }
}

void QtSound::playDefaultAlert()
{
    m_defaultAlert->play();
    emit startedDefaultAlert();
}

} // namespace timers
