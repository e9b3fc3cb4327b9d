// The sleep inhibitor and the desktop notifications against fakes of logind and of a
// notification service on a private D-Bus bus started by the test, and with neither to be had.

#include "desktop/desktop_notifier.h"
#include "desktop/logind_inhibitor.h"
#include "desktop/session_bus_probe.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace timers;

namespace {
QString startBus(QProcess& bus)
{
    bus.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"});
    if (!bus.waitForReadyRead(30000))
        return {};
    return QString::fromLatin1(bus.readLine().trimmed());
}
constexpr int kHangMs = 30000; // bounds a hang only
} // namespace

class TestDesktopBus : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        m_address = startBus(m_bus);
        QVERIFY(!m_address.isEmpty());
        m_emptyAddress = startBus(m_emptyBus); // where nobody offers anything
        QVERIFY(!m_emptyAddress.isEmpty());

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), m_address);
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
        m_fake.setProcessEnvironment(env);
        m_fake.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_fake.start(QStringLiteral(TIMERS_FAKE_DESKTOP), {"login1", "notifications"});
        QVERIFY(m_fake.waitForStarted());
        QCOMPARE(nextLine(), QByteArray("ready"));
    }
    void cleanupTestCase()
    {
        for (QProcess* process : {&m_fake, &m_bus, &m_emptyBus}) {
            process->kill();
            process->waitForFinished();
        }
    }

    void holdsUntilReleased()
    {
        LogindInhibitor inhibitor(QDBusConnection::connectToBus(m_address, QStringLiteral("timers-test")));
        inhibitor.hold(QStringLiteral("A countdown is running"));
        QCOMPARE(nextLine(), QByteArray("inhibit sleep|Timers|A countdown is running|block"));
        QTRY_VERIFY_WITH_TIMEOUT(inhibitor.holding(), kHangMs);
        inhibitor.hold(QStringLiteral("again")); // one lock is enough
        QTest::qWait(300);                       // with events run, the answer's own copy of the lock is gone by now
        QCOMPARE(m_fake.bytesAvailable(), 0);    // nothing more: neither a second lock nor a release
        inhibitor.release();
        QVERIFY(!inhibitor.holding());
        QCOMPARE(nextLine(), QByteArray("released Timers"));
    }

    void releasedWhenTheProgramEnds()
    {
        {
            LogindInhibitor inhibitor(QDBusConnection::connectToBus(m_address, QStringLiteral("timers-test-2")));
            inhibitor.hold(QStringLiteral("A countdown is running"));
            QCOMPARE(nextLine(), QByteArray("inhibit sleep|Timers|A countdown is running|block"));
            QTRY_VERIFY_WITH_TIMEOUT(inhibitor.holding(), kHangMs);
        }
        QCOMPARE(nextLine(), QByteArray("released Timers"));
    }

    // A stalled logind holds up nothing, and a lock it grants after the release is let go.
    void stalledLogindDelaysNothing()
    {
        LogindInhibitor inhibitor(QDBusConnection::connectToBus(m_address, QStringLiteral("timers-test-3")));
        inhibitor.connectBus();
        QCOMPARE(::kill(pid_t(m_fake.processId()), SIGSTOP), 0);
        inhibitor.hold(QStringLiteral("A countdown is running")); // returns with the request under way
        QVERIFY(inhibitor.requesting());
        inhibitor.hold(QStringLiteral("again")); // no second request: its lock would never be let go
        inhibitor.release();
        QCOMPARE(::kill(pid_t(m_fake.processId()), SIGCONT), 0);
        QCOMPARE(nextLine(), QByteArray("inhibit sleep|Timers|A countdown is running|block"));
        QTRY_VERIFY_WITH_TIMEOUT(!inhibitor.requesting(), kHangMs);
        QVERIFY(!inhibitor.holding());
        QCOMPARE(nextLine(), QByteArray("released Timers"));
    }

    void carriesOnWithoutLogind_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("no bus") << "unix:path=/nonexistent/timers-test-bus";
        QTest::newRow("bus without logind") << "empty";
    }
    void carriesOnWithoutLogind()
    {
        QFETCH(QString, address);
        LogindInhibitor inhibitor(QDBusConnection::connectToBus(
            address == "empty" ? m_emptyAddress : address, QStringLiteral("timers-test-") + QTest::currentDataTag()));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^cannot keep the machine awake during the countdown"));
        inhibitor.hold(QStringLiteral("x"));
        QTRY_VERIFY_WITH_TIMEOUT(!inhibitor.requesting(), kHangMs);
        QVERIFY(!inhibitor.holding());
        inhibitor.release();
    }

    // One notification per call, its lines broken with LF; without a service, one stderr line.
    // Before the exit, the call waits for its answer, but not for a stalled service.
    void notifications_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("beforeExit");
        QTest::addColumn<bool>("shown");
        QTest::newRow("service") << "fake" << false << true;
        QTest::newRow("bus without a service") << "empty" << false << false;
        QTest::newRow("no bus") << "unix:path=/nonexistent/timers-test-bus" << false << false;
        QTest::newRow("before exit: service") << "fake" << true << true;
        QTest::newRow("before exit: bus without a service") << "empty" << true << false;
        QTest::newRow("before exit: stalled service") << "stalled" << true << false;
    }
    void notifications()
    {
        QFETCH(QString, address);
        QFETCH(bool, beforeExit);
        QFETCH(bool, shown);
        const QString bus = address == "fake" || address == "stalled" ? m_address
                          : address == "empty"                        ? m_emptyAddress
                                                                      : address;
        DesktopNotifier notifier(
            QDBusConnection::connectToBus(bus, QStringLiteral("timers-notify-") + QTest::currentDataTag()));
        QSignalSpy answered(&notifier, &DesktopNotifier::answered);
        if (!shown)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^cannot show a desktop notification"));
        const QString body = QStringLiteral("Done countdown...\r\n COM output Off.");
        if (address == "stalled")
            ::kill(pid_t(m_fake.processId()), SIGSTOP);
        if (beforeExit) {
            // Without its bound (half a second), the call would wait for D-Bus's own 25 s
            // timeout and hold the exit; 5 s leaves room for a busy machine.
            QElapsedTimer waited;
            waited.start();
            notifier.notifyBeforeExit(QStringLiteral("Timers"), body);
            QVERIFY2(waited.elapsed() < 5000, "the wait before the exit is not bounded");
            QCOMPARE(answered.size(), 1);
        } else {
            notifier.notify(QStringLiteral("Timers"), body);
            QTRY_COMPARE_WITH_TIMEOUT(answered.size(), 1, kHangMs);
        }
        QCOMPARE(answered.first().first().toBool(), shown);
        if (address == "stalled")
            ::kill(pid_t(m_fake.processId()), SIGCONT); // it then shows the late notification
        if (shown || address == "stalled")
            QVERIFY(nextLine().startsWith(
                "notify Timers|org.vorn.Timers|Timers|Done countdown...\\n COM output Off.|entry=org.vorn.Timers|at="));
    }

    // A bus that takes connections and never answers is found wherever it lies: at an
    // abstract address, or where libdbus looks when no address is set.
    void sessionBusProbe_data()
    {
        QTest::addColumn<QString>("where"); // abstract, runtime-dir, or "bus": the running bus
        QTest::addColumn<bool>("answers");
        QTest::newRow("silent at an abstract address") << "abstract" << false;
        QTest::newRow("silent at $XDG_RUNTIME_DIR/bus, no address set") << "runtime-dir" << false;
        QTest::newRow("a bus that answers") << "bus" << true;
    }
    void sessionBusProbe()
    {
        QFETCH(QString, where);
        QFETCH(bool, answers);
        QTemporaryDir runtime;
        const bool abstract = where == "abstract";
        const QByteArray name = abstract ? "timers-test-" + QByteArray::number(::getpid())
                                         : QFile::encodeName(runtime.filePath("bus"));
        // Listening, never accepting: the kernel takes the connection and nobody answers.
        const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const auto closeListener = qScopeGuard([listener] { ::close(listener); });
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path + int(abstract), name.constData(), std::size_t(name.size()));
        const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + std::size_t(name.size()) + int(abstract));
        QVERIFY(::bind(listener, reinterpret_cast<const sockaddr*>(&address), length) == 0
                && ::listen(listener, 4) == 0);
        const QByteArray keptAddress = qgetenv("DBUS_SESSION_BUS_ADDRESS"), keptRuntime = qgetenv("XDG_RUNTIME_DIR");
        const auto restore = qScopeGuard([&] {
            qputenv("DBUS_SESSION_BUS_ADDRESS", keptAddress);
            qputenv("XDG_RUNTIME_DIR", keptRuntime);
        });
        qputenv("DBUS_SESSION_BUS_ADDRESS", abstract         ? "unix:abstract=" + name
                                            : where == "bus" ? m_address.toLatin1()
                                                             : QByteArray());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        std::string why;
        // Silence is waited for briefly; an answer may come late on a busy machine.
        QCOMPARE(sessionBusAnswers(std::chrono::milliseconds(answers ? kHangMs : 300), why), answers);
        QCOMPARE(QString::fromStdString(why),
                 answers ? QString() : "the session bus accepts connections but does not answer");
    }

private:
    QByteArray nextLine()
    {
        if (!m_fake.canReadLine() && !m_fake.waitForReadyRead(kHangMs))
            return "<nothing from the fake>";
        return m_fake.readLine().trimmed();
    }

    QProcess m_bus;
    QProcess m_emptyBus;
    QProcess m_fake;
    QString m_address;
    QString m_emptyAddress;
};

QTEST_GUILESS_MAIN(TestDesktopBus)
#include "tst_desktop_bus.moc"
