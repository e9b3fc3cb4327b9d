// A stand-in for systemd-logind on a private bus: answers Manager.Inhibit with the write end
// of a pipe and says on stdout when a lock is taken and when its holder lets go of it.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusUnixFileDescriptor>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

class Manager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public slots:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why, const QString& mode)
    {
        int ends[2];
        if (::pipe(ends) != 0)
            return {};
        std::printf("inhibit %s|%s|%s|%s\n", qPrintable(what), qPrintable(who), qPrintable(why), qPrintable(mode));
        std::fflush(stdout);
        auto* watch = new QSocketNotifier(ends[0], QSocketNotifier::Read, this);
        connect(watch, &QSocketNotifier::activated, this, [watch, who] {
            char byte;
            if (::read(int(watch->socket()), &byte, 1) > 0)
                return;
            std::printf("released %s\n", qPrintable(who));
            std::fflush(stdout);
            watch->setEnabled(false);
            ::close(int(watch->socket()));
            watch->deleteLater();
        });
        QDBusUnixFileDescriptor handed(ends[1]); // a duplicate goes to the caller
        ::close(ends[1]);
        return handed;
    }
};

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::systemBus();
    Manager manager;
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/login1"), &manager, QDBusConnection::ExportAllSlots)
        || !bus.registerService(QStringLiteral("org.freedesktop.login1"))) {
        std::fprintf(stderr, "fake_login1: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

#include "fake_login1.moc"
