#pragma once

#include "output/wrapped_output.h"

#include <mutex>

namespace timers {

// A lid switch between the countdown and any output: while the lid is open the device cannot
// come on (Set and Resume fail and say why), and opening it switches the device off at once,
// from the switch's own thread. Closing it switches nothing on.
class InterlockedOutput final : public WrappedOutput {
public:
    using WrappedOutput::WrappedOutput;

    // From any thread. Opening cuts the device; true when one was on.
    bool setLidOpen(bool open)
    {
        const std::lock_guard lock(m_mutex);
        m_open = open;
        return open && wrapped().cutNow();
    }

    bool engage(std::chrono::milliseconds length, std::uint64_t number) override
    {
        const std::lock_guard lock(m_mutex); // a lid opening meanwhile waits, then cuts
        m_refused = false;
        if (m_open && length > std::chrono::milliseconds::zero())
            return refuse();
        return WrappedOutput::engage(length, number);
    }
    bool resume(std::uint64_t number) override
    {
        const std::lock_guard lock(m_mutex);
        m_refused = false;
        return m_open ? refuse() : WrappedOutput::resume(number);
    }
    QString failure() const override { return m_refused ? kLidOpen : WrappedOutput::failure(); }

private:
    bool refuse()
    {
        m_refused = true;
        return false;
    }
    inline static const QString kLidOpen = QStringLiteral("the lid is open: close it, then try again");

    std::mutex m_mutex;
    bool m_open = false;
    bool m_refused = false; // the last engage or resume was refused for the lid
};

} // namespace timers
