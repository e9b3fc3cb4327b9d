#pragma once

#include <cstdint>

namespace timers {

// Told what the countdown shows, when it ends and whether it can be cancelled: for its script
// interface, the taskbar and the tray.
class CountdownWatcher {
public:
    virtual ~CountdownWatcher() = default;
    // The display was written: the seconds it shows, and the length of the countdown that
    // runs (0: none runs).
    virtual void shown(std::int64_t remaining, std::int32_t length) = 0;
    // A countdown ended at its time, or by Cancel or Esc.
    virtual void finished(bool cancelled) = 0;
    // The Cancel button was enabled or disabled.
    virtual void cancelEnabledChanged(bool enabled) { static_cast<void>(enabled); }
};

} // namespace timers
