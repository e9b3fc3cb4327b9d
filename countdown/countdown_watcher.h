#pragma once

#include <cstdint>

namespace timers {

// Told what the countdown shows and when it ends: for its script interface and the taskbar.
class CountdownWatcher {
public:
    virtual ~CountdownWatcher() = default;
    // The display was written: the seconds it shows, and the length of the countdown that
    // runs (0: none runs).
    virtual void shown(std::int64_t remaining, std::int32_t length) = 0;
    // A countdown ended at its time, or by Cancel or Esc.
    virtual void finished(bool cancelled) = 0;
};

} // namespace timers
