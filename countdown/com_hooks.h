#pragma once

namespace timers {

// The COM output as the countdown drives it: engaged by Set, released by the completion.
class ComHooks {
public:
    virtual ~ComHooks() = default;
    // Switches the device on when the COM output is on; false when the port could not be
    // selected, opened or driven (the reason is already reported).
    virtual bool engage() = 0;
    // Switches the device off; true when the COM output was on.
    virtual bool release() = 0;
};

} // namespace timers
