#pragma once

namespace timers {

// A one-second timer. Its ticks are delivered by the implementation to whoever owns it;
// the logic only starts, stops and asks.
class TickTimer {
public:
    virtual ~TickTimer() = default;
    virtual void start() = 0; // no effect while already running
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
};

} // namespace timers
