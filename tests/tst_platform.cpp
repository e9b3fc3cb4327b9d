// The Qt adapters' own decisions: the countdown tick's phase, the clock's scale, where the
// sound looks for its file, and the bell when there is no audio output.

#include "sound/alarm_decoder.h"
#include "sound/lazy_sound.h"
#include "sound/qt_sound.h"
#include "system/qt_clock.h"
#include "system/qt_tick_timer.h"
#include "tests/wav_files.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

using namespace timers;
using timers::testing::WavFile;

class TestPlatform : public QObject {
    Q_OBJECT
private slots:
    void tickPhase_data()
    {
        QTest::addColumn<int>("msIntoSecond");
        QTest::addColumn<bool>("afterTick");
        QTest::addColumn<int>("delay");
        QTest::newRow("start at a boundary") << 0 << false << 500;
        QTest::newRow("start just before the middle") << 499 << false << 1;
        QTest::newRow("start at the middle") << 500 << false << 0;
        QTest::newRow("start just after the middle") << 501 << false << 999;
        QTest::newRow("start just before a boundary") << 999 << false << 501;
        QTest::newRow("tick on time") << 500 << true << 1000;
        QTest::newRow("tick a little late") << 503 << true << 997;
        QTest::newRow("tick a little early") << 498 << true << 1002;
        QTest::newRow("tick very late") << 999 << true << 501;
    }
    void tickPhase()
    {
        QFETCH(int, msIntoSecond);
        QFETCH(bool, afterTick);
        QFETCH(int, delay);
        QCOMPARE(QtTickTimer::delayToMidSecond(msIntoSecond, afterTick), delay);
    }

    void clockScale_data()
    {
        QTest::addColumn<qint64>("msSinceStart");
        QTest::addColumn<qint64>("seconds");
        QTest::newRow("the machine's start") << qint64(0) << qint64(4294967296);
        QTest::newRow("milliseconds truncated") << qint64(1999) << qint64(4294967297);
        QTest::newRow("a year up") << qint64(31536000123) << qint64(4326503296);
    }
    void clockScale()
    {
        QFETCH(qint64, msSinceStart);
        QFETCH(qint64, seconds);
        QCOMPARE(qint64(QtClock::secondsOnScale(msSinceStart)), seconds);
    }

    void soundLookupOrder()
    {
        QTemporaryDir working, program;
        const auto put = [](const QTemporaryDir& dir) {
            QFile file(dir.filePath(QStringLiteral("alarm.wav")));
            QVERIFY(file.open(QIODevice::WriteOnly));
        };
        const QStringList folders{working.path(), program.path()};
        QCOMPARE(QtSound::locate(QStringLiteral("alarm.wav"), folders), QString());
        QVERIFY(QDir(working.path()).mkdir(QStringLiteral("alarm.wav"))); // a folder is no sound
        put(program);
        QTest::ignoreMessage(
            QtWarningMsg,
            QRegularExpression("alarm.wav is not a regular file; the next alarm in the search order plays instead"));
        QCOMPARE(QtSound::locate(QStringLiteral("alarm.wav"), folders), program.filePath(QStringLiteral("alarm.wav")));
        QVERIFY(QDir(working.path()).rmdir(QStringLiteral("alarm.wav")));
        put(working);
        QCOMPARE(QtSound::locate(QStringLiteral("alarm.wav"), folders), working.filePath(QStringLiteral("alarm.wav")));
    }

