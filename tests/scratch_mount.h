#pragma once

// A small tmpfs (or a ramfs, which cannot reserve space) mounted for one test (a full disk, a
// read-only directory). Needs root and a machine that allows mounting; tests skip when it
// cannot be had.

#include <QProcess>
#include <QTemporaryDir>

namespace timers::testing {

class ScratchMount {
public:
    explicit ScratchMount(const QString& options, const QString& type = QStringLiteral("tmpfs"))
    {
        m_mounted = QProcess::execute(QStringLiteral("mount"), {"-t", type, "-o", options, "timers-test", m_dir.path()})
                 == 0;
    }
    ~ScratchMount()
    {
        if (m_mounted)
            QProcess::execute(QStringLiteral("umount"), {m_dir.path()});
    }
    bool mounted() const { return m_mounted; }
    QString path() const { return m_dir.path(); }
    bool remount(const QString& options)
    {
        return QProcess::execute(QStringLiteral("mount"), {"-o", "remount," + options, m_dir.path()}) == 0;
    }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};

} // namespace timers::testing
