// The program's parts wired as they run (main window, COM port dialog, COM output, serial
// layer), against pseudo-terminals with emulated modem lines, driven as a user would.

#include "app/timers_app.h"
#include "tests/modal_answerer.h"
#include "tests/pty_ports.h"

#include <QCheckBox>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSerialPort>
#include <QTest>

#include <csignal>

using namespace timers;
using namespace timers::testing;

namespace {

QString settingsPath(const PtyPorts& ptys) { return ptys.folder() + QStringLiteral("/Timer_Control.ini"); }

struct App {
    int ended = 0;
    TimersApp app;

    // No sound module folders: an alarm rings the bell.
    TimersApp::Options options(const PtyPorts& ptys, const QString& settings)
    {
        return {SerialDevices(ptys.folder()), {}, [this] { ++ended; }, settings};
    }
    explicit App(const PtyPorts& ptys, const QString& settings = {})
        : app(options(ptys, settings.isEmpty() ? settingsPath(ptys) : settings))
    {
        app.startup();
        app.comTexts().setOnOffText("ON");
        app.comTexts().setPinText("7 - RTS");
        app.comTexts().setPortNumberText("1");
    }

    // Presses Set, answers the prompt, and returns the box that follows within `waitMs`
    // (the completion box or "Invalid port address"); an unseen box has seen == false.
    SeenBox setAndWaitForBox(const QString& answer, int waitMs)
    {
        SeenBox box;
        ModalAnswerer boxAnswerer(pressOk(box), waitMs + 5000);
        ModalAnswerer promptAnswerer(answerPrompt(answer));
        app.window().findChild<QPushButton*>("Countdown1")->click();
        static_cast<void>(QTest::qWaitFor([&box] { return box.seen; }, waitMs));
        return box;
    }
};

// Every event after the port's own open, which raised both lines for a moment, lowered them.
bool otherLineNeverOn(const QStringList& events, const QString& other)
{
    const qsizetype lowered = events.indexOf(QRegularExpression("set dtr=0 rts=0 .*"));
    if (lowered < 0)
        return false;
    for (qsizetype i = lowered; i < events.size(); ++i)
        if (events[i].contains(other + "=1"))
            return false;
    return true;
}

const QString kDoneWithCom = QStringLiteral("Done countdown...\n COM output Off.");

// Seconds from the last rise of RTS to its drop after it, from the emulation's monotonic
// timestamps (the port's own open raises the line for a moment before that).
double rtsOnSeconds(const QStringList& log)
{
    qint64 rose = -1;
    double on = -1;
    bool high = false;
    for (const QString& line : log) {
        const qint64 ns = line.section(' ', 0, 0).toLongLong();
        const bool rts = line.contains(QLatin1String(" rts=1 "));
        if (rts && !high)
            rose = ns;
        else if (!rts && high)
            on = double(ns - rose) / 1e9;
        high = rts;
    }
    return on;
}

} // namespace

