// COM engage, release, the close at exit and the port-number edit against a fake serial port.

#include "output/com_output.h"
#include "output/sleep_locked_output.h"
#include "serial/named_port.h"
#include "tests/fakes/fakes.h"

#include <QTest>

using namespace timers;
using namespace timers::fakes;
using namespace std::chrono_literals;

namespace {

struct Rig {
    FakeComSettings settings;
    FakeSerialPort port;
    FakeSleepInhibitor sleep;
    QStringList reports;
    FakeDeadline* deadline = nullptr;
    std::int64_t clockNs = 0; // the output's clock
    ComOutput com{{settings, port, [this](const QString& line) { reports << line; },
                   FakeDeadline::maker(port, &deadline), [this] { return clockNs; }}};
    SleepLockedOutput output{com, sleep}; // as the program drives it

    Rig(const QString& portText, const QString& onOff, const QString& pin)
    {
        settings.port = portText;
        settings.onOff = onOff;
        settings.pin = pin;
    }
    QStringList takeOps() { return std::exchange(port.ops, {}); }
};

} // namespace

class TestComOutput : public QObject {
    Q_OBJECT
private slots:
    // One countdown: what engage and release do to the port for the texts of the fields.
    void countdown_data()
    {
        QTest::addColumn<QString>("portText");
        QTest::addColumn<QString>("onOff");
        QTest::addColumn<QString>("pin");
        QTest::addColumn<bool>("engaged");
        QTest::addColumn<QStringList>("engageOps");
        QTest::addColumn<bool>("released");
        QTest::addColumn<QStringList>("releaseOps");
        const QStringList none;
        QTest::newRow("RTS") << "3"
                             << "ON"
                             << "7 - RTS" << true << QStringList{"select 3", "open", "RTS 1"} << true
                             << QStringList{"RTS 0", "close"};
        QTest::newRow("DTR") << "1"
                             << "ON"
                             << "4 - DTR" << true << QStringList{"select 1", "open", "DTR 1"} << true
                             << QStringList{"DTR 0", "close"};
        QTest::newRow("typed port beyond the list")
            << "12"
            << "ON"
            << "7 - RTS" << true << QStringList{"select 12", "open", "RTS 1"} << true << QStringList{"RTS 0", "close"};
        QTest::newRow("port text read like a countdown")
            << " 2.5x"
            << "ON"
            << "7 - RTS" << true << QStringList{"select 2", "open", "RTS 1"} << true << QStringList{"RTS 0", "close"};
        QTest::newRow("off") << "3"
                             << "OFF"
                             << "7 - RTS" << true << none << false << none;
        QTest::newRow("lower-case on is off") << "3"
                                              << "on"
                                              << "7 - RTS" << true << none << false << none;
        QTest::newRow("ON with a blank is off") << "3"
                                                << "ON "
                                                << "7 - RTS" << true << none << false << none;
        QTest::newRow("lower-case rts is DTR")
            << "3"
            << "ON"
            << "7 - rts" << true << QStringList{"select 3", "open", "DTR 1"} << true << QStringList{"DTR 0", "close"};
        QTest::newRow("untouched pin is DTR")
            << "3"
            << "ON"
            << "Combo1" << true << QStringList{"select 3", "open", "DTR 1"} << true << QStringList{"DTR 0", "close"};
        QTest::newRow("RTS not at the end is DTR")
            << "3"
            << "ON"
            << "RTS - 7" << true << QStringList{"select 3", "open", "DTR 1"} << true << QStringList{"DTR 0", "close"};
        QTest::newRow("bare RTS") << "3"
                                  << "ON"
                                  << "RTS" << true << QStringList{"select 3", "open", "RTS 1"} << true
                                  << QStringList{"RTS 0", "close"};
        QTest::newRow("COM3 names port 0")
            << "COM3"
            << "ON"
            << "7 - RTS" << false << QStringList{"select 0"} << true << QStringList{"RTS 0"};
        QTest::newRow("port out of 16 bits") << "40000"
                                             << "ON"
                                             << "7 - RTS" << false << none << true << QStringList{"RTS 0"};
        QTest::newRow("no such port") << "13"
                                      << "ON"
                                      << "4 - DTR" << false << QStringList{"select 13"} << true << QStringList{"DTR 0"};
    }
    void countdown()
    {
        QFETCH(QString, portText);
        QFETCH(QString, onOff);
        QFETCH(QString, pin);
        QFETCH(bool, engaged);
        QFETCH(QStringList, engageOps);
        QFETCH(bool, released);
        QFETCH(QStringList, releaseOps);
        Rig rig(portText, onOff, pin);
        rig.port.ports = 12;
        QCOMPARE(rig.output.engage(5s, 1), engaged);
        // The port's own deadline is armed at the countdown's length, just before a line goes up.
        const bool lineUp = !engageOps.isEmpty() && engageOps.last().endsWith(" 1");
        QCOMPARE(rig.port.deadlines.size(), lineUp ? 1u : 0u);
        if (lineUp)
            QVERIFY(rig.port.deadlines[0] == std::pair(engageOps.size() - 1, std::chrono::milliseconds(5000)));
        QCOMPARE(rig.takeOps(), engageOps);
        QCOMPARE(rig.reports.isEmpty(), engaged);
        // Sleep is held exactly while a line is asserted.
        QCOMPARE(rig.sleep.held, engaged && !engageOps.isEmpty());
        const auto held = rig.output.deviceOn(); // the line raised, as the tray names it
        const QString device = "/dev/ttyS" + QString::number(engageOps.value(0).section(' ', 1).toInt() - 1);
        QCOMPARE(held ? held->name + " on " + held->port : QString(),
                 rig.sleep.held ? engageOps.last().left(3) + " on " + device : QString());
        QCOMPARE(rig.output.release(), released);
        QCOMPARE(rig.takeOps(), releaseOps);
        QVERIFY(!rig.port.isOpen());
        QVERIFY(!rig.output.deviceOn());
        QVERIFY(!rig.sleep.held);
    }

