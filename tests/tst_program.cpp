// The built program as a process, in a working directory of its own: Ctrl-C, SIGTERM and a
// logout's SIGHUP run the exit sequence, which saves the settings and ends normally.

#include "scratch_mount.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace timers::testing;

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

struct Run {
    int exitCode = -1;
    bool normalExit = false;
    QByteArray errors;
};

// Starts the program in `folder`, sends `signal` once it listens for it, waits for the end.
Run runUntilSignal(const QString& folder, int signal)
{
    QTemporaryDir noPorts; // the program must never look at the machine's own serial ports
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TIMERS_SERIAL_DIR"), noPorts.path());
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(folder);
    program.start(QStringLiteral(TIMERS_PROGRAM), {});
    Run run;
    if (!program.waitForStarted(10000))
        return run;
    if (!QTest::qWaitFor([&] { return catches(program.processId(), signal); }, 10000))
        return run;
    QTest::qWait(300); // let the window come up: the signal should find the event loop running
    ::kill(pid_t(program.processId()), signal);
    if (!program.waitForFinished(10000))
        return run;
    run.normalExit = program.exitStatus() == QProcess::NormalExit;
    run.exitCode = program.exitCode();
    run.errors = program.readAllStandardError();
    return run;
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

const QByteArray kFirstRun("//Timer Control\r\n[USB/COM port]\r\nCombo1\r\n[COM On-Off]\r\nCombo1\r\n"
                           "[COM output pin]\r\nCombo1\r\n[Use alarm]\r\nNo\r\n");

} // namespace

class TestProgram : public QObject {
    Q_OBJECT
private slots:
    void signalsSaveAndExit_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGHUP") << SIGHUP;
    }
    void signalsSaveAndExit()
    {
        QFETCH(int, signal);
        QTemporaryDir folder;
        const Run run = runUntilSignal(folder.path(), signal);
        QVERIFY(run.normalExit);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(contents(folder.filePath("Timer_Control.ini")), kFirstRun);
    }

    // A file written by a Linux editor (bare line feeds) loads, and is saved back as written.
    void settingsSurviveARestart()
    {
        QTemporaryDir folder;
        QFile file(folder.filePath("Timer_Control.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("//Timer Control\n[USB/COM port]\n2\n[COM On-Off]\non\n[COM output pin]\n7 - RTS\n[Use alarm]\nyes\n");
        file.close();
        const Run run = runUntilSignal(folder.path(), SIGTERM);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(contents(file.fileName()),
                 QByteArray("//Timer Control\r\n[USB/COM port]\r\n2\r\n[COM On-Off]\r\nON\r\n"
                            "[COM output pin]\r\n7 - RTS\r\n[Use alarm]\r\nYes\r\n"));
        // Port 2 names no device here: said on stderr, and nothing worse.
        QVERIFY2(run.errors.contains("no serial port 2"), run.errors.constData());
    }

    void readOnlyFolderStillExits()
    {
        ScratchMount mount(QStringLiteral("size=1m"));
        if (!mount.mounted())
            QSKIP("cannot mount a tmpfs here");
        const QString path = QDir(mount.path()).filePath("Timer_Control.ini");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[COM On-Off]\r\nON\r\n");
        file.close();
        QVERIFY(mount.remount(QStringLiteral("ro")));
        const Run run = runUntilSignal(mount.path(), SIGTERM);
        QVERIFY(run.normalExit);
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.errors.contains("not saved"), run.errors.constData());
        QCOMPARE(contents(path), QByteArray("[COM On-Off]\r\nON\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
