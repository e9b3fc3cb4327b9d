#pragma once

#include <QString>

#include <chrono>
#include <cstdint>
#include <optional>

namespace timers {

// The device output as the countdown drives it: engaged by Set, released by the completion.
// The COM output (a serial line) is one; the sleep lock wraps any.
class DeviceOutput {
public:
    virtual ~DeviceOutput() = default;
    // Switches the device on for countdown `number`, for exactly `length` from the moment it
    // goes on, when the COM output is on: the output's own timer switches it off then, whatever
    // the thread that drives it is doing, and its notice names the countdown. A length of zero or
    // less switches nothing on. With the output off, whatever an earlier countdown still holds
    // goes off. False when the port could not be selected, opened or driven (the reason is
    // already reported).
    virtual bool engage(std::chrono::milliseconds length, std::uint64_t number) = 0;
    // The completion: switches off what engage switched on, whatever the texts say now; true
    // when the COM output is on (the completion box then says so).
    virtual bool release() = 0;
    // Switches off at once whatever line is held (Cancel, an answer that leaves no countdown
    // running); true when there was one.
    virtual bool switchOffDevice() = 0;
    // Pause: the device goes off at once and its timer stops, keeping what remained of its time;
    // false when no device was on.
    virtual bool pause() = 0;
    // Resume: the device goes on again, for countdown `number`, for exactly what remained at the
    // pause; false when it cannot (the reason in failure()). Nothing to resume is no failure.
    virtual bool resume(std::uint64_t number) = 0;
    // Why the last engage or resume failed: the device and the system's reason, for the user.
    virtual QString failure() const = 0;
    // Exit, first of all: the device goes off before anything else that may take a while.
    virtual void switchOffAtExit() = 0;

    // The line this output switched on and still holds: its device and its name ("DTR",
    // "RTS"). What it did, not what the settings say now (they may have been edited since).
    struct DeviceOn {
        QString port; // "/dev/ttyUSB0"
        QString name; // what is switched there: "DTR", "RTS", "relay 1"
    };
    virtual std::optional<DeviceOn> deviceOn() const = 0;

    // What the device did since the last engage: its line, and its time on, from the output's
    // own switch-on and switch-off instants, pauses left out. Empty when it was never on. Taking
    // it starts the count anew (a device still on counts from now).
    struct DeviceRun {
        DeviceOn device;
        std::chrono::milliseconds on{0};
    };
    virtual std::optional<DeviceRun> takeRun() = 0;
};

} // namespace timers
