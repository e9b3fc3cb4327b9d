#pragma once

namespace timers {

// Made around the QApplication's construction. Qt ends a program whose window system cannot be
// reached with abort() (status 134, a core dump where they are kept) and advice to reinstall
// it; Timers instead says in one line that it needs a display, and why none was reached, and
// ends with kNoDisplay. Qt's messages meanwhile are held, and passed on once it has started.
class DisplayRequired {
public:
    static constexpr int kNoDisplay = 69; // EX_UNAVAILABLE

    DisplayRequired();
    ~DisplayRequired();
    DisplayRequired(const DisplayRequired&) = delete;
    DisplayRequired& operator=(const DisplayRequired&) = delete;
};

} // namespace timers