    void textsAreReadAtEachHook()
    {
        Rig rig("3", "ON", "7 - RTS");
        QVERIFY(rig.output.engage(5s, 1));
        rig.settings.pin = "4 - DTR"; // changed during the countdown
        rig.settings.port = "5";
        QCOMPARE(rig.output.deviceOn()->name + " on " + rig.output.deviceOn()->port, "RTS on /dev/ttyS2");
        QVERIFY(rig.output.release());
        QCOMPARE(rig.takeOps(), (QStringList{"select 3", "open", "RTS 1", "DTR 0", "close"}));
    }

    // The sleep lock follows whatever output it wraps: what the output holds, not what it said.
    void sleepLockFollowsAnyOutput()
    {
        FakeCom any;
        FakeSleepInhibitor sleep;
        SleepLockedOutput output{any, sleep};
        any.engageSucceeds = false; // failed, but left its device on
        QVERIFY(!output.engage(5s, 1));
        QVERIFY(sleep.held);
        QVERIFY(output.switchOffDevice());
        QVERIFY(!sleep.held);
        any.engageSucceeds = true;
        QVERIFY(output.engage(5s, 1));
        QVERIFY(sleep.held);
        output.release();
        QVERIFY(!sleep.held);
    }

    // Whatever the on/off text says at the completion, or at the next Set, what Set switched
    // on goes off.
    void switchedOffDuringCountdownStillClosesThePort_data()
    {
        QTest::addColumn<bool>("setAgain");
        QTest::newRow("the completion") << false;
        QTest::newRow("a new Set") << true;
    }
    void switchedOffDuringCountdownStillClosesThePort()
    {
        QFETCH(bool, setAgain);
        Rig rig("3", "ON", "7 - RTS");
        QVERIFY(rig.output.engage(5s, 1));
        rig.settings.onOff = "OFF";
        rig.takeOps();
        if (setAgain)
            QVERIFY(rig.output.engage(60s, 2));
        else
            QVERIFY(!rig.output.release()); // the box says nothing of the COM output
        QCOMPARE(rig.takeOps(), QStringList{"close"});
        QVERIFY(!rig.sleep.held && !rig.output.deviceOn());
        QCOMPARE(rig.port.deadlines.size(), 1u); // nothing armed for the new countdown
    }

