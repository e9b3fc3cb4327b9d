#include "alarm_player.h"

#include "diagnostics.h"

#include <QAudioSink>
#include <QBuffer>
#include <QFile>
#include <QMediaDevices>

namespace timers {

namespace {

const QString kBuiltInAlert = QStringLiteral(":/sounds/default_alert.wav");
// An alarm is short; more than this of a file is never read.
constexpr qint64 kMaxFileBytes = qint64(64) << 20;

std::optional<DecodedSound> decodeFile(const QString& path, std::string* why)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = file.errorString().toStdString();
        return std::nullopt;
    }
    const QByteArray bytes = file.read(kMaxFileBytes);
    return decodeAlarm(std::as_bytes(std::span(bytes.constData(), std::size_t(bytes.size()))), why);
}

} // namespace

AlarmPlayer::AlarmPlayer(const std::atomic<quint64>& wanted)
    : m_wanted(wanted)
{
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
    if (!m_builtInAlert)
        m_builtInAlert = decodeFile(kBuiltInAlert, why);
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
    std::optional<DecodedSound> file;
    if (!path.isEmpty()) {
        file = decodeFile(path, &why);
        if (!file)
            qCWarning(lcTimers, "%s cannot be played (%s); the built-in alert plays instead", qPrintable(path), why.c_str());
    }
    const bool builtIn = !file;
    const DecodedSound* sound = builtIn ? builtInAlert(&why) : &*file;
    if (!sound) {
        Q_EMIT cannotPlay(request, QStringLiteral("the built-in alert cannot be decoded (%1)").arg(QString::fromStdString(why)));
        return;
    }

    QAudioFormat format;
    format.setSampleRate(sound->sampleRate);
    format.setChannelCount(sound->channels);
    format.setSampleFormat(QAudioFormat::Int16);
    m_samples = new QBuffer(this);
    m_samples->setData(QByteArray(reinterpret_cast<const char*>(sound->samples.data()),
                                  qsizetype(sound->samples.size() * sizeof(std::int16_t))));
    m_samples->open(QIODevice::ReadOnly);
    m_sink = new QAudioSink(output, format, this);
    QAudioSink* sink = m_sink;
    connect(sink, &QAudioSink::stateChanged, this, [this, sink](QAudio::State state) {
        if (state == QAudio::IdleState && sink == m_sink)
            stop(); // played to its end
    });
    sink->start(m_samples);
    if (sink->error() != QAudio::NoError || sink->state() != QAudio::ActiveState) {
        Q_EMIT cannotPlay(request, QStringLiteral("the audio output refused the sound (error %1)").arg(int(sink->error())));
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
