#pragma once

#include <QString>

namespace timers {

// Plays a wave file once, asynchronously; a sound of ours still playing is stopped first.
// Never reports a failure: a missing or unplayable file plays the default alert instead.
class Sound {
public:
    virtual ~Sound() = default;
    virtual void play(const QString& fileName) = 0;
};

} // namespace timers
