#pragma once

#include <thread>

namespace timers {

// Loads fontconfig's configuration and font list on a thread of its own while the program
// connects to the display: the first window's text needs them, they take most of a Qt
// window's start, and nothing before the first widget does. fontconfig loads them once,
// whichever thread asks first.
class FontconfigWarmup {
public:
    FontconfigWarmup();
    ~FontconfigWarmup() { wait(); }
    FontconfigWarmup(const FontconfigWarmup&) = delete;
    FontconfigWarmup& operator=(const FontconfigWarmup&) = delete;

    // Returns once they are loaded (at once where the thread could not start: Qt loads them).
    void wait();

private:
    std::thread m_thread;
};

} // namespace timers
