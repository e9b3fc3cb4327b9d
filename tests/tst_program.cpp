// The built program as a process, in a working directory of its own: Ctrl-C, SIGTERM and a
// logout's SIGHUP run the exit sequence, which saves the settings and ends normally.

#include "tests/pty_ports.h"
#include "tests/scratch_mount.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <array>
#include <climits>
#include <csignal>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <tuple>
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

// Stopped by a signal (state T), as job control stops a process.
bool stopped(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    return stat.open(QIODevice::ReadOnly) && stat.readAll().split(')').value(1).startsWith(" T");
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
    bool signalled = false; // false: it ended by itself
    QByteArray errors;
    QByteArray output;
};

struct How {
    QStringList runAs; // a command that runs the program, as setpriv does
    QString program = QStringLiteral(TIMERS_PROGRAM);
    QStringList arguments;
    QStringList environment; // NAME=value, or NAME: unset
    std::function<bool(qint64)> readyForSignal = inEventLoop;
};

// Starts the program in `folder`, sends `signal` once it is ready for it, waits for the end
// (or for an end that came without it).
Run runUntilSignal(const QString& folder, int signal, const How& how = {})
{
    QTemporaryDir noPorts; // the program must never look at the machine's own serial ports
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TIMERS_SERIAL_DIR"), noPorts.path());
    for (const QString& setting : how.environment) {
        if (setting.contains('='))
            env.insert(setting.section('=', 0, 0), setting.section('=', 1));
        else
            env.remove(setting);
    }
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(folder);
    const QStringList command = how.runAs + QStringList{how.program} + how.arguments;
    program.start(command.first(), command.mid(1));
    Run run;
    constexpr int kHangMs = 180000; // bounds a hang only (a 100 MB load under ASan on a busy machine is slow)
    if (!program.waitForStarted(kHangMs))
        return run;
    const qint64 pid = program.processId();
    if (!QTest::qWaitFor(
            [&] {
                return program.state() == QProcess::NotRunning || (catches(pid, signal) && how.readyForSignal(pid));
            },
            kHangMs))
        return run;
    run.signalled = program.state() == QProcess::Running;
    if (run.signalled && (::kill(pid_t(pid), signal), !program.waitForFinished(kHangMs)))
        return run;
    run.normalExit = program.exitStatus() == QProcess::NormalExit;
    run.exitCode = program.exitCode();
    run.errors = program.readAllStandardError();
    run.output = program.readAllStandardOutput();
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

// What it types or clicks is sent to the display when it returns, not yet handled: a step that
// needs the program to have handled it waits for what that shows (showing()).
bool xdotool(const QStringList& arguments, QByteArray* output = nullptr)
{
    QProcess tool;
    tool.start("xdotool", arguments);
    const bool done = tool.waitForFinished(60000) && tool.exitCode() == 0; // bounds a hang only
    if (output)
        *output = tool.readAllStandardOutput();
    return done;
}

// A window with this title is shown now (no waiting for one).
bool shown(const QString& title) { return xdotool({"search", "--onlyvisible", "--name", "^" + title + "$"}); }

// Waits until a window with this title is shown, or with `shows` false until none is.
bool showing(const QString& title, bool shows = true)
{
    return QTest::qWaitFor([&] { return shown(title) == shows; }, 60000); // bounds a hang only
}

// The titles of the windows shown, for a failure's message.
QString windowsShown()
{
    QByteArray ids, name;
    QStringList titles;
    xdotool({"search", "--onlyvisible", "--name", "."}, &ids);
    for (const QByteArray& id : ids.split('\n')) {
        if (!id.isEmpty() && xdotool({"getwindowname", id}, &name))
            titles << '"' + QString::fromUtf8(name.trimmed()) + '"';
    }
    return "windows shown: " + titles.join(", ");
}

double monotonicSeconds() // the modem log's clock
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// The exit status of a timers-ctl started already, and what it said on both streams.
std::pair<int, QString> ctlResult(QProcess& tool)
{
    tool.waitForFinished(60000); // bounds a hang only
    return {tool.exitCode(), QString::fromLocal8Bit(tool.readAllStandardOutput() + tool.readAllStandardError())};
}

// timers-ctl with `arguments`: its exit status, and what it said on both streams.
std::pair<int, QString> runCtl(const QProcessEnvironment& env, const QStringList& arguments)
{
    QProcess tool;
    tool.setProcessEnvironment(env);
    tool.start(TIMERS_CTL, arguments);
    return ctlResult(tool);
}

// When a line may be up: each answer that starts a countdown switches the device on for what it
// asks, in all (its pauses left out) within 30 ms; each Cancel, Esc, script Cancel, pause,
// SIGTERM or answer that leaves no countdown, given while a line is up, ends it within a bound
// (once the window's thread runs again, where it was held); no line goes up while paused but
// for a new answer. Times are the modem log's. With a relay board, the device is what the last
// frame written to the board said (see asRelay).
struct LineModel {
    struct Answer {
        double before, after, seconds; // seconds asked; 0 or less: nothing switched on
    };
    struct Stop {
        double before, until;
    };
    struct Span {
        double from, to;
    };
    std::vector<Answer> answers;
    std::vector<Stop> stops;
    std::vector<Span> stalls;
    std::vector<Span> pauses;             // from the pause's answer to the resume's call (open: to = 1e18)
    std::multimap<int, double> unplugged; // pts: when its adapter went away (its lines with it)
    QString relayOn, relayOff;            // a relay board's frames, in hex; empty: the line

    // The first way the lines of `pts` broke the model up to `now`, or an empty text.
    QString fault(const QStringList& written, int pts, double now) const
    {
        QStringList log = written;
        if (!relayOn.isEmpty()) {
            if (QString why = asRelay(log, pts); !why.isEmpty())
                return why;
        }
        std::vector<Span> on;
        double upSince = -1;
        for (qsizetype i = 0; i <= log.size(); ++i) {
            const QStringList field = i < log.size() ? log[i].split(' ') : QStringList{};
            const double at = i < log.size() ? field[0].toDouble() / 1e9 : now;
            const bool dtr = field.contains("dtr=1"), rts = field.contains("rts=1");
            if (i < log.size() && field[2] == "set" && dtr && rts)
                return QStringLiteral("both lines up at %1").arg(at, 0, 'f', 3);
            if (i < log.size() && field[2] == "open")
                continue; // raised by Linux as the port opens, dropped by the program at once
            const bool up = i < log.size() && (dtr || rts); // each record carries the lines' state
            if (up && upSince < 0)
                upSince = at;
            if (up || upSince < 0)
                continue;
            double down = at;
            for (auto [from, to] = unplugged.equal_range(pts); from != to; ++from) {
                if (from->second >= upSince)
                    down = std::min(down, from->second);
            }
            if (QString why = interval(upSince, down); !why.isEmpty())
                return why;
            on.push_back({upSince, down});
            upSince = -1;
        }
        return onTime(on);
    }

private:
    // Turns `log` into the board's relay: each record carries, as its RTS, what the last frame
    // left it at (a board latches: a close or the program's end leaves it so), off once its
    // adapter was unplugged. Bytes that are neither frame are a fault.
    QString asRelay(QStringList& log, int pts) const
    {
        bool relay = false;
        double last = 0;
        for (QString& record : log) {
            QStringList field = record.split(' ');
            const double at = field[0].toDouble() / 1e9;
            for (auto [from, to] = unplugged.equal_range(pts); from != to; ++from)
                relay = relay && !(from->second > last && from->second <= at);
            last = at;
            if (field[2] == "write") {
                const QString bytes = field.last().section('=', 1);
                if (bytes != relayOn && bytes != relayOff)
                    return QStringLiteral("bytes %1 written at %2, no frame of the board")
                        .arg(bytes)
                        .arg(at, 0, 'f', 3);
                relay = bytes == relayOn;
                field[2] = "set";
            }
            relay = relay && field[2] != "eio";
            record = QStringLiteral("%1 %2 %3 dtr=0 rts=%4").arg(field[0], field[1], field[2]).arg(relay ? 1 : 0);
        }
        return {};
    }
    QString interval(double up, double down) const
    {
        if (std::none_of(answers.begin(), answers.end(), [up](const Answer& a) { return a.before <= up; }))
            return QStringLiteral("a line up at %1 with no answer before it").arg(up, 0, 'f', 3);
        for (const Span& pause : pauses) {
            const bool answered = std::any_of(answers.begin(), answers.end(), [&](const Answer& a) {
                return a.before >= pause.from && a.before <= up;
            });
            if (up > pause.from && up < pause.to && !answered)
                return QStringLiteral("a line up at %1 while paused since %2")
                    .arg(up, 0, 'f', 3)
                    .arg(pause.from, 0, 'f', 3);
        }
        for (const Stop& stop : stops) {
            const auto stall = std::find_if(stalls.begin(), stalls.end(), [&](const Span& held) {
                return held.from <= stop.until && held.to >= stop.before;
            });
            const double until = stall != stalls.end() ? std::max(stop.until, stall->to + 0.2) : stop.until;
            if (stop.before >= up && stop.before <= down && down > until)
                return QStringLiteral("a line up until %1 after a stop at %2")
                    .arg(down, 0, 'f', 3)
                    .arg(stop.before, 0, 'f', 3);
        }
        return {};
    }
    // Each answer's device time: the line's time on from its switch-on (or, where the line was up
    // already, from once the answer was given) until the next answer, all pauses left out.
    QString onTime(const std::vector<Span>& on) const
    {
        for (std::size_t a = 0; a < answers.size(); ++a) {
            const double next = a + 1 < answers.size() ? answers[a + 1].before : 1e18;
            double total = 0;
            for (const Span& span : on) {
                const double from = std::max(span.from, span.from >= answers[a].before ? span.from : answers[a].after);
                const double to = std::min(span.to, next);
                if (span.to > answers[a].before && to > from)
                    total += to - from;
            }
            if (total > std::max(answers[a].seconds, 0.0) + 0.03)
                return QStringLiteral("the answer at %1 asked %2 s and the device was on for %3 s")
                    .arg(answers[a].before, 0, 'f', 3)
                    .arg(answers[a].seconds)
                    .arg(total, 0, 'f', 3);
        }
        return {};
    }
};

// Focuses the first window with this title, waited for; then clicks at (x, y) in it (layout
// pixels), if given.
bool focus(const QString& title, int x = -1, int y = -1)
{
    QByteArray ids;
    const QByteArray id = xdotool({"search", "--sync", "--onlyvisible", "--name", "^" + title + "$"}, &ids)
                            ? ids.split('\n').first()
                            : QByteArray();
    return !id.isEmpty() && xdotool({"windowfocus", "--sync", id})
        && (x < 0 || xdotool({"mousemove", "--window", id, QString::number(x), QString::number(y), "click", "1"}));
}

// Clicks at (x, y) in the window `title` until the window `opens` is shown. A click not handled
// within seconds is sent again, which only a click that cannot act twice allows: Set's opens the
// modal prompt, which holds the window back and whose entry field lies under that point; the
// ComPort menu's shows the one dialog, shown already or not.
bool clickToOpen(const QString& title, int x, int y, const QString& opens)
{
    for (int sent = 0; sent < 12; ++sent) { // a minute in all bounds a hang only
        if (!focus(title, x, y))
            return false;
        if (QTest::qWaitFor([&] { return shown(opens); }, 5000))
            return true;
    }
    return false;
}

// Set, as a user does it: the button, then the answer and Return in the prompt, once it is
// shown; handled once the prompt has gone.
bool set(const QString& answer)
{
    return clickToOpen("Timers", 85, 106, "Count Down Timer") && focus("Count Down Timer")
        && xdotool({"type", "--", answer}) && xdotool({"key", "Return"}) && showing("Count Down Timer", false);
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
    ~SessionBus()
    {
        daemon.kill();
        daemon.waitForFinished(60000); // bounds a hang only
    }
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;
};

// Settings that switch RTS of port 1 on, with the alarm.
const QByteArray kRtsOnPort1 = "[USB/COM port]\r\n1\r\n[COM On-Off]\r\nON\r\n"
                               "[COM output pin]\r\n7 - RTS\r\n[Use alarm]\r\nYes\r\n";

// A run of the program on a desktop of its own: a folder holding kRtsOnPort1, a pty as port 1
// and a private session bus, named in `env`. Bound by name: auto& [folder, ports, pts, bus, env].
struct OnItsOwnBus {
    QTemporaryDir folder;
    PtyPorts ports;
    int pts = ports.plugIn(0);
    SessionBus bus;
    QProcessEnvironment env = withBus(bus.address);

    bool ready() const
    {
        return pts >= 0 && !bus.address.isEmpty() && put(folder.filePath("Timer_Control.ini"), kRtsOnPort1);
    }
    // Gives the program a timers.conf of its own, in the folder.
    bool configure(const QByteArray& conf)
    {
        env.insert("XDG_CONFIG_HOME", folder.filePath("config"));
        return QDir().mkpath(folder.filePath("config/timers"))
            && put(folder.filePath("config/timers/timers.conf"), conf);
    }
    // Starts the program in the folder on the pty, with the line emulation and no sound server;
    // true once it answers timers-ctl status. `env` keeps what scripts need afterwards.
    bool start(QProcess& program)
    {
        env.insert("TIMERS_SERIAL_DIR", ports.folder());
        env.insert("PULSE_SERVER", "unix:/nonexistent");
        QProcessEnvironment withLines = env;
        withLines.insert("LD_PRELOAD", TIMERS_MODEM_LINES);
        program.setProcessEnvironment(withLines);
        program.setWorkingDirectory(folder.path());
        program.start(QStringLiteral(TIMERS_PROGRAM), {});
        return QTest::qWaitFor([&] { return runCtl(env, {"status"}).first == 0; }, 60000);
    }
    static QProcessEnvironment withBus(const QString& address)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DBUS_SESSION_BUS_ADDRESS", address);
        return env;
    }
};

