#include "sound/qt_sound.h"

#include "sound/alarm_player.h"
#include "sound/program_folders.h"
#include "system/diagnostics.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

namespace timers {

QtSound::QtSound(QObject* parent)
    : QtSound(defaultFolders(), parent)
{
}

QtSound::QtSound(QStringList folders, QObject* parent, int watchdogMs)
    : QObject(parent)
    , m_folders(std::move(folders))
{
    m_audioThread.setObjectName(QStringLiteral("timers-audio"));
    m_player = new AlarmPlayer(m_request);
    m_player->moveToThread(&m_audioThread);
    connect(this, &QtSound::playRequested, m_player, &AlarmPlayer::play); // queued: another thread
    connect(m_player, &AlarmPlayer::started, this, &QtSound::onStarted);
    connect(m_player, &AlarmPlayer::cannotPlay, this, [this](quint64 request, const QString& why) {
        if (request == m_request)
            ringBell(why);
    });
    m_watchdog.setSingleShot(true);
    m_watchdog.setInterval(watchdogMs);
    connect(&m_watchdog, &QTimer::timeout, this, [this] {
        ++m_request; // a sound that starts after all stays silent
        ringBell(QStringLiteral("no sound started within %1 ms (the sound server does not answer)")
                     .arg(m_watchdog.interval()));
    });
    m_audioThread.start();
}

QtSound::~QtSound()
{
    ++m_request;
    // The player and the output it plays on go in the audio thread, where they live, also
    // while a sound plays.
    const auto deletePlayer = [player = m_player] { delete player; };
    // NOLINTNEXTLINE(clang-analyzer-cplusplus.NewDeleteLeaks): Qt owns and frees the call it queues
    QMetaObject::invokeMethod(m_player, deletePlayer, Qt::BlockingQueuedConnection);
    m_audioThread.quit();
    m_audioThread.wait();
}

QStringList QtSound::defaultFolders()
{
    return QStringList{QDir::currentPath()} + programFolderAnd(TIMERS_DATA_FROM_BIN);
}

QString QtSound::locate(const QString& fileName, const QStringList& folders)
{
    for (const QString& folder : folders) {
        const QFileInfo candidate(QDir(folder), fileName);
        if (candidate.isFile())
            return candidate.absoluteFilePath();
        if (candidate.exists()) // a FIFO would block the decoder; a folder or device holds no sound
            qCWarning(lcTimers, "%s is not a regular file; the next alarm in the search order plays instead",
                      qPrintable(candidate.absoluteFilePath()));
    }
    return {};
}

void QtSound::play(const QString& fileName)
{
    const quint64 request = ++m_request;
    const QString path = locate(fileName, m_folders);
    if (path.isEmpty())
        qCWarning(lcTimers, "%s is in none of %s; the built-in alert plays instead", qPrintable(fileName),
                  qPrintable(m_folders.join(QStringLiteral(", "))));
    m_watchdog.start();
    Q_EMIT playRequested(request, path);
}

void QtSound::onStarted(quint64 request, const QString& path, bool builtInAlert)
{
    if (request != m_request)
        return;
    m_watchdog.stop();
    if (builtInAlert)
        Q_EMIT startedDefaultAlert();
    else
        Q_EMIT startedFile(path);
}

void QtSound::ringBell(const QString& why)
{
    m_watchdog.stop();
    qCWarning(lcTimers, "the alarm sound cannot play (%s); the bell rings instead", qPrintable(why));
    QApplication::beep();
    Q_EMIT rangBell(why);
}

} // namespace timers
