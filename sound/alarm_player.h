#pragma once

#include "sound/alarm_decoder.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <optional>
#include <string>

class QAudioSink;
class QIODevice;

namespace timers {

// Plays an alarm sound once on the default audio output, decoding it as it plays, so that the
// sound starts as soon for a long file as for a short one. It lives in a thread of its own, so
// that a large file or a sound server that does not answer never holds up the window. A file
// that cannot be played gives way to the built-in alert.
class AlarmPlayer final : public QObject {
    Q_OBJECT
public:
    // `wanted` is the request the window still waits for; an older one is dropped.
    explicit AlarmPlayer(const std::atomic<quint64>& wanted);
    ~AlarmPlayer() override;
    AlarmPlayer(const AlarmPlayer&) = delete;
    AlarmPlayer& operator=(const AlarmPlayer&) = delete;

    // Stops what is playing, then plays `path` (empty: the built-in alert).
    void play(quint64 request, const QString& path);

Q_SIGNALS:
    void started(quint64 request, const QString& path, bool builtInAlert);
    void cannotPlay(quint64 request, const QString& why);

private:
    void stop();
    const DecodedSound* builtInAlert(std::string* why);

    const std::atomic<quint64>& m_wanted;
    std::optional<DecodedSound> m_builtInAlert; // decoded at its first use
    QAudioSink* m_sink = nullptr;
    QIODevice* m_samples = nullptr; // the file as it is decoded, or the built-in alert
};

} // namespace timers
