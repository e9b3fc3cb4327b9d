#pragma once

#include "sound.h"

#include <QObject>
#include <QSoundEffect>
#include <QStringList>

#include <memory>

namespace timers {

// Plays wave files with QSoundEffect. A bare file name is looked up in the given folders in
// order (by default the working directory, the program's own folder, then the installed
// share/timers folder). A file that is
// missing or cannot be decoded plays the default alert built into the program; with no audio
// output at all the window system's bell sounds instead.
class QtSound final : public QObject, public Sound {
    Q_OBJECT
public:
    explicit QtSound(QObject* parent = nullptr);
    QtSound(QStringList folders, QObject* parent);

    void play(const QString& fileName) override;

    static QStringList defaultFolders();
    // The first existing file of that name in the folders, or an empty text.
    static QString locate(const QString& fileName, const QStringList& folders);

signals:
    // What play() ended up doing; for the adapter's own tests.
    void startedFile(const QString& path);
    void startedDefaultAlert();
    void rangBell();

private:
    void onFileStatus();
    void playDefaultAlert();

    QStringList m_folders;
    // Made at the first play: the audio system is not touched while the program starts.
    std::unique_ptr<QSoundEffect> m_file;
    std::unique_ptr<QSoundEffect> m_defaultAlert;
    bool m_filePending = false;
};

} // namespace timers
