// The real serial layer against pseudo-terminals, with modem lines emulated by the
// modem_lines preload library: device numbering, line states, HUPCL, busy and vanished ports.

#include "output/com_output.h"
#include "serial/port_guard.h"
#include "serial/port_holders.h"
#include "serial/qt_serial_port.h"
#include "tests/fakes/fakes.h"
#include "tests/pty_ports.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <memory>
#include <thread>

using namespace timers;
using namespace timers::testing;

namespace {
// Now on CLOCK_MONOTONIC, the modem log's clock, in nanoseconds.
qint64 monotonicNs()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1'000'000'000LL + now.tv_nsec;
}

// This process's descriptor on `device`, or -1.
int descriptorOn(const QString& device)
{
    const QString target = QFileInfo(device).canonicalFilePath();
    for (const QFileInfo& fd : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::System)) {
        if (fd.symLinkTarget() == target)
            return fd.fileName().toInt();
    }
    return -1;
}

// The access mode (O_RDONLY, O_WRONLY, O_RDWR) of this process's descriptor on `device`.
int accessMode(const QString& device)
{
    QFile info(QStringLiteral("/proc/self/fdinfo/%1").arg(descriptorOn(device)));
    if (!info.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : info.readAll().split('\n')) {
        if (line.startsWith("flags:"))
            return int(line.mid(6).trimmed().toUInt(nullptr, 8) & O_ACCMODE);
    }
    return -1;
}

// What `fd` gives within `ms`: up to `size` bytes, fewer if it ends.
QByteArray readFor(int fd, qsizetype size, int ms)
{
    QByteArray got;
    char buffer[64];
    pollfd ready{fd, POLLIN, 0};
    for (QDeadlineTimer deadline(ms); got.size() < size && !deadline.hasExpired();) {
        if (::poll(&ready, 1, int(deadline.remainingTime())) != 1)
            continue;
        const ssize_t read = ::read(fd, buffer, std::min<size_t>(sizeof buffer, size - got.size()));
        if (read <= 0)
            break;
        got.append(buffer, read);
    }
    return got;
}
} // namespace

