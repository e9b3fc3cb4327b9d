// The sound adapter as a module the program loads at its first alarm, so that the audio stack
// (Qt Multimedia, PulseAudio and their codecs) costs nothing while it starts and idles.

#include "qt_sound.h"

extern "C" Q_DECL_EXPORT timers::Sound* timers_create_sound(QObject* parent)
{
    return new timers::QtSound(parent);
}
