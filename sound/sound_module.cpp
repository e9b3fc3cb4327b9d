// The sound adapter as a module the program loads at its first alarm, so that the audio stack
// (Qt Multimedia, PulseAudio and their codecs) costs nothing while it starts and idles.

#include "sound/qt_sound.h"

extern "C" Q_DECL_EXPORT timers::Sound* timers_create_sound(QObject* parent,
                                                            std::function<void(const QString& why)> bellRang)
{
    auto* sound = new timers::QtSound(parent);
    QObject::connect(sound, &timers::QtSound::rangBell, sound, std::move(bellRang));
    return sound;
}
static_assert(std::is_same_v<decltype(&timers_create_sound), timers::SoundFactory>);