    // What an alarm file holds decides what plays: its own samples, or (refused) the built-in alert.
    void alarmDecoder_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("frames"); // -1: refused
        QTest::addColumn<int>("channels");
        const auto wav = [](WavFile w) { return w.bytes(); };
        QTest::newRow("sound") << wav({}) << 22050 << 1;
        QTest::newRow("stereo") << wav({.channels = 2}) << 22050 << 2;
        QTest::newRow("3 channels mixed to mono") << wav({.channels = 3}) << 22050 << 1;
        QTest::newRow("8 channels") << wav({.channels = 8, .seconds = 0.1}) << 4410 << 1;
        QTest::newRow("9 channels") << wav({.channels = 9, .seconds = 0.1}) << -1 << 0;
        QTest::newRow("length past the end") << wav({.lengthPastTheEnd = true}) << 22050 << 1;
        QTest::newRow("cut short") << wav({.keep = 0.5}) << 11025 << 1;
        QTest::newRow("header, no samples") << wav({.keep = 0}) << -1 << 0;
        QTest::newRow("header, no samples, length past the end")
            << wav({.lengthPastTheEnd = true, .keep = 0}) << -1 << 0;
        QTest::newRow("empty file") << QByteArray() << -1 << 0;
        QTest::newRow("not audio") << QByteArray("RIFF junk that no decoder takes") << -1 << 0;
        QTest::newRow("rate 1") << wav({.rate = 1, .hz = 0, .seconds = 100}) << -1 << 0;
        QTest::newRow("rate 7999") << wav({.rate = 7999, .hz = 440}) << -1 << 0;
        QTest::newRow("rate 8000") << wav({.rate = 8000, .hz = 440}) << 4000 << 1;
        QTest::newRow("rate 192000") << wav({.rate = 192000, .seconds = 0.1}) << 19200 << 1;
        QTest::newRow("rate 192001") << wav({.rate = 192001, .seconds = 0.1}) << -1 << 0;
        QTest::newRow("longer than the cap: cut there")
            << wav({.rate = 8000, .hz = 440, .seconds = 1600}) << int(kMaxSamples) << 1;
    }

    // Past its first 64 MiB, nothing of a file is read, so nothing of it plays.
    void alarmFileReadStopsAtItsCap()
    {
        QTemporaryFile file;
        QVERIFY(file.open());
        const QByteArray bytes = WavFile{.rate = 8000, .channels = 8, .hz = 440, .seconds = 580}.bytes(); // 74 MB
        QCOMPARE(file.write(bytes), bytes.size());
        file.close();
        std::string why;
        const auto decoder = AlarmDecoder::open(AlarmBytes::ofFile(file.fileName().toStdString(), &why), &why);
        QVERIFY2(decoder, why.c_str());
        std::vector<std::int16_t> block(4096);
        std::size_t frames = 0;
        while (const std::size_t read = decoder->read(block.data(), block.size()))
            frames += read;
        QCOMPARE(frames, std::size_t((kMaxFileBytes - 44) / (8 * 2))); // 8 channels of 16 bits after a 44-byte header
    }
    // A file cut short while it plays (rewritten in place, a disk error) ends the sound where
    // the file now ends: the audio thread does not wait for the bytes that went.
    void alarmFileCutWhilePlaying()
    {
        QTemporaryFile file;
        QVERIFY(file.open());
        const QByteArray bytes = WavFile{.seconds = 2}.bytes();
        QCOMPARE(file.write(bytes), bytes.size());
        QVERIFY(file.flush());
        std::string why;
        const auto decoder = AlarmDecoder::open(AlarmBytes::ofFile(file.fileName().toStdString(), &why), &why);
        QVERIFY2(decoder, why.c_str());
        QVERIFY(file.resize(44 + 8192 * 2)); // 8192 mono frames after the header
        std::vector<std::int16_t> block(4096);
        std::size_t frames = 0;
        while (const std::size_t read = decoder->read(block.data(), block.size()))
            frames += read;
        QCOMPARE(frames, std::size_t(8192));
    }
    void alarmDecoder()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, frames);
        QFETCH(int, channels);
        std::string why;
        const auto sound = decodeAlarm(std::as_bytes(std::span(file.constData(), std::size_t(file.size()))), &why);
        QCOMPARE(sound.has_value(), frames >= 0);
        if (!sound) {
            QVERIFY(!why.empty());
            return;
        }
        QCOMPARE(int(sound->frames()), frames);
        QCOMPARE(sound->channels, channels);
        // The samples are the tone, not silence or noise: the loudest is near the written 16000.
        const auto loudest = *std::max_element(sound->samples.begin(), sound->samples.end());
        QVERIFY2(loudest > 15000 && loudest <= 16001, qPrintable(QString::number(loudest)));
    }

    // ctest points PULSE_SERVER at nothing, so there is no audio output.
    void bellWithoutAudioOutput()
    {
        QtSound sound;
        QSignalSpy bell(&sound, &QtSound::rangBell);
        QSignalSpy fallback(&sound, &QtSound::startedDefaultAlert);
        sound.play(QStringLiteral("alarm.wav"));
        QTRY_COMPARE_WITH_TIMEOUT(bell.size(), 1, 30000);
        QCOMPARE(fallback.size(), 0);
    }

    void soundModuleLoadsAtFirstPlay_data()
    {
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<bool>("loads");
        QTest::newRow("beside the program") << QStringList{QStringLiteral(TIMERS_MODULE_DIR)} << true;
        QTest::newRow("second folder") << QStringList{QDir::tempPath(), QStringLiteral(TIMERS_MODULE_DIR)} << true;
        QTest::newRow("missing: the bell instead") << QStringList{QDir::tempPath()} << false;
    }
    void soundModuleLoadsAtFirstPlay()
    {
        QFETCH(QStringList, folders);
        QFETCH(bool, loads);
        LazySound sound(folders);
        QSignalSpy cannotPlay(&sound, &LazySound::cannotPlay);
        QVERIFY(!sound.loaded());
        sound.play(QStringLiteral("alarm.wav"));
        QCOMPARE(sound.loaded(), loads);
        // No audio output here: each play says why nothing played, from the module or without it.
        QTRY_COMPARE_WITH_TIMEOUT(cannotPlay.size(), 1, 30000);
        QVERIFY(cannotPlay.first().first().toString().contains(loads ? "no audio output" : "module"));
        sound.play(QStringLiteral("alarm.wav")); // a second play neither reloads nor crashes
        QCOMPARE(sound.loaded(), loads);
        QTRY_COMPARE_WITH_TIMEOUT(cannotPlay.size(), 2, 30000);
    }
};

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