    // The port's own timer ends the device's time: armed for exactly the length asked, just
    // before the line goes up, and again by a Set while the port is open, for the new countdown.
    // A countdown of no length switches nothing on and stops the timer. Pause drops the line and
    // stops the timer, keeping what it had left; Resume raises the line that was on for that.
    void theDeviceTimeIsThePortsTimer()
    {
        Rig rig("3", "ON", "7 - RTS");
        QVERIFY(rig.output.engage(90s, 1));
        QVERIFY(rig.output.engage(12500ms, 2));
        QCOMPARE(rig.port.armedFor, 2u); // its notice names the countdown that armed it
        QVERIFY(rig.port.deadlines[1] == std::pair(qsizetype(4), std::chrono::milliseconds(12500)));
        QCOMPARE(rig.takeOps(), (QStringList{"select 3", "open", "RTS 1", "DTR 0", "RTS 1"}));
        QVERIFY(rig.output.pause());
        rig.settings.pin = "4 - DTR"; // changed during the pause: the line that was on comes back
        QCOMPARE(rig.takeOps(), (QStringList{"stop deadline", "lower both"}));
        QVERIFY(!rig.sleep.held && !rig.output.deviceOn());
        QVERIFY(!rig.output.pause()); // nothing on to pause
        QVERIFY(rig.output.resume(2));
        QVERIFY(rig.port.deadlines[2] == std::pair(qsizetype(0), rig.port.left));
        QCOMPARE(rig.takeOps(), QStringList{"RTS 1"});
        QVERIFY(rig.sleep.held);
        QVERIFY(rig.output.engage(-5s, 3));
        QCOMPARE(rig.takeOps(), (QStringList{"RTS 0", "stop deadline"}));
        QCOMPARE(rig.port.deadlines.size(), 3u);
        QVERIFY(!rig.sleep.held && !rig.output.deviceOn());
        QVERIFY(rig.output.switchOffDevice());
        QCOMPARE(rig.takeOps(), QStringList{"close"});
        QVERIFY(rig.reports.isEmpty());
    }

    // A run's recorded time on ends when the deadline's thread (or a lid) switched the device
    // off, however late that was and however much later the window's thread hears of it.
    void recordedTimeOn_data()
    {
        QTest::addColumn<bool>("lid");
        QTest::addColumn<int>("cutAtMs");
        QTest::newRow("the deadline's thread, 250 ms late") << false << 3250;
        QTest::newRow("a lid opened") << true << 1000;
    }
    void recordedTimeOn()
    {
        QFETCH(bool, lid);
        QFETCH(int, cutAtMs);
        Rig rig("3", "ON", "7 - RTS");
        QVERIFY(rig.output.engage(3s, 1));
        rig.clockNs = cutAtMs * 1'000'000LL;
        if (lid)
            QVERIFY(rig.deadline->cutNow());
        else
            rig.deadline->fire();
        rig.clockNs = 10'000'000'000LL; // heard of it 10 s after the switch-on
        QVERIFY(lid ? rig.output.pause() : rig.output.switchOffDevice());
        const auto run = rig.output.takeRun();
        QVERIFY(run.has_value());
        QCOMPARE(run->on.count(), cutAtMs);
    }

