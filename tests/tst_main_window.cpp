// The real main window on the offscreen platform: layout against the twips table, menus,
// focus order, Esc, the prompt and boxes answered from the test, and the exit sequence.

#include "app/exit_sequence.h"
#include "app/frmAlarm.h"
#include "app/spoken_names.h"
#include "system/qt_dialogs.h"
#include "tests/fakes/fake_signalling_tick_timer.h"
#include "tests/fakes/fakes.h"
#include "tests/modal_answerer.h"
#include "window_layout/controls.h"
#include "window_layout/twips.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QtMath>

using namespace timers;
using namespace timers::fakes;
using namespace timers::testing;

namespace {

struct Window {
    FakeClock clock;
    QtDialogs dialogs;
    FakeSound sound;
    FakeCom com;
    FakeNotifier notifier;
    FakeSignallingTickTimer Timer3;
    FakeSignallingTickTimer tmrTime;
    FakeAnswerHistory recent;
    frmAlarm window{{countdown, stopwatch, dialogs, tmrTime}};
    FakeRunLog runs;
    Countdown countdown{{window, dialogs, clock, Timer3, sound, com, notifier, recent, runs}};
    Stopwatch stopwatch{window, tmrTime};

    Window()
    {
        QObject::connect(&Timer3, &SignallingTickTimer::ticked, [this] { countdown.tick(); }); // as the program does
        dialogs.setOwner(&window);
        window.startup();
    }
    // The clock moves on by `seconds`, the output's own timer ends the device's time if it is
    // up, then the countdown ticks.
    void tickAfter(int seconds)
    {
        clock.advance(seconds);
        if (com.holding && (clock.now() - switchedOnAt) * 1000 >= com.lastLength.count())
            countdown.deadlinePassed(com.lastNumber);
        Timer3.tick();
    }
    std::int64_t switchedOnAt = 0;
    template <typename T = QWidget> T* control(const char* name) const
    {
        return window.findChild<T*>(QLatin1String(name));
    }
    QString text(const char* label) const { return control<QLabel>(label)->text(); }
    QAction* menuAction(const char* name) const { return window.findChild<QAction*>(QLatin1String(name)); }

    // Presses Set and answers the prompt.
    void set(const QString& answer)
    {
        ModalAnswerer answerer(answerPrompt(answer));
        control<QPushButton>("Countdown1")->click();
        QVERIFY(answerer.answered());
        switchedOnAt = clock.now();
    }
};

// The first and last rows in which a control draws in its text colour, from its top, as the
// window paints it (at a fractional scale each control's pixel rows round differently).
std::pair<double, double> inkRows(QWidget* control)
{
    const QImage image = control->window()->grab().toImage();
    const qreal ratio = image.devicePixelRatio();
    const QPoint origin = control->mapTo(control->window(), QPoint());
    const QColor ink = control->palette().color(control->foregroundRole());
    const int left = qFloor(origin.x() * ratio), right = qCeil((origin.x() + control->width()) * ratio);
    const int top = qFloor(origin.y() * ratio), bottom = qCeil((origin.y() + control->height()) * ratio);
    int first = -1, last = -1;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            if (qAbs(qGray(image.pixel(x, y)) - qGray(ink.rgb())) < 60) {
                first = first < 0 ? y : first;
                last = y;
                break;
            }
        }
    }
    return {first / ratio - origin.y(), (last + 1) / ratio - origin.y()};
}