class TestComApp : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("LD_PRELOAD"), "run with modem_lines.so preloaded");
        // A private bus with a fake logind, as the system bus of every program part below.
        m_bus.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"});
        QVERIFY(m_bus.waitForReadyRead(30000));
        const QByteArray address = m_bus.readLine().trimmed();
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        m_logind.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_logind.start(QStringLiteral(TIMERS_FAKE_DESKTOP), {"login1", "notifications"});
        QVERIFY(m_logind.waitForReadyRead(30000));
        QCOMPARE(m_logind.readLine().trimmed(), QByteArray("ready"));
    }
    void cleanupTestCase()
    {
        for (QProcess* process : {&m_logind, &m_bus}) {
            process->kill();
            process->waitForFinished();
        }
    }

    // What a countdown switched on goes off: the line never goes on for an answer that reads
    // as 0, goes off at once (before any tick) at Cancel, Esc or an answer that leaves no
    // countdown running, and at the completion when the on/off field was switched away from
    // "ON". A stalled logind delays nothing.
    void lineSwitchedOff_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<bool>("lineWentOn");
        QTest::addColumn<QString>("box"); // the completion box; empty: none
        QTest::addColumn<bool>("cancelEnabled");
        QTest::newRow("answer reads as 0") << QStringList{"set 00", "cancel"} << false << "" << true;
        QTest::newRow("0 while running") << QStringList{"set 600", "set 0"} << true << "" << true;
        QTest::newRow("abc while running") << QStringList{"set 600", "set abc"} << true << "" << true;
        QTest::newRow("Cancel while running") << QStringList{"set 600", "cancel"} << true << "" << true;
        QTest::newRow("Esc while running") << QStringList{"set 600", "esc"} << true << "" << true;
        QTest::newRow("switched away from ON, then Set again")
            << QStringList{"set 600", "off", "set 60"} << true << "" << true;
        QTest::newRow("switched away from ON")
            << QStringList{"set 1", "off", "wait"} << true << "Done countdown..." << false;
        QTest::newRow("logind stalled") << QStringList{"stall", "set 3", "wait"} << true << kDoneWithCom << false;
    }
    void lineSwitchedOff()
    {
        QFETCH(QStringList, steps);
        QFETCH(bool, lineWentOn);
        QFETCH(QString, box);
        QFETCH(bool, cancelEnabled);
        PtyPorts ptys;
        const int pts = ptys.plugIn(0);
        App app(ptys);
        frmAlarm& window = app.app.window();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const auto resume = qScopeGuard([this] { ::kill(pid_t(m_logind.processId()), SIGCONT); });
        SeenBox seen;
        ModalAnswerer boxAnswerer(pressOk(seen), 30000);
        for (const QString& step : steps) {
            if (step.startsWith("set ")) {
                ModalAnswerer prompt(answerPrompt(step.mid(4)));
                window.findChild<QPushButton*>("Countdown1")->click();
                QVERIFY(prompt.answered());
            } else if (step == "cancel") {
                window.findChild<QPushButton*>("Cancel")->click();
            } else if (step == "esc") {
                QTest::keyClick(window.windowHandle(), Qt::Key_Escape);
            } else if (step == "off") {
                app.app.comTexts().setOnOffText("OFF");
            } else if (step == "stall") {
                QCOMPARE(::kill(pid_t(m_logind.processId()), SIGSTOP), 0);
            } else if (step == "wait") {
                QTRY_VERIFY_WITH_TIMEOUT(seen.seen, 30000);
            }
        }
        // Switched off at once, not at some later tick.
        QVERIFY(!app.app.serialPort().isOpen());
        QCOMPARE(window.findChild<QPushButton*>("Cancel")->isEnabled(), cancelEnabled);
        QCOMPARE(seen.seen ? seen.text : QString(), box);
        const QStringList events = ptys.events(pts);
        QCOMPARE(events.isEmpty(), !lineWentOn);
        if (lineWentOn)
            QVERIFY2(events.last().startsWith("close dtr=0 rts=0"), qPrintable(events.join('\n')));
        if (steps.contains("stall")) {
            // The output's own timer ends the line's time at exactly the 3 s asked, logind or not.
            const double on = rtsOnSeconds(ptys.log(pts));
            qInfo("line on for %.3f s with logind stalled", on);
            QVERIFY2(qAbs(on - 3) <= 0.03, qPrintable(ptys.log(pts).join('\n')));
        }
    }

    void countdownHoldsTheSelectedLine()
    {
        PtyPorts ptys;
        const int pts = ptys.plugIn(0);
        App app(ptys);
        const SeenBox box = app.setAndWaitForBox("1", 5000);
        QCOMPARE(box.text, kDoneWithCom);
        QVERIFY(!app.app.serialPort().isOpen());

        const QStringList events = ptys.events(pts);
        QVERIFY2(events.contains("set dtr=0 rts=1 hupcl=1"), qPrintable(events.join('\n')));
        QVERIFY2(otherLineNeverOn(events, "dtr"), qPrintable(events.join('\n')));
        QVERIFY2(events.last().startsWith("close dtr=0 rts=0"), qPrintable(events.join('\n')));
    }

    // Exit switches the device off before it saves the settings, which a slow disk can hold up
    // (here the save's last step takes a second), and closes the port after.
    void exitClosesAPortLeftOpen()
    {
        PtyPorts ptys;
        const int pts = ptys.plugIn(0);
        App app(ptys);
        app.app.comTexts().setPinText("4 - DTR");
        {
            ModalAnswerer prompt(answerPrompt("600"));
            app.app.window().findChild<QPushButton*>("Countdown1")->click();
            QVERIFY(prompt.answered());
        }
        QVERIFY(app.app.serialPort().isOpen());
        QVERIFY(ptys.events(pts).contains("set dtr=1 rts=0 hupcl=1"));
        const QString renameLog = ptys.folder() + QStringLiteral("/renamed.log");
        qputenv("TIMERS_SLOW_RENAME_MS", "1000");
        qputenv("TIMERS_RENAME_LOG", renameLog.toLocal8Bit());
        app.app.exit(); // as File > Exit, the close box and termination signals do
        qunsetenv("TIMERS_SLOW_RENAME_MS");
        qunsetenv("TIMERS_RENAME_LOG");
        QCOMPARE(app.ended, 1);
        QVERIFY(!app.app.serialPort().isOpen());
        const QStringList log = ptys.log(pts);
        QVERIFY2(log.last().contains(" close dtr=0 rts=0"), qPrintable(log.join('\n')));
        // The line went down before the save ended, the port closed after it.
        QFile renamed(renameLog);
        QVERIFY2(renamed.open(QIODevice::ReadOnly), "the settings were not saved through a rename");
        const qint64 savedNs = renamed.readAll().trimmed().toLongLong();
        const qsizetype down = log.indexOf(QRegularExpression(".* dtr=0 rts=0 .*"),
                                           log.lastIndexOf(QRegularExpression(".* set dtr=1 .*")) + 1);
        QVERIFY2(down > 0 && log[down].section(' ', 0, 0).toLongLong() < savedNs
                     && log.last().section(' ', 0, 0).toLongLong() > savedNs,
                 qPrintable(log.join('\n') + QStringLiteral("\nsaved at ") + QString::number(savedNs)));
        QFile saved(settingsPath(ptys));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray("//Timer Control\r\n[USB/COM port]\r\n1\r\n[COM On-Off]\r\nON\r\n"
                                             "[COM output pin]\r\n4 - DTR\r\n[Use alarm]\r\nNo\r\n"));
    }

    // Asked to end while the settings are read: it ends, and the window never shows.
    void endRequestedDuringTheLoad()
    {
        PtyPorts ptys;
        QFile settings(settingsPath(ptys));
        QVERIFY(settings.open(QIODevice::WriteOnly) && settings.write(QByteArray(100000, '\n')) == 100000);
        settings.close();
        int ended = 0;
        int asked = 0;
        TimersApp app({SerialDevices(ptys.folder()),
                       {},
                       [&ended] { ++ended; },
                       settingsPath(ptys),
                       [&asked] { return ++asked > 1; }});
        app.startup();
        QCOMPARE(ended, 1);
        QVERIFY(!app.window().isVisible());
    }

    void answerOutOfRangeLeavesTheOutputUntouched()
    {
        PtyPorts ptys;
        const int pts = ptys.plugIn(0);
        App app(ptys);
        const SeenBox box = app.setAndWaitForBox("99999999999", 3000);
        QCOMPARE(box.text, QStringLiteral("Invalid port address"));
        QVERIFY(!app.app.serialPort().isOpen());
        QVERIFY(ptys.events(pts).isEmpty());
    }

    // A port that cannot be used shows the exact box; its details say which device and why.
    void unusablePortShowsWhy_data()
    {
        QTest::addColumn<QString>("portNumber");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("details");
        QTest::newRow("missing") << "COM3"
                                 << "" << QStringList{"there is no serial port 0 (1 found: ", "/ttyUSB0)"};
        QTest::newRow("permission denied")
            << "1"
            << "open" << QStringList{"/ttyUSB0): Permission denied", "sudo adduser $USER dialout"};
        QTest::newRow("busy") << "1"
                              << "busy" << QStringList{"/ttyUSB0): ", "it is busy. It is open in tst_com_app (pid "};
    }
    void unusablePortShowsWhy()
    {
        QFETCH(QString, portNumber);
        QFETCH(QString, fault);
        QFETCH(QStringList, details);
        PtyPorts ptys;
        const int pts = ptys.plugIn(0);
        QSerialPort holder(ptys.linkPath(0));
        if (fault == "busy")
            QVERIFY(holder.open(QIODevice::ReadWrite));
        const QStringList before = ptys.events(pts);
        App app(ptys);
        app.app.comTexts().setPortNumberText(portNumber);
        if (fault == "open")
            qputenv("TIMERS_MODEM_FAIL", "open");
        const SeenBox box = app.setAndWaitForBox("5", 3000);
        qunsetenv("TIMERS_MODEM_FAIL");
        QCOMPARE(box.text, QStringLiteral("Invalid port address"));
        QCOMPARE(box.title, QStringLiteral("Vorn Timers"));
        for (const QString& part : details)
            QVERIFY2(box.details.contains(part), qPrintable(box.details));
        QCOMPARE(ptys.events(pts), before);
        QVERIFY(!app.app.serialPort().isOpen());
    }

    // What a desktop user would otherwise never see reaches the notification service: an alarm
    // that cannot play (here: no sound module) and a save that fails at exit.
    void failuresReachTheDesktop_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QStringList>("notifications");
        QTest::newRow("alarm cannot play") << ""
                                           << "alarm"
                                           << QStringList{"Timers|The alarm sound cannot play: the sound module "
                                                          "timers-sound is missing. The bell rang instead.",
                                                          "Timers|Done countdown...\\n COM output Off."};
        QTest::newRow("save fails at exit")
            << "/nonexistent/timers/Timer_Control.ini"
            << "exit" << QStringList{"Timers|Cannot write /nonexistent/timers/Timer_Control.ini: "};
    }
    void failuresReachTheDesktop()
    {
        QFETCH(QString, settings);
        QFETCH(QString, steps);
        QFETCH(QStringList, notifications);
        PtyPorts ptys;
        const int pts = ptys.plugIn(0);
        App app(ptys, settings);
        m_logind.readAll(); // what earlier tests left
        if (steps == "alarm") {
            app.app.window().checkAlarm();
            ModalAnswerer prompt(answerPrompt("1"));
            app.app.window().findChild<QPushButton*>("Countdown1")->click();
            QVERIFY(prompt.answered());
        } else {
            ModalAnswerer prompt(answerPrompt("600")); // the device is on at exit
            app.app.window().findChild<QPushButton*>("Countdown1")->click();
            QVERIFY(prompt.answered());
            app.app.exit();
            QCOMPARE(app.ended, 1);
            QVERIFY(!app.app.serialPort().isOpen());
        }
        for (const QString& expected : notifications) {
            const QByteArray shown = nextFromDesktop();
            QVERIFY2(shown.startsWith("Timers|org.vorn.Timers|" + expected.toUtf8()), shown.constData());
            // The device went off before the desktop heard of the failed save (which may wait).
            const QStringList closed = ptys.log(pts).filter(" close ");
            const qint64 shownAt = shown.mid(shown.lastIndexOf("|at=") + 4).toLongLong();
            QVERIFY2(steps != "exit" || (!closed.isEmpty() && closed.last().section(' ', 0, 0).toLongLong() < shownAt),
                     qPrintable(ptys.log(pts).join('\n')));
        }
    }

    void unpluggedAdapterDuringCountdown()
    {
        PtyPorts ptys;
        ptys.plugIn(0);
        App app(ptys);
        m_logind.readAll(); // what earlier tests left
        SeenBox box;
        {
            ModalAnswerer boxAnswerer(pressOk(box), 10000);
            {
                ModalAnswerer prompt(answerPrompt("2"));
                app.app.window().findChild<QPushButton*>("Countdown1")->click();
                QVERIFY(prompt.answered());
            }
            QVERIFY(app.app.serialPort().isOpen());
            ptys.unplug(0);
            QTRY_VERIFY_WITH_TIMEOUT(box.seen, 5000);
        }
        QCOMPARE(box.text, kDoneWithCom); // the completion completes
        QVERIFY(!app.app.serialPort().isOpen());
        QCOMPARE(nextFromDesktop("released "),
                 QByteArray("Timers")); // and the sleep lock goes, though the port had closed
        QVERIFY(!app.app.window().findChild<QPushButton*>("Cancel")->isEnabled());

        // Plugged in again: the next countdown drives the line as before.
        const int again = ptys.plugIn(0);
        QCOMPARE(app.setAndWaitForBox("1", 5000).text, kDoneWithCom);
        QVERIFY(ptys.events(again).contains("set dtr=0 rts=1 hupcl=1"));
    }

private:
    // The next line of the fake desktop that starts with `kind` ("notify ": app|icon|summary|
    // body|at=time; "released ": a sleep lock let go), without it.
    QByteArray nextFromDesktop(const QByteArray& kind = "notify ")
    {
        for (;;) {
            if (!QTest::qWaitFor([this] { return m_logind.canReadLine(); }, 30000))
                return "<nothing>";
            const QByteArray line = m_logind.readLine().trimmed();
            if (line.startsWith(kind))
                return line.mid(kind.size());
        }
    }

    QProcess m_bus;
    QProcess m_logind;
};

QTEST_MAIN(TestComApp)
#include "tst_com_app.moc"