    // Cancel with no countdown running, and the exit: a port left open closes, once.
    void switchOffDevice_data()
    {
        QTest::addColumn<bool>("atExit");
        QTest::newRow("Cancel") << false;
        QTest::newRow("exit") << true;
    }
    void switchOffDevice()
    {
        QFETCH(bool, atExit);
        Rig rig("3", "ON", "4 - DTR");
        QVERIFY(rig.output.engage(5s, 1));
        rig.takeOps();
        rig.settings.onOff = "OFF"; // switched off in the dialog since: the line still goes off
        if (atExit)
            rig.output.switchOffAtExit(); // the exit's first step; the port stays open
        QCOMPARE(rig.takeOps(), atExit ? QStringList{"lower both"} : QStringList());
        QVERIFY(rig.output.switchOffDevice());
        QCOMPARE(rig.takeOps(), QStringList{"close"}); // closing drops both lines
        QVERIFY(!rig.sleep.held);
        QVERIFY(!rig.output.switchOffDevice());
        QVERIFY(rig.takeOps().isEmpty());
    }

    void switchedOnDuringCountdownReleasesAClosedPort()
    {
        Rig rig("3", "OFF", "7 - RTS");
        QVERIFY(rig.output.engage(5s, 1));
        rig.settings.onOff = "ON";
        QVERIFY(rig.output.release());
        QCOMPARE(rig.takeOps(), QStringList{"RTS 0"});
        QVERIFY(rig.reports.isEmpty());
    }

    void openPortIsReusedAndTwoCountdownsReopen()
    {
        Rig rig("3", "ON", "4 - DTR");
        QVERIFY(rig.output.engage(5s, 1));
        // Set again while running: the other line goes off before the selected one comes on,
        // also after the pin was changed in between.
        QVERIFY(rig.output.engage(5s, 1));
        rig.settings.pin = "7 - RTS";
        QVERIFY(rig.output.engage(5s, 1));
        QVERIFY(rig.output.release());
        QVERIFY(rig.output.engage(5s, 1));
        QCOMPARE(rig.takeOps(), (QStringList{"select 3", "open", "DTR 1", "RTS 0", "DTR 1", "DTR 0", "RTS 1", "RTS 0",
                                             "close", "select 3", "open", "RTS 1"}));
    }

    void failuresAreReported()
    {
        Rig busy("3", "ON", "4 - DTR");
        busy.port.openFails = true;
        QVERIFY(!busy.output.engage(5s, 1));
        QCOMPARE(busy.reports, QStringList{"Permission denied"});

        // An open that succeeded stays in effect when the line change after it fails.
        Rig broken("3", "ON", "4 - DTR");
        broken.port.lineFails = true;
        QVERIFY(!broken.output.engage(5s, 1));
        QVERIFY(broken.port.isOpen());
        QVERIFY(!broken.sleep.held);
        // The completion still closes the port and reports the line failure.
        QVERIFY(broken.output.release());
        QVERIFY(!broken.port.isOpen());
        QCOMPARE(broken.reports, (QStringList{"Input/output error", "Input/output error"}));
    }

    void portNumberEdit_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("ops");
        QTest::addColumn<bool>("reported");
        QTest::newRow("number") << "2" << QStringList{"select 2"} << false;
        QTest::newRow("blanks and fraction") << " 3.5 " << QStringList{"select 4"} << false;
        QTest::newRow("no such port") << "12" << QStringList{"select 12"} << true;
        QTest::newRow("emptied while typing") << "" << QStringList{} << true;
        QTest::newRow("first letter of a word") << "C" << QStringList{} << true;
        QTest::newRow("trailing letters") << "3x" << QStringList{} << true;
        QTest::newRow("beyond 16 bits") << "40000" << QStringList{} << true;
    }
    void portNumberEdit()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, ops);
        QFETCH(bool, reported);
        Rig rig("Combo1", "ON", "4 - DTR");
        QCOMPARE(!selectEditedPort(rig.port, text).isEmpty(), reported);
        QCOMPARE(rig.takeOps(), ops);
    }

    void portNumberEditWhileOpenIsRefused()
    {
        Rig rig("3", "ON", "4 - DTR");
        QVERIFY(rig.output.engage(5s, 1));
        rig.takeOps();
        QVERIFY(!selectEditedPort(rig.port, "5").isEmpty());
        QVERIFY(rig.port.isOpen());
    }
};

QTEST_GUILESS_MAIN(TestComOutput)
#include "tst_com_output.moc"
