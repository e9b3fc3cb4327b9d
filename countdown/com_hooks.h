#pragma once

#include <QString>

namespace timers {

// The COM output as the countdown drives it: engaged by Set, released by the completion.
class ComHooks {
public:
    virtual ~ComHooks() = default;
    // Switches the device on when the COM output is on; false when the port could not be
    // selected, opened or driven (the reason is already reported).
    virtual bool engage() = 0;
    // The completion: switches off what engage switched on, whatever the texts say now; true
    // when the COM output is on (the completion box then says so).
    virtual bool release() = 0;
    // Switches off a line still held with no countdown to end it (after a "0" answer, or a
    // Set whose line change failed); true when there was one.
    virtual bool switchOffHeldLine() = 0;
    // Why the last engage failed: the device and the system's reason, for the user to read.
    virtual QString failure() const = 0;
};

} // namespace timers
