// The stopwatch driven through its handlers with a fake tick timer.

#include "stopwatch/stopwatch.h"
#include "tests/fakes/fakes.h"

#include <QTest>

using namespace timers;
using namespace timers::fakes;

class TestStopwatch : public QObject {
    Q_OBJECT
private slots:
    void counts_data()
    {
        QTest::addColumn<int>("ticks");
        QTest::addColumn<QString>("display");
        QTest::newRow("one") << 1 << "00:00:01";
        QTest::newRow("59") << 59 << "00:00:59";
        QTest::newRow("minute") << 60 << "00:01:00";
        QTest::newRow("59:59") << 3599 << "00:59:59";
        QTest::newRow("hour") << 3600 << "01:00:00";
        QTest::newRow("100 hours") << 360000 << "100:00:00";
    }
    void counts()
    {
        QFETCH(int, ticks);
        QFETCH(QString, display);
        FakeStopwatchView view;
        FakeTimer tmrTime;
        Stopwatch stopwatch(view, tmrTime);
        stopwatch.startOrStop();
        for (int i = 0; i < ticks; ++i)
            stopwatch.tick();
        QCOMPARE(view.display, display);
    }

    void startStopFreezesAndResets()
    {
        FakeStopwatchView view;
        FakeTimer tmrTime;
        Stopwatch stopwatch(view, tmrTime);
        QVERIFY(!stopwatch.running());

        stopwatch.startOrStop();
        QVERIFY(tmrTime.isActive());
        QCOMPARE(view.caption, QStringLiteral("Stop"));
        for (int i = 0; i < 75; ++i)
            stopwatch.tick();

        stopwatch.startOrStop();
        QVERIFY(!tmrTime.isActive());
        QCOMPARE(view.caption, QStringLiteral("Start"));
        QCOMPARE(view.display, QStringLiteral("00:01:15"));

        stopwatch.startOrStop();
        QCOMPARE(view.display, QStringLiteral("00:00:00"));
        stopwatch.tick();
        QCOMPARE(view.display, QStringLiteral("00:00:01"));
    }
};

QTEST_GUILESS_MAIN(TestStopwatch)
#include "tst_stopwatch.moc"