// A method call through dbus-send on the session bus of `env`; its answer on one line.
QString busCall(const QProcessEnvironment& env, const QString& dest, const QString& path, const QString& method,
                const QStringList& arguments = {})
{
    QProcess tool;
    tool.setProcessEnvironment(env);
    tool.start("dbus-send", QStringList{"--session", "--print-reply", "--dest=" + dest, path, method} + arguments);
    tool.waitForFinished(60000); // bounds a hang only
    return QString::fromUtf8(tool.readAllStandardOutput() + tool.readAllStandardError()).simplified();
}

// The tray menu of the program `pid` (com.canonical.dbusmenu's GetLayout), on one line.
QString trayMenu(const QProcessEnvironment& env, qint64 pid)
{
    return busCall(env, QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(pid), "/MenuBar",
                   "com.canonical.dbusmenu.GetLayout", {"int32:0", "int32:-1", "array:string:"});
}

// An item of that menu that is enabled, labelled `label`: its id and label.
QRegularExpression enabledItem(const QString& label = "[^\"]*")
{
    return QRegularExpression("int32 (\\d+) array \\[ (?:dict entry\\( string \"enabled\" variant boolean true \\) )?"
                              "dict entry\\( string \"label\" variant string \"("
                              + label + ")\"");
}

// Clicks the item `label` of that menu, as a tray host does; false when the menu has none enabled.
bool trayClick(const QProcessEnvironment& env, qint64 pid, const QString& label)
{
    const auto found = enabledItem(QRegularExpression::escape(label)).match(trayMenu(env, pid));
    return found.hasMatch()
        && busCall(env, QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(pid), "/MenuBar",
                   "com.canonical.dbusmenu.Event",
                   {"int32:" + found.captured(1), "string:clicked", "variant:string:", "uint32:0"})
               .startsWith("method return");
}

// The seconds a countdown has left by its `status` ("01:04 running": 64).
int secondsLeft(const QString& status)
{
    return status.section(':', 0, 0).toInt() * 60 + status.section(':', 1).section(' ', 0, 0).toInt();
}

// The script's wait, for a countdown that `status` ("00:04 running") says ends within 6 s.
template <typename Ctl> QString waitForAShortEnd(const QString& status, const Ctl& ctl)
{
    return status.contains("running") && secondsLeft(status) <= 6
             ? QStringLiteral("script wait: %1").arg(ctl({"wait"}).first)
             : "no wait";
}

// Holds the window's thread of the program `pid` for `ms` while its other threads run on (the line
// emulation's stall, with TIMERS_STALL_SIGNAL set), as a debugger or a slow call would.
bool stallWindowThread(qint64 pid, int ms)
{
    siginfo_t info{};
    info.si_signo = SIGUSR2;
    info.si_code = SI_QUEUE;
    info.si_pid = ::getpid();
    info.si_uid = ::getuid();
    info.si_value.sival_int = ms;
    return ::syscall(SYS_rt_tgsigqueueinfo, pid_t(pid), pid_t(pid), SIGUSR2, &info) == 0;
}

