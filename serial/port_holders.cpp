#include "serial/port_holders.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <sys/stat.h>
#include <unistd.h>

namespace timers {

namespace {

// Programs that open USB serial adapters by themselves, and what to do about each.
struct Taker {
    const char* name;
    const char* remedy;
};
constexpr Taker kTakers[] = {
    {"ModemManager",
     "ModemManager probes new serial adapters for modems: stop it with \"sudo systemctl stop "
     "ModemManager\", or keep it off this adapter with a udev rule that sets ENV{ID_MM_DEVICE_IGNORE}=\"1\"."},
    {"brltty", "brltty takes some USB serial adapters for braille displays: without a braille display, remove it "
               "with \"sudo apt remove brltty\"."},
};

// Anyone may name a process: a newline or a terminal escape in it must reach no terminal.
QString plain(QString text)
{
    for (QChar& c : text) {
        if (!c.isPrint())
            c = u'?';
    }
    return text;
}

QString processName(const QString& pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    QByteArray name = comm.readAll();
    if (name.endsWith('\n'))
        name.chop(1); // the kernel's own line end
    return plain(QString::fromLocal8Bit(name));
}

QStringList processIds() { return QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs); }

bool holds(const QString& pid, dev_t device)
{
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QString& fd : fds.entryList(QDir::System | QDir::NoDotAndDotDot)) {
        struct stat open = {};
        if (::stat(QFile::encodeName(fds.filePath(fd)).constData(), &open) == 0 && S_ISCHR(open.st_mode)
            && open.st_rdev == device)
            return true;
    }
    return false;
}

QString remedies(const QStringList& names)
{
    QString text;
    for (const Taker& taker : kTakers) {
        if (names.contains(QLatin1String(taker.name)))
            text += QLatin1Char(' ') + QLatin1String(taker.remedy);
    }
    return text;
}

// The process named in the device's lock file, where Qt's serial port (and other programs
// that use the usual lock files) writes its pid: another user's Timers, for example.
QString lockHolder(const QString& device)
{
    QString name = device.startsWith(QLatin1String("/dev/")) ? device.mid(5) : device;
    name.replace(u'/', u'_');
    for (const char* folder : {"/var/lock", "/run/lock", "/tmp", "/var/tmp"}) {
        QFile lock(QStringLiteral("%1/LCK..%2").arg(QLatin1String(folder), name));
        if (!lock.open(QIODevice::ReadOnly))
            continue;
        const QString pid = QString::fromLatin1(lock.readLine().trimmed());
        bool number = false;
        pid.toLongLong(&number);
        if (number && QFile::exists(QStringLiteral("/proc/%1").arg(pid)))
            return QStringLiteral("%1 (pid %2)").arg(processName(pid), pid);
    }
    return {};
}

} // namespace

PortHolders PortHolders::of(const QString& device, bool otherProcessesOnly)
{
    struct stat port = {};
    if (::stat(QFile::encodeName(device).constData(), &port) != 0 || !S_ISCHR(port.st_mode))
        return {};
    const QString self = QString::number(::getpid());
    QStringList holders, holderNames, takers, takerNames;
    for (const QString& pid : processIds()) {
        if (otherProcessesOnly && pid == self)
            continue;
        const QString name = processName(pid);
        const QString who = QStringLiteral("%1 (pid %2)").arg(name, pid);
        if (holds(pid, port.st_rdev)) {
            holders << who;
            holderNames << name;
        } else if (std::any_of(std::begin(kTakers), std::end(kTakers),
                               [&](const Taker& t) { return name == QLatin1String(t.name); })) {
            takers << who;
            takerNames << name;
        }
    }
    PortHolders found;
    if (!holders.isEmpty())
        found.openIn = QStringLiteral("It is open in %1.").arg(holders.join(QStringLiteral(", ")))
                     + remedies(holderNames);
    else if (!takers.isEmpty()) {
        found.hints = QStringLiteral("%1 %2 and may have it open.")
                          .arg(takers.join(QStringLiteral(", ")),
                               takers.size() == 1 ? QStringLiteral("runs") : QStringLiteral("run"))
                    + remedies(takerNames);
    }
    // The lock names a holder whose descriptors are out of sight (another user's program).
    if (const QString locker = holders.isEmpty() ? lockHolder(device) : QString();
        !locker.isEmpty() && !(otherProcessesOnly && locker.endsWith(QStringLiteral("(pid %1)").arg(self)))) {
        found.lockedBy = QStringLiteral("It is locked by %1.").arg(locker);
    }
    return found;
}

QString PortHolders::text() const
{
    QStringList parts;
    for (const QString& part : {openIn, lockedBy, hints}) {
        if (!part.isEmpty())
            parts << part;
    }
    return parts.join(QLatin1Char(' '));
}

} // namespace timers
