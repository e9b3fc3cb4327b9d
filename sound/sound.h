#pragma once

#include <QString>

#include <functional>

class QObject;

namespace timers {

// Plays a wave file once, asynchronously; a sound of ours still playing is stopped first.
// Never reports a failure: a missing or unplayable file plays the default alert instead.
class Sound {
public:
    virtual ~Sound() = default;
    virtual void play(const QString& fileName) = 0;
};

// What the sound module exports as "timers_create_sound": a sound owned by `parent` that calls
// `bellRang` with the reason whenever no alarm could play and the bell rang instead.
using SoundFactory = Sound* (*)(QObject* parent, std::function<void(const QString& why)> bellRang);

} // namespace timers
