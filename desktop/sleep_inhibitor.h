#pragma once

#include <QString>

namespace timers {

// Keeps the machine from suspending while a countdown drives a device: a laptop that sleeps
// in the middle of an exposure cuts the USB adapter's power. Holding twice is holding once.
class SleepInhibitor {
public:
    virtual ~SleepInhibitor() = default;
    virtual void hold(const QString& why) = 0;
    virtual void release() = 0;
};

} // namespace timers
