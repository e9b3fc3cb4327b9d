// The built program as a process: Ctrl-C, SIGTERM and a logout's SIGHUP run the exit
// sequence and end it normally instead of killing it.

#include <QFile>
#include <QProcess>
#include <QTest>

#include <csignal>

namespace {

// True once the process has installed its handler for `signal` (the SigCgt mask in /proc).
bool catches(qint64 pid, int signal)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1;
    }
    return false;
}

} // namespace

class TestProgram : public QObject {
    Q_OBJECT
private slots:
    void terminationSignalsExitCleanly_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGHUP") << SIGHUP;
    }
    void terminationSignalsExitCleanly()
    {
        QFETCH(int, signal);
        QProcess program;
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(QStringLiteral(TIMERS_PROGRAM), {});
        QVERIFY(program.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(catches(program.processId(), signal), 10000);
        QTest::qWait(200); // let the window come up: the signal should find the event loop running
        QCOMPARE(::kill(pid_t(program.processId()), signal), 0);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