// The vertical middle of what a control draws in its text colour.
double inkCentre(QWidget* control)
{
    const auto [top, bottom] = inkRows(control);
    return (top + bottom) / 2;
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { installSpokenNames(QStringLiteral("Timers")); } // as the program does
    void layout_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        // At 96 dpi: the layout's twips divided by 15 and rounded.
        QTest::addColumn<QRect>("pixels");
        QTest::addColumn<double>("points");
        QTest::addColumn<bool>("centred");
        const auto row = [](const char* name, const char* caption, QRect pixels, double points, bool centred) {
            QTest::newRow(name) << name << caption << pixels << points << centred;
        };
        row("Label5", "Count down", {76, 17, 98, 18}, 9.6, true);
        row("lblTime", "00:00", {78, 35, 96, 33}, 24, true);
        row("Countdown1", "Set", {58, 73, 55, 29}, 7.8, false);
        row("Cancel", "Cancel", {137, 73, 55, 29}, 7.8, false);
        row("Alarm", "Alarm", {90, 109, 65, 14}, 7.8, false);
        row("Label7", "Elapsed", {74, 148, 98, 18}, 9.6, true);
        row("Label1", "00", {60, 166, 39, 32}, 24, false);
        row("Label4", ":", {98, 167, 6, 28}, 19.2, false);
        row("Label2", "00", {106, 166, 38, 32}, 24, false);
        row("Label6", ":", {142, 167, 7, 28}, 19.2, false);
        row("Label3", "00", {151, 165, 38, 32}, 24, false);
        row("btnStart", "Start", {91, 202, 59, 29}, 7.8, false);
    }
    void layout()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QRect, pixels);
        QFETCH(double, points);
        QFETCH(bool, centred);
        Window w;
        auto* control = w.control(name.toLatin1().constData());
        QVERIFY(control);
        QCOMPARE(control->geometry(), pixels);
        QCOMPARE(control->font().pointSizeF(), points);
        QCOMPARE(control->font().weight(), QFont::Bold);
        if (auto* label = qobject_cast<QLabel*>(control)) {
            QCOMPARE(label->text(), caption);
            QCOMPARE(bool(label->alignment() & Qt::AlignHCenter), centred);
        } else {
            QCOMPARE(qobject_cast<QAbstractButton*>(control)->text(), caption);
        }
    }

    // The fixed grey background keeps its texts dark under a dark desktop palette.
    void darkPaletteKeepsTheTextsDark()
    {
        const QPalette before = QApplication::palette();
        QPalette dark(QColor(40, 40, 40));
        dark.setColor(QPalette::WindowText, Qt::white);
        QApplication::setPalette(dark);
        {
            Window w;
            for (const char* text : {"Label5", "lblTime", "Alarm", "Label7", "Label1", "Label2", "Label3"})
                QCOMPARE(w.control(text)->palette().color(w.control(text)->foregroundRole()), QColor(Qt::black));
            for (const char* colon : {"Label4", "Label6"})
                QCOMPARE(w.control(colon)->palette().color(QPalette::WindowText), QColor(255, 0, 0));
            // A disabled Cancel stays readable on its dark button.
            const QPalette cancel = w.control("Cancel")->palette();
            QVERIFY(contrastRatio(cancel.color(QPalette::Disabled, QPalette::ButtonText),
                                  cancel.color(QPalette::Disabled, QPalette::Button))
                    >= 3);
        }
        QApplication::setPalette(before);
    }

    // Return and keypad Enter click the focused button, as Space does.
    void returnClicksTheFocusedButton_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("key");
        QTest::newRow("Return on Start, focused at start") << "" << int(Qt::Key_Return);
        QTest::newRow("keypad Enter on Start") << "btnStart" << int(Qt::Key_Enter);
        QTest::newRow("Return on Set") << "Countdown1" << int(Qt::Key_Return);
        QTest::newRow("Return on Cancel") << "Cancel" << int(Qt::Key_Return);
    }
    void returnClicksTheFocusedButton()
    {
        QFETCH(QString, button);
        QFETCH(int, key);
        Window w;
        if (button == "Cancel") {
            w.set("600"); // enables Cancel
            w.window.activateWindow();
        }
        QVERIFY(QTest::qWaitForWindowActive(&w.window));
        if (!button.isEmpty())
            w.control(button.toLatin1().constData())->setFocus();
        auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget());
        QVERIFY(focused);
        QSignalSpy clicked(focused, &QPushButton::clicked);
        ModalAnswerer answerer(answerPrompt("")); // the prompt Set opens
        QTest::keyClick(focused, Qt::Key(key));
        QCOMPARE(clicked.size(), 1);
    }

    // Every value is shown whole in its display; one that fits keeps the full size.
    void wideValuesFit_data()
    {
        QTest::addColumn<QString>("answer"); // to Set; empty: the stopwatch runs instead
        QTest::addColumn<int>("hours");      // the stopwatch's reading (tst_stopwatch counts it there)
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("text");
        QTest::newRow("fits") << "90" << 0 << "lblTime"
                              << "01:30";
        QTest::newRow("negative") << "-65" << 0 << "lblTime"
                                  << "-02:-05";
        QTest::newRow("100 minutes") << "6000" << 0 << "lblTime"
                                     << "100:00";
        QTest::newRow("1000 minutes") << "60000" << 0 << "lblTime"
                                      << "1000:00";
        QTest::newRow("largest countdown") << "2147483647" << 0 << "lblTime"
                                           << "35791394:07";
        QTest::newRow("stopwatch past 99 hours") << "" << 100 << "Label1"
                                                 << "100";
        QTest::newRow("full size again after a wide value") << "60000;90" << 0 << "lblTime"
                                                            << "01:30";
    }
    void wideValuesFit()
    {
        QFETCH(QString, answer);
        QFETCH(int, hours);
        QFETCH(QString, display);
        QFETCH(QString, text);
        Window w;
        for (const QString& each : answer.split(';', Qt::SkipEmptyParts))
            w.set(each);
        if (hours) { // shown as the stopwatch shows it: counting 360000 ticks here takes a minute under load
            w.control<QPushButton>("btnStart")->click();
            static_cast<StopwatchView&>(w.window).showElapsed(QString::number(hours), "00", "00");
        }
        auto* label = w.control<QLabel>(display.toLatin1().constData());
        QCOMPARE(label->text(), text);
        QVERIFY2(QFontMetrics(label->font()).horizontalAdvance(text) <= label->contentsRect().width(),
                 qPrintable(QStringLiteral("%1 pt").arg(label->font().pointSizeF())));
        QCOMPARE(label->font().family(), w.control("Label5")->font().family());
        // Shrunk digits stay vertically centred where full-size ones are ("00:00" at start).
        Window fresh;
        QVERIFY2(
            qAbs(inkCentre(label) - inkCentre(fresh.control("lblTime"))) <= 1.5,
            qPrintable(QStringLiteral("%1 against %2").arg(inkCentre(label)).arg(inkCentre(fresh.control("lblTime")))));
        if (text == "01:30")
            QCOMPARE(label->font().pointSizeF(), 24.0);
    }

    // The digits of each display stand on one line at any scale (the seconds' box lies 12
    // twips higher); tests/CMakeLists.txt runs this and the measuring rows above at other scales.
    void digitsShareABaseline()
    {
        Window w;
        const auto baseline = [&w](const char* name) { return w.control(name)->y() + inkRows(w.control(name)).second; };
        QCOMPARE(baseline("Label2"), baseline("Label1"));
        QCOMPARE(baseline("Label3"), baseline("Label1"));
    }

    // The Set prompt opens empty; Up goes to older answers (stopping at the oldest), Down to
    // newer ones and past the newest back to what was typed.
    void promptStepsThroughRecentAnswers()
    {
        Window w;
        w.recent.kept = QStringList{"90", "30", "600"};
        QStringList seen;
        ModalAnswerer answerer([&seen](QWidget* widget) {
            auto* prompt = qobject_cast<QInputDialog*>(widget);
            if (!prompt)
                return false;
            auto* field = prompt->findChild<QLineEdit*>();
            seen << field->text();
            QTest::keyClicks(field, "4");
            for (Qt::Key key :
                 {Qt::Key_Up, Qt::Key_Down, Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Down}) {
                QTest::keyClick(field, key);
                seen << field->text();
            }
            prompt->accept();
            return true;
        });
        w.control<QPushButton>("Countdown1")->click();
        QVERIFY(answerer.answered());
        QCOMPARE(seen, (QStringList{"", "90", "4", "90", "30", "600", "600", "30"}));
        QCOMPARE(w.text("lblTime"), QStringLiteral("00:30"));
    }

    void window()
    {
        Window w;
        QCOMPARE(w.window.windowTitle(), QStringLiteral("Timers"));
        QCOMPARE(w.window.centralWidget()->size(), QSize(251, 250));
        QCOMPARE(w.window.centralWidget()->palette().color(QPalette::Window), QColor(192, 192, 192));
        for (const char* colon : {"Label4", "Label6"})
            QCOMPARE(w.control(colon)->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QVERIFY(!w.control("Cancel")->isEnabled());
        QVERIFY(!w.control<QCheckBox>("Alarm")->isChecked());
        const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
        // Centred within a few pixels: window systems add frames of their own after placing.
        const QPoint offset = w.window.geometry().center() - screenCentre;
        QVERIFY2(qAbs(offset.x()) <= 3 && qAbs(offset.y()) <= 3,
                 qPrintable(QStringLiteral("off centre by %1,%2").arg(offset.x()).arg(offset.y())));
    }

    void accessibleNames()
    {
        Window w;
        const auto name = [&](const char* control) {
            QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w.control(control));
            return face ? face->text(QAccessible::Name) : QString();
        };
        QCOMPARE(name("lblTime"), QStringLiteral("Remaining time 00:00"));
        QCOMPARE(name("Label1"), QStringLiteral("Elapsed hours 00"));
        QCOMPARE(name("Label2"), QStringLiteral("Elapsed minutes 00"));
        QCOMPARE(name("Label3"), QStringLiteral("Elapsed seconds 00"));
        QCOMPARE(name("Countdown1"), QStringLiteral("Set countdown"));
        QCOMPARE(name("Cancel"), QStringLiteral("Cancel countdown"));
        QCOMPARE(name("btnStart"), QStringLiteral("Start stopwatch"));
        for (const char* control : {"Label5", "Label7", "Alarm"})
            QVERIFY2(!name(control).isEmpty(), control);
        // The colons are heard as nothing: no name, no text, not shown to the reader.
        QAccessibleInterface* client = QAccessible::queryAccessibleInterface(w.window.centralWidget());
        int silent = 0;
        for (int i = 0; i < client->childCount(); ++i) {
            QAccessibleInterface* child = client->child(i);
            if (child->object() != w.control("Label4") && child->object() != w.control("Label6"))
                continue;
            ++silent;
            for (QAccessible::Text text : {QAccessible::Name, QAccessible::Description, QAccessible::Value})
                QVERIFY2(child->text(text).isEmpty(), qPrintable(QString::number(int(text)) + child->text(text)
                                                                 + QString::number(int(child->role()))));
            QVERIFY(child->state().invisible);
            QVERIFY(child->role() != QAccessible::Separator && child->role() != QAccessible::StaticText);
        }
        QCOMPARE(silent, 2);
        // The application is "Timers" to a screen reader, whatever its window class.
        QCOMPARE(QAccessible::queryAccessibleInterface(qApp)->text(QAccessible::Name), QStringLiteral("Timers"));

        // The names follow what the displays show.
        w.set("75");
        QCOMPARE(name("lblTime"), QStringLiteral("Remaining time 01:15"));
        w.control<QPushButton>("btnStart")->click();
        QCOMPARE(name("btnStart"), QStringLiteral("Stop stopwatch"));
        QCOMPARE(name("Label3"), QStringLiteral("Elapsed seconds 00"));
    }

    void menus()
    {
        Window w;
        const QList<QAction*> bar = w.window.menuBar()->actions();
        QCOMPARE(bar.size(), 3);
        QCOMPARE(bar[0]->text(), QStringLiteral("File"));
        QVERIFY(bar[0]->menu());
        QCOMPARE(bar[0]->menu()->actions().size(), 1);
        QCOMPARE(bar[0]->menu()->actions()[0]->text(), QStringLiteral("Exit"));
        QCOMPARE(bar[1]->text(), QStringLiteral("ComPort"));
        QCOMPARE(bar[2]->text(), QStringLiteral("Help"));
        QVERIFY(!bar[1]->menu() && !bar[2]->menu()); // commands, not drop-downs
        for (QAction* action : bar)
            QVERIFY(!action->text().contains('&') && action->shortcut().isEmpty());
        QSignalSpy comPort(&w.window, &frmAlarm::comPortRequested);
        bar[1]->trigger();
        QCOMPARE(comPort.size(), 1);
    }

    // Ctrl+Q and F1 act on the window, as File > Exit and Help do.
    void keyboardCommands_data()
    {
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<bool>("exits");
        QTest::newRow("Ctrl+Q exits") << QKeySequence(Qt::CTRL | Qt::Key_Q) << true;
        QTest::newRow("F1 shows Help") << QKeySequence(Qt::Key_F1) << false;
    }
    void keyboardCommands()
    {
        QFETCH(QKeySequence, keys);
        QFETCH(bool, exits);
        Window w;
        QVERIFY(QTest::qWaitForWindowActive(&w.window));
        QSignalSpy exit(&w.window, &frmAlarm::exitRequested);
        SeenBox box;
        {
            ModalAnswerer answerer(pressOk(box));
            QTest::keySequence(&w.window, keys);
            QCOMPARE(answerer.answered(), !exits);
        }
        QCOMPARE(exit.size(), exits ? 1 : 0);
        QCOMPARE(box.title, exits ? QString() : QStringLiteral("by Pell Ardo, QZ0QZ"));
    }

    void focusOrder()
    {
        Window w;
        QVERIFY(QTest::qWaitForWindowActive(&w.window));
        QCOMPARE(QApplication::focusWidget(), w.control("btnStart"));
        w.control("Cancel")->setEnabled(true); // a disabled Cancel is skipped
        QStringList order;
        QWidget* current = w.control("btnStart");
        for (int i = 0; i < 4; ++i) {
            order << current->objectName();
            do
                current = current->nextInFocusChain();
            while (!(current->focusPolicy() & Qt::TabFocus));
        }
        QCOMPARE(order, (QStringList{"btnStart", "Countdown1", "Cancel", "Alarm"}));
        QCOMPARE(current, w.control("btnStart"));
    }

    void help()
    {
        Window w;
        SeenBox box;
        ModalAnswerer answerer(pressOk(box));
        w.menuAction("mHelp")->trigger();
        QVERIFY(answerer.answered());
        QCOMPARE(box.title, QStringLiteral("by Pell Ardo, QZ0QZ"));
        QCOMPARE(box.icon, QMessageBox::NoIcon);
        QCOMPARE(box.text, QStringLiteral("<Esc> key or [Cancel] click stops the countdown timer.\n\n"
                                          "The countdown alarm wave file must be named {alarm.wav}\n"
                                          "and located in the application startup folder.\n\n"
                                          "The COM port can be used to activate a device during the\n"
                                          "countdown time."));
    }

    void setCountsDownAndCompletesWithTheBox()
    {
        Window w;
        w.set("90");
        QCOMPARE(w.text("lblTime"), QStringLiteral("01:30"));
        QVERIFY(w.control("Cancel")->isEnabled());

        w.tickAfter(10);
        QCOMPARE(w.text("lblTime"), QStringLiteral("01:20"));

        SeenBox box;
        ModalAnswerer answerer(pressOk(box));
        w.tickAfter(81); // returns once the box is answered
        QVERIFY(box.seen);
        QCOMPARE(box.icon, QMessageBox::Warning); // the box's texts are the countdown's, tested with it
        QCOMPARE(w.text("lblTime"), QStringLiteral("00:00"));
        QVERIFY(!w.control("Cancel")->isEnabled());
    }

    void invalidAnswer()
    {
        Window w;
        SeenBox box;
        ModalAnswerer boxAnswerer(pressOk(box));
        w.set("99999999999");
        QTRY_VERIFY_WITH_TIMEOUT(box.seen, 3000);
        QCOMPARE(box.icon, QMessageBox::NoIcon);
        QCOMPARE(w.com.engaged, 0);
        QCOMPARE(w.text("lblTime"), QStringLiteral("00:00"));
    }

    void cancelledPromptChangesNothing()
    {
        Window w;
        w.set(QString());
        QCOMPARE(w.com.engaged, 0);
        QVERIFY(!w.control("Cancel")->isEnabled());
    }

    // Esc cancels only while the main window is active; a silent completion follows.
    void escOnlyInTheMainWindow()
    {
        Window w;
        w.control<QCheckBox>("Alarm")->click();
        QVERIFY(w.control<QCheckBox>("Alarm")->isChecked());
        w.set("600");

        QWidget other;
        other.setWindowTitle(QStringLiteral("COM port"));
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QTest::keyClick(other.windowHandle(), Qt::Key_Escape);
        w.tickAfter(1);
        QCOMPARE(w.text("lblTime"), QStringLiteral("09:59"));
        QVERIFY(w.control("Cancel")->isEnabled());

        w.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w.window));
        QTest::keyClick(w.window.windowHandle(), Qt::Key_Escape, Qt::ShiftModifier);
        w.tickAfter(0);
        QVERIFY(!w.control("Cancel")->isEnabled());
        QCOMPARE(w.text("lblTime"), QStringLiteral("00:00"));
        QVERIFY(w.sound.played.isEmpty());
        QCOMPARE(w.com.released, 1);
    }

    void alarmPlaysAtCompletion()
    {
        Window w;
        w.control<QCheckBox>("Alarm")->click();
        w.set("1");
        w.tickAfter(2);
        QCOMPARE(w.sound.played, QStringList{"alarm.wav"});
    }

    void stopwatch()
    {
        Window w;
        auto* start = w.control<QPushButton>("btnStart");
        start->click();
        QCOMPARE(start->text(), QStringLiteral("Stop"));
        w.tmrTime.tick();
        QCOMPARE(w.text("Label3"), QStringLiteral("01"));
        start->click();
        QCOMPARE(start->text(), QStringLiteral("Start"));
        QVERIFY(!w.tmrTime.isActive()); // a stopped stopwatch does not tick
        start->click();
        QCOMPARE(w.text("Label1") + w.text("Label2") + w.text("Label3"), QStringLiteral("000000"));
    }

    // File > Exit and the close box ask the application to exit; the window stays.
    void exitIsRequested_data()
    {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("File > Exit") << false;
        QTest::newRow("close box") << true;
    }
    void exitIsRequested()
    {
        QFETCH(bool, closeBox);
        Window w;
        QSignalSpy requests(&w.window, &frmAlarm::exitRequested);
        if (closeBox)
            QVERIFY(!w.window.close());
        else
            w.menuAction("mExit")->trigger();
        QCOMPARE(requests.size(), 1);
        QVERIFY(w.window.isVisible());
    }

    // A second exit request during the save (a signal during File > Exit) runs nothing twice.
    void exitSequenceRunsOnce()
    {
        QStringList steps;
        ExitSequence exit([&steps] { steps << "end"; });
        exit.addStep([&] {
            steps << "save";
            exit.run();
        });
        exit.addStep([&steps] { steps << "close port"; });
        exit.run();
        QCOMPARE(steps, (QStringList{"save", "close port", "end"}));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
