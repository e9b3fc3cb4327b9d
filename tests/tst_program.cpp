// The built program as a process, in a working directory of its own: Ctrl-C, SIGTERM and a
// logout's SIGHUP run the exit sequence, which saves the settings and ends normally.

#include "pty_ports.h"
#include "scratch_mount.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <ctime>
#include <functional>
#include <optional>
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

bool put(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Xvfb for the rows that drive the window as a user would, with xdotool (which it sets
// DISPLAY for); started at the first call, empty when it cannot start.
QString display()
{
    static QProcess server;
    static QString name;
    if (name.isEmpty() && server.state() == QProcess::NotRunning) {
        server.start("Xvfb", {"-displayfd", "1", "-screen", "0", "800x600x24", "-nolisten", "tcp"});
        if (QTest::qWaitFor([] { return server.canReadLine(); }, 30000))
            name = ":" + QString::fromLatin1(server.readLine().trimmed());
        qputenv("DISPLAY", name.toLatin1());
    }
    return name;
}

bool xdotool(const QStringList& arguments, QByteArray* firstLine = nullptr)
{
    QProcess tool;
    tool.start("xdotool", arguments);
    const bool done = tool.waitForFinished(30000) && tool.exitCode() == 0;
    if (firstLine)
        *firstLine = tool.readAllStandardOutput().split('\n').first();
    QTest::qWait(200); // what it typed or clicked is handled
    return done;
}

// Focuses the first window with this title, waited for; then clicks at (x, y) in it (layout
// pixels), if given.
bool focus(const QString& title, int x = -1, int y = -1)
{
    QByteArray id;
    return xdotool({"search", "--sync", "--onlyvisible", "--name", "^" + title + "$"}, &id) && !id.isEmpty()
           && xdotool({"windowfocus", "--sync", id})
           && (x < 0 || xdotool({"mousemove", "--window", id, QString::number(x), QString::number(y), "click", "1"}));
}

// Set, as a user does it: the button, then the answer and Return in the prompt.
bool set(const QString& answer)
{
    return focus("Timers", 85, 106) && focus("Count Down Timer") && xdotool({"type", answer}) && xdotool({"key", "Return"});
}

// A POSIX TZ rule whose daylight-saving change falls `after` seconds from now: "end" turns the
// clocks back an hour then, "start" forward. Julian days (Jn) never count 29 February.
QByteArray zoneChangingIn(int after, const QString& change)
{
    const bool end = change == "end";
    const QDateTime local = QDateTime::currentDateTimeUtc().addSecs(after + (end ? 3600 : 0));
    const int day = local.date().dayOfYear() - (QDate::isLeapYear(local.date().year()) && local.date().month() > 2);
    const QString at = QStringLiteral("J%1/%2").arg(day).arg(local.time().toString("HH:mm:ss"));
    return (end ? "STD0DST-1,J1/0," + at : "STD0DST-1," + at + ",J365/23:59:59").toLatin1();
}

// DTR or RTS up in a modem log line; matched with their names, as "pts=1 " would match "=1 ".
bool raised(const QString& change) { return change.contains(" dtr=1 ") || change.contains(" rts=1 "); }

// How long the line raised last was held, in seconds, from a pty's " set " log lines; -1 when
// it was never raised or never dropped. Sets `raisedAtNs` to when it went up.
double lastHeld(const QStringList& log, qint64* raisedAtNs = nullptr)
{
    qsizetype on = log.size() - 1;
    while (on > 0 && !raised(log[on]))
        --on;
    if (on <= 0 || on + 1 >= log.size())
        return -1;
    if (raisedAtNs)
        *raisedAtNs = log[on].section(' ', 0, 0).toLongLong();
    return (log[on + 1].section(' ', 0, 0).toDouble() - log[on].section(' ', 0, 0).toDouble()) / 1e9;
}

// A private session bus, ended with the test.
struct SessionBus {
    QProcess daemon;
    QString address;
    SessionBus()
    {
        daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1", "--address=unix:tmpdir=/tmp"});
        if (QTest::qWaitFor([this] { return daemon.canReadLine(); }, 60000))
            address = QString::fromLatin1(daemon.readLine().trimmed());
    }
};

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

    // The device is on for the countdown whatever happens meanwhile: a clock change (the
    // countdown's end does not move), Ctrl-Z from the terminal (ignored), a pin changed
    // between two Sets (the other line is never up with the selected one).
    void deviceFollowsTheCountdown_data()
    {
        QTest::addColumn<QString>("event"); // dst-end, dst-start, step-back, ctrl-z, pin
        QTest::addColumn<int>("seconds");
        QTest::newRow("daylight saving ends (clocks back an hour)") << "dst-end" << 8;
        QTest::newRow("daylight saving starts (clocks forward an hour)") << "dst-start" << 8;
        QTest::newRow("the clock set back 0.3 s") << "step-back" << 5;
        QTest::newRow("Ctrl-Z in the terminal") << "ctrl-z" << 3;
        QTest::newRow("the pin changed, then Set again") << "pin" << 2;
        QTest::newRow("a session bus that accepts but never answers") << "bus-stopped" << 2;
        QTest::newRow("a system bus that accepts but never answers") << "system-bus-stopped" << 2;
    }
    void deviceFollowsTheCountdown()
    {
        QFETCH(QString, event);
        QFETCH(int, seconds);
        QVERIFY2(!display().isEmpty(), "Xvfb did not start");
        QTemporaryDir folder;
        QVERIFY(put(folder.filePath("Timer_Control.ini"), "[USB/COM port]\r\n1\r\n[COM On-Off]\r\nON\r\n"
                                                          "[COM output pin]\r\n7 - RTS\r\n[Use alarm]\r\nYes\r\n"));
        PtyPorts ports;
        const int pts = ports.plugIn(0);
        QVERIFY(pts >= 0);
        constexpr int kChangeAfterS = 6; // after the window shows and Set is pressed
        constexpr int kHangMs = 60000;   // bounds a hang only
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TIMERS_SERIAL_DIR", ports.folder());
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("LD_PRELOAD", TIMERS_MODEM_LINES);
        env.insert("PULSE_SERVER", "unix:/nonexistent");
        if (event.startsWith("dst"))
            env.insert("TZ", zoneChangingIn(kChangeAfterS, event.mid(4)));
        if (event == "step-back") {
            env.insert("TIMERS_CLOCK_STEP_MS", "-300");
            env.insert("TIMERS_CLOCK_STEP_AT_MS", QString::number(kChangeAfterS * 1000 - 3000));
        }
        std::optional<SessionBus> bus; // stopped once it listens: connections are accepted, nothing answers
        if (event.endsWith("bus-stopped")) {
            QVERIFY(!bus.emplace().address.isEmpty());
            env.insert(event == "bus-stopped" ? "DBUS_SESSION_BUS_ADDRESS" : "DBUS_SYSTEM_BUS_ADDRESS", bus->address);
            ::kill(pid_t(bus->daemon.processId()), SIGSTOP);
        }
        QProcess program;
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(folder.path());
        program.start(QStringLiteral(TIMERS_PROGRAM), {});
        QVERIFY(program.waitForStarted());
        const auto lineOn = [&] {
            const QStringList changes = ports.events(pts).filter("set ");
            return !changes.isEmpty() && raised(changes.last());
        };
        if (event == "pin") {
            QVERIFY(set("30"));
            QVERIFY(QTest::qWaitFor(lineOn, kHangMs));
            QVERIFY(focus("Timers", 71, 9) && focus("COM port", 148, 72)); // ComPort, then the pin field
            QVERIFY(xdotool({"key", "ctrl+a"}) && xdotool({"type", "4 - DTR"}) && focus("COM port", 99, 98)); // Done
        }
        QVERIFY(set(QString::number(seconds)));
        QVERIFY(QTest::qWaitFor(lineOn, kHangMs));
        if (event == "ctrl-z")
            ::kill(pid_t(program.processId()), SIGTSTP);
        const bool offInTime = QTest::qWaitFor([&] { return !lineOn(); }, (seconds + 10) * 1000);
        ::kill(pid_t(program.processId()), SIGCONT); // had it stopped, it could not switch off
        QVERIFY2(offInTime, qPrintable(ports.log(pts).join('\n')));
        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(kHangMs));
        QCOMPARE(program.exitCode(), 0);
        if (event.endsWith("bus-stopped"))
            QVERIFY(program.readAllStandardError().contains(event == "bus-stopped" ? "the session bus accepts connections but does not answer"
                                                                               : "the system bus accepts connections but does not answer"));

        // Never both lines up; the last line on from Set until n + 0.5 to n + 1.5 s later.
        const QStringList log = ports.log(pts).filter(" set ");
        QVERIFY2(log.filter("dtr=1 rts=1").isEmpty(), qPrintable(log.join('\n')));
        const double held = lastHeld(log);
        QVERIFY2(held >= seconds + 0.45 && held <= seconds + 1.55, qPrintable(log.join('\n')));
        const auto lastRaised = std::find_if(log.crbegin(), log.crend(), raised);
        QCOMPARE(lastRaised != log.crend() && lastRaised->contains("dtr=1"), event == "pin");
    }

    // Scripts drive the countdown with timers-ctl over a private session bus; the taskbar
    // entry's progress is read off the bus.
    void scriptsDriveTheCountdown()
    {
        QTemporaryDir folder;
        QVERIFY(put(folder.filePath("Timer_Control.ini"), "[USB/COM port]\r\n1\r\n[COM On-Off]\r\nON\r\n"
                                                          "[COM output pin]\r\n7 - RTS\r\n[Use alarm]\r\nYes\r\n"));
        PtyPorts ports;
        const int pts = ports.plugIn(0);
        SessionBus bus;
        QVERIFY(pts >= 0 && !bus.address.isEmpty());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DBUS_SESSION_BUS_ADDRESS", bus.address);
        QProcess monitor;
        monitor.setProcessEnvironment(env);
        // Line-buffered: ended by a signal, it would lose what it holds.
        monitor.start("stdbuf", {"-oL", "dbus-monitor", "interface='com.canonical.Unity.LauncherEntry'"});
        // It watches once it has given up its own name: only then does the program start.
        QByteArray monitored;
        QVERIFY(QTest::qWaitFor([&] { return (monitored += monitor.readAllStandardOutput()).contains("member=NameLost"); }, 60000));
        const auto ctl = [&env](const QStringList& arguments) {
            QProcess tool;
            tool.setProcessEnvironment(env);
            tool.start(TIMERS_CTL, arguments);
            tool.waitForFinished(60000); // bounds a hang only
            return std::pair{tool.exitCode(), QString::fromLocal8Bit(tool.readAllStandardOutput() + tool.readAllStandardError())};
        };
        env.insert("TIMERS_SERIAL_DIR", ports.folder());
        env.insert("LD_PRELOAD", TIMERS_MODEM_LINES);
        env.insert("PULSE_SERVER", "unix:/nonexistent");
        QProcess program;
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(folder.path());
        program.start(QStringLiteral(TIMERS_PROGRAM), {});
        env.remove("LD_PRELOAD");
        QVERIFY(QTest::qWaitFor([&] { return ctl({"status"}).first == 0; }, 60000));
        // No image format plugin was loaded for the window (its icons are PNG, its arrows drawn).
        QVERIFY(!contents(QStringLiteral("/proc/%1/maps").arg(program.processId())).contains("/imageformats/"));
        QProcess second; // finds the name taken, says so once and runs on
        second.setProcessEnvironment(program.processEnvironment());
        second.setWorkingDirectory(folder.path());
        second.start(QStringLiteral(TIMERS_PROGRAM), {});
        QByteArray secondSaid;
        QVERIFY(QTest::qWaitFor([&] { return (secondSaid += second.readAllStandardError()).contains("no script interface"); }, 60000));
        QVERIFY(second.state() == QProcess::Running);
        second.terminate();
        QVERIFY(second.waitForFinished(60000) && second.exitCode() == 0);

        for (const char* answer : {"abc", "1e99"}) { // the reason, and no box to wait for
            const auto [status, said] = ctl({"set", answer});
            QCOMPARE(status, 1);
            QVERIFY2(said.contains(answer) && said.contains(answer[0] == 'a' ? "starts no countdown" : "outside"), qPrintable(said));
        }
        QCOMPARE(ctl({"set", "2"}).first, 0);
        const QString status = ctl({"status"}).second;
        QVERIFY2(QRegularExpression("^00:0[0-2] running\n$").match(status).hasMatch(), qPrintable(status));
        QCOMPARE(ctl({"wait"}).first, 0);
        const double held = lastHeld(ports.log(pts).filter(" set "));
        QVERIFY2(held >= 2.45 && held <= 3.55, qPrintable(ports.log(pts).join('\n')));

        QCOMPARE(ctl({"set", "5"}).first, 0);
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now); // the modem log's clock
        const double cancelledAt = now.tv_sec + now.tv_nsec / 1e9;
        QCOMPARE(ctl({"cancel"}).first, 0);
        QCOMPARE(ctl({"wait"}).first, 1);
        qint64 raisedAtNs = 0;
        const double heldAfterCancel = lastHeld(ports.log(pts).filter(" set "), &raisedAtNs) + raisedAtNs / 1e9 - cancelledAt;
        QVERIFY2(heldAfterCancel >= 0 && heldAfterCancel <= 1.55, qPrintable(ports.log(pts).join('\n')));

        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(60000));
        // The taskbar's progress: hidden at start, from 0 at Set to 1 as the display reaches
        // 00:00, hidden at the completion. Each update gives its progress, or -1 when hidden.
        monitor.terminate();
        monitor.waitForFinished(60000);
        QList<double> shown;
        QString key;
        for (const QString& text : QString::fromLatin1(monitored + monitor.readAllStandardOutput()).split('\n')) {
            const QString line = text.simplified();
            if (line.startsWith("string \""))
                key = line.section('"', 1, 1);
            else if (key == "progress" && line.startsWith("variant double"))
                shown << line.section(' ', -1).toDouble();
            else if (key == "progress-visible" && line == "variant boolean false")
                shown.last() = -1;
        }
        const qsizetype hidden = shown.indexOf(-1, 1);
        QVERIFY2(shown.size() > 3 && shown[0] == -1 && shown[1] == 0 && hidden > 2 && shown[hidden - 1] == 1
                     && std::is_sorted(shown.begin() + 1, shown.begin() + hidden),
                 qPrintable(QDebug::toString(shown)));
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
        QTest::addColumn<QString>("kind"); // file, link, strangers-link, fifo, slow, nobody, nobody-ro-folder, nobody-ro-full
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
        QTest::newRow("a value longer than its field, and than a line is read")
            << "file" << "[USB/COM port]\r\n" + QByteArray(204'800, '7') + "\r\n" << 0644
            << "//Timer Control\r\n[USB/COM port]\r\n" + QByteArray(32767, '7')
                   + "\r\n[COM On-Off]\r\nCombo1\r\n[COM output pin]\r\nCombo1\r\n[Use alarm]\r\nNo\r\n"
            << QByteArray("is 204800 characters long; its field holds the first 32767");
        QTest::newRow("a link to the real file") << "link" << block << 0644 << saved << QByteArray();
        QTest::newRow("the file's mode is kept") << "file" << block << 0640 << saved << QByteArray();
        QTest::newRow("a mode of 0000 is kept by root") << "file" << block << 0000 << saved << QByteArray();
        QTest::newRow("unreadable (mode 0200)") << "nobody" << block << 0200 << QByteArray()
                                                << QByteArray("could not be read at start; it is left as it is");
        QTest::newRow("writable file in a read-only folder") << "nobody-ro-folder" << block << 0644 << saved
                                                             << QByteArray();
        QTest::newRow("another user's link in a shared folder, to a root-only file")
            << "strangers-link" << QByteArray("root:secret\n") << 0600 << QByteArray()
            << QByteArray("(uid 65534) made in the shared folder");
        QTest::newRow("a longer rewrite in a read-only folder on a full disk")
            << "nobody-ro-full" << "[USB/COM port]\n" + QByteArray(4000, '1') + "\n" << 0644 << QByteArray()
            << QByteArray("No space left on device");
    }
    void hostileSettings()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, content);
        QFETCH(int, mode);
        QFETCH(QByteArray, after);
        QFETCH(QByteArray, said);
        QTemporaryDir scratch;
        std::optional<ScratchMount> disk;
        if (kind == "nobody-ro-full") {
            disk.emplace(QStringLiteral("size=64k"));
            if (!disk->mounted())
                QSKIP("cannot mount a tmpfs here");
        }
        const QString folder = (disk ? disk->path() : scratch.path()) + "/work";
        QVERIFY(QDir().mkdir(folder));
        const QString path = QDir(folder).filePath("Timer_Control.ini");
        const QString real = kind == "link" ? QDir(folder).filePath("real.ini")
                             : kind == "strangers-link" ? scratch.filePath("secret") : path;
        if (kind == "fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), mode_t(mode)), 0);
        } else {
            QFile file(real);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(content), content.size());
            file.close();
            QCOMPARE(::chmod(QFile::encodeName(real).constData(), mode_t(mode)), 0);
            if (kind.endsWith("link"))
                QVERIFY(QFile::link(real, path));
            if (kind == "strangers-link") { // as /tmp is: world-writable and sticky
                QCOMPARE(::lchown(QFile::encodeName(path).constData(), 65534, 65534), 0);
                QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 01777), 0);
            }
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
            if (kind.startsWith("nobody-ro"))
                QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
            if (disk) { // filled to the last page
                QFile filler(disk->path() + "/filler");
                QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
                while (filler.write(QByteArray(1024, 'x')) == 1024) {
                }
            }
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
            QCOMPARE(QFileInfo(path).isSymLink(), kind.endsWith("link")); // a link's target was replaced
            struct stat status {};
            QCOMPARE(::stat(QFile::encodeName(path).constData(), &status), 0);
            if (kind != "nobody")
                QCOMPARE(int(status.st_mode & 0777), mode);
        }
        if (kind == "slow") // ended in the middle of the load: far fewer reads than the file needs
            QVERIFY2(QFileInfo(log).size() < 100, qPrintable(QString::number(QFileInfo(log).size())));
        if (!said.isEmpty())
            QVERIFY2(run.errors.contains(said), run.errors.constData());
        QVERIFY2(run.errors.size() < 2000, run.errors.left(2000).constData()); // no value echoed whole
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
