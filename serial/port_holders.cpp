#include "port_holders.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <sys/stat.h>

namespace timers {

namespace {

// Programs that open USB serial adapters by themselves, and what to do about each.
struct Taker {
    const char* name;
    const char* remedy;
};
constexpr Taker kTakers[] = {
    {"ModemManager", "ModemManager probes new serial adapters for modems: stop it with \"sudo systemctl stop "
                     "ModemManager\", or keep it off this adapter with a udev rule that sets ENV{ID_MM_DEVICE_IGNORE}=\"1\"."},
    {"brltty", "brltty takes some USB serial adapters for braille displays: without a braille display, remove it "
               "with \"sudo apt remove brltty\"."},
};

QString processName(const QString& pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    return comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll()).trimmed() : QString();
}

QStringList processIds() { return QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs); }

bool holds(const QString& pid, dev_t device)
{
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QString& fd : fds.entryList(QDir::System | QDir::NoDotAndDotDot)) {
        struct stat open {};
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

} // namespace

QString whoHolds(const QString& device)
{
    struct stat port {};
    if (::stat(QFile::encodeName(device).constData(), &port) != 0 || !S_ISCHR(port.st_mode))
        return {};
    QStringList holders, holderNames, takers, takerNames;
    for (const QString& pid : processIds()) {
        const QString name = processName(pid);
        const QString who = QStringLiteral("%1 (pid %2)").arg(name, pid);
        if (holds(pid, port.st_rdev)) {
            holders << who;
            holderNames << name;
        }
        else if (std::any_of(std::begin(kTakers), std::end(kTakers), [&](const Taker& t) { return name == QLatin1String(t.name); })) {
            takers << who;
            takerNames << name;
        }
    }
    if (!holders.isEmpty())
        return QStringLiteral("It is open in %1.").arg(holders.join(QStringLiteral(", "))) + remedies(holderNames);
    if (!takers.isEmpty())
        return QStringLiteral("%1 %2 and may have it open.")
                   .arg(takers.join(QStringLiteral(", ")), takers.size() == 1 ? QStringLiteral("runs") : QStringLiteral("run"))
               + remedies(takerNames);
    return {};
}

} // namespace timers
