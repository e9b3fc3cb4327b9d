#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace timers {

// A timing relay for a device output: once armed, a thread of its own switches the device off
// at the deadline, whatever the thread that drives the output is doing (a box's event loop, a
// slow disk, a fault). The deadline runs on the boot-time clock, which counts suspended time as
// the countdown does. What switching off means is the output's: for a serial port, lowering
// DTR and RTS on its descriptor.
class DeviceDeadline {
public:
    // Runs on the deadline's thread with the armed descriptor; true when it found the device on
    // and switched it off.
    using SwitchOff = std::function<bool(int fd)>;
    // Runs on the deadline's thread after `switchOff` found the device on, with the tag that
    // armed it.
    using SwitchedOff = std::function<void(std::uint64_t tag)>;
    DeviceDeadline(SwitchOff switchOff, SwitchedOff switchedOff);
    ~DeviceDeadline();
    DeviceDeadline(const DeviceDeadline&) = delete;
    DeviceDeadline& operator=(const DeviceDeadline&) = delete;

    // Switches `fd`'s device off `after` from now unless re-armed or disarmed first. `tag` names
    // what armed it (a countdown's number) to whoever hears that it switched off.
    void arm(int fd, std::chrono::milliseconds after, std::uint64_t tag);
    // Once it returns, the descriptor is never touched again: call it before closing it.
    // Returns what remained of the armed time (zero when none was armed or it has passed).
    std::chrono::milliseconds disarm();

private:
    void run();

    SwitchOff m_switchOff;
    SwitchedOff m_switchedOff;
    std::mutex m_mutex;
    int m_timer = -1; // timerfd on CLOCK_BOOTTIME
    int m_wake = -1;  // eventfd: ends the thread
    int m_fd = -1;    // armed while >= 0
    std::uint64_t m_tag = 0;
    std::thread m_thread; // started at the first arm
};

} // namespace timers