// The countdown's Finished signals on the bus of `env`, as a script's wait hears them: "done" or
// "cancelled", in order; and the scripts' reads of the countdown's state.
struct FinishedSignals {
    QProcess monitor;
    QByteArray heard;
    explicit FinishedSignals(const QProcessEnvironment& env)
    {
        monitor.setProcessEnvironment(env);
        // Line-buffered: ended by a signal, it would lose what it holds.
        monitor.start("stdbuf", {"-oL", "dbus-monitor", "interface='org.vorn.Timers',member='Finished'",
                                 "type='method_call',path='/org/vorn/Timers',member='GetAll'",
                                 "type='method_call',interface='org.freedesktop.DBus',member='GetId'"});
    }
    // True once it has heard all that the bus carried before now: a call to the bus itself, sent
    // now, comes to it after that.
    bool caughtUp(const QProcessEnvironment& env)
    {
        const qsizetype calls = (heard += monitor.readAllStandardOutput()).count("member=GetId");
        busCall(env, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus.GetId");
        return QTest::qWaitFor([&] { return (heard += monitor.readAllStandardOutput()).count("member=GetId") > calls; },
                               60000);
    }
    qsizetype stateReads()
    {
        heard += monitor.readAllStandardOutput();
        return heard.count("member=GetAll");
    }
    // Once it listens (it has given up its own name), a program may start.
    bool listening()
    {
        return QTest::qWaitFor(
            [this] { return (heard += monitor.readAllStandardOutput()).contains("member=NameLost"); }, 60000);
    }
    QStringList ends()
    {
        heard += monitor.readAllStandardOutput();
        QStringList said;
        for (const QByteArray& line : heard.split('\n')) {
            if (line.trimmed().startsWith("boolean "))
                said << (line.trimmed() == "boolean true" ? "cancelled" : "done");
        }
        return said;
    }
    ~FinishedSignals()
    {
        monitor.kill();
        monitor.waitForFinished(60000);
    }
    FinishedSignals(const FinishedSignals&) = delete;
    FinishedSignals& operator=(const FinishedSignals&) = delete;
};

// `timers-ctl wait`, returned once its read of the state, sent after it listens, is on its way to
// the program: a countdown's end that comes after that is the one it tells, however slowly it
// started. The countdown must outlast that start; ctlResult() then gives what it told. Null when
// it never read the state.
std::unique_ptr<QProcess> startWait(const QProcessEnvironment& env, FinishedSignals& bus)
{
    const qsizetype readsBefore = bus.stateReads();
    auto tool = std::make_unique<QProcess>();
    tool->setProcessEnvironment(env);
    tool->start(TIMERS_CTL, {"wait"});
    if (!QTest::qWaitFor([&] { return bus.stateReads() > readsBefore; }, 60000)) // bounds a hang only
        tool.reset();
    return tool;
}

// Fails the test from a helper that returns a count.
#define QVERIFY_RETURN(condition)                                                                                      \
    do {                                                                                                               \
        if (!QTest::qVerify(static_cast<bool>(condition), #condition, "", __FILE__, __LINE__))                         \
            return 0;                                                                                                  \
    } while (false)

// One random sequence against the program (see randomSequencesKeepTheDeviceSafe); returns the
// number of events, or fails the test.
int randomSequence(quint32 seed)
{
    std::mt19937 draw(seed);
    const auto chance = [&draw](int in) { return int(draw() % unsigned(in)); };
    // The seconds an answer asks for at the prompt and from a script; kInvalid: it starts
    // nothing and leaves what runs (out of range, or not a duration for timers-ctl).
    constexpr double kInvalid = -1e9;
    struct Answer {
        const char* text;
        double prompt, script;
        // A recent answer in the tray: a duration where it is one, else as the prompt read it.
        double tray() const { return script != kInvalid ? script : prompt; }
    };
    static const Answer kAnswers[] = {{"1", 1, 1},
                                      {"2", 2, 2},
                                      {"3", 3, 3},
                                      {"5", 5, 5},
                                      {"30", 30, 30},
                                      {"600", 600, 600},
                                      {"-5", -5, kInvalid},
                                      {"0", 0, 0},
                                      {"abc", 0, kInvalid},
                                      {"00", 0, 0},
                                      {"   ", 0, kInvalid},
                                      {"1e99", kInvalid, kInvalid},
                                      {"99999999999", kInvalid, kInvalid},
                                      {"0.7", 1, 0.7},
                                      {"2.5", 2, 2.5},
                                      {"1:05", 65, 65}};
    // Events by weight (see the cases below); while a box waits, only those that reach the
    // program past it.
    static constexpr std::array kEvents{0,  0,  0,  0,  0,  1,  1,  2,  3,  4,  5,  6,  7,  8,  9,  9,  10, 11, 11,
                                        12, 12, 13, 15, 15, 16, 16, 17, 17, 18, 18, 19, 19, 20, 20, 21, 21, 21};
    static constexpr std::array kPastABox{0, 0, 0, 0, 4, 5, 5, 8, 9, 9, 10, 12, 13, 14, 14, 14, 18, 19, 21};
    // The recent answers at start, newest first: ten, as many as are kept (a longer file is
    // not the program's, and it leaves it unread).
    static constexpr std::array kInTray{0, 1, 2, 3, 5, 6, 7, 11, 13, 14};
    QTemporaryDir folder;
    PtyPorts ports;
    SessionBus bus;
    QList<int> pts{ports.plugIn(0)};
    const bool alarm = chance(3) == 0; // unchecked, as at a first run, ends in a box
    // The device: the line, a relay board's channel or a board with frames of its own; and a
    // foot switch on CTS, or none. TIMERS_RANDOM_OUTPUT=line|relay chooses the first.
    const QByteArray forced = qgetenv("TIMERS_RANDOM_OUTPUT");
    const int output = forced == "line" ? 0 : forced == "relay" ? 1 + chance(2) : chance(3);
    const int channel = 1 + chance(8);
    const bool pedal = chance(3) != 0;
    LineModel model;
    QByteArray conf;
    if (output == 1) {
        conf = "[Output]\nkind=relay\nchannel=" + QByteArray::number(channel) + "\n";
        model.relayOn = QStringLiteral("a0%1%2").arg(channel, 2, 16, QLatin1Char('0')).arg("01");
        model.relayOn += QStringLiteral("%1").arg(0xa1 + channel, 2, 16, QLatin1Char('0'));
        model.relayOff = QStringLiteral("a0%1%2").arg(channel, 2, 16, QLatin1Char('0')).arg("00");
        model.relayOff += QStringLiteral("%1").arg(0xa0 + channel, 2, 16, QLatin1Char('0'));
    } else if (output == 2) {
        conf = "[Output]\nkind=relay\non=AA 01\noff=BB:02\n";
        model.relayOn = "aa01";
        model.relayOff = "bb02";
    }
    if (pedal)
        conf += "[Input]\npin=CTS\nuse=startstop\n";
    const QByteArray settings = "[USB/COM port]\r\n1\r\n[COM On-Off]\r\nON\r\n[COM output pin]\r\n"
                              + QByteArray(chance(2) ? "7 - RTS" : "4 - DTR") + "\r\n[Use alarm]\r\n"
                              + (alarm ? "Yes" : "No") + "\r\n";
    QByteArray recent;
    for (const int answer : kInTray)
        recent += QByteArray(kAnswers[answer].text) + '\n';
    if (pts[0] < 0 || bus.address.isEmpty() || !put(folder.filePath("Timer_Control.ini"), settings)
        || !QDir(folder.path()).mkpath("state/timers") || !put(folder.filePath("state/timers/recent"), recent)
        || !QDir(folder.path()).mkpath("config/timers") || !put(folder.filePath("config/timers/timers.conf"), conf))
        return QTest::qFail("no pty, bus or folder", __FILE__, __LINE__), 0;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DBUS_SESSION_BUS_ADDRESS", bus.address);
    env.insert("XDG_STATE_HOME", folder.filePath("state"));
    env.insert("XDG_CONFIG_HOME", folder.filePath("config"));
    QProcess tray; // a tray's watcher: the program offers its menu
    tray.setProcessEnvironment(env);
    tray.start(TIMERS_FAKE_DESKTOP, {"watcher"});
    QByteArray traySaid;
    if (!QTest::qWaitFor([&] { return (traySaid += tray.readAllStandardOutput()).contains("ready"); }, 60000))
        return QTest::qFail("no tray watcher", __FILE__, __LINE__), 0;
    FinishedSignals finished(env); // what a script's wait hears
    if (!finished.listening())
        return QTest::qFail("no bus monitor", __FILE__, __LINE__), 0;
    env.insert("TIMERS_SERIAL_DIR", ports.folder());
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("PULSE_SERVER", "unix:/nonexistent");
    QProcess program;
    env.insert("LD_PRELOAD", TIMERS_MODEM_LINES);
    env.insert("TIMERS_STALL_SIGNAL", "1");
    program.setProcessEnvironment(env);
    env.remove("LD_PRELOAD");
    env.remove("TIMERS_STALL_SIGNAL");
    program.setWorkingDirectory(folder.path());
    program.start(QStringLiteral(TIMERS_PROGRAM), {});
    const auto ctl = [&env](const QStringList& arguments) { return runCtl(env, arguments); };
    if (!QTest::qWaitFor([&] { return ctl({"status"}).first == 0; }, 60000))
        return QTest::qFail("the program did not offer its interface", __FILE__, __LINE__), 0;

    QStringList steps;
    double newest = kAnswers[kInTray[0]].tray(); // the foot switch's answer: the newest that started
    const auto given = [&](double seconds, double before, double after, const QString& reply, double tray) {
        // Refused by timers-ctl ("-5", "abc": not a duration) or while the prompt or a box is open.
        if (seconds == kInvalid || reply.contains("is open") || reply.contains("not a duration"))
            return;
        if (seconds == 0) // leaves no countdown running: a stop, whatever is set next
            return model.stops.push_back({before, after + 0.2});
        model.answers.push_back({before, after, seconds});
        newest = tray;
    };
    // A pause asked for and done: the line is down before it is answered.
    const auto paused = [&](double before) {
        const double after = monotonicSeconds();
        model.stops.push_back({before, after + 0.05});
        model.pauses.push_back({after, 1e18});
    };
    const auto resumed = [&](double before) {
        if (!model.pauses.empty())
            model.pauses.back().to = std::min(model.pauses.back().to, before);
    };
    // The device is on: the line raised last, or the board's last frame the on frame.
    const auto deviceOn = [&](int pty) {
        const QStringList changes = ports.events(pty).filter(model.relayOn.isEmpty() ? "set " : "write ");
        return !changes.isEmpty()
            && (model.relayOn.isEmpty() ? raised(changes.last()) : changes.last().endsWith("=" + model.relayOn));
    };
    // The foot switch's watcher has waited on its pin `waits` times and more (see wait in
    // modem_lines): it took the change before.
    const auto watcherWaits = [&](int pty, qsizetype waits) {
        return QTest::qWaitFor([&] { return ports.events(pty).filter("wait ").size() > waits; }, 60000);
    };
    double lastPress = 0;
    qsizetype watchedFrom = 0; // the watcher's waits on the adapter's pty before it was plugged in
    bool offTyped = false;     // the on/off field may say OFF: a countdown switches nothing
    bool ended = false;
    // The device of every adapter so far against the model, now; false, the test failed, if not.
    const auto followsTheModel = [&] {
        for (const int each : pts) {
            const QStringList log = each < 0 ? QStringList() : ports.log(each);
            const QString why = model.fault(log.filter(QRegularExpression(" (set|close|hangup|open|eio|fail|write) ")),
                                            each, ended ? 1e18 : monotonicSeconds());
            if (each >= 0 && !why.isEmpty()) {
                QTest::qFail(qPrintable(QStringLiteral("seed %1: %2 after:\n%3\nlines:\n%4")
                                            .arg(seed)
                                            .arg(why, steps.join('\n'), log.join('\n'))),
                             __FILE__, __LINE__);
                return false;
            }
        }
        return true;
    };
    int event = 0;
    for (; event < 14 && !ended; ++event) {
        const bool box = shown(" Timer") || shown("Vorn Timers");
        const int kind = box ? kPastABox[chance(kPastABox.size())] : kEvents[chance(kEvents.size())];
        const double before = monotonicSeconds();
        QString step;
        switch (kind) {
        case 0:    // the script's Set
        case 14:   // the same while a box waits, the box closed right after, and the end waited for
        case 15: { // two of the script's Sets in a row
            for (int set = 0; set < (kind == 15 ? 2 : 1); ++set) {
                // While a box waits, a short countdown: its end is waited for below.
                const Answer& answer = kAnswers[chance(kind == 14 ? 4 : int(std::size(kAnswers)))];
                const double asked = monotonicSeconds();
                const auto [status, said] = ctl({"set", answer.text});
                given(answer.script, asked, monotonicSeconds(), said, answer.tray());
                step += QStringLiteral("script set '%1': %2 %3 ").arg(answer.text).arg(status).arg(said.simplified());
            }
            if (const QString title = shown(" Timer") ? " Timer" : "Vorn Timers"; kind == 14 && shown(title)) {
                focus(title) && xdotool({"key", "Return"});
                const QString now = ctl({"status"}).second;
                step += "box closed, " + waitForAShortEnd(now, ctl);
            }
            break;
        }
        case 1: { // Set, the prompt answered
            const Answer& answer = kAnswers[chance(std::size(kAnswers))];
            step = QStringLiteral("prompt set '%1'").arg(answer.text);
            // A box over the prompt would take what is typed: not while one may come (a Cancel's
            // at the tick after it, a completion's as its countdown ends).
            if (!model.stops.empty())
                QTest::qWait(std::max(0, int((model.stops.back().before + 1.5 - monotonicSeconds()) * 1000)));
            if (const QString status = ctl({"status"}).second;
                (status.contains("running") && secondsLeft(status) <= 6) || shown(" Timer") || shown("Vorn Timers")) {
                step += " (not now: a box may come)";
                break;
            }
            if (!focus("Timers", 85, 106) || !QTest::qWaitFor([] { return shown("Count Down Timer"); }, 5000)) {
                step += " (no prompt)";
                break;
            }
            // Taken once the prompt has gone: the answer's time runs from then at the latest.
            if (!(focus("Count Down Timer") && xdotool({"type", "--", answer.text}) && xdotool({"key", "Return"})
                  && showing("Count Down Timer", false)))
                return QTest::qFail(
                           qPrintable(QStringLiteral("seed %1: the prompt stayed after:\n%2\n%3; %4")
                                          .arg(seed)
                                          .arg(steps.join('\n') + '\n' + step, windowsShown(), ctl({"status"}).second)),
                           __FILE__, __LINE__),
                       0;
            given(answer.prompt, before, monotonicSeconds(), {}, answer.tray());
            break;
        }
        case 2: // Cancel
        case 3: // Esc
            QVERIFY_RETURN(kind == 2 ? focus("Timers", 164, 106) : focus("Timers") && xdotool({"key", "Escape"}));
            model.stops.push_back({before, monotonicSeconds() + 0.2});
            step = kind == 2 ? "Cancel" : "Esc";
            break;
        case 4: { // the script's Cancel: the line is off before it is answered
            const int status = ctl({"cancel"}).first;
            model.stops.push_back({before, monotonicSeconds() + 0.05});
            step = QStringLiteral("script cancel: %1").arg(status);
            break;
        }
        case 5: // the box closed
            step = "box closed";
            if (const QString title = shown(" Timer") ? " Timer" : "Vorn Timers"; shown(title))
                focus(title) && xdotool({"key", "Return"});
            break;
        case 6: // the on/off or the pin field edited, then Done
        case 7: {
            const QStringList texts = kind == 6 ? QStringList{"ON", "on", "ON", "OFF"}
                                                : QStringList{"4 - DTR", "7 - RTS"};
            const QString text = texts[chance(int(texts.size()))];
            offTyped = offTyped || text == "OFF";
            step = QStringLiteral("%1 typed").arg(text);
            if (!focus("Timers", 71, 9) || !QTest::qWaitFor([] { return shown("COM port"); }, 5000))
                break;
            focus("COM port", kind == 6 ? 144 : 148, kind == 6 ? 47 : 72) && xdotool({"key", "ctrl+a"})
                && xdotool({"type", "--", text}) && focus("COM port", 99, 98);
            break;
        }
        case 8: // the adapter unplugged, or plugged in again
            if (pts.last() < 0) {
                pts.last() = ports.plugIn(0); // the pts number may be the old one's again
                watchedFrom = ports.events(pts.last()).filter("wait ").size();
                step = "plugged in";
            } else {
                ports.unplug(0);
                model.unplugged.insert({pts.last(), monotonicSeconds()});
                pts << -1;
                step = "unplugged";
            }
            break;
        case 9: // time passes
            QTest::qWait(300 + chance(1500));
            step = "waited";
            break;
        case 11: // a script waits for the end of a short countdown (a completion box may follow)
            step = waitForAShortEnd(ctl({"status"}).second, ctl);
            break;
        case 16: { // a script sets a short countdown and waits for its end
            const Answer& answer = kAnswers[chance(3)];
            const auto [status, said] = ctl({"set", answer.text});
            given(answer.script, before, monotonicSeconds(), said, answer.tray());
            step = QStringLiteral("script set '%1': %2, %3")
                       .arg(answer.text)
                       .arg(status)
                       .arg(waitForAShortEnd(ctl({"status"}).second, ctl));
            break;
        }
        case 12: { // an answer in the tray's menu
            const Answer& answer = kAnswers[kInTray[chance(kInTray.size())]];
            const double length = answer.tray();
            const int whole = int(length), hundredths = qRound((length - whole) * 100);
            const QString label = QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'))
                                + (hundredths != 0 ? "." + QString::number(hundredths).remove(QRegularExpression("0$"))
                                                   : QString());
            const bool clicked = length > 0 && trayClick(env, program.processId(), label);
            if (clicked && !box) // while a box waits, the tray's answers are refused
                given(length, before, monotonicSeconds(), {}, length);
            step = QStringLiteral("tray '%1'%2").arg(answer.text, clicked ? "" : " (not in the menu)");
            break;
        }
        case 13: // the tray's Cancel, there while the button is enabled: the line is off before it is answered
            if (trayClick(env, program.processId(), "Cancel")) {
                model.stops.push_back({before, monotonicSeconds() + 0.05});
                step = "tray Cancel";
            } else {
                step = "tray (no Cancel)";
            }
            break;
        case 17: { // a script's short countdown, the window's thread held past its end, maybe a Set meanwhile
            const Answer& answer = kAnswers[chance(3)];
            const auto [status, said] = ctl({"set", answer.text});
            given(answer.script, before, monotonicSeconds(), said, answer.tray());
            step = QStringLiteral("script set '%1': %2, window held").arg(answer.text).arg(status);
            if (status != 0)
                break;
            const int heldMs = int(answer.script + 3) * 1000;
            const double heldFrom = monotonicSeconds();
            QVERIFY_RETURN(stallWindowThread(program.processId(), heldMs));
            model.stalls.push_back({heldFrom, heldFrom + heldMs / 1000.0 + 0.5});
            // The ends the program sent before it took the Set (a Cancel's, at the tick before);
            // the held thread sends none.
            QVERIFY_RETURN(finished.caughtUp(env));
            const qsizetype endsBefore = finished.ends().size();
            QProcess setAgain; // queued behind the held thread
            setAgain.setProcessEnvironment(env);
            const bool meanwhile = chance(2) == 0;
            if (meanwhile)
                setAgain.start(TIMERS_CTL, {"set", "30"});
            QTest::qWait(heldMs);
            bool started = false;
            if (meanwhile) {
                // It may have ended within the wait: then waitForFinished has nothing to wait for.
                if (setAgain.state() != QProcess::NotRunning && !setAgain.waitForFinished(60000)) // bounds a hang only
                    return QTest::qFail(
                               qPrintable(QStringLiteral("seed %1: the Set sent meanwhile did not end (%2) "
                                                         "after:\n%3\n%4\nthe program said: %5")
                                              .arg(seed)
                                              .arg(setAgain.state() == QProcess::Running ? "still running"
                                                                                         : setAgain.errorString())
                                              .arg(steps.join('\n') + '\n' + step,
                                                   QString::fromLocal8Bit(setAgain.readAllStandardError()),
                                                   QString::fromLocal8Bit(program.readAllStandardError()))),
                               __FILE__, __LINE__),
                           0;
                given(30, heldFrom, monotonicSeconds(), setAgain.readAllStandardError(), 30);
                started = setAgain.exitCode() == 0;
                step += QStringLiteral(", script set '30' meanwhile: %1").arg(setAgain.exitCode());
            }
            if (started) {
                // An older deadline's notice does not end the newer countdown.
                QTest::qWait(1000);
                if (pts.last() >= 0 && !offTyped && !deviceOn(pts.last()))
                    return QTest::qFail(
                               qPrintable(QStringLiteral("seed %1: the newer countdown's device is off after:\n%2\n%3")
                                              .arg(seed)
                                              .arg(steps.join('\n') + '\n' + step, ports.log(pts.last()).join('\n'))),
                               __FILE__, __LINE__),
                           0;
            } else { // it may have ended before it was held
                QVERIFY_RETURN(QTest::qWaitFor([&] { return ctl({"status"}).second.contains("stopped"); }, 60000));
            }
            // Whatever ended meanwhile ran out: nothing was cancelled.
            QVERIFY_RETURN(finished.caughtUp(env) && !finished.ends().mid(endsBefore).contains("cancelled"));
            break;
        }
        case 18: { // the script's pause or resume
        case 19:
            const auto [status, said] = ctl({kind == 18 ? "pause" : "resume"});
            if (status == 0)
                kind == 18 ? paused(before) : resumed(before);
            step = QStringLiteral("script %1: %2 %3")
                       .arg(kind == 18 ? "pause" : "resume")
                       .arg(status)
                       .arg(said.simplified());
            break;
        }
        case 20: // the tray's Pause or Resume, whichever it offers
            if (trayClick(env, program.processId(), "Pause")) {
                if (!box) // refused while a box waits
                    paused(before);
                step = "tray Pause";
            } else if (trayClick(env, program.processId(), "Resume")) {
                if (!box)
                    resumed(before);
                step = "tray Resume";
            } else {
                step = "tray (no Pause or Resume)";
            }
            break;
        case 21: { // the foot switch pressed and let go, over a second after the last press
            if (!pedal || pts.last() < 0) {
                step = "no foot switch";
                break;
            }
            QTest::qWait(std::max(0, int((lastPress + 1.2 - monotonicSeconds()) * 1000)));
            const QString status = ctl({"status"}).second;
            const int left = secondsLeft(status);
            QVERIFY_RETURN(watcherWaits(pts.last(), watchedFrom)); // an adapter plugged in again is watched again
            const qsizetype waits = ports.events(pts.last()).filter("wait ").size();
            const double pressed = monotonicSeconds();
            QVERIFY_RETURN(ports.setInputs(pts.last(), u"cts=1") > 0 && watcherWaits(pts.last(), waits)
                           && ports.setInputs(pts.last(), u"cts=0") > 0 && watcherWaits(pts.last(), waits + 1));
            lastPress = pressed;
            // The newest answer, as the recent answers hold it (written off the window's thread:
            // where it may lag, the one the model took last too).
            const QString kept = QString::fromUtf8(
                contents(folder.filePath("state/timers/recent")).split('\n').first());
            const auto known = std::find_if(std::begin(kAnswers), std::end(kAnswers),
                                            [&](const Answer& each) { return kept == each.text; });
            const double length = std::max(newest, known != std::end(kAnswers) ? known->tray() : newest);
            const bool running = status.contains("running") || status.contains("paused");
            if (box) { // a press while a box waits only says why
                step = "foot switch (a box waits)";
            } else {
                if (running) // cancelled, unless it ran out first
                    model.stops.push_back({pressed, monotonicSeconds() + 0.2});
                if (!running || left < 2)
                    model.answers.push_back({pressed, monotonicSeconds() + 0.2, length});
                step = QStringLiteral("foot switch, %1 ('%2' newest)").arg(status.simplified(), kept);
            }
            break;
        }
        case 10: // SIGTERM
            if (event < 8)
                break;
            ::kill(pid_t(program.processId()), SIGTERM);
            QVERIFY_RETURN(program.waitForFinished(60000) && program.exitCode() == 0);
            model.stops.push_back({before, before + 0.2});
            ended = true;
            step = "SIGTERM";
            break;
        }
        steps << QStringLiteral("%1 %2").arg(before, 0, 'f', 3).arg(step);
        if (!followsTheModel())
            return 0;
    }
    if (!ended) { // the exit, checked as any end
        const double before = monotonicSeconds();
        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY_RETURN(program.waitForFinished(60000));
        model.stops.push_back({before, before + 0.2});
        steps << QStringLiteral("%1 SIGTERM at the end").arg(before, 0, 'f', 3);
        ended = true;
        if (!followsTheModel())
            return 0;
    }
    if (qEnvironmentVariableIsSet("TIMERS_RANDOM_VERBOSE"))
        qInfo("seed %u:\n%s", seed, qPrintable(steps.join('\n')));
    return event;
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

    // The device is on for the countdown whatever happens meanwhile: a clock change (the
    // countdown's end does not move), Ctrl-Z from the terminal (ignored), a pin changed
    // between two Sets (the other line is never up with the selected one).
    void deviceFollowsTheCountdown_data()
    {
        QTest::addColumn<QString>("event"); // dst-end, dst-start, step-back, suspend, ctrl-z, pin
        QTest::addColumn<int>("seconds");
        QTest::newRow("daylight saving ends (clocks back an hour)") << "dst-end" << 8;
        QTest::newRow("daylight saving starts (clocks forward an hour)") << "dst-start" << 8;
        QTest::newRow("the clock set back 0.3 s") << "step-back" << 5;
        QTest::newRow("a 3 s suspend: the countdown ends 3 s sooner") << "suspend" << 8;
        QTest::newRow("Ctrl-Z in the terminal") << "ctrl-z" << 3;
        QTest::newRow("the pin changed, then Set again") << "pin" << 2;
        QTest::newRow("a session bus that accepts but never answers") << "bus-stopped" << 2;
        QTest::newRow("a system bus that accepts but never answers") << "system-bus-stopped" << 2;
        QTest::newRow("a disk that takes 4 s to sync the recent answers") << "slow-disk" << 2;
    }
    void deviceFollowsTheCountdown()
    {
        QFETCH(QString, event);
        QFETCH(int, seconds);
        QVERIFY2(!display().isEmpty(), "Xvfb did not start");
        QTemporaryDir folder;
        QVERIFY(put(folder.filePath("Timer_Control.ini"), kRtsOnPort1));
        PtyPorts ports;
        const int pts = ports.plugIn(0);
        QVERIFY(pts >= 0);
        constexpr int kHangMs = 60000; // bounds a hang only
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TIMERS_SERIAL_DIR", ports.folder());
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("LD_PRELOAD",
                   event == "slow-disk" ? TIMERS_MODEM_LINES " " TIMERS_SETTINGS_FAULTS : TIMERS_MODEM_LINES);
        env.insert("PULSE_SERVER", "unix:/nonexistent");
        if (event == "slow-disk") {
            env.insert("TIMERS_SLOW_SYNC_MS", "4000");
            env.insert("XDG_STATE_HOME", folder.filePath("state")); // the answer is kept there
        }
        if (event == "step-back")
            env.insert("TIMERS_CLOCK_STEP_MS", "-300");
        const int suspendedS = event == "suspend" ? 3 : 0; // time that passed while the machine slept
        if (suspendedS > 0)
            env.insert("TIMERS_SUSPEND_MS", QString::number(suspendedS * 1000));
        std::optional<SessionBus> bus; // stopped once it listens: connections are accepted, nothing answers
        if (event.endsWith("bus-stopped")) {
            QVERIFY(!bus.emplace().address.isEmpty());
            env.insert(event == "bus-stopped" ? "DBUS_SESSION_BUS_ADDRESS" : "DBUS_SYSTEM_BUS_ADDRESS", bus->address);
            ::kill(pid_t(bus->daemon.processId()), SIGSTOP);
        }
        QProcess program;
        program.setWorkingDirectory(folder.path());
        // A process group of its own, whose parent (the test) is in the same session: the group
        // is not orphaned, so the kernel delivers a stop signal to it even when the test's own
        // group is (under a runner whose shell has ended).
        program.setChildProcessModifier([] { ::setpgid(0, 0); });
        const auto lineOn = [&] {
            const QStringList changes = ports.events(pts).filter("set ");
            return !changes.isEmpty() && raised(changes.last());
        };
        const auto failed = [&](const QString& step) {
            return QStringLiteral("%1; %2; the program said: %3; the lines:\n%4")
                .arg(step, windowsShown(), QString::fromLocal8Bit(program.readAllStandardError()),
                     ports.log(pts).join('\n'))
                .toLocal8Bit();
        };
        // A clock row's change comes `seconds` - 2 after the start, within a countdown that long set
        // before it; a program slower to get to its Set runs again, with the change twice as far.
        const bool clockRow = event.startsWith("dst") || event == "step-back";
        for (int changeAfterS = seconds - 2;; changeAfterS *= 2) {
            const double changeAt = monotonicSeconds() + changeAfterS;
            if (event.startsWith("dst"))
                env.insert("TZ", zoneChangingIn(changeAfterS, event.mid(4)));
            if (event == "step-back")
                env.insert("TIMERS_CLOCK_STEP_AT_MS", QString::number(changeAfterS * 1000));
            seconds = clockRow ? changeAfterS + 2 : seconds;
            program.setProcessEnvironment(env);
            program.start(QStringLiteral(TIMERS_PROGRAM), {});
            QVERIFY(program.waitForStarted());
            if (event == "pin") {
                if (!set("30") || !QTest::qWaitFor(lineOn, kHangMs))
                    QFAIL(failed("the first Set raised no line").constData());
                // ComPort, the pin field, then Done.
                if (!clickToOpen("Timers", 71, 9, "COM port") || !focus("COM port", 148, 72)
                    || !xdotool({"key", "ctrl+a"}) || !xdotool({"type", "4 - DTR"}) || !focus("COM port", 99, 98)
                    || !showing("COM port", false))
                    QFAIL(failed("the pin was not changed").constData());
            }
            if (!set(QString::number(seconds)) || !QTest::qWaitFor(lineOn, kHangMs))
                QFAIL(failed("Set raised no line").constData());
            const double raisedAt = ports.log(pts).filter(" set ").last().section(' ', 0, 0).toDouble() / 1e9;
            if (!clockRow || raisedAt < changeAt)
                break;
            qInfo("the change came %d s after the start, before the line rose; again, twice as far out", changeAfterS);
            ::kill(pid_t(program.processId()), SIGTERM);
            QVERIFY(program.waitForFinished(kHangMs) && changeAfterS < 100); // the latter bounds a hang only
        }
        QProcess control; // in the program's group, stopped by the same Ctrl-Z: it did arrive
        control.setChildProcessModifier([group = pid_t(program.processId())] { ::setpgid(0, group); });
        const auto endControl = qScopeGuard([&control] {
            control.kill();
            control.waitForFinished();
        });
        if (event == "ctrl-z") {
            control.start("sleep", {"600"});
            QVERIFY(control.waitForStarted());
            QCOMPARE(::kill(-pid_t(program.processId()), SIGTSTP), 0); // to the group, as the terminal does
            QVERIFY2(QTest::qWaitFor([&control] { return stopped(control.processId()); }, kHangMs),
                     "Ctrl-Z stopped nothing");
        }
        const bool offInTime = QTest::qWaitFor([&] { return !lineOn(); }, (seconds + 10) * 1000);
        ::kill(pid_t(program.processId()), SIGCONT); // had it stopped, it could not switch off
        QVERIFY2(offInTime, qPrintable(ports.log(pts).join('\n')));
        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(kHangMs));
        QCOMPARE(program.exitCode(), 0);
        if (event.endsWith("bus-stopped"))
            QVERIFY(program.readAllStandardError().contains(
                event == "bus-stopped" ? "the session bus accepts connections but does not answer"
                                       : "the system bus accepts connections but does not answer"));

        // Never both lines up; the last line on for exactly the n seconds asked (less the time
        // slept: the countdown's clock counts a suspend).
        const QStringList log = ports.log(pts).filter(" set ");
        QVERIFY2(log.filter("dtr=1 rts=1").isEmpty(), qPrintable(log.join('\n')));
        const double held = lastHeld(log);
        QVERIFY2(qAbs(held - (seconds - suspendedS)) <= 0.03, qPrintable(log.join('\n')));
        const auto lastRaised = std::find_if(log.crbegin(), log.crend(), raised);
        QCOMPARE(lastRaised != log.crend() && lastRaised->contains("dtr=1"), event == "pin");
    }

    // Scripts drive the countdown with timers-ctl over a private session bus; the taskbar
    // entry's progress is read off the bus.
    void scriptsDriveTheCountdown()
    {
        OnItsOwnBus run;
        QVERIFY(run.ready());
        auto& [folder, ports, pts, bus, env] = run;
        env.insert("XDG_STATE_HOME", folder.filePath("state")); // the record of its runs
        QProcess monitor;
        monitor.setProcessEnvironment(env);
        // Line-buffered: ended by a signal, it would lose what it holds.
        monitor.start("stdbuf", {"-oL", "dbus-monitor", "interface='com.canonical.Unity.LauncherEntry'",
                                 "member='PropertiesChanged',path='/org/vorn/Timers'"});
        // It watches once it has given up its own name: only then does the program start.
        QByteArray monitored;
        QVERIFY(QTest::qWaitFor(
            [&] { return (monitored += monitor.readAllStandardOutput()).contains("member=NameLost"); }, 60000));
        FinishedSignals finished(env);
        QVERIFY(finished.listening());
        const auto ctl = [&env](const QStringList& arguments) { return runCtl(env, arguments); };
        QProcess program;
        QVERIFY(run.start(program));
        // No image format plugin was loaded for the window (its icons are PNG, its arrows drawn).
        QVERIFY(!contents(QStringLiteral("/proc/%1/maps").arg(program.processId())).contains("/imageformats/"));
        QTemporaryDir otherFolder; // with settings of its own (in the same folder, see windowComesToTheFront)
        QProcess second;           // finds the name taken, says so once and runs on
        second.setProcessEnvironment(program.processEnvironment());
        second.setWorkingDirectory(otherFolder.path());
        second.start(QStringLiteral(TIMERS_PROGRAM), {});
        QByteArray secondSaid;
        QVERIFY(QTest::qWaitFor(
            [&] { return (secondSaid += second.readAllStandardError()).contains("no script interface"); }, 60000));
        QVERIFY(second.state() == QProcess::Running);
        // Not queued for the name either: once the first ends, no script finds one without it.
        const QString queued = busCall(env, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                       "org.freedesktop.DBus.ListQueuedOwners", {"string:org.vorn.Timers"});
        QVERIFY2(queued.count("string \"") == 1, qPrintable(queued));
        second.terminate();
        QVERIFY(second.waitForFinished(60000) && second.exitCode() == 0);

        const auto [refused, why] = ctl({"set", "99999999999"}); // the reason, and no box to wait for
        QCOMPARE(refused, 1);
        QVERIFY2(why.contains("99999999999") && why.contains("outside"), qPrintable(why));
        // The first end is heard on the bus. The script's waits below start while a countdown of
        // 30 s runs: a shorter one could end before the tool has started.
        QCOMPARE(ctl({"set", "2.5"}).first, 0); // the line on for exactly 2.5 s
        const QString status = ctl({"status"}).second;
        QVERIFY2(QRegularExpression("^00:0[0-3] running\n$").match(status).hasMatch(), qPrintable(status));
        QVERIFY(QTest::qWaitFor([&] { return finished.ends() == QStringList{"done"}; }, 60000));
        const double held = lastHeld(ports.log(pts).filter(" set "));
        QVERIFY2(qAbs(held - 2.5) <= 0.03, qPrintable(ports.log(pts).join('\n')));

        // Paused for 2 s after 1 s: the line down meanwhile, and on for the 3 s asked in all.
        const qsizetype beforePause = ports.log(pts).size();
        QCOMPARE(ctl({"set", "3"}).first, 0);
        QTest::qWait(1000);
        QCOMPARE(ctl({"pause"}).first, 0);
        const qsizetype paused = ports.log(pts).size();
        QCOMPARE(ctl({"status"}).second.section(' ', 1), QString("paused\n"));
        QTest::qWait(2000);
        QVERIFY2(ports.log(pts).size() == paused, qPrintable(ports.log(pts).join('\n'))); // nothing came on
        QCOMPARE(ctl({"pause"}).first, 1);                                                // paused already
        QCOMPARE(ctl({"resume"}).first, 0);
        QVERIFY(QTest::qWaitFor([&] { return finished.ends() == QStringList{"done", "done"}; }, 60000));
        double on = 0;
        qint64 since = -1;
        for (const QString& change : ports.log(pts).mid(beforePause).filter(" set ")) {
            const qint64 ns = change.section(' ', 0, 0).toLongLong();
            if (raised(change) && since < 0)
                since = ns;
            else if (!raised(change) && since >= 0)
                on += double(ns - std::exchange(since, -1)) / 1e9;
        }
        QVERIFY2(qAbs(on - 3) <= 0.03, qPrintable(QString::number(on, 'f', 3) + '\n' + ports.log(pts).join('\n')));

        QCOMPARE(ctl({"set", "30"}).first, 0);
        std::unique_ptr<QProcess> wait = startWait(env, finished);
        QVERIFY(wait);
        const double cancelledAt = monotonicSeconds();
        QCOMPARE(ctl({"cancel"}).first, 0);
        QCOMPARE(ctlResult(*wait), (std::pair{1, QString("cancelled\n")}));
        QVERIFY(QTest::qWaitFor([&] { return finished.ends() == QStringList{"done", "done", "cancelled"}; }, 60000));
        qint64 raisedAtNs = 0;
        const double heldAfterCancel = lastHeld(ports.log(pts).filter(" set "), &raisedAtNs) + raisedAtNs / 1e9
                                     - cancelledAt;
        QVERIFY2(heldAfterCancel >= 0 && heldAfterCancel <= 1.55, qPrintable(ports.log(pts).join('\n')));

        // Cancel, then Set: the new countdown runs its full length and is told as done. A wait
        // tells the first end: the new countdown's when the Set came before the tick that
        // completes the cancelled one, else that one's. A Cancel with nothing running fails.
        QCOMPARE(ctl({"set", "30"}).first, 0);
        wait = startWait(env, finished);
        QVERIFY(wait);
        QCOMPARE(ctl({"cancel"}).first, 0);
        QCOMPARE(ctl({"set", "1"}).first, 0);
        QVERIFY(QTest::qWaitFor([&] { return finished.ends().mid(3).contains("done"); }, 60000));
        const QStringList ends = finished.ends().mid(3);
        QVERIFY2(ends == QStringList{"done"} || ends == (QStringList{"cancelled", "done"}), qPrintable(ends.join(' ')));
        QCOMPARE(ctlResult(*wait),
                 (ends.first() == "done" ? std::pair{0, QString("done\n")} : std::pair{1, QString("cancelled\n")}));
        // A refusal is its reason, and nothing else: Qt's connection thread, still at the error
        // as the tool ended, once added a line of its own in about one of four.
        for (int i = 0; i < 8; ++i)
            QCOMPARE(ctl({"cancel"}), (std::pair{1, QString("timers-ctl: no countdown is running\n")}));
        // What status says is what runs; "0" stops a countdown as at the prompt.
        QCOMPARE(ctl({"set", "30"}).first, 0);
        const QString told = ctl({"status"}).second;
        QVERIFY2(QRegularExpression("^00:(30|[12]\\d|0[1-9]) running\n$").match(told).hasMatch(), qPrintable(told));
        QCOMPARE(ctl({"set", "0"}), (std::pair{0, QString()}));
        QCOMPARE(ctl({"status"}).second, QString("00:00 stopped\n"));
        QCOMPARE(ctl({"set", "30"}).first, 0); // the exit hides it

        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(60000));
        // A record of each run that switched the device, with what the output measured.
        const QString runs = ctl({"log", "20"}).second;
        for (const char* run : {"asked 2.50 s  on 2.5\\d\\d s  no pauses  ran out  RTS on ",
                                "asked 3.00 s  on [23].\\d{3} s  1 pause  ran out  RTS on ",
                                "asked 30.00 s  on [0-4].\\d{3} s  no pauses  cancel  RTS on ",
                                "asked 30.00 s  on .* answer  RTS on ", "asked 30.00 s  on .* signal  RTS on "})
            QVERIFY2(QRegularExpression(run).match(runs).hasMatch(), qPrintable(run + QString('\n') + runs));
        // The taskbar's progress: hidden at start, from 0 at Set to 1 as the display reaches
        // 00:00, hidden at the completion and at the exit. Each update gives its progress, or -1
        // when hidden, and its minutes left (counted up). Running went out with each change.
        monitor.terminate();
        monitor.waitForFinished(60000);
        QList<double> shown;
        QList<qint64> minutes;
        QList<bool> running;
        QString key;
        for (const QString& text : QString::fromLatin1(monitored + monitor.readAllStandardOutput()).split('\n')) {
            const QString line = text.simplified();
            if (line.startsWith("string \""))
                key = line.section('"', 1, 1);
            else if (key == "count" && line.startsWith("variant int64"))
                minutes << line.section(' ', -1).toLongLong();
            else if (key == "Running" && line.startsWith("variant boolean"))
                running << line.endsWith("true");
            else if (key == "progress" && line.startsWith("variant double"))
                shown << line.section(' ', -1).toDouble();
            else if (key == "progress-visible" && line == "variant boolean false")
                shown.last() = -1;
        }
        const qsizetype hidden = shown.indexOf(-1, 1);
        QVERIFY2(shown.size() > 3 && shown[0] == -1 && shown[1] == 0 && hidden > 2 && shown[hidden - 1] == 1
                     && std::is_sorted(shown.begin() + 1, shown.begin() + hidden),
                 qPrintable(QDebug::toString(shown)));
        QVERIFY2(shown.last() == -1, qPrintable(QDebug::toString(shown)));
        for (qsizetype i = 0; i < shown.size(); ++i) // none of these countdowns is over a minute
            QVERIFY2(minutes.value(i) == (shown[i] >= 0 && shown[i] < 1), qPrintable(QDebug::toString(minutes)));
        QVERIFY2(running.size() >= 2 && running[0] && !running[1], qPrintable(QDebug::toString(running)));
    }

    // The window's thread held from just after a Set of 3 s until 7 s later: the output's own
    // timer lowers the line at 3 s, while it is held, and the countdown then completes as run out. A
    // Set sent meanwhile is answered once the thread runs again (never after a box a person must
    // close), and its countdown runs on: the old deadline's notice does not end it.
    void windowThreadHeld_data()
    {
        QTest::addColumn<bool>("alarm");
        QTest::addColumn<bool>("setMeanwhile");
        QTest::newRow("held across the end") << true << false;
        QTest::newRow("held across the end, a Set sent meanwhile") << true << true;
        QTest::newRow("held across the end, a Set sent meanwhile, the box to follow") << false << true;
    }
    void windowThreadHeld()
    {
        QFETCH(bool, alarm);
        QFETCH(bool, setMeanwhile);
        OnItsOwnBus run;
        QVERIFY(run.ready());
        auto& [folder, ports, pts, bus, env] = run;
        if (!alarm)
            QVERIFY(put(folder.filePath("Timer_Control.ini"), QByteArray(kRtsOnPort1).replace("Yes", "No")));
        FinishedSignals finished(env);
        QVERIFY(finished.listening());
        const auto ctl = [&env](const QStringList& arguments) { return runCtl(env, arguments); };
        env.insert("TIMERS_STALL_SIGNAL", "1");
        QProcess program;
        QVERIFY(run.start(program));
        const auto lineOn = [&] {
            const QStringList changes = ports.events(pts).filter("set ");
            return !changes.isEmpty() && raised(changes.last());
        };
        QCOMPARE(ctl({"set", "3"}).first, 0);
        QVERIFY(QTest::qWaitFor(lineOn, 60000));
        const double heldFrom = monotonicSeconds();
        QVERIFY(stallWindowThread(program.processId(), 7000));
        QProcess setAgain; // queued behind the held thread, usually ahead of the deadline's notice
        setAgain.setProcessEnvironment(env);
        if (setMeanwhile)
            setAgain.start(TIMERS_CTL, {"set", "30"});
        QVERIFY(QTest::qWaitFor([&] { return !lineOn(); }, 60000));
        const QStringList first = ports.log(pts).filter(" set ");
        const double loweredAt = first.last().section(' ', 0, 0).toDouble() / 1e9;
        QVERIFY2(qAbs(lastHeld(first) - 3) <= 0.03 && loweredAt < heldFrom + 7, qPrintable(first.join('\n')));
        if (setMeanwhile) {
            QVERIFY(setAgain.waitForFinished(60000)); // bounds a hang only
            const QString said = setAgain.readAllStandardError();
            // Answered, as started or as refused while the completion's box waits.
            QVERIFY2(setAgain.exitCode() == 0 || (!alarm && said.contains("box is open")), qPrintable(said));
            if (setAgain.exitCode() == 0) {
                QTest::qWait(1500);
                QVERIFY2(lineOn(), qPrintable(ports.log(pts).join('\n')));
                QCOMPARE(ctl({"cancel"}).first, 0);
            }
        }
        // The first countdown completed as run out, unless the Set restarted it first; the second
        // ran until it was cancelled.
        const bool second = setMeanwhile && setAgain.exitCode() == 0;
        QVERIFY(QTest::qWaitFor([&] { return finished.ends().contains(second ? "cancelled" : "done"); }, 60000));
        const QStringList ends = finished.ends();
        QVERIFY2(second ? (ends == QStringList{"cancelled"} || ends == QStringList{"done", "cancelled"})
                        : ends == QStringList{"done"},
                 qPrintable(ends.join(' ')));
        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitCode(), 0);
    }

