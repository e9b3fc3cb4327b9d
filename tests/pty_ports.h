#pragma once

// Pseudo-terminals that stand in for USB serial adapters: each is linked into a folder as
// ttyUSB<n>, which TIMERS_SERIAL_DIR points the program's device lookup at. The modem_lines
// preload library records what happens to their DTR and RTS lines.

#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <map>

namespace timers::testing {

class PtyPorts {
public:
    PtyPorts() { qputenv("TIMERS_MODEM_LOG", m_dir.filePath(QStringLiteral("modem.log")).toLocal8Bit()); }
    ~PtyPorts()
    {
        for (auto& [link, master] : m_masters)
            ::close(master);
    }

    QString folder() const { return m_dir.path(); }

    // Makes a pty and links it as ttyUSB<index>; returns its pts number, or -1.
    int plugIn(int index)
    {
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
            return -1;
        const QString slave = QString::fromLocal8Bit(::ptsname(master));
        const QString link = linkPath(index);
        QFile::remove(link);
        if (!QFile::link(slave, link))
            return -1;
        m_masters[index] = master;
        return slave.section(QLatin1Char('/'), -1).toInt();
    }
    // The adapter goes away: its master closes, so the slave hangs up, and its link goes, as a
    // real adapter's device does. A link left behind would lead, once the program lets the old
    // slave go, to whatever pty takes its number next: another program's, not the adapter.
    void unplug(int index)
    {
        ::close(m_masters[index]);
        m_masters.erase(index);
        QFile::remove(linkPath(index));
    }
    QString linkPath(int index) const { return m_dir.filePath(QStringLiteral("ttyUSB%1").arg(index)); }
    // The master's descriptor: what the adapter's device receives is read from it.
    int master(int index) const { return m_masters.at(index); }

    // The modem_lines records for one pty: "<ns> pts=<n> <event> dtr=<d> rts=<r> hupcl=<h>".
    QStringList log(int pts) const
    {
        QFile file(m_dir.filePath(QStringLiteral("modem.log")));
        QStringList lines;
        if (!file.open(QIODevice::ReadOnly))
            return lines;
        const QString tag = QStringLiteral(" pts=%1 ").arg(pts);
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (QString::fromLatin1(line).contains(tag))
                lines << QString::fromLatin1(line);
        }
        return lines;
    }
    // The same without timestamps and pts, e.g. "open dtr=1 rts=1 hupcl=0".
    QStringList events(int pts) const
    {
        QStringList out;
        for (const QString& line : log(pts))
            out << line.section(QLatin1Char(' '), 2);
        return out;
    }

private:
    QTemporaryDir m_dir;
    std::map<int, int> m_masters;
};

} // namespace timers::testing
