#pragma once

#include <QString>

#include <atomic>
#include <functional>
#include <thread>

namespace timers {

// Watches one input pin of a serial port (CTS, DSR, DCD or RI; a TIOCM_* bit) on a thread of
// its own, never the window's: it waits with TIOCMIWAIT, or reads TIOCMGET every 20 ms where
// the driver cannot wait. The port is opened for the watching alone, its DTR and RTS lowered at
// once (Linux raises them as a port opens). An adapter unplugged reads as the pin dropped; once
// a port of that name is back, it is watched again.
class PinWatcher {
public:
    // On the watcher's thread, at each change of the pin; and with `opened` true, as the pin
    // reads once the port is opened (at the start, and when an unplugged adapter is back).
    using Changed = std::function<void(bool asserted, bool opened)>;
    PinWatcher() = default;
    ~PinWatcher() { stop(); }
    PinWatcher(const PinWatcher&) = delete;
    PinWatcher& operator=(const PinWatcher&) = delete;

    // False, with the reason in errorText(), when the port cannot be opened.
    bool start(const QString& device, int bit, Changed changed);
    void stop();
    QString errorText() const { return m_error; }

private:
    void run(int bit);
    bool open();
    bool reopen();

    QString m_device;
    Changed m_changed;
    QString m_error;
    int m_fd = -1;
    int m_wake = -1; // eventfd: ends a polling wait
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_ended{false};
    std::thread m_thread;
};

} // namespace timers