    // One Timers to a folder's settings, whose window comes to the front (it takes the input
    // focus, where no window manager decides) when timers-ctl show asks for it, and when a second
    // Timers starts in its folder: that one ends, with no window of its own. Of two started there
    // at the same instant, one ends. (A second Timers in another folder runs: see
    // scriptsDriveTheCountdown.)
    void windowComesToTheFront_data()
    {
        QTest::addColumn<QString>("how"); // ctl, second, together
        QTest::newRow("timers-ctl show") << "ctl";
        QTest::newRow("a second Timers in the same folder") << "second";
        QTest::newRow("two in one folder at the same instant") << "together";
    }
    void windowComesToTheFront()
    {
        QFETCH(QString, how);
        QVERIFY2(!display().isEmpty(), "Xvfb did not start");
        OnItsOwnBus run;
        QVERIFY(run.ready());
        auto& [folder, ports, pts, bus, env] = run;
        env.insert("TIMERS_SERIAL_DIR", ports.folder());
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("PULSE_SERVER", "unix:/nonexistent");
        constexpr int kHangMs = 60000; // bounds a hang only
        std::array<QProcess, 2> programs;
        const auto start = [&](QProcess& program) {
            program.setProcessEnvironment(env);
            program.setWorkingDirectory(folder.path());
            program.start(QStringLiteral(TIMERS_PROGRAM), {});
        };
        start(programs[0]);
        if (how != "together") { // once the window shows, ComPort's dialog takes the focus
            QVERIFY(QTest::qWaitFor([&] { return runCtl(env, {"status"}).first == 0; }, kHangMs));
            QVERIFY(focus("Timers", 71, 9) && QTest::qWaitFor([] { return shown("COM port"); }, kHangMs)
                    && focus("COM port"));
        }
        if (how == "ctl")
            QCOMPARE(runCtl(env, {"show"}), (std::pair{0, QString()}));
        else
            start(programs[1]);
        const auto ended = [&](int which) { return programs[which].state() == QProcess::NotRunning; };
        QVERIFY(QTest::qWaitFor([&] { return how == "ctl" || ended(0) || ended(1); }, kHangMs));
        QProcess& runs = programs[ended(0) ? 1 : 0]; // under "ctl", the second never started
        if (how != "ctl") {
            QProcess& other = programs[ended(0) ? 0 : 1];
            const QString said = QString::fromLocal8Bit(other.readAllStandardError());
            QVERIFY2(other.exitStatus() == QProcess::NormalExit && other.exitCode() == 0
                         && runs.state() == QProcess::Running && (how == "together" || &runs == &programs[0])
                         && said.contains(QStringLiteral("timers: the settings in %1 are in use by the Timers already "
                                                         "running there (pid %2); its window ")
                                              .arg(folder.path())
                                              .arg(runs.processId())),
                     qPrintable(said));
        }
        QByteArray window, now;
        QVERIFY(xdotool(
            {"search", "--sync", "--onlyvisible", "--pid", QString::number(runs.processId()), "--name", "^Timers$"},
            &window));
        // Of two started together, the one that ended asked for a few seconds, which a busy
        // machine may take to show the other's window.
        QVERIFY2(
            how == "together"
                || QTest::qWaitFor(
                    [&] { return xdotool({"getwindowfocus"}, &now) && now.trimmed() == window.split('\n').first(); },
                    kHangMs),
            now.constData());
        ::kill(pid_t(runs.processId()), SIGTERM);
        QVERIFY(runs.waitForFinished(kHangMs) && runs.exitCode() == 0);
    }

