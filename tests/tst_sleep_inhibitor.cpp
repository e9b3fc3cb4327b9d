// The sleep inhibitor against a fake logind on a private D-Bus bus started by the test, and
// with no logind to be had.

#include "logind_inhibitor.h"

#include <QProcess>
#include <QTest>

using namespace timers;

class TestSleepInhibitor : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        m_bus.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"});
        QVERIFY(m_bus.waitForStarted());
        QVERIFY(m_bus.waitForReadyRead(10000));
        m_address = QString::fromLatin1(m_bus.readLine().trimmed());
        QVERIFY(!m_address.isEmpty());

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), m_address);
        m_logind.setProcessEnvironment(env);
        m_logind.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_logind.start(QStringLiteral(TIMERS_FAKE_LOGIN1), {});
        QVERIFY(m_logind.waitForStarted());
        QVERIFY(m_logind.waitForReadyRead(10000));
        QCOMPARE(m_logind.readLine().trimmed(), QByteArray("ready"));
    }
    void cleanupTestCase()
    {
        m_logind.kill();
        m_logind.waitForFinished();
        m_bus.kill();
        m_bus.waitForFinished();
    }

    void holdsUntilReleased()
    {
        LogindInhibitor inhibitor(QDBusConnection::connectToBus(m_address, QStringLiteral("timers-test")));
        inhibitor.hold(QStringLiteral("A countdown is running"));
        QVERIFY(inhibitor.holding());
        QCOMPARE(nextLine(), QByteArray("inhibit sleep|Timers|A countdown is running|block"));
        inhibitor.hold(QStringLiteral("again")); // one lock is enough
        QVERIFY(!m_logind.waitForReadyRead(300)); // nothing more: neither a second lock nor a release
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
        }
        QCOMPARE(nextLine(), QByteArray("released Timers"));
    }

    void carriesOnWithoutLogind_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("no bus") << "unix:path=/nonexistent/timers-test-bus";
        QTest::newRow("bus without logind") << "";
    }
    void carriesOnWithoutLogind()
    {
        QFETCH(QString, address);
        if (address.isEmpty()) {
            // A second private bus, where nobody has taken the login1 name.
            QProcess bus;
            bus.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"});
            QVERIFY(bus.waitForReadyRead(10000));
            LogindInhibitor inhibitor(QDBusConnection::connectToBus(QString::fromLatin1(bus.readLine().trimmed()),
                                                                    QStringLiteral("timers-test-empty")));
            inhibitor.hold(QStringLiteral("x"));
            QVERIFY(!inhibitor.holding());
            inhibitor.release();
            bus.kill();
            bus.waitForFinished();
            return;
        }
        LogindInhibitor inhibitor(QDBusConnection::connectToBus(address, QStringLiteral("timers-test-none")));
        inhibitor.hold(QStringLiteral("x"));
        QVERIFY(!inhibitor.holding());
        inhibitor.release();
    }

private:
    QByteArray nextLine()
    {
        if (!m_logind.canReadLine() && !m_logind.waitForReadyRead(5000))
            return "<nothing from the fake logind>";
        return m_logind.readLine().trimmed();
    }

    QProcess m_bus;
    QProcess m_logind;
    QString m_address;
};

QTEST_GUILESS_MAIN(TestSleepInhibitor)
#include "tst_sleep_inhibitor.moc"
