// The sound adapter end to end: it plays into a PulseAudio null sink while parec records the
// sink's monitor, and the recording shows which tone arrived. Run by with_pulseaudio.sh.

#include "sound/qt_sound.h"
#include "tests/wav_files.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sndfile.h>

#include <cmath>
#include <csignal>
#include <numbers>
#include <vector>

using namespace timers;
using timers::testing::WavFile;

#ifdef __SANITIZE_ADDRESS__
// The output is torn down inside Qt's libraries, which ASan does not instrument: freed memory
// is scribbled over, so that a read of it there fails instead of finding the old bytes.
extern "C" const char* __asan_default_options(); // NOLINT(bugprone-reserved-identifier): ASan's hook
extern "C" const char* __asan_default_options() { return "max_free_fill_size=1048576:free_fill_byte=190"; } // NOLINT
#endif

namespace {

constexpr int kRate = 44100;
constexpr double kAlarmHz = 880;    // alarm.wav made by the build
constexpr double kDefaultHz = 1320; // the built-in default alert
constexpr int kHangMs = 60000;      // bounds a hang only

// Records the null sink's monitor as raw 16-bit mono samples.
class Recorder {
public:
    Recorder()
    {
        m_parec.setStandardOutputFile(path());
        m_parec.start(QStringLiteral("parec"), {"--device=timers_sink.monitor", "--format=s16le", "--channels=1",
                                                "--rate=44100", "--latency-msec=20"});
    }
    bool started() { return m_parec.waitForStarted(5000); }
    // The monitor hands data over in blocks with a latency of its own: wait for the audio,
    // not for the wall clock.
    double recordedSeconds() const { return double(QFileInfo(path()).size()) / (2.0 * kRate); }
    std::vector<double> stop()
    {
        m_parec.terminate();
        m_parec.waitForFinished(5000);
        QFile file(path());
        const QByteArray raw = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        std::vector<double> samples(std::size_t(raw.size() / 2));
        for (std::size_t i = 0; i < samples.size(); ++i)
            samples[i] = qint16(quint8(raw[int(2 * i)]) | (quint8(raw[int(2 * i + 1)]) << 8)) / 32768.0;
        return samples;
    }

private:
    QString path() const { return m_dir.filePath(QStringLiteral("recording.raw")); }

    QTemporaryDir m_dir;
    QProcess m_parec;
};

// Strength of one frequency over the whole recording (Goertzel), as an RMS-like amplitude.
double toneLevel(const std::vector<double>& samples, double hz)
{
    const double k = 2 * std::cos(2 * std::numbers::pi * hz / kRate);
    double best = 0;
    constexpr std::size_t kBlock = 2205; // 50 ms blocks: the loudest block counts
    for (std::size_t start = 0; start + kBlock <= samples.size(); start += kBlock) {
        double s1 = 0, s2 = 0;
        for (std::size_t i = start; i < start + kBlock; ++i) {
            const double s0 = samples[i] + k * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        const double power = s1 * s1 + s2 * s2 - k * s1 * s2;
        best = std::max(best, 2 * std::sqrt(power) / kBlock);
    }
    return best;
}

// An 880 Hz tone as FLAC, through libsndfile.
QByteArray flac(int rate, int channels, int seconds)
{
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("tone.flac")));
    SF_INFO info{0, rate, channels, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 0, 0};
    SNDFILE* file = sf_open(path.constData(), SFM_WRITE, &info);
    if (!file)
        return {};
    std::vector<short> frames(std::size_t(rate) * std::size_t(channels));
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const std::size_t frame = i / std::size_t(channels);
        frames[i] = short(16000 * std::sin(2 * std::numbers::pi * kAlarmHz * double(frame) / rate));
    }
    for (int second = 0; second < seconds; ++second)
        sf_writef_short(file, frames.data(), rate);
    sf_close(file);
    QFile written(QString::fromLocal8Bit(path));
    return written.open(QIODevice::ReadOnly) ? written.readAll() : QByteArray();
}

} // namespace

