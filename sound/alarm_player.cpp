#include "sound/alarm_player.h"

#include "system/diagnostics.h"

#include <QAudioSink>
#include <QBuffer>
#include <QFile>
#include <QMediaDevices>

#include <cstring>

namespace timers {

namespace {

const QString kBuiltInAlert = QStringLiteral(":/sounds/default_alert.wav");

// An alarm file for the audio output, decoded a block at a time as the output pulls it.
class AlarmStream final : public QIODevice {
public:
    AlarmStream(std::unique_ptr<AlarmDecoder> decoder, QObject* parent)
        : QIODevice(parent)
        , m_decoder(std::move(decoder))
    {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
    bool atEnd() const override { return m_ended; }
    // Until the end, there is always more to decode.
    qint64 bytesAvailable() const override { return m_ended ? 0 : qint64(1) << 20; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const auto frameBytes = qint64(sizeof(std::int16_t)) * m_decoder->channels();
        m_frames.resize(std::size_t(maxSize / frameBytes) * std::size_t(m_decoder->channels()));
        const std::size_t frames = m_decoder->read(m_frames.data(), std::size_t(maxSize / frameBytes));
        m_ended = m_ended || frames == 0;
        std::memcpy(data, m_frames.data(), frames * std::size_t(frameBytes)); // `data` need not be aligned
        return qint64(frames) * frameBytes;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    std::unique_ptr<AlarmDecoder> m_decoder;
    std::vector<std::int16_t> m_frames;
    bool m_ended = false;
};

} // namespace

AlarmPlayer::AlarmPlayer(const std::atomic<quint64>& wanted)
    : m_wanted(wanted)
{
}

AlarmPlayer::~AlarmPlayer()
{
    // The output first: it still reads from the samples as it stops.
    delete m_sink;
    delete m_samples;
}

void AlarmPlayer::stop()
{
    if (m_sink) {
        m_sink->stop();
        m_sink->deleteLater();
        m_sink = nullptr;
    }
    if (m_samples) {
        m_samples->deleteLater();
        m_samples = nullptr;
    }
}

const DecodedSound* AlarmPlayer::builtInAlert(std::string* why)
{
    if (!m_builtInAlert) {
        QFile file(kBuiltInAlert);
        const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        m_builtInAlert = decodeAlarm(std::as_bytes(std::span(bytes.constData(), std::size_t(bytes.size()))), why);
    }
    return m_builtInAlert ? &*m_builtInAlert : nullptr;
}

void AlarmPlayer::play(quint64 request, const QString& path)
{
    stop();
    if (request != m_wanted)
        return;
    const QAudioDevice output = QMediaDevices::defaultAudioOutput();
    if (output.isNull()) {
        Q_EMIT cannotPlay(request, QStringLiteral("there is no audio output"));
        return;
    }

    std::string why;
    std::unique_ptr<AlarmDecoder> file;
    if (!path.isEmpty()) {
        file = AlarmDecoder::open(AlarmBytes::ofFile(QFile::encodeName(path).toStdString(), &why), &why);
        if (!file)
            qCWarning(lcTimers, "%s cannot be played (%s); the built-in alert plays instead", qPrintable(path),
                      why.c_str());
    }
    const bool builtIn = !file;
    QAudioFormat format;
    format.setSampleFormat(QAudioFormat::Int16);
    if (builtIn) {
        const DecodedSound* sound = builtInAlert(&why);
        if (!sound) {
            Q_EMIT cannotPlay(
                request, QStringLiteral("the built-in alert cannot be decoded (%1)").arg(QString::fromStdString(why)));
            return;
        }
        format.setSampleRate(sound->sampleRate);
        format.setChannelCount(sound->channels);
        auto* samples = new QBuffer(this);
        samples->setData(QByteArray(reinterpret_cast<const char*>(sound->samples.data()),
                                    qsizetype(sound->samples.size() * sizeof(std::int16_t))));
        samples->open(QIODevice::ReadOnly);
        m_samples = samples;
    } else {
        format.setSampleRate(file->sampleRate());
        format.setChannelCount(file->channels());
        m_samples = new AlarmStream(std::move(file), this);
    }
    m_sink = new QAudioSink(output, format, this);
    QAudioSink* sink = m_sink;
    connect(sink, &QAudioSink::stateChanged, this, [this, sink](QAudio::State state) {
        if (state == QAudio::IdleState && sink == m_sink)
            stop(); // played to its end
    });
    sink->start(m_samples);
    if (sink->error() != QAudio::NoError || sink->state() != QAudio::ActiveState) {
        Q_EMIT cannotPlay(request,
                          QStringLiteral("the audio output refused the sound (error %1)").arg(int(sink->error())));
        stop();
        return;
    }
    // The sound server may have taken long to answer: a request given up meanwhile stays silent.
    if (request != m_wanted) {
        stop();
        return;
    }
    Q_EMIT started(request, path, builtIn);
}

} // namespace timers
