#pragma once

#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

namespace timers {

// The device output as the countdown drives it: it switches the device on at Set and off at
// the end. Each kind of output (a serial line, a relay board) is one; the sleep lock and the
// interlock wrap any.
class DeviceOutput {
public:
    virtual ~DeviceOutput() = default;
    // At start-up, before any countdown: a device that stays where it was last put (a relay
    // board) is switched off, in case a crash or a power cut left it on.
    virtual void startup() = 0;
    // Switches the device on for countdown `number`, for exactly `length` from the moment it
    // goes on, when the output is in use: the output's own timer switches it off then, whatever
    // the thread that drives it is doing, and tells deadlinePassed. A length of zero or less
    // switches nothing on. With the output not in use, whatever an earlier countdown still holds
    // goes off. False when the device could not be reached (the reason in failure()).
    virtual bool engage(std::chrono::milliseconds length, std::uint64_t number) = 0;
    // The completion: switches off what engage switched on, whatever the settings say now; true
    // when the output is in use (the completion box then says so, with completionText()).
    virtual bool release() = 0;
    // Switches off at once whatever device is on (Cancel, an answer that leaves no countdown
    // running); true when one was.
    virtual bool switchOffDevice() = 0;
    // Pause: the device goes off at once and its timer stops, keeping what remained of its time;
    // false when no device was on.
    virtual bool pause() = 0;
    // Resume: the device goes on again, for countdown `number`, for exactly what remained at the
    // pause; false when it cannot (the reason in failure()). Nothing to resume is no failure.
    virtual bool resume(std::uint64_t number) = 0;
    // From any thread (a lid switch's): the device goes off now, keeping what remained of its
    // time for the pause that follows on the output's own thread; false when none was on.
    virtual bool cutNow() = 0;
    // Why the last engage or resume failed: the device and the system's reason, for the user.
    virtual QString failure() const = 0;
    // Exit, first of all: the device goes off before anything else that may take a while.
    virtual void switchOffAtExit() = 0;
    // What the completion box adds when the output was in use: "\r\n COM output Off." for the
    // serial line.
    virtual QString completionText() const = 0;
    // Why the machine must not sleep while the device is on, as the desktop lists it.
    virtual QString sleepReason() const = 0;

    // Called on the output's own thread when its timer switched the device of countdown `number`
    // off at the end of its time.
    using DeadlinePassed = std::function<void(std::uint64_t number)>;
    virtual void onDeadlinePassed(DeadlinePassed passed) = 0;

    // The device this output switched on and still holds. What it did, not what the settings
    // say now (they may have been edited since).
    struct DeviceOn {
        QString port; // "/dev/ttyUSB0"
        QString name; // what is switched there: "DTR", "RTS", "relay 1"
    };
    virtual std::optional<DeviceOn> deviceOn() const = 0;

    // What the device did since the last engage: which it was, and its time on, from the
    // output's own switch-on and switch-off instants, pauses left out. Empty when it was never
    // on. Taking it starts the count anew (a device still on counts from now).
    struct DeviceRun {
        DeviceOn device;
        std::chrono::milliseconds on{0};
    };
    virtual std::optional<DeviceRun> takeRun() = 0;
};

} // namespace timers
