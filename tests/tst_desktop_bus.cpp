// The sleep inhibitor and the desktop notifications against fakes of logind and of a
// notification service on a private D-Bus bus started by the test, and with neither to be had.

#include "desktop_notifier.h"
#include "logind_inhibitor.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <csignal>

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
        QTest::qWait(300); // with events run, the answer's own copy of the lock is gone by now
        QCOMPARE(m_fake.bytesAvailable(), 0); // nothing more: neither a second lock nor a release
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
        LogindInhibitor inhibitor(QDBusConnection::connectToBus(address == "empty" ? m_emptyAddress : address,
                                                                QStringLiteral("timers-test-") + QTest::currentDataTag()));
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
                            : address == "empty"                      ? m_emptyAddress
                                                                      : address;
        DesktopNotifier notifier(QDBusConnection::connectToBus(bus, QStringLiteral("timers-notify-") + QTest::currentDataTag()));
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
            QVERIFY(nextLine().startsWith("notify Timers|org.vorn.Timers|Timers|Done countdown...\\n COM output Off.|entry=org.vorn.Timers|at="));
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
