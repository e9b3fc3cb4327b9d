// The countdown driven through its handlers with a fake clock, timer, dialogs, sound and COM.

#include "countdown/countdown.h"
#include "input/foot_switch.h"
#include "output/interlocked_output.h"
#include "tests/fakes/fakes.h"

#include <QTest>

using namespace timers;
using namespace timers::fakes;

namespace {

// What a script waiting for the countdown hears.
struct Watcher final : CountdownWatcher {
    void shown(std::int64_t, std::int32_t length) override { running = length != 0; }
    void finished(bool cancelled) override { ends << (cancelled ? "cancelled" : "done"); }
    bool running = false;
    QStringList ends;
};

struct Rig {
    FakeCountdownView view;
    FakeDialogs dialogs;
    FakeClock clock;
    FakeTimer timer3;
    FakeSound sound;
    FakeCom com;
    FakeNotifier notifier;
    FakeAnswerHistory recent;
    FakeRunLog runs;
    Countdown countdown{{view, dialogs, clock, timer3, sound, com, notifier, recent, runs}};
    Watcher watcher;

    Rig()
    {
        timer3.start(); // Timer3 runs from startup
        countdown.addWatcher(&watcher);
    }

    void set(const QString& answer)
    {
        dialogs.answers.push_back(answer);
        countdown.set();
        deviceLeftMs = com.lastLength.count();
        seen = clock.now();
    }
    // The output's own timer: the device's time passes while it is on, and at its end the
    // device goes off and the program hears of it.
    void deviceTime()
    {
        if (com.holding)
            deviceLeftMs -= (clock.now() - seen) * 1000;
        seen = clock.now();
        if (com.holding && deviceLeftMs <= 0)
            countdown.deadlinePassed(com.lastNumber);
    }
    void tick()
    {
        deviceTime();
        countdown.tick();
    }
    void tickAfter(int seconds)
    {
        clock.advance(seconds);
        tick();
    }
    std::int64_t deviceLeftMs = 0;
    std::int64_t seen = 0;

    // Runs the steps ("set 90", "after 30", "pause", "resume", "key P", "esc", "cancel", "exit",
    // "pause in a box", "resume fails"); returns the last refusal said.
    QString run(const QStringList& steps)
    {
        QString said;
        const auto note = [&said](const QString& why) {
            if (!why.isEmpty())
                said = why;
        };
        for (const QString& step : steps) {
            deviceTime();
            if (step.startsWith("set "))
                set(step.mid(4));
            else if (step.startsWith("after "))
                tickAfter(step.mid(6).toInt());
            else if (step == "pause")
                note(countdown.pause(Countdown::Door::Script));
            else if (step == "resume")
                note(countdown.resume(Countdown::Door::Tray));
            else if (step == "key P")
                countdown.keyDown(Countdown::kPauseKey);
            else if (step == "esc")
                countdown.keyDown(Countdown::kEscKey);
            else if (step == "cancel")
                countdown.cancel();
            else if (step.startsWith("exit"))
                countdown.exiting(step == "exit by a signal");
            else if (step == "pause in a box") {
                dialogs.whileMessageOpen = [&] { note(countdown.pause(Countdown::Door::Script)); };
                dialogs.message("Help", "", Dialogs::Icon::None, {});
            } else if (step == "resume fails") {
                com.resumeSucceeds = false;
                note(countdown.resume(Countdown::Door::Script));
            }
        }
        return said;
    }
};

} // namespace