class TestSerialPort : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(qEnvironmentVariableIsSet("LD_PRELOAD"), "run with modem_lines.so preloaded"); }

    void numbering_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("ordered");
        QTest::newRow("USB before built-in") << QStringList{"ttyS0", "ttyUSB0"} << QStringList{"ttyUSB0", "ttyS0"};
        QTest::newRow("ACM and USB by kernel name")
            << QStringList{"ttyUSB1", "ttyACM0", "ttyUSB0"} << QStringList{"ttyACM0", "ttyUSB0", "ttyUSB1"};
        QTest::newRow("numbers as numbers")
            << QStringList{"ttyUSB10", "ttyUSB9", "ttyUSB2"} << QStringList{"ttyUSB2", "ttyUSB9", "ttyUSB10"};
        QTest::newRow("others last") << QStringList{"ttyAMA0", "ttyS1", "ttyS0", "ttyUSB0"}
                                     << QStringList{"ttyUSB0", "ttyS0", "ttyS1", "ttyAMA0"};
    }
    void numbering()
    {
        QFETCH(QStringList, names);
        QFETCH(QStringList, ordered);
        QCOMPARE(SerialDevices::ordered(names), ordered);
    }

    void selectFailsForNoPortAndWhileOpen()
    {
        PtyPorts ptys;
        QVERIFY(ptys.plugIn(0) >= 0);
        QVERIFY(ptys.plugIn(1) >= 0);
        QtSerialPort port(SerialDevices(ptys.folder()));
        for (std::int16_t number : std::initializer_list<std::int16_t>{0, -1, 3, 32767})
            QVERIFY2(!port.selectPort(number), qPrintable(QString::number(number)));
        QVERIFY(port.errorText().contains("no serial port"));
        QVERIFY(!port.open()); // nothing selected yet
        QVERIFY(port.selectPort(2));
        QVERIFY(port.open());
        QVERIFY(!port.selectPort(1));
        QVERIFY(port.errorText().contains("is open"));
        QVERIFY(port.close());
        QVERIFY(port.selectPort(1));
    }

    void openAssertReleaseClose()
    {
        PtyPorts ptys;
        const int pts = ptys.plugIn(0);
        QtSerialPort port(SerialDevices(ptys.folder()));
        QVERIFY(port.setDtr(true)); // a closed port accepts and forgets
        QVERIFY(port.selectPort(1));
        QVERIFY(port.open());
        QVERIFY(port.isOpen());
        // Write-only: Qt 6.4 spins at full CPU after an unplug on a port opened for reading.
        QCOMPARE(accessMode(ptys.linkPath(0)), O_WRONLY);
        QVERIFY(port.setRts(true));
        QVERIFY(port.setRts(false));
        QVERIFY(port.close());
        QVERIFY(!port.isOpen());
        QVERIFY(port.setRts(false)); // closed again: no failure

        const QStringList events = ptys.events(pts);
        QVERIFY2(events.size() >= 5, qPrintable(events.join('\n')));
        // Linux raises both lines as the port opens; they drop at once, HUPCL is set, and only
        // the selected line ever comes on again.
        QCOMPARE(events.first(), QStringLiteral("open dtr=1 rts=1 hupcl=0"));
        QVERIFY2(events.contains("set dtr=0 rts=0 hupcl=1"), qPrintable(events.join('\n')));
        QVERIFY2(events.contains("set dtr=0 rts=1 hupcl=1"), qPrintable(events.join('\n')));
        const qsizetype lowered = events.indexOf(QRegularExpression("set dtr=0 rts=0 .*"));
        for (qsizetype i = lowered; i < events.size(); ++i)
            QVERIFY2(!events[i].contains("dtr=1"), qPrintable(events.join('\n')));
        QVERIFY(events.last().startsWith("close dtr=0 rts=0"));
    }

    // The COM output's deadline lowers both lines on a thread of its own while the caller's thread is
    // held (here: this test's own, asleep); a deadline set again replaces the first; one that
    // counts a suspend comes that much sooner; and one whose port closed first touches nothing,
    // not even another file given the closed descriptor's number, and tells of nothing.
    void deadlineLowersTheLinesWhileTheThreadIsHeld_data()
    {
        QTest::addColumn<int>("firstMs");
        QTest::addColumn<int>("againMs"); // 0: not set again
        QTest::addColumn<bool>("closeFirst");
        QTest::addColumn<int>("suspendMs"); // the machine suspended from 1 s after the line rose
        QTest::newRow("held thread") << 1000 << 0 << false << 0;
        QTest::newRow("set again, later") << 1500 << 3000 << false << 0;
        QTest::newRow("closed first, its number reused") << 500 << 0 << true << 0;
        // Last: the emulated suspend, once it happened, stays in this process's boot-time clock.
        QTest::newRow("a 3 s suspend: 3 s sooner") << 5000 << 0 << false << 3000;
    }
    void deadlineLowersTheLinesWhileTheThreadIsHeld()
    {
        QFETCH(int, firstMs);
        QFETCH(int, againMs);
        QFETCH(bool, closeFirst);
        QFETCH(int, suspendMs);
        PtyPorts ptys;
        const int pts = ptys.plugIn(0);
        QtSerialPort port(SerialDevices(ptys.folder()));
        fakes::FakeComSettings settings;
        settings.port = "1";
        settings.onOff = "ON";
        settings.pin = "7 - RTS";
        ComOutput output({settings, port, [](const QString& why) { QFAIL(qPrintable(why)); }});
        std::vector<std::uint64_t> lowered; // the countdowns told that their time passed
        output.onDeadlinePassed([&lowered](std::uint64_t number) { lowered.push_back(number); });
        qint64 armedNs = monotonicNs(); // the modem log's clock
        if (suspendMs > 0)
            qputenv("TIMERS_SUSPEND_MS", QByteArray::number(suspendMs));
        const bool raised = output.engage(std::chrono::milliseconds(firstMs), 1);
        qunsetenv("TIMERS_SUSPEND_MS");
        QVERIFY(raised);
        if (againMs != 0) {
            armedNs = monotonicNs();
            QVERIFY(output.engage(std::chrono::milliseconds(againMs), 2));
        }
        const int dueMs = (againMs != 0 ? againMs : firstMs) - suspendMs;
        if (closeFirst) {
            // Another file takes the closed descriptor's number, with its lines up.
            const int otherPts = ptys.plugIn(1);
            const int closedFd = descriptorOn(ptys.linkPath(0));
            QVERIFY(closedFd >= 0 && output.switchOffDevice());
            const int other = ::open(qPrintable(ptys.linkPath(1)), O_RDWR | O_NOCTTY | O_CLOEXEC);
            QVERIFY(other >= 0 && ::dup2(other, closedFd) == closedFd);
            QTest::qWait(dueMs + 1500); // the event loop runs: a queued signal would arrive
            const QStringList otherLog = ptys.log(otherPts);
            if (other != closedFd)
                ::close(closedFd);
            ::close(other);
            QVERIFY2(otherLog.filter(" set ").isEmpty(), qPrintable(otherLog.join('\n')));
            QVERIFY2(ptys.log(pts).last().contains(" close "), qPrintable(ptys.log(pts).join('\n')));
            QCOMPARE(lowered.size(), 0u);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(dueMs + 1500)); // no event loop
        const qint64 heldUntilNs = monotonicNs();
        const QStringList log = ptys.log(pts);
        const QStringList sets = log.filter(" set ");
        QVERIFY2(!sets.last().contains("rts=1"), qPrintable(log.join('\n')));
        const qint64 loweredNs = sets.last().section(' ', 0, 0).toLongLong();
        QVERIFY2(loweredNs - armedNs >= dueMs * 1'000'000LL && loweredNs < heldUntilNs, qPrintable(log.join('\n')));
        QVERIFY2(sets.last().contains("dtr=0 rts=0"), qPrintable(log.join('\n')));
        QVERIFY(port.isOpen()); // closing is the caller's, once its thread runs again
        QTRY_COMPARE_WITH_TIMEOUT(lowered.size(), 1u, 30000);
        // The notice names the countdown that armed the deadline last.
        QCOMPARE(lowered.front(), againMs != 0 ? 2u : 1u);
    }

    // A DTR drop that fails does not stop the close from dropping RTS.
    void closeDropsRtsAfterAFailedDtrDrop()
    {
        PtyPorts ptys;
        const int pts = ptys.plugIn(0);
        QtSerialPort port(SerialDevices(ptys.folder()));
        QVERIFY(port.selectPort(1));
        QVERIFY(port.open());
        QVERIFY(port.setRts(true));
        qputenv("TIMERS_MODEM_FAIL", "dtr");
        const bool closed = port.close();
        qunsetenv("TIMERS_MODEM_FAIL");
        QVERIFY(!closed); // the failure is reported
        QVERIFY(!port.isOpen());
        const QStringList events = ptys.events(pts);
        const qsizetype failed = events.indexOf(QRegularExpression("fail .*"));
        QVERIFY2(failed > 0 && events.mid(failed).contains("set dtr=0 rts=0 hupcl=1"), qPrintable(events.join('\n')));
        QVERIFY2(!events.contains(QRegularExpression("hangup .*")), qPrintable(events.join('\n')));
        // An open that cannot lower DTR fails, and leaves the port closed.
        qputenv("TIMERS_MODEM_FAIL", "dtr");
        const bool opened = port.open();
        qunsetenv("TIMERS_MODEM_FAIL");
        QVERIFY(!opened && !port.isOpen());
        QVERIFY2(ptys.events(pts).last().startsWith("close "), qPrintable(ptys.events(pts).join('\n')));
    }

    // Killed or crashed with the port open: the kernel's hang-up on close drops the line.
    void hangUpOnCloseIsSetWhileOpen()
    {
        PtyPorts ptys;
        const int pts = ptys.plugIn(0);
        {
            QtSerialPort port(SerialDevices(ptys.folder()));
            QVERIFY(port.selectPort(1));
            QVERIFY(port.open());
            QVERIFY(port.setDtr(true));
            QVERIFY(ptys.events(pts).last().endsWith("dtr=1 rts=0 hupcl=1"));
        }
        // Destroyed with the port open, it lowers both lines itself before it closes.
        QVERIFY2(ptys.events(pts).last().startsWith("close dtr=0 rts=0"), qPrintable(ptys.events(pts).join('\n')));
    }

    // A busy port is refused before any line changes, and the details name who has it (from
    // /proc, as plain text) and say busy rather than a missing permission.
    void busyPortFailsToOpen_data()
    {
        QTest::addColumn<QString>("holder"); // process name; empty: this process through Qt's lock
        QTest::addColumn<QString>("named");
        QTest::newRow("locked by Qt's serial port here") << ""
                                                         << "tst_serial_port";
        QTest::newRow("plain open() in another process") << "sh"
                                                         << "sh";
        QTest::newRow("a name with a newline and an escape") << "a\nb\033[1m"
                                                             << "a?b?[1m";
    }
    void busyPortFailsToOpen()
    {
        QFETCH(QString, holder);
        QFETCH(QString, named);
        PtyPorts ptys;
        const int pts = ptys.plugIn(0);
        QSerialPort locked(ptys.linkPath(0));
        QProcess other; // a terminal program or a script: the port open, no lock
        if (holder.isEmpty())
            QVERIFY(locked.open(QIODevice::ReadWrite));
        else {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.remove("LD_PRELOAD");
            other.setProcessEnvironment(environment);
            other.start("/bin/sh", {"-c", "exec 3>\"$0\"; printf '%b' \"$1\" >/proc/$$/comm; read x", ptys.linkPath(0),
                                    holder == "sh" ? "sh" : holder});
            QVERIFY(other.waitForStarted());
            const auto named = [&] {
                QFile comm(QStringLiteral("/proc/%1/comm").arg(other.processId()));
                return comm.open(QIODevice::ReadOnly) && QString::fromLocal8Bit(comm.readAll()) == holder + "\n";
            };
            QTRY_VERIFY_WITH_TIMEOUT(named(), 20000); // the port is open by then
        }
        const qint64 pid = holder.isEmpty() ? QCoreApplication::applicationPid() : other.processId();
        QtSerialPort port(SerialDevices(ptys.folder()));
        QVERIFY(port.selectPort(1));
        QVERIFY(!port.open());
        QVERIFY(!port.isOpen());
        const QString error = port.errorText();
        QVERIFY2(error.contains("it is busy. ") && !error.contains("dialout"), qPrintable(error));
        QVERIFY2(error.contains(QStringLiteral("It is open in %1 (pid %2).").arg(named).arg(pid)), qPrintable(error));
        QVERIFY2(!error.contains('\n') && !error.contains('\033'), qPrintable(error));
        if (!holder.isEmpty())
            QVERIFY2(ptys.events(pts).isEmpty(), qPrintable(ptys.events(pts).join('\n'))); // never opened
    }

    // A stand-in for the program (forked, in a process group of its own, with the pty's slave
    // open and a file open without close-on-exec) starts a guard over the slave and ends as the
    // row says. Once it is gone the guard has written the off bytes (unless stopped) and ended,
    // so nothing holds the port; while it runs it holds none of the program's other files.
    void guardSwitchesOffWhenTheProgramDies_data()
    {
        QTest::addColumn<int>("signal"); // 0: it stops the guard and exits
        QTest::addColumn<QString>("to"); // "group": its process group; "each": the guard too
        QTest::newRow("killed") << SIGKILL << "program";
        QTest::newRow("aborted") << SIGUSR1 << "program"; // its handler aborts
        QTest::newRow("SIGTERM to its process group") << SIGTERM << "group";
        QTest::newRow("Ctrl-C: SIGINT to its process group") << SIGINT << "group";
        QTest::newRow("SIGKILL to its process group") << SIGKILL << "group";
        QTest::newRow("pkill timers: SIGTERM to each") << SIGTERM << "each";
        QTest::newRow("killed, a child forked without exec left") << SIGKILL << "forked child";
        QTest::newRow("stopped") << 0 << "program";
    }
    void guardSwitchesOffWhenTheProgramDies()
    {
        QFETCH(int, signal);
        QFETCH(QString, to);
        const QByteArray off("\xA0\x01\x00\xA1", 4);
        PtyPorts ptys;
        QVERIFY(ptys.plugIn(0) >= 0);
        const QString slave = QFileInfo(ptys.linkPath(0)).canonicalFilePath();
        QTemporaryFile marker;
        QVERIFY(marker.open());
        const QByteArray slaveName = QFile::encodeName(slave), markerName = QFile::encodeName(marker.fileName());
        int report[2] = {};
        QVERIFY(::pipe2(report, O_CLOEXEC) == 0);
        const pid_t program = ::fork();
        if (program == 0) {
            ::setpgid(0, 0);
            const rlimit noCore = {};
            ::setrlimit(RLIMIT_CORE, &noCore);
            for (int test : {SIGINT, SIGTERM, SIGABRT})
                ::signal(test, SIG_DFL); // not the test's handlers
            ::signal(SIGUSR1, [](int) { ::abort(); });
            const int port = ::open(slaveName.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
            const int markerFd = ::fcntl(::open(markerName.constData(), O_RDONLY), F_DUPFD, 20); // past the guard's
            PortGuard guard;
            pid_t pids[3] = {markerFd >= 0 && guard.start(port, off) ? guard.pid() : 0};
            if (to == "forked child" && (pids[1] = ::fork()) == 0)
                for (;;)
                    ::pause();
            if (signal == 0) {
                guard.stop();
                pids[2] = ::waitpid(pids[0], nullptr, WNOHANG) < 0 && errno == ECHILD; // reaped
            }
            [[maybe_unused]] const ssize_t told = ::write(report[1], pids, sizeof pids);
            while (signal != 0)
                ::pause();
            ::_exit(0);
        }
        ::close(report[1]);
        pid_t pids[3] = {};
        const auto leaveNothing = qScopeGuard([&] {
            for (pid_t pid : {pids[0], pids[1], program})
                if (QTest::currentTestFailed() && pid > 0)
                    ::kill(pid, SIGKILL);
            ::waitpid(program, nullptr, 0);
        });
        const QByteArray told = readFor(report[0], sizeof pids, 20000);
        ::close(report[0]);
        QCOMPARE(size_t(told.size()), sizeof pids);
        std::memcpy(pids, told.constData(), sizeof pids);
        QVERIFY(pids[0] > 0);
        QStringList files; // the port, the socket to the program, a pidfd of it
        for (const QFileInfo& fd : QDir(QStringLiteral("/proc/%1/fd").arg(pids[0])).entryInfoList(QDir::System))
            files << fd.symLinkTarget();
        const QRegularExpression own(
            QStringLiteral("^(%1|.*/socket:\\[\\d+\\]|.*/anon_inode:\\[pidfd\\])$").arg(slave));
        QVERIFY2(signal == 0 || (files.contains(slave) && files.filter(own) == files), qPrintable(files.join(' ')));

        QElapsedTimer sinceEnd;
        sinceEnd.start();
        if (to == "each")
            ::kill(pids[0], signal);
        if (signal != 0)
            ::kill(to == "group" ? -program : program, signal);
        int status = 0;
        QCOMPARE(::waitpid(program, &status, 0), program);
        QVERIFY(signal == 0 ? WIFEXITED(status) : WIFSIGNALED(status));
        const QByteArray written = readFor(ptys.master(0), off.size(), 10000);
        if (signal != 0 && written == off)
            qInfo("the off bytes came %lld ms after the signal", sinceEnd.elapsed());
        if (pids[1] > 0)
            ::kill(pids[1], SIGKILL);
        QTRY_VERIFY_WITH_TIMEOUT(PortHolders::of(slave, false).openIn.isEmpty(), 10000);
        QCOMPARE(written, signal != 0 ? off : QByteArray()); // while any forked child lived
        QCOMPARE(readFor(ptys.master(0), 64, 10000), QByteArray());
        QCOMPARE(pids[2], signal == 0 ? 1 : 0);
    }

    void missingDeviceFailsToOpen()
    {
        PtyPorts ptys;
        ptys.plugIn(0);
        QtSerialPort port(SerialDevices(ptys.folder()));
        QVERIFY(port.selectPort(1));
        QVERIFY(QFile::remove(ptys.linkPath(0)));
        QVERIFY(!port.open());
        QVERIFY2(port.errorText().contains("No such file"), qPrintable(port.errorText()));
    }

    void unpluggedAdapterEndsClosed()
    {
        PtyPorts ptys;
        const int pts = ptys.plugIn(0);
        QtSerialPort port(SerialDevices(ptys.folder()));
        QVERIFY(port.selectPort(1));
        QVERIFY(port.open());
        QVERIFY(port.setDtr(true));
        ptys.unplug(0);
        QVERIFY(!port.setDtr(false));
        QVERIFY2(port.errorText().contains("DTR"), qPrintable(port.errorText()));
        QVERIFY(!port.isOpen()); // closed by the failure itself, so the next Set opens it again
        port.close();
        QVERIFY2(ptys.events(pts).contains(QRegularExpression("eio .*")), qPrintable(ptys.events(pts).join("\n")));

        // The adapter comes back (as a new pty at the same link): the port opens again.
        const int again = ptys.plugIn(0);
        QVERIFY(port.selectPort(1));
        QVERIFY(port.open());
        QVERIFY(port.setDtr(true));
        QVERIFY(port.close());
        QVERIFY(ptys.events(again).contains("set dtr=1 rts=0 hupcl=1"));
    }

    // The adapter's input pins, set from outside: TIOCMGET reads them with the lines; a wait
    // (TIOCMIWAIT) on CTS ends as CTS changes, not for another pin; a signal whose handler does
    // not restart ends it with EINTR, one that does leaves it waiting; an unplug ends it with EIO.
    void inputPins_data()
    {
        QTest::addColumn<QString>("initial");
        QTest::addColumn<int>("read");         // TIOCMGET's input pins then
        QTest::addColumn<QString>("unmasked"); // pins set next, CTS as it was
        QTest::addColumn<QString>("ending");   // the pins set last, or "signal", "unplug"
        QTest::addColumn<int>("restart");      // SA_RESTART on the handler: signals first, then the pins
        QTest::addColumn<int>("error");        // 0: the wait returns 0
        QTest::newRow("CTS rises") << "dsr=1 ri=1" << (TIOCM_DSR | TIOCM_RNG) << "dcd=1"
                                   << "cts=1" << 0 << 0;
        QTest::newRow("CTS falls") << "cts=1 dcd=1" << (TIOCM_CTS | TIOCM_CAR) << "cts=1 dsr=1"
                                   << "dsr=1" << 0 << 0;
        QTest::newRow("a signal") << "" << 0 << "ri=1"
                                  << "signal" << 0 << EINTR;
        QTest::newRow("a restarting signal, then CTS") << "cts=0" << 0 << "dsr=1"
                                                       << "cts=1" << SA_RESTART << 0;
        QTest::newRow("unplugged") << "cts=1" << TIOCM_CTS << "cts=1 ri=1"
                                   << "unplug" << 0 << EIO;
    }
    void inputPins()
    {
        QFETCH(QString, initial);
        QFETCH(int, read);
        QFETCH(QString, unmasked);
        QFETCH(QString, ending);
        QFETCH(int, restart);
        QFETCH(int, error);
        PtyPorts ptys;
        const int pts = ptys.plugIn(0);
        const int fd = ::open(qPrintable(ptys.linkPath(0)), O_RDWR | O_NOCTTY | O_CLOEXEC);
        int bits = 0;
        QVERIFY(fd >= 0 && ptys.setInputs(pts, initial) > 0 && ::ioctl(fd, TIOCMGET, &bits) == 0);
        QCOMPARE(bits, TIOCM_DTR | TIOCM_RTS | read); // both lines raised as it opened

        struct sigaction action {
        }, old{};
        action.sa_handler = [](int) {};
        action.sa_flags = restart;
        ::sigaction(SIGUSR1, &action, &old);
        struct Wait {
            std::atomic<bool> done{false};
            int result = 0, error = 0;
            qint64 endedNs = 0;
        };
        const auto wait = std::make_shared<Wait>();
        std::thread waiter([wait, fd] {
            wait->result = ::ioctl(fd, TIOCMIWAIT, TIOCM_CTS);
            wait->error = errno;
            wait->endedNs = PtyPorts::monotonicNs();
            wait->done = true;
        });
        const auto cleanUp = qScopeGuard([&] {
            ::close(fd); // a wait still on it ends (EBADF), unless the fault is that it never ends
            wait->done ? waiter.join() : waiter.detach();
            ::sigaction(SIGUSR1, &old, nullptr);
        });
        QTRY_VERIFY_WITH_TIMEOUT(!ptys.events(pts).filter(QRegularExpression("^wait ")).isEmpty(), 30000);
        QVERIFY(ptys.setInputs(pts, unmasked) > 0);
        QTest::qWait(100); // a wrong wake-up has its chance
        qint64 endingNs = PtyPorts::monotonicNs();
        const QDeadlineTimer deadline(30000);
        for (int sent = 0; (ending == "signal" || (restart && sent < 5)) && !wait->done && !deadline.hasExpired();
             ++sent) {
            ::pthread_kill(waiter.native_handle(), SIGUSR1);
            QTest::qWait(20);
        }
        if (ending == "unplug")
            ptys.unplug(0);
        else if (ending != "signal")
            endingNs = ptys.setInputs(pts, ending);
        QTRY_VERIFY_WITH_TIMEOUT(wait->done, 30000);
        QCOMPARE(wait->result, error == 0 ? 0 : -1);
        QCOMPARE(error == 0 ? 0 : wait->error, error);
        QVERIFY(wait->endedNs >= endingNs); // not before the change that ends it
    }
};

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serial_port.moc"
