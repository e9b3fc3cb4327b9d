#pragma once

#include <string>

namespace timers {

// What the program's command line asks for. The program's own options are answered before any
// window system, bus or file is touched; Qt's own options (-platform, -style, ...) are left in
// place for QApplication.
struct CommandLine {
    enum class Action { Run, Help, Version, Usage };
    Action action = Action::Run;
    std::string problem; // for Usage: what was wrong, in one line

    static CommandLine read(int argc, const char* const* argv);
    static std::string help();
    static std::string version();
};

} // namespace timers
