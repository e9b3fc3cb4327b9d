#pragma once

#include "sound/sound.h"

#include <QObject>
#include <QStringList>

namespace timers {

// Loads the sound module at the first play and hands every play to it. If the module cannot
// be loaded, says why on stderr and rings the window system's bell instead.
class LazySound final : public QObject, public Sound {
    Q_OBJECT
public:
    // Looks for the module in `folders`, in order.
    LazySound(QStringList folders, QObject* parent = nullptr);

    // Beside the program (a build), then where an installation puts it.
    static QStringList defaultFolders();

    void play(const QString& fileName) override;
    bool loaded() const { return m_loaded != nullptr; }

    static constexpr const char* kModuleName = "timers-sound";

Q_SIGNALS:
    // No alarm sound could play, and the bell rang instead: no module, no audio output, or a
    // sound server that does not answer.
    void cannotPlay(const QString& why);

private:
    QStringList m_folders;
    Sound* m_loaded = nullptr; // a child of this object
    bool m_failed = false;
};

} // namespace timers