class TestSoundPlayback : public QObject {
    Q_OBJECT
private slots:
    void playsTheRightSound_data()
    {
        QTest::addColumn<QByteArray>("fileContent"); // null: no alarm.wav at all
        QTest::addColumn<double>("expectedHz");
        QTest::addColumn<double>("otherHz");
        QTest::addColumn<bool>("replacing"); // played while 30 s of 880 Hz from an earlier alarm.wav still play
        QFile alarm(QStringLiteral(TIMERS_ALARM_WAV));
        QVERIFY(alarm.open(QIODevice::ReadOnly));
        QTest::newRow("alarm.wav") << alarm.readAll() << kAlarmHz << kDefaultHz << false;
        QTest::newRow("missing file") << QByteArray() << kDefaultHz << kAlarmHz << false;
        QTest::newRow("not a wave file") << QByteArray("RIFF junk that no decoder takes") << kDefaultHz << kAlarmHz
                                         << false;
        // Damaged files: what audio they hold plays; with none, the built-in alert.
        QTest::newRow("stereo") << WavFile{.channels = 2}.bytes() << kAlarmHz << kDefaultHz << false;
        QTest::newRow("length past the end")
            << WavFile{.lengthPastTheEnd = true}.bytes() << kAlarmHz << kDefaultHz << false;
        QTest::newRow("cut short") << WavFile{.keep = 0.5}.bytes() << kAlarmHz << kDefaultHz << false;
        QTest::newRow("header, no samples") << WavFile{.keep = 0}.bytes() << kDefaultHz << kAlarmHz << false;
        QTest::newRow("empty file") << QByteArray("") << kDefaultHz << kAlarmHz << false;
        QTest::newRow("sample rate 1") << WavFile{.rate = 1, .hz = 0, .seconds = 100}.bytes() << kDefaultHz << kAlarmHz
                                       << false;
        // Decoded as it plays: heard from its first block, and stopped when the adapter goes.
        QTest::newRow("30 s of 192 kHz 8-channel FLAC") << flac(192000, 8, 30) << kAlarmHz << kDefaultHz << false;
        QTest::newRow("a new alarm stops the one playing")
            << WavFile{.hz = 660, .seconds = 30}.bytes() << 660.0 << kAlarmHz << true;
    }
    void playsTheRightSound()
    {
        QFETCH(QByteArray, fileContent);
        QFETCH(double, expectedHz);
        QFETCH(double, otherHz);
        QFETCH(bool, replacing);
        QTemporaryDir folder;
        const auto putAlarm = [&folder](const QByteArray& content) { // replaced whole: a playing copy reads on
            QSaveFile file(folder.filePath(QStringLiteral("alarm.wav")));
            return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.commit();
        };
        QVERIFY(fileContent.isNull() || putAlarm(replacing ? WavFile{.seconds = 30}.bytes() : fileContent));
        QtSound sound({folder.path()}, nullptr, kHangMs); // a busy machine may start a sound late
        QSignalSpy file(&sound, &QtSound::startedFile);
        QSignalSpy fallback(&sound, &QtSound::startedDefaultAlert);
        QSignalSpy bell(&sound, &QtSound::rangBell);
        if (replacing) {
            sound.play(QStringLiteral("alarm.wav"));
            QTRY_VERIFY_WITH_TIMEOUT(file.size() == 1, kHangMs);
            QVERIFY(putAlarm(fileContent));
        }

        Recorder recorder;
        QVERIFY(recorder.started());
        QTRY_VERIFY_WITH_TIMEOUT(recorder.recordedSeconds() > 0, kHangMs);
        sound.play(QStringLiteral("alarm.wav"));
        QTRY_VERIFY_WITH_TIMEOUT(file.size() + fallback.size() + bell.size() == 1 + int(replacing), kHangMs);
        QCOMPARE(bell.size(), 0);
        QCOMPARE(fallback.size(), expectedHz == kDefaultHz ? 1 : 0);
        // The sounds last under 1.5 s; three seconds of recording hold all of them.
        QTRY_VERIFY_WITH_TIMEOUT(recorder.recordedSeconds() > 3, kHangMs);
        auto samples = recorder.stop();
        if (replacing) // the sink may still hold a moment of the first sound, mixed before it stopped
            samples.erase(samples.begin(), samples.begin() + kRate / 2);

        const double expected = toneLevel(samples, expectedHz);
        const double other = toneLevel(samples, otherHz);
        qInfo("level at %.0f Hz: %.3f, at %.0f Hz: %.3f", expectedHz, expected, otherHz, other);
        QVERIFY(expected > 0.1);
        QVERIFY(expected > 10 * other);
    }

    // A sound server that stops answering: the bell rings after the watchdog's second, and
    // the sound that starts once the server is back stays silent.
    void stalledServerRingsTheBell()
    {
        const auto server = pid_t(qEnvironmentVariableIntValue("TIMERS_TEST_PULSE_PID"));
        QVERIFY2(server > 0, "run by with_pulseaudio.sh");
        QTemporaryDir folder;
        QVERIFY(QFile::copy(QStringLiteral(TIMERS_ALARM_WAV), folder.filePath(QStringLiteral("alarm.wav"))));
        QtSound sound({folder.path()}, nullptr);
        QSignalSpy file(&sound, &QtSound::startedFile);
        QSignalSpy bell(&sound, &QtSound::rangBell);
        QCOMPARE(::kill(server, SIGSTOP), 0);
        const auto resume = qScopeGuard([server] { ::kill(server, SIGCONT); });
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("^the alarm sound cannot play \\(no sound started within 1000 ms"));
        sound.play(QStringLiteral("alarm.wav"));
        QTRY_COMPARE_WITH_TIMEOUT(bell.size(), 1, kHangMs);
        ::kill(server, SIGCONT);
        QTest::qWait(500); // the late start, had it been let through, would show now
        QCOMPARE(file.size(), 0);
    }
};

QTEST_MAIN(TestSoundPlayback)
#include "tst_sound_playback.moc"