    // At exit the port closes before the taskbar is told that nothing runs, which waits for
    // the bus (up to a quarter of a second on a slow one): nothing slow comes before the port is
    // let go. The order is that of the program's own system calls, as strace saw them.
    void exitClosesThePortBeforeTheTaskbar()
    {
        OnItsOwnBus run;
        QVERIFY(run.ready());
        auto& [folder, ports, pts, bus, env] = run;
        env.insert("TIMERS_SERIAL_DIR", ports.folder());
        env.insert("PULSE_SERVER", "unix:/nonexistent");
        QProcess tracer;
        tracer.setProcessEnvironment(env);
        tracer.setWorkingDirectory(folder.path());
        const QString trace = folder.filePath("trace");
        tracer.start("strace",
                     {"-f", "-qq", "-y", "--seccomp-bpf", "-e", "trace=close,write,writev,sendmsg,sendto", "-e",
                      "signal=none", "-s", "300", "-o", trace, "-E", "LD_PRELOAD=" TIMERS_MODEM_LINES, TIMERS_PROGRAM});
        QVERIFY(tracer.waitForStarted());
        const auto ctl = [&env](const QStringList& arguments) { return runCtl(env, arguments); };
        if (!QTest::qWaitFor([&] { return ctl({"status"}).first == 0 || tracer.state() != QProcess::Running; }, 60000)
            || tracer.state() != QProcess::Running)
            QSKIP(qPrintable("strace cannot run the program here: " + contents(trace).left(300)));
        QCOMPARE(ctl({"set", "30"}).first, 0);
        QVERIFY(QTest::qWaitFor([&] { return ports.events(pts).filter(" rts=1 ").size() > 0; }, 60000));
        const QByteArray children = contents(QStringLiteral("/proc/%1/task/%1/children").arg(tracer.processId()));
        QCOMPARE(::kill(pid_t(children.trimmed().toInt()), SIGTERM), 0);
        QVERIFY(tracer.waitForFinished(60000));
        const QList<QByteArray> calls = contents(trace).split('\n');
        // "close(11</dev/pts/0>)", or "close(11</dev/pts/0> <unfinished ...>" when another
        // thread's call comes between.
        const QByteArray port = "</dev/pts/" + QByteArray::number(pts) + '>';
        const auto last = [&calls](const std::function<bool(const QByteArray&)>& what) {
            return calls.size() - 1 - (std::find_if(calls.rbegin(), calls.rend(), what) - calls.rbegin());
        };
        const qsizetype closed = last(
            [&port](const QByteArray& call) { return call.contains(" close(") && call.contains(port); });
        const qsizetype cleared = last(
            [](const QByteArray& call) { return call.contains("com.canonical.Unity.LauncherEntry"); });
        QVERIFY2(closed >= 0 && cleared >= 0, contents(trace).right(3000).constData());
        QVERIFY2(closed < cleared, (calls[closed] + '\n' + calls[cleared]).constData());
    }

