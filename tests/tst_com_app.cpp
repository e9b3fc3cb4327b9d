// The program's parts wired as they run (main window, COM port dialog, COM output, serial
// layer), against pseudo-terminals with emulated modem lines, driven as a user would.

#include "modal_answerer.h"
#include "pty_ports.h"
#include "timers_app.h"

#include <QCheckBox>
#include <QPushButton>
#include <QSerialPort>
#include <QTest>

using namespace timers;
using namespace timers::testing;

namespace {

QString settingsPath(const PtyPorts& ptys) { return ptys.folder() + QStringLiteral("/Timer_Control.ini"); }

struct App {
    int ended = 0;
    TimersApp app;

    explicit App(const PtyPorts& ptys)
        : app({SerialDevices(ptys.folder()), {}, [this] { ++ended; }, settingsPath(ptys)})
    {
        app.startup();
        app.comDialog().setOnOffText("ON");
        app.comDialog().setPinText("7 - RTS");
        app.comDialog().setPortNumberText("1");
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

} // namespace

class TestComApp : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(qEnvironmentVariableIsSet("LD_PRELOAD"), "run with modem_lines.so preloaded"); }

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

    void exitClosesAPortLeftOpen()
    {
        PtyPorts ptys;
        const int pts = ptys.plugIn(0);
        App app(ptys);
        app.app.comDialog().setPinText("4 - DTR");
        {
            ModalAnswerer prompt(answerPrompt("600"));
            app.app.window().findChild<QPushButton*>("Countdown1")->click();
            QVERIFY(prompt.answered());
        }
        QVERIFY(app.app.serialPort().isOpen());
        QVERIFY(ptys.events(pts).contains("set dtr=1 rts=0 hupcl=1"));
        app.app.exit(); // as File > Exit, the close box and termination signals do
        QCOMPARE(app.ended, 1);
        QVERIFY(!app.app.serialPort().isOpen());
        QVERIFY2(ptys.events(pts).last().startsWith("close dtr=0 rts=0"), qPrintable(ptys.events(pts).join('\n')));
        // The settings were saved first.
        QFile saved(settingsPath(ptys));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray("//Timer Control\r\n[USB/COM port]\r\n1\r\n[COM On-Off]\r\nON\r\n"
                                             "[COM output pin]\r\n4 - DTR\r\n[Use alarm]\r\nNo\r\n"));
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

    void busyPortShowsInvalidPortAddress()
    {
        PtyPorts ptys;
        const int pts = ptys.plugIn(0);
        QSerialPort holder(ptys.linkPath(0));
        QVERIFY(holder.open(QIODevice::ReadWrite));
        const QStringList before = ptys.events(pts);
        App app(ptys);
        const SeenBox box = app.setAndWaitForBox("5", 3000);
        QCOMPARE(box.text, QStringLiteral("Invalid port address"));
        QCOMPARE(box.title, QStringLiteral("Vorn Timers"));
        QCOMPARE(ptys.events(pts), before);
    }

    void comPort3NamesNoPort()
    {
        PtyPorts ptys;
        ptys.plugIn(0);
        App app(ptys);
        app.app.comDialog().setPortNumberText("COM3");
        QCOMPARE(app.setAndWaitForBox("5", 3000).text, QStringLiteral("Invalid port address"));
    }

    void unpluggedAdapterDuringCountdown()
    {
        PtyPorts ptys;
        ptys.plugIn(0);
        App app(ptys);
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
        QVERIFY(!app.app.window().findChild<QPushButton*>("Cancel")->isEnabled());

        // Plugged in again: the next countdown drives the line as before.
        const int again = ptys.plugIn(0);
        QCOMPARE(app.setAndWaitForBox("1", 5000).text, kDoneWithCom);
        QVERIFY(ptys.events(again).contains("set dtr=0 rts=1 hupcl=1"));
    }
};

QTEST_MAIN(TestComApp)
#include "tst_com_app.moc"
