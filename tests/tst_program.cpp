// The built program as a process, in a working directory of its own: Ctrl-C, SIGTERM and a
// logout's SIGHUP run the exit sequence, which saves the settings and ends normally.

#include "scratch_mount.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

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

// True once the main thread waits in the event loop (poll), past the settings load.
bool inEventLoop(qint64 pid)
{
    QFile wchan(QStringLiteral("/proc/%1/wchan").arg(pid));
    return wchan.open(QIODevice::ReadOnly) && wchan.readAll().contains("poll");
}

struct Run {
    int exitCode = -1;
    bool normalExit = false;
    QByteArray errors;
};

struct How {
    QStringList runAs;                          // a command that runs the program, as setpriv does
    QString program = QStringLiteral(TIMERS_PROGRAM);
    QStringList environment;                    // NAME=value
    std::function<bool(qint64)> readyForSignal = inEventLoop;
};

// Starts the program in `folder`, sends `signal` once it is ready for it, waits for the end.
Run runUntilSignal(const QString& folder, int signal, const How& how = {})
{
    QTemporaryDir noPorts; // the program must never look at the machine's own serial ports
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TIMERS_SERIAL_DIR"), noPorts.path());
    for (const QString& setting : how.environment)
        env.insert(setting.section('=', 0, 0), setting.section('=', 1));
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(folder);
    const QStringList command = how.runAs + QStringList{how.program};
    program.start(command.first(), command.mid(1));
    Run run;
    constexpr int kHangMs = 60000; // bounds a hang only
    if (!program.waitForStarted(kHangMs))
        return run;
    const qint64 pid = program.processId();
    if (!QTest::qWaitFor([&] { return catches(pid, signal) && how.readyForSignal(pid); }, kHangMs))
        return run;
    ::kill(pid_t(pid), signal);
    if (!program.waitForFinished(kHangMs))
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

    // Settings files that must neither hang, bloat nor lose a setting. Each row: what lies in
    // the folder, how the program runs, what the file holds after SIGTERM, what stderr says.
    void hostileSettings_data()
    {
        QTest::addColumn<QString>("kind"); // file, link, fifo, slow, nobody, nobody-ro-folder
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArray>("after"); // empty: left exactly as it was
        QTest::addColumn<QByteArray>("said");
        const QByteArray block("[USB/COM port]\r\n4\r\n[COM On-Off]\r\non\r\n[COM output pin]\r\n7 - RTS\r\n[Use alarm]\r\nyes\r\n");
        const QByteArray saved("//Timer Control\r\n[USB/COM port]\r\n4\r\n[COM On-Off]\r\nON\r\n[COM output pin]\r\n"
                               "7 - RTS\r\n[Use alarm]\r\nYes\r\n");
        QTest::newRow("FIFO") << "fifo" << QByteArray() << 0600 << QByteArray() << QByteArray("is a FIFO");
        QTest::newRow("100 MB of line feeds, then the settings")
            << "file" << QByteArray(100'000'000, '\n') + block << 0644 << saved << QByteArray();
        QTest::newRow("SIGTERM during a slow load") << "slow" << QByteArray(10'000'000, '\n') + block << 0644
                                                    << QByteArray() << QByteArray();
        QTest::newRow("Latin-1 bytes written back as they were")
            << "file" << QByteArray("[USB/COM port]\r\nCOM\xe9\r\n[COM output pin]\r\n\xb5 RTS\r\n") << 0644
            << QByteArray("//Timer Control\r\n[USB/COM port]\r\nCOM\xe9\r\n[COM On-Off]\r\nCombo1\r\n"
                          "[COM output pin]\r\n\xb5 RTS\r\n[Use alarm]\r\nNo\r\n")
            << QByteArray();
        QTest::newRow("a value longer than its field")
            << "file" << "[COM output pin]\r\n" + QByteArray(40'000, 'x') + "\r\n" << 0644
            << "//Timer Control\r\n[USB/COM port]\r\nCombo1\r\n[COM On-Off]\r\nCombo1\r\n[COM output pin]\r\n"
                   + QByteArray(32767, 'x') + "\r\n[Use alarm]\r\nNo\r\n"
            << QByteArray("its field holds the first 32767");
        QTest::newRow("a link to the real file") << "link" << block << 0644 << saved << QByteArray();
        QTest::newRow("the file's mode is kept") << "file" << block << 0640 << saved << QByteArray();
        QTest::newRow("unreadable (mode 0200)") << "nobody" << block << 0200 << QByteArray()
                                                << QByteArray("could not be read at start; it is left as it is");
        QTest::newRow("writable file in a read-only folder") << "nobody-ro-folder" << block << 0644 << saved
                                                             << QByteArray();
    }
    void hostileSettings()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, content);
        QFETCH(int, mode);
        QFETCH(QByteArray, after);
        QFETCH(QByteArray, said);
        QTemporaryDir scratch;
        const QString folder = scratch.filePath("work");
        QVERIFY(QDir().mkdir(folder));
        const QString path = QDir(folder).filePath("Timer_Control.ini");
        const QString real = kind == "link" ? QDir(folder).filePath("real.ini") : path;
        if (kind == "fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), mode_t(mode)), 0);
        } else {
            QFile file(real);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(content), content.size());
            file.close();
            QCOMPARE(::chmod(QFile::encodeName(real).constData(), mode_t(mode)), 0);
            if (kind == "link")
                QVERIFY(QFile::link("real.ini", path));
        }

        How how;
        const QString log = scratch.filePath("slow-reads");
        if (kind == "slow") {
            how.environment = {"LD_PRELOAD=" TIMERS_SETTINGS_FAULTS, "TIMERS_SLOW_READ_MS=50", "TIMERS_SLOW_READ_LOG=" + log};
            how.readyForSignal = [&log](qint64) { return QFileInfo(log).size() > 0; }; // the load has begun
        }
        if (kind.startsWith("nobody")) {
            // As a user whom root's rights do not cover, with a copy of the program it can run.
            how.program = scratch.filePath("timers");
            QVERIFY(QFile::copy(QStringLiteral(TIMERS_PROGRAM), how.program));
            how.runAs = QStringList{"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"};
            for (const QString& owned : {scratch.path(), folder, path})
                QCOMPARE(::chown(QFile::encodeName(owned).constData(), 65534, 65534), 0);
            QCOMPARE(::chmod(QFile::encodeName(scratch.path()).constData(), 0755), 0);
            if (kind == "nobody-ro-folder")
                QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
        }

        const Run run = runUntilSignal(folder, SIGTERM, how);
        QVERIFY2(run.normalExit && run.exitCode == 0, run.errors.constData());
        const QFileInfo left(path);
        if (kind == "fifo") {
            QVERIFY(left.exists() && !left.isFile()); // still the FIFO
        } else {
            if (kind == "nobody")
                QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0600), 0); // root reads it now
            const QByteArray now = contents(path);
            QVERIFY2(now == (after.isEmpty() ? content : after), now.right(200).constData());
            QCOMPARE(QFileInfo(path).isSymLink(), kind == "link"); // the link's target was replaced
            struct stat status {};
            QCOMPARE(::stat(QFile::encodeName(path).constData(), &status), 0);
            if (kind != "nobody")
                QCOMPARE(int(status.st_mode & 0777), mode);
        }
        if (kind == "slow") // ended in the middle of the load: far fewer reads than the file needs
            QVERIFY2(QFileInfo(log).size() < 100, qPrintable(QString::number(QFileInfo(log).size())));
        if (!said.isEmpty())
            QVERIFY2(run.errors.contains(said), run.errors.constData());
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
