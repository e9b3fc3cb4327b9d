#pragma once

#include "sound/sound.h"

#include <QObject>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include <atomic>

namespace timers {

class AlarmPlayer;

// Plays the alarm sound. A bare file name is looked up in the given folders in order (by
// default the working directory, the program's own folder, then the installed share/timers
// folder); any format libsndfile reads will do. A file that is missing or holds no playable
// audio plays the alert built into the program. With no audio output at all, or when nothing
// has started playing within a second, the window system's bell rings and stderr says why.
class QtSound final : public QObject, public Sound {
    Q_OBJECT
public:
    explicit QtSound(QObject* parent = nullptr);
    // `watchdogMs`: how long a sound may take to start before the bell rings instead.
    QtSound(QStringList folders, QObject* parent, int watchdogMs = kWatchdogMs);
    ~QtSound() override;

    void play(const QString& fileName) override;

    static QStringList defaultFolders();
    // The first existing file of that name in the folders, or an empty text.
    static QString locate(const QString& fileName, const QStringList& folders);

    static constexpr int kWatchdogMs = 1000;

Q_SIGNALS:
    // What play() ended up doing; for the adapter's own tests.
    void startedFile(const QString& path);
    void startedDefaultAlert();
    // Nothing could play: the bell rang instead, for this reason.
    void rangBell(const QString& why);
    // To the audio thread.
    void playRequested(quint64 request, const QString& path);

private:
    void onStarted(quint64 request, const QString& path, bool builtInAlert);
    void ringBell(const QString& why);

    QStringList m_folders;
    std::atomic<quint64> m_request{0};
    QThread m_audioThread;
    AlarmPlayer* m_player = nullptr; // lives in m_audioThread
    QTimer m_watchdog;
};

} // namespace timers
