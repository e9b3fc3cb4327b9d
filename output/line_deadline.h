#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

namespace timers {

// A timing relay for a serial port's control lines: once armed, a thread of its own lowers DTR
// and RTS on the port's descriptor at the deadline if either is still up, whatever the thread
// that drives the port is doing (a box's event loop, a slow disk, a fault). The deadline runs
// on the boot-time clock, which counts suspended time as the countdown does.
class LineDeadline {
public:
    // `lowered` runs on the deadline's thread after it lowered a line.
    explicit LineDeadline(std::function<void()> lowered);
    ~LineDeadline();
    LineDeadline(const LineDeadline&) = delete;
    LineDeadline& operator=(const LineDeadline&) = delete;

    // Lowers the lines of `fd` `after` from now unless re-armed or disarmed first.
    void arm(int fd, std::chrono::milliseconds after);
    // Once it returns, the descriptor is never touched again: call it before closing it.
    void disarm();

private:
    void run();

    std::function<void()> m_lowered;
    std::mutex m_mutex;
    int m_timer = -1;  // timerfd on CLOCK_BOOTTIME
    int m_wake = -1;   // eventfd: ends the thread
    int m_fd = -1;     // armed while >= 0
    std::thread m_thread; // started at the first arm
};

} // namespace timers