    // A relay board (kind=relay in timers.conf) on a pty: the frames its master side reads,
    // byte for byte, at start-up, Set, Cancel, the completion, the exit, and from the guard when
    // Timers is killed while the relay is on; no guard is left after either end.
    void relayBoard()
    {
        OnItsOwnBus run;
        QVERIFY(run.ready());
        auto& [folder, ports, pts, bus, env] = run;
        QVERIFY(run.configure("[Output]\nkind=relay\nchannel=2\n"));
        const int master = ports.master(0);
        QVERIFY(master >= 0 && ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK) == 0);
        QByteArray frames;
        const auto read = [&] {
            char bytes[64];
            for (ssize_t got; (got = ::read(master, bytes, sizeof bytes)) > 0;)
                frames.append(bytes, got);
            return frames.toHex(' ');
        };
        const QByteArray on = "a0 02 01 a3", off = "a0 02 00 a2";
        const auto framesAre = [&](const QList<QByteArray>& expected) {
            return QTest::qWaitFor([&] { return read() == expected.join(' '); }, 60000);
        };
        // The processes that hold the port open: after an end, none (a guard left would make
        // the port look busy to the next Timers).
        const auto guards = [device = "/dev/pts/" + QString::number(pts)] {
            QStringList holders;
            for (const QFileInfo& process : QDir("/proc").entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
                for (const QFileInfo& fd : QDir(process.filePath() + "/fd").entryInfoList(QDir::Files | QDir::System)) {
                    if (fd.symLinkTarget() == device)
                        holders << process.fileName();
                }
            }
            return holders.join(' ').toLocal8Bit();
        };
        const auto ctl = [&env](const QStringList& arguments) { return runCtl(env, arguments); };
        for (const bool killed : {false, true}) {
            frames.clear();
            QProcess program;
            QVERIFY(run.start(program));
            QVERIFY2(framesAre({off}), read().constData()); // a board left on goes off
            QCOMPARE(ctl({"set", "30"}).first, 0);
            QVERIFY2(framesAre({off, on}), read().constData());
            if (killed) {
                const qint64 killedNs = PtyPorts::monotonicNs();
                QCOMPARE(::kill(pid_t(program.processId()), SIGKILL), 0);
                QVERIFY2(framesAre({off, on, off}), read().constData());
                qInfo("kill -9 to the guard's off frame read: %.1f ms",
                      double(PtyPorts::monotonicNs() - killedNs) / 1e6);
                QVERIFY(QTest::qWaitFor([&] { return program.state() == QProcess::NotRunning; }, 60000));
                QVERIFY2(QTest::qWaitFor([&] { return guards().isEmpty(); }, 60000), guards().constData());
                continue;
            }
            QCOMPARE(ctl({"cancel"}).first, 0);
            QVERIFY2(framesAre({off, on, off}), read().constData());
            QCOMPARE(ctl({"set", "1"}).first, 0);
            QCOMPARE(ctl({"wait"}).first, 0);
            QVERIFY2(framesAre({off, on, off, on, off}), read().constData());
            QCOMPARE(ctl({"set", "30"}).first, 0);
            QVERIFY2(framesAre({off, on, off, on, off, on}), read().constData());
            program.terminate(); // the exit: off, once
            QVERIFY(program.waitForFinished(60000) && program.exitCode() == 0);
            QVERIFY2(framesAre({off, on, off, on, off, on, off}), read().constData());
            QVERIFY2(guards().isEmpty(), guards().constData());
        }
    }

    // A switch on the adapter's CTS pin, set from timers.conf: a foot switch starts the newest
    // answer and cancels; a lid switch cuts the line at once, refuses Set while open, and
    // switches nothing on as it closes, and is read again when its adapter, unplugged, is back.
    // The pin is set from outside, as a real switch would.
    void inputPinSwitches_data()
    {
        QTest::addColumn<QString>("use");
        QTest::newRow("foot switch") << "startstop";
        QTest::newRow("lid switch") << "interlock";
    }
    void inputPinSwitches()
    {
        QFETCH(QString, use);
        OnItsOwnBus run;
        QVERIFY(run.ready());
        auto& [folder, ports, pts, bus, env] = run;
        QVERIFY(run.configure("[Input]\npin=CTS\nuse=" + use.toLatin1() + "\n"));
        const bool lid = use == "interlock";
        ports.setInputs(pts, lid ? u"cts=1" : u"cts=0"); // a lid starts closed
        QProcess program;
        QVERIFY(run.start(program));
        const auto ctl = [&env](const QStringList& arguments) { return runCtl(env, arguments); };
        // The watcher's own open raised both lines for an instant, as Linux does: count from here.
        const qsizetype before = ports.events(pts).filter(" rts=1 ").size();
        const auto raised = [&] { return ports.events(pts).filter(" rts=1 ").size() - before; };
        const auto lastIsDown = [&] { return ports.events(pts).last().contains("rts=0"); };
        const auto lastIsOn = [&] { return ports.events(pts).filter("set ").last().contains("rts=1"); };
        // The watcher waits on the pin before it is changed: its wait shows in the log.
        const auto waiting = [&] {
            return QTest::qWaitFor([&] { return ports.events(pts).filter("wait").size() > 0; }, 60000);
        };
        QCOMPARE(ctl({"set", "600"}).first, 0); // a press that started it again would hold it past any wait below
        QVERIFY(QTest::qWaitFor([&] { return raised() == 1; }, 60000));
        if (!lid) {
            QCOMPARE(ctl({"set", "0"}).first, 0);
            QVERIFY(QTest::qWaitFor(lastIsDown, 60000));
            QVERIFY(waiting());
            ports.setInputs(pts, u"cts=1"); // pressed: the newest answer again
            QVERIFY2(QTest::qWaitFor([&] { return raised() == 2; }, 60000), qPrintable(ports.events(pts).join('\n')));
            ports.setInputs(pts, u"cts=0");
            QTest::qWait(400); // past the 300 ms a press must be apart from the last
            const qint64 pressed = ports.setInputs(pts, u"cts=1"); // pressed again: cancelled
            QVERIFY(QTest::qWaitFor(lastIsDown, 60000));
            qInfo("the press to the line down: %.1f ms",
                  double(ports.log(pts).last().section(' ', 0, 0).toLongLong() - pressed) / 1e6);
        } else {
            QVERIFY(waiting());
            const qint64 opened = ports.setInputs(pts, u"cts=0");
            QVERIFY(QTest::qWaitFor(lastIsDown, 60000));
            qInfo("the lid opening to the line down: %.1f ms",
                  double(ports.log(pts).last().section(' ', 0, 0).toLongLong() - opened) / 1e6);
            QVERIFY(QTest::qWaitFor([&] { return ctl({"status"}).second.contains("paused"); }, 60000));
            const auto refused = ctl({"set", "10"});
            QVERIFY2(refused.first != 0 && refused.second.contains("the lid is open"), qPrintable(refused.second));
            ports.setInputs(pts, u"cts=1"); // closed: nothing comes on by itself
            QVERIFY(QTest::qWaitFor([&] { return ctl({"status"}).second.contains("paused"); }, 60000));
            QCOMPARE(raised(), 1);
            QCOMPARE(ctl({"resume"}).first, 0);
            QVERIFY(QTest::qWaitFor([&] { return raised() == 2; }, 60000));
            // Unplugged, the lid reads open; plugged in again, it is read again: Resume works.
            ports.unplug(0);
            QVERIFY(QTest::qWaitFor([&] { return ctl({"status"}).second.contains("paused"); }, 60000));
            pts = ports.plugIn(0); // maybe the number it had
            const auto up = [&] { return ports.events(pts).filter(QRegularExpression("^set .*rts=1")).size(); };
            const qsizetype upBefore = up();
            QVERIFY(pts >= 0 && ports.setInputs(pts, u"cts=1") > 0);
            QVERIFY(QTest::qWaitFor([&] { return ctl({"resume"}).first == 0; }, 60000));
            QVERIFY2(QTest::qWaitFor([&] { return up() == upBefore + 1; }, 60000),
                     qPrintable(ports.log(pts).join('\n')));
            QVERIFY(lastIsOn() && ctl({"status"}).second.contains("running"));
        }
        program.terminate();
        QVERIFY(program.waitForFinished(60000));
        QVERIFY(lastIsDown());
    }

    // timers-ctl against a stand-in for the program (fake_desktop timers=HOW; none for an empty
    // HOW) at moments a real countdown makes rare; what it says goes to stdout when the command
    // did what it was asked.
    void scriptCommandsAgainstAStandIn_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err"); // the start of what stderr says; all it says, with a line end
        QTest::newRow("status on stdout") << "at-zero" << QStringList{"status"} << 0 << "00:00 running\n"
                                          << "";
        QTest::newRow("wait: the end comes as the state is read")
            << "ends-as-read" << QStringList{"wait"} << 0 << "done\n"
            << "";
        QTest::newRow("wait: 00:00 while it runs") << "at-zero" << QStringList{"wait"} << 0 << "done\n"
                                                   << "";
        QTest::newRow("wait: another client leaves the bus")
            << "stranger-leaves" << QStringList{"wait"} << 1 << "cancelled\n"
            << "";
        QTest::newRow("set with a word after the number") << "at-zero" << QStringList{"set", "5", "min"} << 64 << ""
                                                          << "timers-ctl: set takes one DURATION\nusage: ";
        // A duration is read whole or refused, naming the forms: never a prefix of it.
        for (const char* refused : {"1:60", "-5", "abc", "1s30", "5x", "1e3"})
            QTest::addRow("set %s", refused)
                << "at-zero" << QStringList{"set", refused} << 64 << ""
                << QStringLiteral("timers-ctl: '%1' is not a duration: use 90, 12.5, 1:30").arg(refused);
        QTest::newRow("show with no Timers running")
            << "" << QStringList{"show"} << 2 << ""
            << "timers-ctl: Timers is not running (no org.vorn.Timers on the session bus)\n";
    }
    void scriptCommandsAgainstAStandIn()
    {
        QFETCH(QString, how);
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        SessionBus bus;
        QVERIFY(!bus.address.isEmpty());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DBUS_SESSION_BUS_ADDRESS", bus.address);
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(TIMERS_FAKE_DESKTOP, {"timers=" + how});
        QVERIFY(program.waitForReadyRead(60000) && program.readLine() == "ready\n");
        QProcess tool;
        tool.setProcessEnvironment(env);
        tool.start(TIMERS_CTL, arguments);
        QVERIFY(tool.waitForFinished(60000)); // bounds a hang only
        const QString said = QString::fromLocal8Bit(tool.readAllStandardError());
        QVERIFY2(err.endsWith('\n') || err.isEmpty() ? said == err : said.startsWith(err),
                 qPrintable(QString("status %1, stderr: %2").arg(tool.exitCode()).arg(said)));
        QCOMPARE(QString::fromLocal8Bit(tool.readAllStandardOutput()), out);
        QCOMPARE(tool.exitCode(), status);
        program.kill();
        program.waitForFinished();
        QVERIFY2(!program.readAllStandardOutput().contains("set "), "the stand-in was given an answer");
    }

    // timers-ctl log reads the record of runs itself: no bus, no Timers running.
    void logCommand_data()
    {
        QTest::addColumn<QByteArray>("file"); // runs.log; "-": none
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err"); // the start of what stderr says
        const QByteArray runs(
            R"({"start":"2026-12-09T14:03:12+01:00","asked_s":12.50,"on_ms":12503,"pauses":2,"ended":"ran out",)"
            R"("device":"/dev/ttyUSB0","line":"RTS"})"
            "\n{\"start\": 5}\n"
            R"({"start":"2026-12-09T15:00:00-03:30","asked_s":0.29,"on_ms":1,"pauses":1,"ended":"cancel",)"
            R"("device":"/dev/ttyUSB1","line":"DTR"})"
            "\n"
            R"({"start":"2026-12-10T09:00:00+05:45","asked_s":90,"on_ms":91000,"pauses":0,"ended":"esc",)"
            R"("device":"/dev/ttyACM0","line":"RTS"})"
            "\n");
        const QString first(
            "2026-12-09 14:03:12 +01:00  asked 12.50 s  on 12.503 s  2 pauses  ran out  RTS on /dev/ttyUSB0\n");
        const QString last2(
            "2026-12-09 15:00:00 -03:30  asked 0.29 s  on 0.001 s  1 pause  cancel  DTR on /dev/ttyUSB1\n"
            "2026-12-10 09:00:00 +05:45  asked 90.00 s  on 91.000 s  no pauses  esc  RTS on /dev/ttyACM0\n");
        QTest::newRow("log 2: the last two, oldest first")
            << runs << QStringList{"log", "2"} << 0 << last2 << "timers-ctl: skipped 1 unreadable line of ";
        QTest::newRow("log: the last ten, here all three")
            << runs << QStringList{"log"} << 0 << first + last2 << "timers-ctl: skipped 1 ";
        QTest::newRow("log x") << runs << QStringList{"log", "x"} << 64 << ""
                               << "timers-ctl: 'x' is not a number of runs: use a whole number above 0\nusage: ";
        QTest::newRow("log 0") << runs << QStringList{"log", "0"} << 64 << ""
                               << "timers-ctl: '0' is not a number";
        QTest::newRow("no record yet") << QByteArray("-") << QStringList{"log"} << 3 << ""
                                       << "timers-ctl: no run recorded yet in ";
    }
    void logCommand()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QTemporaryDir state;
        QVERIFY(file == "-" || (QDir(state.path()).mkdir("timers") && put(state.filePath("timers/runs.log"), file)));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_STATE_HOME", state.path());
        env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + state.filePath("no-bus"));
        QProcess tool;
        tool.setProcessEnvironment(env);
        tool.start(TIMERS_CTL, arguments);
        QVERIFY(tool.waitForFinished(60000)); // bounds a hang only
        const QString said = QString::fromLocal8Bit(tool.readAllStandardError());
        QVERIFY2(err.isEmpty() ? said.isEmpty() : said.startsWith(err), qPrintable(said));
        QCOMPARE(QString::fromLocal8Bit(tool.readAllStandardOutput()), out);
        QCOMPARE(tool.exitCode(), status);
    }

    // A stateful random test: sequences of what can reach the program (Set through the prompt,
    // the script interface and the tray's menu, Cancel, Esc, the script's and the tray's Cancel,
    // boxes closed, the
    // on/off and pin fields edited, the adapter unplugged and back, SIGTERM), drawn from a seed
    // and checked after every step against LineModel. TIMERS_RANDOM_SEED, _SEQUENCES and
    // _SECONDS choose others (bench/soak.sh); a failure names its seed.
    void randomSequencesKeepTheDeviceSafe()
    {
        QVERIFY2(!display().isEmpty(), "Xvfb did not start");
        const quint32 firstSeed = qEnvironmentVariableIsSet("TIMERS_RANDOM_SEED")
                                    ? qEnvironmentVariableIntValue("TIMERS_RANDOM_SEED")
                                    : 1;
        const int sequences = qEnvironmentVariableIsSet("TIMERS_RANDOM_SEQUENCES")
                                ? qEnvironmentVariableIntValue("TIMERS_RANDOM_SEQUENCES")
                                : 8;
        const int seconds = qEnvironmentVariableIntValue("TIMERS_RANDOM_SECONDS"); // 0: no limit
        QElapsedTimer running;
        running.start();
        int ran = 0, events = 0;
        for (quint32 seed = firstSeed; ran < sequences && (seconds == 0 || running.elapsed() < seconds * 1000LL);
             ++seed, ++ran) {
            events += randomSequence(seed);
            if (QTest::currentTestFailed())
                return;
        }
        qInfo("%d sequences of %d events in all, seeds %u to %u", ran, events, firstSeed, firstSeed + quint32(ran) - 1);
    }

    // The tray entry as a tray host sees it over a private bus: registered with the tray's
    // watcher, its tooltip and status following the countdown, its menu listing the recent
    // answers; a click on one starts a countdown, the completion's "Again" another, Cancel
    // ends it. With no tray on the bus nothing is registered and nothing said.
    void trayEntry_data()
    {
        QTest::addColumn<bool>("tray");
        QTest::newRow("a tray on the bus") << true;
        QTest::newRow("no tray") << false;
    }
    void trayEntry()
    {
        QFETCH(bool, tray);
        OnItsOwnBus run;
        QVERIFY(run.ready());
        auto& [folder, ports, pts, bus, env] = run;
        QVERIFY(QDir(folder.path()).mkpath("state/timers")
                && put(folder.filePath("state/timers/recent"), "2\n1e99\n1:30\n90\n-5\n7\n"));
        QProcess desktop;
        desktop.setProcessEnvironment(env);
        desktop.start(TIMERS_FAKE_DESKTOP, tray ? QStringList{"watcher", "notifications", "actions", "click=again"}
                                                : QStringList{"notifications"});
        QByteArray desktopSaid;
        const auto desktopSays = [&](const QByteArray& what) {
            return QTest::qWaitFor([&] { return (desktopSaid += desktop.readAllStandardOutput()).contains(what); },
                                   60000);
        };
        QVERIFY(desktopSays("ready"));
        QProcess program;
        env.insert("TIMERS_SERIAL_DIR", ports.folder());
        env.insert("LD_PRELOAD", TIMERS_MODEM_LINES);
        env.insert("PULSE_SERVER", "unix:/nonexistent");
        env.insert("XDG_STATE_HOME", folder.filePath("state"));
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(folder.path());
        program.start(QStringLiteral(TIMERS_PROGRAM), {});
        QVERIFY(program.waitForStarted());
        env.remove("LD_PRELOAD");
        const QString item = QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(program.processId());
        const auto property = [&](const QString& name) {
            return busCall(env, item, "/StatusNotifierItem", "org.freedesktop.DBus.Properties.Get",
                           {"string:org.kde.StatusNotifierItem", "string:" + name});
        };
        const auto click = [&](const QString& label) { return trayClick(env, program.processId(), label); };
        const auto lineOn = [&] {
            const QStringList changes = ports.events(pts).filter("set ");
            return !changes.isEmpty() && raised(changes.last());
        };
        constexpr int kHangMs = 60000; // bounds a hang only
        QVERIFY(QTest::qWaitFor([&] { return runCtl(env, {"status"}).first == 0; }, kHangMs));
        if (tray) {
            QVERIFY2(desktopSays("item " + item.toLatin1()), desktopSaid.constData());
            QVERIFY2(property("ToolTip").contains("string \"No countdown\""), qPrintable(property("ToolTip")));
            QVERIFY(property("Status").endsWith("variant string \"Active\"")); // a panel may hide a Passive one
            const QString pictures = property("IconPixmap");                   // made at this first ask
            for (const int size : {16, 128})
                QVERIFY2(
                    QRegularExpression(QStringLiteral("int32 %1\\s+int32 %1\\s").arg(size)).match(pictures).hasMatch(),
                    qPrintable(pictures.left(400)));
            const QString menu = trayMenu(env, program.processId());
            QStringList labels; // of the enabled items
            for (const auto& label : enabledItem().globalMatch(menu))
                labels << label.captured(2);
            // Each answer as the length it starts, once; those that start none are left out.
            QCOMPARE(labels, (QStringList{"0:02", "1:30", "0:07", "Show Timers", "Exit"}));
            const QString show = enabledItem("Show Timers").match(menu).captured(1);
            // The menu answers whatever a host sends at once: an error for an item or property it
            // does not have or a list longer than any menu; of a list, only the items it has.
            QStringList many;
            for (int id = 1; id <= 10000; ++id)
                many << QString::number(id);
            const QString refused = "^Error org.freedesktop.DBus.Error.InvalidArgs";
            for (const auto& [method, arguments, answer] :
                 std::initializer_list<std::tuple<QString, QStringList, QString>>{
                     {"GetProperty", {"int32:999", "string:label"}, refused},
                     {"GetProperty", {"int32:" + show, "string:nothing"}, refused},
                     {"Event", {"int32:999", "string:clicked", "variant:int32:0", "uint32:0"}, refused},
                     {"GetGroupProperties", {"array:int32:" + many.join(','), "array:string:"}, refused},
                     {"AboutToShowGroup", {"array:int32:" + many.join(',')}, refused},
                     {"GetGroupProperties",
                      {QStringLiteral("array:int32:999,%1,%1").arg(show), "array:string:"},
                      "^method return .* array \\[ struct \\{ int32 " + show
                          + " [^{]*\"Show Timers\" \\) \\] \\} \\]$"},
                 }) {
                const QString said = busCall(env, item, "/MenuBar", "com.canonical.dbusmenu." + method, arguments);
                QVERIFY2(QRegularExpression(answer).match(said).hasMatch(), qPrintable(method + ": " + said.left(300)));
            }

            QVERIFY(click("0:02"));
            const bool on = QTest::qWaitFor(lineOn, kHangMs); // what the program and the desktop said, if not
            QVERIFY2(on, on ? ""
                            : (program.readAllStandardError() + desktopSaid + ports.log(pts).join('\n').toLocal8Bit())
                                  .constData());
            const QString toolTip = property("ToolTip");
            QVERIFY2(QRegularExpression("string \"00:0[0-2] left, RTS on " + ports.linkPath(0) + '"')
                         .match(toolTip)
                         .hasMatch(),
                     qPrintable(toolTip));
            QVERIFY(property("Status").endsWith("variant string \"Active\""));
            // It runs out; its notification's Again, chosen a second later, starts it once more.
            QVERIFY(QTest::qWaitFor([&] { return !lineOn(); }, kHangMs));
            QVERIFY2(desktopSays("|actions=again,Again,show,Show"), desktopSaid.constData());
            QVERIFY(QTest::qWaitFor(lineOn, kHangMs));
            QVERIFY(QTest::qWaitFor([&] { return !lineOn(); }, kHangMs));
            QCOMPARE(ports.events(pts).filter(QRegularExpression("^open ")).size(), 2); // the answer, then Again
            // Cancel ends a countdown of 7 s long before its time.
            QVERIFY(click("0:07") && QTest::qWaitFor(lineOn, kHangMs) && click("Cancel"));
            QVERIFY(QTest::qWaitFor([&] { return !lineOn(); }, kHangMs));
            const double held = lastHeld(ports.log(pts).filter(" set "));
            QVERIFY2(held > 0 && held < 7, qPrintable(ports.log(pts).join('\n')));
            QVERIFY(QTest::qWaitFor([&] { return property("ToolTip").contains("string \"No countdown\""); }, kHangMs));
            QVERIFY(property("Status").endsWith("variant string \"Active\""));
        } else {
            const QString names = busCall(env, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                          "org.freedesktop.DBus.ListNames");
            QVERIFY2(names.contains("org.vorn.Timers") && !names.contains("StatusNotifierItem"), qPrintable(names));
        }
        if (tray)
            click("Exit"); // the program may end before it answers
        else
            ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(kHangMs));
        QCOMPARE(program.exitCode(), 0);
        QVERIFY(
            contents(folder.filePath("Timer_Control.ini")).startsWith("//Timer Control")); // the exit sequence saved
        const QStringList said = QString::fromLocal8Bit(program.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
        QVERIFY2(said.filter("tray").isEmpty()
                     && (tray || said.size() == QSet<QString>(said.begin(), said.end()).size()),
                 qPrintable(said.join('\n')));
    }

    // The program's command line, with no display at all: its own options are answered without
    // one, Qt's are passed on to Qt (-platform offscreen needs none), and without a display the
    // program says so and ends rather than abort. `status` -1: it runs until SIGTERM.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said"); // a pattern for all it wrote, stdout then stderr
        const QString noDisplay("^timers: Timers needs a display \\(X11 or Wayland\\) to show its window, and none "
                                "was reached: DISPLAY and WAYLAND_DISPLAY are not set\n$");
        QTest::newRow("--help") << QStringList{"--help"} << 0
                                << "^Usage: timers \\[OPTION\\]\\.\\.\\.\n.*timers-ctl\\(1\\)";
        QTest::newRow("--version") << QStringList{"--version"} << 0 << "^timers \\d+\\.\\d+\\.\\d+\n$";
        QTest::newRow("an unknown option") << QStringList{"-sync", "--frobnicate"} << 64
                                           << "^timers: unknown option '--frobnicate'\nTry 'timers --help' for more "
                                              "information.\n$";
        QTest::newRow("a Qt option without its value")
            << QStringList{"-platform"} << 64 << "^timers: option '-platform' needs a value\n";
        QTest::newRow("a Qt option's value passed on") << QStringList{"-platform", "offscreen"} << -1 << "";
        QTest::newRow("-sync without a display") << QStringList{"-sync"} << 69 << noDisplay;
        QTest::newRow("no display") << QStringList{} << 69 << noDisplay;
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, said);
        QTemporaryDir folder, runtime;
        How how;
        how.arguments = arguments;
        how.environment = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR=" + runtime.path()};
        const Run run = runUntilSignal(folder.path(), SIGTERM, how);
        QVERIFY2(run.normalExit, run.errors.constData()); // not aborted
        QCOMPARE(run.signalled, status == -1);
        QCOMPARE(run.exitCode, std::max(status, 0));
        const QString all = QString::fromLocal8Bit(run.output + run.errors);
        QVERIFY2(QRegularExpression(said, QRegularExpression::DotMatchesEverythingOption).match(all).hasMatch(),
                 qPrintable(all));
        // Only a program that ran has touched the settings file.
        QCOMPARE(QFileInfo::exists(folder.filePath("Timer_Control.ini")), status == -1);
    }

    // A file written by a Linux editor (bare line feeds) loads, and is saved back as written.
    void settingsSurviveARestart()
    {
        QTemporaryDir folder;
        QFile file(folder.filePath("Timer_Control.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            "//Timer Control\n[USB/COM port]\n2\n[COM On-Off]\non\n[COM output pin]\n7 - RTS\n[Use alarm]\nyes\n");
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
        QTest::addColumn<QString>("kind"); // file, link, strangers-link, owners-link, fifo, slow, nobody,
                                           // nobody-ro-folder, nobody-ro-full, nobody-ro-ramfs
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArray>("after"); // empty: left exactly as it was
        QTest::addColumn<QByteArray>("said");
        const QByteArray block(
            "[USB/COM port]\r\n4\r\n[COM On-Off]\r\non\r\n[COM output pin]\r\n7 - RTS\r\n[Use alarm]\r\nyes\r\n");
        const QByteArray saved("//Timer Control\r\n[USB/COM port]\r\n4\r\n[COM On-Off]\r\nON\r\n[COM output pin]\r\n"
                               "7 - RTS\r\n[Use alarm]\r\nYes\r\n");
        QTest::newRow("FIFO") << "fifo" << QByteArray() << 0600 << QByteArray() << QByteArray("is a FIFO");
        QTest::newRow("100 MB of line feeds, then the settings")
            << "file" << QByteArray(100'000'000, '\n') + block << 0644 << saved << QByteArray();
        QTest::newRow("SIGTERM during a slow load")
            << "slow" << QByteArray(10'000'000, '\n') + block << 0644 << QByteArray() << QByteArray();
        QTest::newRow("Latin-1 bytes written back as they were")
            << "file" << QByteArray("[USB/COM port]\r\nCOM\xe9\r\n[COM output pin]\r\n\xb5 RTS\r\n") << 0644
            << QByteArray("//Timer Control\r\n[USB/COM port]\r\nCOM\xe9\r\n[COM On-Off]\r\nCombo1\r\n"
                          "[COM output pin]\r\n\xb5 RTS\r\n[Use alarm]\r\nNo\r\n")
            << QByteArray();
        QTest::newRow("a value longer than its field, and than a line is read")
            << "file"
            << "[USB/COM port]\r\n" + QByteArray(204'800, '7') + "\r\n"
            << 0644
            << "//Timer Control\r\n[USB/COM port]\r\n" + QByteArray(32767, '7')
                   + "\r\n[COM On-Off]\r\nCombo1\r\n[COM output pin]\r\nCombo1\r\n[Use alarm]\r\nNo\r\n"
            << QByteArray("is 204800 characters long; its field holds the first 32767");
        QTest::newRow("a link to the real file") << "link" << block << 0644 << saved << QByteArray();
        QTest::newRow("the file's mode is kept") << "file" << block << 0640 << saved << QByteArray();
        QTest::newRow("a mode of 0000 is kept by root") << "file" << block << 0000 << saved << QByteArray();
        QTest::newRow("unreadable (mode 0200)") << "nobody" << block << 0200 << QByteArray()
                                                << QByteArray("could not be read at start; it is left as it is");
        QTest::newRow("writable file in a read-only folder")
            << "nobody-ro-folder" << block << 0644 << saved << QByteArray();
        QTest::newRow("a shorter rewrite in a read-only folder")
            << "nobody-ro-folder"
            << "//Timer Control\r\n//the lamp's relay, set by hand\r\n" + block << 0644 << saved << QByteArray();
        QTest::newRow("a longer rewrite in a read-only folder that reserves no space (ramfs)")
            << "nobody-ro-ramfs" << block << 0644 << saved << QByteArray();
        QTest::newRow("another user's link in a shared folder, to a root-only file")
            << "strangers-link" << QByteArray("root:secret\n") << 0600 << QByteArray()
            << QByteArray("(uid 65534) made in the shared folder");
        QTest::newRow("another user's link in a shared folder, to settings: not loaded")
            << "strangers-link" << block << 0600 << QByteArray()
            << QByteArray("is not followed; starting with the default settings");
        QTest::newRow("the shared folder's owner's link") << "owners-link" << block << 0644 << saved << QByteArray();
        QTest::newRow("a longer rewrite in a read-only folder on a full disk")
            << "nobody-ro-full"
            << "[USB/COM port]\n" + QByteArray(4000, '1') + "\n"
            << 0644 << QByteArray() << QByteArray("No space left on device");
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
        if (kind == "nobody-ro-full")
            disk.emplace(QStringLiteral("size=64k"));
        else if (kind == "nobody-ro-ramfs")
            disk.emplace(QStringLiteral("mode=0755"), QStringLiteral("ramfs"));
        if (disk && !disk->mounted())
            QSKIP("cannot mount a scratch file system here");
        const QString folder = (disk ? disk->path() : scratch.path()) + "/work";
        QVERIFY(QDir().mkdir(folder));
        const QString path = QDir(folder).filePath("Timer_Control.ini");
        const QString real = kind == "link" || kind == "owners-link" ? QDir(folder).filePath("real.ini")
                           : kind == "strangers-link"                ? scratch.filePath("secret")
                                                                     : path;
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
            if (kind == "strangers-link" || kind == "owners-link") { // as /tmp is: world-writable and sticky
                QCOMPARE(::lchown(QFile::encodeName(path).constData(), 65534, 65534), 0);
                if (kind == "owners-link") // the folder's owner made it: followed by every user
                    QCOMPARE(::chown(QFile::encodeName(folder).constData(), 65534, 65534), 0);
                QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 01777), 0);
            }
        }

        How how;
        const QString log = scratch.filePath("slow-reads");
        if (kind == "slow") {
            how.environment = {"LD_PRELOAD=" TIMERS_SETTINGS_FAULTS, "TIMERS_SLOW_READ_MS=50",
                               "TIMERS_SLOW_READ_LOG=" + log};
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
            if (kind == "nobody-ro-full") { // filled to the last page
                QFile filler(disk->path() + "/filler");
                QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
                while (filler.write(QByteArray(1024, 'x')) == 1024) { }
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
            struct stat status = {};
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
