#pragma once

#include <QObject>

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace timers {

// A timing relay for a device output: once armed, a thread of its own switches the device off
// at the deadline, whatever the thread that drives the output is doing (a box's event loop, a
// slow disk, a fault). The deadline runs on the boot-time clock, which counts suspended time as
// the countdown does. What switching off means is the output's: for a serial line, lowering
// DTR and RTS on its descriptor; for a relay board, writing its off frame.
// The calls are virtual so that a test can watch an output arm it.
class DeviceDeadline {
public:
    // Runs on the deadline's thread (or the caller's, for cutNow) with the armed descriptor;
    // true when it found the device on and switched it off.
    using SwitchOff = std::function<bool(int fd)>;
    // Runs on the thread that made the deadline, after `switchOff` found the device on at the
    // deadline, with the tag that armed it.
    using Passed = std::function<void(std::uint64_t tag)>;
    DeviceDeadline(SwitchOff switchOff, Passed passed);
    virtual ~DeviceDeadline();
    DeviceDeadline(const DeviceDeadline&) = delete;
    DeviceDeadline& operator=(const DeviceDeadline&) = delete;

    // Switches `fd`'s device off `after` from now unless re-armed or disarmed first. `tag` names
    // what armed it (a countdown's number) to whoever hears that it switched off.
    virtual void arm(int fd, std::chrono::milliseconds after, std::uint64_t tag);
    // Once it returns, the descriptor is never touched again: call it before closing it.
    // Returns what remained of the armed time (zero when none was armed or it has passed), or
    // what remained when cutNow cut it.
    virtual std::chrono::milliseconds disarm();
    // From any thread (a lid switch's): switches the armed device off now and keeps what
    // remained of its time for disarm; false when nothing was armed. Nobody is told it passed.
    virtual bool cutNow();

private:
    void run();
    std::chrono::milliseconds timeLeft() const; // with m_mutex held

    SwitchOff m_switchOff;
    Passed m_passed;
    QObject m_owner; // lives on the thread that made the deadline: Passed runs there
    std::mutex m_mutex;
    int m_timer = -1; // timerfd on CLOCK_BOOTTIME
    int m_wake = -1;  // eventfd: ends the thread
    int m_fd = -1;    // armed while >= 0
    std::uint64_t m_tag = 0;
    std::optional<std::chrono::milliseconds> m_cutLeft;
    std::thread m_thread; // started at the first arm
};

} // namespace timers
