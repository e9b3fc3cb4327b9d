#include "sound/lazy_sound.h"

#include "sound/program_folders.h"
#include "system/diagnostics.h"

#include <QApplication>
#include <QDir>
#include <QLibrary>

namespace timers {

LazySound::LazySound(QStringList folders, QObject* parent)
    : QObject(parent)
    , m_folders(std::move(folders))
{
}

QStringList LazySound::defaultFolders() { return programFolderAnd(TIMERS_MODULE_FROM_BIN); }

void LazySound::play(const QString& fileName)
{
    if (!m_loaded && !m_failed) {
        QString reasons;
        for (const QString& folder : m_folders) {
            QLibrary module(QDir(folder).filePath(QLatin1String(kModuleName)));
            if (auto create = reinterpret_cast<SoundFactory>(module.resolve("timers_create_sound"))) {
                m_loaded = create(this, [this](const QString& why) { Q_EMIT cannotPlay(why); });
                break;
            }
            reasons += QStringLiteral("\n  ") + module.errorString();
        }
        if (!m_loaded) {
            m_failed = true;
            qCWarning(lcTimers, "no sound module, the bell rings instead:%s", qPrintable(reasons));
        }
    }
    if (m_loaded) {
        m_loaded->play(fileName);
        return;
    }
    QApplication::beep();
    Q_EMIT cannotPlay(QStringLiteral("the sound module %1 is missing").arg(QLatin1String(kModuleName)));
}

} // namespace timers
