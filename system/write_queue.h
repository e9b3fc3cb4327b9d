#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace timers {

// Runs writes to files on a thread of its own, one at a time, in the order asked, so that the
// window's thread never waits for a disk. Its end runs what was asked before it.
class WriteQueue {
public:
    WriteQueue();
    ~WriteQueue();
    WriteQueue(const WriteQueue&) = delete;
    WriteQueue& operator=(const WriteQueue&) = delete;

    // After everything asked before.
    void add(std::function<void()> write);
    // In place of the writes still waiting: for a file written whole, whose newest text makes
    // older ones moot.
    void replace(std::function<void()> write);
    // Waits up to `most` for the writes asked so far; false when one is still under way.
    bool waitIdle(std::chrono::milliseconds most);

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_waiting;
    bool m_writing = false;
    bool m_ending = false;
    std::thread m_thread; // last: started once the members above are made
};

} // namespace timers