class TestCountdown : public QObject {
    Q_OBJECT
private slots:
    void setAnswers_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("display");
        QTest::addColumn<bool>("engaged");
        QTest::addColumn<bool>("started"); // Cancel enabled, the tick running, waiting events run
        QTest::addColumn<bool>("invalid");
        QTest::newRow("cancelled prompt") << "" << 0 << "00:00" << false << false << false;
        QTest::newRow("plain") << "90" << 90 << "01:30" << true << true << false;
        QTest::newRow("unit after number") << "90s" << 90 << "01:30" << true << true << false;
        QTest::newRow("blank inside number") << "1 20" << 120 << "02:00" << true << true << false;
        QTest::newRow("tie to even, down") << "2.5" << 2 << "00:02" << true << true << false;
        QTest::newRow("tie to even, up") << "3.5" << 4 << "00:04" << true << true << false;
        // A duration with a unit or a colon means what it says; other text, its leading number.
        QTest::newRow("minutes:seconds") << "1:30" << 90 << "01:30" << true << true << false;
        QTest::newRow("minutes") << "2m" << 120 << "02:00" << true << true << false;
        QTest::newRow("unit word") << "5 min" << 300 << "05:00" << true << true << false;
        QTest::newRow("not a duration: its leading number") << "12x" << 12 << "00:12" << true << true << false;
        QTest::newRow("three-digit minutes") << "6000" << 6000 << "100:00" << true << true << false;
        QTest::newRow("negative") << "-5" << -5 << "-01:-05" << true << true << false;
        QTest::newRow("exact zero stops the tick") << "0" << 0 << "00:00" << false << false << false;
        // Anything else that reads as 0 seconds runs idle and switches nothing on.
        for (const char* zero : {"00", "   ", "abc", "0.4", "inf", "NaN", "&H", "+-3", " 0", "0 "})
            QTest::addRow("reads as zero: '%s'", zero) << zero << 0 << "00:00" << false << true << false;
        QTest::newRow("largest countdown") << "2147483647" << 2147483647 << "35791394:07" << true << true << false;
        QTest::newRow("beyond 32 bits") << "2147483648" << 0 << "00:00" << false << false << true;
        QTest::newRow("beyond double") << "1e400" << 0 << "00:00" << false << false << true;
        QTest::newRow("hex beyond 32 bits") << "&H100000000" << 0 << "00:00" << false << false << true;
    }
    void setAnswers()
    {
        QFETCH(QString, answer);
        QFETCH(int, seconds);
        QFETCH(QString, display);
        QFETCH(bool, engaged);
        QFETCH(bool, started);
        QFETCH(bool, invalid);
        Rig rig;
        rig.recent.kept = QStringList{"7", "5"};
        rig.set(answer);
        QCOMPARE(rig.dialogs.offered, (QStringList{"7", "5"}));
        // Kept for Up in the next prompt: only an answer that started a countdown.
        QCOMPARE(rig.recent.kept, (seconds != 0 ? QStringList{answer, "7", "5"} : QStringList{"7", "5"}));
        QCOMPARE(rig.dialogs.prompts.size(), 1u);
        QCOMPARE(rig.dialogs.prompts[0][1], QStringLiteral("Count Down Timer"));
        QCOMPARE(rig.dialogs.prompts[0][0],
                 QStringLiteral("Enter <SECONDS> to count down from.\r\n\r\n<Entering> the time starts the timer."));
        QCOMPARE(rig.countdown.seconds(), seconds);
        QCOMPARE(rig.view.display(), display);
        QCOMPARE(rig.com.engaged, engaged ? 1 : 0);
        QCOMPARE(rig.view.cancelEnabled, started);
        // The tick runs from startup: only an exact "0" stops it.
        QCOMPARE(rig.timer3.isActive(), answer != QLatin1String("0"));
        QCOMPARE(rig.dialogs.messages.size(), invalid ? 1u : 0u);
        if (invalid) {
            QCOMPARE(rig.dialogs.messages[0].text, QStringLiteral("Invalid port address"));
            QCOMPARE(rig.dialogs.messages[0].title, QStringLiteral("Vorn Timers"));
            QVERIFY(rig.dialogs.messages[0].icon == Dialogs::Icon::None);
            QVERIFY(rig.dialogs.messages[0].details.contains(answer));
        }
        // Only a started countdown lets the waiting events run.
        QCOMPARE(rig.dialogs.eventRounds, started ? 1 : 0);

        // The same recent answer from the tray does the same with no box: the box's details go
        // back to the caller, which is answered before any waiting event runs. A plain fraction
        // is the one difference: the tray takes it as the duration it is (2.5 s, shown as 00:03).
        Rig tray;
        const Countdown::SetOutcome outcome = tray.countdown.enter(answer, Countdown::Door::Tray);
        const bool fraction = answer.contains('.') && readDuration(answer.toStdString());
        QCOMPARE(tray.view.display(), fraction ? QString("00:0%1").arg(answer.left(1).toInt() + 1) : display);
        QCOMPARE(tray.com.engaged, fraction ? 1 : rig.com.engaged);
        QVERIFY(tray.dialogs.messages.empty());
        QCOMPARE(outcome.kind == Countdown::SetOutcome::Kind::Invalid, invalid);
        if (invalid)
            QCOMPARE(outcome.details, rig.dialogs.messages[0].details);
        QCOMPARE(tray.dialogs.eventRounds, 0);
    }

    void engageFailureReportsAndStartsNothing()
    {
        Rig rig;
        rig.timer3.stop();
        rig.com.engageSucceeds = false;
        rig.set("90");
        QCOMPARE(rig.dialogs.messages.size(), 1u);
        QCOMPARE(rig.dialogs.messages[0].text, QStringLiteral("Invalid port address"));
        QCOMPARE(rig.dialogs.messages[0].details, rig.com.failure());
        QCOMPARE(rig.countdown.seconds(), 0);
        QVERIFY(!rig.view.cancelEnabled);
        QVERIFY(!rig.timer3.isActive());
    }

    // A countdown of n completes at the first tick with n + 1 whole seconds passed.
    void completesAfterOneRestingTick_data()
    {
        QTest::addColumn<int>("n");
        QTest::newRow("1") << 1;
        QTest::newRow("2") << 2;
        QTest::newRow("90") << 90;
    }
    void completesAfterOneRestingTick()
    {
        QFETCH(int, n);
        Rig rig;
        rig.view.alarm = true;
        rig.set(QString::number(n));
        for (int elapsed = 0; elapsed <= n; ++elapsed) {
            rig.tick();
            QCOMPARE(rig.view.display(), QString::fromLatin1("%1:%2")
                                             .arg((n - elapsed) / 60, 2, 10, QLatin1Char('0'))
                                             .arg((n - elapsed) % 60, 2, 10, QLatin1Char('0')));
            QVERIFY(rig.sound.played.isEmpty());
            rig.clock.advance(1);
        }
        rig.tick();
        QCOMPARE(rig.sound.played, QStringList{"alarm.wav"});
        QCOMPARE(rig.view.display(), QStringLiteral("00:00"));
        QVERIFY(!rig.timer3.isActive());
        QVERIFY(!rig.view.cancelEnabled);
        QCOMPARE(rig.com.released, 1);
    }

    void completionAlert_data()
    {
        QTest::addColumn<bool>("alarm");
        QTest::addColumn<bool>("cancelled");
        QTest::addColumn<bool>("outputOn");
        QTest::addColumn<QString>("boxText"); // empty: no box
        QTest::addColumn<bool>("sound");
        QTest::newRow("box") << false << false << false << "Done countdown..." << false;
        QTest::newRow("box with COM") << false << false << true << "Done countdown...\r\n COM output Off." << false;
        QTest::newRow("box after cancel") << false << true << false << "Done countdown..." << false;
        QTest::newRow("alarm") << true << false << true << "" << true;
        QTest::newRow("alarm without COM") << true << false << false << "" << true;
        QTest::newRow("silent after cancel") << true << true << true << "" << false;
    }
    void completionAlert()
    {
        QFETCH(bool, alarm);
        QFETCH(bool, cancelled);
        QFETCH(bool, outputOn);
        QFETCH(QString, boxText);
        QFETCH(bool, sound);
        Rig rig;
        rig.view.alarm = alarm;
        rig.com.outputOn = outputOn;
        rig.set("600");
        rig.tickAfter(1);
        if (cancelled)
            rig.countdown.cancel();
        rig.tickAfter(cancelled ? 0 : 600);

        QCOMPARE(rig.countdown.seconds(), 0);
        QCOMPARE(rig.view.display(), QStringLiteral("00:00"));
        QVERIFY(!rig.view.cancelEnabled);
        QCOMPARE(rig.com.released, 1);
        QCOMPARE(rig.dialogs.messages.size(), boxText.isEmpty() ? 0u : 1u);
        if (!boxText.isEmpty()) {
            QCOMPARE(rig.dialogs.messages[0].text, boxText);
            QCOMPARE(rig.dialogs.messages[0].title, QStringLiteral(" Timer"));
            QVERIFY(rig.dialogs.messages[0].icon == Dialogs::Icon::Exclamation);
        }
        QCOMPARE(rig.sound.played.size(), sound ? 1 : 0);
        // The sound is also seen: one notification with the completion's message.
        const QString message = outputOn ? "Done countdown...\r\n COM output Off." : "Done countdown...";
        QCOMPARE(rig.notifier.posted, sound ? QStringList{"Timers|" + message} : QStringList{});
        QVERIFY(!rig.timer3.isActive());
        QVERIFY(!rig.countdown.cancelRaised());
    }

    void ticksDuringTheBoxOnlyShowZero()
    {
        Rig rig;
        rig.set("5");
        int ticksInBox = 0;
        rig.dialogs.whileMessageOpen = [&] {
            for (; ticksInBox < 3; ++ticksInBox)
                rig.tickAfter(1);
        };
        rig.tickAfter(6);
        QCOMPARE(ticksInBox, 3);
        QCOMPARE(rig.dialogs.messages.size(), 1u);
        QCOMPARE(rig.com.released, 1);
        QCOMPARE(rig.view.display(), QStringLiteral("00:00"));
    }

    void completionWhileThePromptIsOpen()
    {
        Rig rig;
        rig.view.alarm = true;
        rig.set("2");
        Countdown::SetOutcome fromScript{}; // a script's Set is refused meanwhile
        rig.dialogs.whilePromptOpen = [&] {
            rig.tickAfter(3);
            fromScript = rig.countdown.enter("5", Countdown::Door::Script);
        };
        rig.countdown.set(); // the prompt is answered with nothing
        QVERIFY(fromScript.kind == Countdown::SetOutcome::Kind::Refused);
        QVERIFY(fromScript.details.contains("prompt is open"));
        QVERIFY(!rig.countdown.promptOpen());
        QCOMPARE(rig.sound.played, QStringList{"alarm.wav"});
        QCOMPARE(rig.countdown.seconds(), 0);
        QVERIFY(!rig.timer3.isActive());
    }

    void negativeCompletesAtTheFirstTick()
    {
        Rig rig;
        rig.set("-5");
        QCOMPARE(rig.view.display(), QStringLiteral("-01:-05"));
        rig.tickAfter(0);
        QCOMPARE(rig.dialogs.messages.size(), 1u);
        QCOMPARE(rig.countdown.seconds(), 0);
    }

    // An answer that leaves no countdown running switches the device off at once and ends the
    // countdown for whoever waits on it; display, tick and Cancel stay as the answer leaves them.
    void answerEndingARunningCountdown_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("tickRuns");
        QTest::newRow("0") << "0" << false;
        QTest::newRow("abc") << "abc" << true;
        QTest::newRow("00") << "00" << true;
        QTest::newRow("blanks") << "   " << true;
    }
    void answerEndingARunningCountdown()
    {
        QFETCH(QString, answer);
        QFETCH(bool, tickRuns);
        Rig rig;
        rig.view.alarm = true;
        rig.set("90");
        QVERIFY(rig.com.holding && rig.watcher.running);
        QCOMPARE(rig.countdown.enter(answer, Countdown::Door::Tray).kind,
                 answer == "0" ? Countdown::SetOutcome::Kind::Stopped : Countdown::SetOutcome::Kind::NoCountdown);
        QVERIFY(!rig.com.holding);
        QVERIFY(!rig.watcher.running);
        QCOMPARE(rig.watcher.ends, QStringList{"cancelled"});
        QCOMPARE(rig.view.display(), QStringLiteral("00:00"));
        QCOMPARE(rig.timer3.isActive(), tickRuns);
        QVERIFY(rig.view.cancelEnabled);
        rig.tickAfter(100);
        QCOMPARE(rig.com.released, 0); // no completion: no box, no sound
        QVERIFY(rig.dialogs.messages.empty() && rig.sound.played.isEmpty());
        QCOMPARE(rig.watcher.ends.size(), 1);
    }

    // Cancel and Esc switch the device off at once; the completion comes at the next tick.
    void cancelSwitchesOffAtOnce_data()
    {
        QTest::addColumn<int>("key"); // 0: the Cancel button
        QTest::newRow("Cancel") << 0;
        QTest::newRow("Esc") << Countdown::kEscKey;
    }
    void cancelSwitchesOffAtOnce()
    {
        QFETCH(int, key);
        Rig rig;
        rig.set("90");
        key ? rig.countdown.keyDown(key) : rig.countdown.cancel();
        QVERIFY(!rig.com.holding);
        QCOMPARE(rig.view.display(), QStringLiteral("01:30"));
        QVERIFY(rig.watcher.ends.isEmpty());
        rig.tickAfter(0);
        QCOMPARE(rig.watcher.ends, QStringList{"cancelled"});
        QCOMPARE(rig.dialogs.messages.size(), 1u);
    }

    // The completion box runs an event loop: a caller's Set is refused there, and a countdown
    // that starts inside it anyway is not stopped when the box closes.
    void completionBoxTouchesOnlyItsCountdown()
    {
        Rig rig;
        rig.set("2");
        Countdown::SetOutcome fromScript{};
        rig.dialogs.whileMessageOpen = [&] {
            fromScript = rig.countdown.enter("5", Countdown::Door::Script);
            rig.countdown.enter("5", Countdown::Door::Prompt);
        };
        rig.tickAfter(3);
        QCOMPARE(rig.dialogs.messages.size(), 1u);
        QVERIFY(fromScript.kind == Countdown::SetOutcome::Kind::Refused);
        QVERIFY(fromScript.details.contains("box is open"));
        QCOMPARE(rig.countdown.seconds(), 5);
        QVERIFY(rig.timer3.isActive());
        rig.tickAfter(6);
        QCOMPARE(rig.com.released, 2);
        QCOMPARE(rig.watcher.ends, (QStringList{"done", "done"}));
    }

    // The output's own timer switches the device off at the end of its length; the completion
    // comes at the tick after it, as run out, also when this thread was held up past the end
    // (the notice and the tick late). A notice about an earlier countdown changes nothing, and a
    // completion never cuts the device's time short: it waits for the notice, within a grace.
    void deviceEndsBeforeTheCompletion_data()
    {
        QTest::addColumn<QString>("before"); // what happened before the notice arrived
        QTest::addColumn<int>("notice");     // the number of the countdown it names; 0: none came
        QTest::addColumn<int>("late");       // seconds past the set when the notice and tick come
        QTest::addColumn<QStringList>("ends");
        QTest::addColumn<bool>("alarm");
        QTest::newRow("its own, at its time") << "" << 1 << 5 << QStringList{} << false;
        QTest::newRow("its own, the thread held past the end") << "" << 1 << 9 << QStringList{"done"} << true;
        QTest::newRow("an earlier one's, a new countdown set since") << "set 10" << 1 << 9 << QStringList{} << false;
        QTest::newRow("after a tick that found the device still on") << "tick" << 1 << 7 << QStringList{"done"} << true;
        QTest::newRow("cancelled since") << "cancel" << 1 << 9 << QStringList{"cancelled"} << false;
        QTest::newRow("no notice: a stuck output, past the grace") << "" << 0 << 8 << QStringList{"done"} << true;
        QTest::newRow("no notice, within the grace") << "" << 0 << 7 << QStringList{} << false;
    }
    void deviceEndsBeforeTheCompletion()
    {
        QFETCH(QString, before);
        QFETCH(int, notice);
        QFETCH(int, late);
        QFETCH(QStringList, ends);
        QFETCH(bool, alarm);
        Rig rig;
        rig.view.alarm = true;
        rig.set("5");
        QCOMPARE(rig.com.lastLength, std::chrono::milliseconds(5000));
        QCOMPARE(rig.com.lastNumber, 1u);
        rig.clock.advance(late);
        if (before == "set 10")
            rig.set("10");
        else if (before == "tick")
            rig.countdown.tick();
        else if (before == "cancel")
            rig.countdown.cancel();
        if (notice != 0)
            rig.countdown.deadlinePassed(quint64(notice));
        rig.countdown.tick();
        QCOMPARE(rig.watcher.ends, ends);
        QCOMPARE(rig.sound.played.size(), alarm ? 1 : 0);
        QCOMPARE(rig.com.holding, before == "set 10" || (notice == 0 && ends.isEmpty()));
    }

    // Pause: the device off at once and the display frozen however long it lasts; Resume: the
    // device on again and the display on from where it stopped. Refused from outside the window
    // while a box waits, and with nothing to pause or resume; Cancel and an ending answer work
    // while paused; a device that cannot come back on leaves the countdown paused.
    void pauseAndResume_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("display");
        QTest::addColumn<bool>("deviceOn");
        QTest::addColumn<QStringList>("ends");
        QTest::addColumn<QString>("refused"); // the last refusal said; empty: none
        const QStringList tenMinutes{"set 90", "after 30", "pause", "after 600", "resume", "after 10"};
        QTest::newRow("ten minutes' pause") << tenMinutes << "00:50" << true << QStringList{} << "";
        QTest::newRow("then to the end") << tenMinutes + QStringList{"after 51"} << "00:00" << false
                                         << QStringList{"done"} << "";
        QTest::newRow("the window's key P")
            << QStringList{"set 90", "after 30", "key P", "after 600", "key P", "after 10"} << "00:50" << true
            << QStringList{} << "";
        QTest::newRow("Cancel while paused") << QStringList{"set 90", "pause", "cancel", "after 0"} << "00:00" << false
                                             << QStringList{"cancelled"} << "";
        QTest::newRow("0 while paused") << QStringList{"set 90", "pause", "set 0"} << "00:00" << false
                                        << QStringList{"cancelled"} << "";
        QTest::newRow("nothing to pause")
            << QStringList{"pause"} << "00:00" << false << QStringList{} << "no countdown is running";
        QTest::newRow("a box waits") << QStringList{"set 90", "pause in a box"} << "01:30" << true << QStringList{}
                                     << "a box is open";
        QTest::newRow("not paused") << QStringList{"set 90", "resume"} << "01:30" << true << QStringList{}
                                    << "no countdown is paused";
        QTest::newRow("the device cannot come back on") << QStringList{"set 90", "pause", "resume fails", "after 600"}
                                                        << "01:30" << false << QStringList{} << "Permission denied";
    }
    void pauseAndResume()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, display);
        QFETCH(bool, deviceOn);
        QFETCH(QStringList, ends);
        QFETCH(QString, refused);
        Rig rig;
        const QString said = rig.run(steps);
        QCOMPARE(rig.view.display(), display);
        QCOMPARE(rig.com.holding, deviceOn);
        QCOMPARE(rig.watcher.ends, ends);
        QVERIFY2(refused.isEmpty() ? said.isEmpty() : said.contains(refused), qPrintable(said));
        QCOMPARE(rig.countdown.paused(), steps.contains("resume fails"));
    }

    // Each run that switched the device is recorded as it ends: what it asked, the device's time
    // on as the output measured it, its pauses, how it ended, the device and its line.
    void eachRunIsRecorded_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("records"); // "asked pauses ended" each
        QTest::newRow("ran out") << QStringList{"set 5", "after 7"} << QStringList{"500 0 ran out"};
        QTest::newRow("Cancel") << QStringList{"set 90", "cancel", "after 0"} << QStringList{"9000 0 cancel"};
        QTest::newRow("Esc") << QStringList{"set 90", "esc", "after 0"} << QStringList{"9000 0 esc"};
        QTest::newRow("Cancel, then a Set before the tick")
            << QStringList{"set 90", "cancel", "set 3", "after 5"} << QStringList{"9000 0 cancel", "300 0 ran out"};
        QTest::newRow("an ending answer") << QStringList{"set 90", "set 0"} << QStringList{"9000 0 answer"};
        QTest::newRow("a new answer, then to its end")
            << QStringList{"set 90", "set 3", "after 5"} << QStringList{"9000 0 answer", "300 0 ran out"};
        QTest::newRow("paused twice") << QStringList{"set 9", "pause", "resume", "pause", "resume", "after 10"}
                                      << QStringList{"900 2 ran out"};
        QTest::newRow("the exit") << QStringList{"set 90", "exit"} << QStringList{"9000 0 exit"};
        QTest::newRow("a signal") << QStringList{"set 90", "exit by a signal"} << QStringList{"9000 0 signal"};
        QTest::newRow("nothing switched on") << QStringList{"set abc", "set -5", "after 1", "exit"} << QStringList{};
    }
    void eachRunIsRecorded()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, records);
        Rig rig;
        rig.run(steps);
        QStringList recorded;
        for (const RunRecord& run : rig.runs.runs) {
            recorded << QStringLiteral("%1 %2 %3").arg(run.askedCentiseconds).arg(run.pauses).arg(run.ended);
            QVERIFY(run.start.isValid() && run.onMilliseconds == run.askedCentiseconds * 10);
            QCOMPARE(run.device + ' ' + run.line, QStringLiteral("/dev/ttyUSB0 DTR"));
        }
        QCOMPARE(recorded, records);
    }

    void setWhileRunningRestarts()
    {
        Rig rig;
        rig.set("90");
        rig.tickAfter(30);
        QCOMPARE(rig.view.display(), QStringLiteral("01:00"));
        rig.set("10");
        rig.tickAfter(1);
        QCOMPARE(rig.view.display(), QStringLiteral("00:09"));
        QCOMPARE(rig.com.engaged, 2);
    }

    void cancelThenSetKeepsTheFlag()
    {
        Rig rig;
        rig.view.alarm = true;
        rig.set("60");
        rig.countdown.cancel();
        rig.set("5"); // before the next tick
        rig.tickAfter(5);
        QCOMPARE(rig.view.display(), QStringLiteral("00:00"));
        QCOMPARE(rig.com.released, 0); // the new countdown runs its full length
        rig.tickAfter(1);
        QCOMPARE(rig.com.released, 1);
        QVERIFY(rig.sound.played.isEmpty());
        QVERIFY(!rig.countdown.cancelRaised());
        QCOMPARE(rig.watcher.ends, QStringList{"done"}); // it ran its full length
    }

    void escWhileIdleSilencesTheNextCountdown()
    {
        Rig rig;
        rig.view.alarm = true;
        rig.countdown.keyDown(13); // Enter does nothing
        QVERIFY(!rig.countdown.cancelRaised());
        rig.countdown.keyDown(Countdown::kEscKey);
        QVERIFY(rig.countdown.cancelRaised());
        rig.tickAfter(100); // idle ticks ignore the cancelled start time
        QCOMPARE(rig.com.released, 0);
        rig.set("3");
        rig.tickAfter(4);
        QCOMPARE(rig.com.released, 1);
        QVERIFY(rig.sound.played.isEmpty());
        QCOMPARE(rig.watcher.ends, QStringList{"done"});
    }

    void idleCountdownIgnoresCancel()
    {
        Rig rig;
        rig.set("abc");
        rig.countdown.cancel();
        rig.tickAfter(1000);
        QCOMPARE(rig.com.released, 0);
        QVERIFY(!rig.com.holding);
        QVERIFY(rig.view.cancelEnabled); // there was nothing to switch off
        QVERIFY(rig.countdown.cancelRaised());
    }

    void clockSetBackShowsMoreTime()
    {
        Rig rig;
        rig.set("60");
        rig.tickAfter(-3600);
        QCOMPARE(rig.view.display(), QStringLiteral("61:00"));
    }

    // A foot switch: presses at the given milliseconds; the last one with a box open when asked.
    void footSwitch_data()
    {
        QTest::addColumn<QStringList>("recent");
        QTest::addColumn<QList<int>>("pressesMs");
        QTest::addColumn<bool>("lastInABox");
        QTest::addColumn<int>("engaged");
        QTest::addColumn<bool>("running"); // after the presses
        QTest::addColumn<int>("told");     // notifications saying why a press did nothing
        QTest::newRow("starts the newest answer") << QStringList{"7", "5"} << QList<int>{0} << false << 1 << true << 0;
        QTest::newRow("a second press cancels") << QStringList{"7"} << QList<int>{0, 1000} << false << 1 << false << 0;
        QTest::newRow("bounce within 300 ms") << QStringList{"7"} << QList<int>{0, 40, 299} << false << 1 << true << 0;
        QTest::newRow("300 ms on is a press") << QStringList{"7"} << QList<int>{0, 300} << false << 1 << false << 0;
        QTest::newRow("a third press starts again")
            << QStringList{"7"} << QList<int>{0, 400, 800} << false << 2 << true << 0;
        QTest::newRow("nothing set yet") << QStringList{} << QList<int>{0} << false << 0 << false << 1;
        QTest::newRow("a box waits") << QStringList{"7"} << QList<int>{0} << true << 0 << false << 1;
        QTest::newRow("a box waits while it runs") << QStringList{"7"} << QList<int>{0, 500} << true << 1 << true << 1;
    }
    void footSwitch()
    {
        QFETCH(QStringList, recent);
        QFETCH(QList<int>, pressesMs);
        QFETCH(bool, lastInABox);
        Rig rig;
        rig.recent.kept = recent;
        std::chrono::steady_clock::time_point now;
        FootSwitch foot({rig.countdown, rig.recent, rig.notifier, [&now] { return now; }});
        for (qsizetype i = 0; i < pressesMs.size(); ++i) {
            now = std::chrono::steady_clock::time_point(std::chrono::milliseconds(pressesMs[i]));
            if (lastInABox && i == pressesMs.size() - 1) {
                rig.dialogs.whileMessageOpen = [&foot] { foot.pressed(); };
                rig.dialogs.message("box", "Timers", Dialogs::Icon::None, {});
            } else {
                foot.pressed();
            }
        }
        QTEST(rig.com.engaged, "engaged");
        QTEST(rig.countdown.cancellable(), "running");
        QTEST(int(rig.notifier.posted.size()), "told");
        if (rig.com.engaged > 0)
            QCOMPARE(rig.com.lastLength, std::chrono::milliseconds(recent.first().toInt() * 1000));
    }

    // A lid switch: opening cuts the device and nothing comes on while it is open.
    void lidSwitch()
    {
        Rig rig;
        InterlockedOutput lid(rig.com);
        QVERIFY(!lid.setLidOpen(true)); // nothing on: nothing to cut
        QVERIFY(!lid.engage(std::chrono::seconds(5), 1));
        QVERIFY(lid.failure().contains("the lid is open"));
        QCOMPARE(rig.com.engaged, 0);
        QVERIFY(lid.engage(std::chrono::seconds(0), 1)); // a countdown of nothing switches nothing
        QVERIFY(!lid.setLidOpen(false) && lid.engage(std::chrono::seconds(5), 2));
        QVERIFY(lid.setLidOpen(true)); // on: cut at once
        QVERIFY(!rig.com.holding && rig.com.paused);
        QVERIFY(!lid.resume(2) && lid.failure().contains("the lid is open"));
        QVERIFY(!lid.setLidOpen(false)); // closing switches nothing on
        QVERIFY(!rig.com.holding);
        QVERIFY(lid.resume(2) && rig.com.holding && lid.failure() == rig.com.failure());
    }
};

QTEST_GUILESS_MAIN(TestCountdown)
#include "tst_countdown.moc"
