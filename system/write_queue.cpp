#include "system/write_queue.h"

namespace timers {

WriteQueue::WriteQueue()
    : m_thread([this] { run(); })
{
}

WriteQueue::~WriteQueue()
{
    {
        const std::lock_guard lock(m_mutex);
        m_ending = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void WriteQueue::add(std::function<void()> write)
{
    {
        const std::lock_guard lock(m_mutex);
        m_waiting.push_back(std::move(write));
    }
    m_changed.notify_all();
}

void WriteQueue::replace(std::function<void()> write)
{
    {
        const std::lock_guard lock(m_mutex);
        m_waiting.clear();
        m_waiting.push_back(std::move(write));
    }
    m_changed.notify_all();
}

bool WriteQueue::waitIdle(std::chrono::milliseconds most)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, most, [this] { return m_waiting.empty() && !m_writing; });
}

void WriteQueue::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return !m_waiting.empty() || m_ending; });
        if (m_waiting.empty())
            return; // ending, with everything asked written
        const std::function<void()> write = std::move(m_waiting.front());
        m_waiting.pop_front();
        m_writing = true;
        lock.unlock();
        write();
        lock.lock();
        m_writing = false;
        m_changed.notify_all();
    }
}

} // namespace timers
