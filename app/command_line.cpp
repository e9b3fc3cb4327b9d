#include "app/command_line.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace timers {

namespace {

// The options QGuiApplication and QApplication take, with one dash or two.
constexpr std::array<std::string_view, 14> kQtOptionsWithValue{
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "qwindowicon", "qwindowtitle",
    "display",  "geometry",           "title",         "name",   "style",           "stylesheet",  "session"};
constexpr std::array<std::string_view, 6> kQtFlags{"reverse", "widgetcount", "nograb", "dograb", "sync", "testability"};

bool among(auto list, std::string_view name) { return std::find(list.begin(), list.end(), name) != list.end(); }

CommandLine usage(std::string problem) { return {CommandLine::Action::Usage, std::move(problem)}; }

} // namespace

CommandLine CommandLine::read(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h" || arg == "--help")
            return {Action::Help, {}};
        if (arg == "--version")
            return {Action::Version, {}};
        if (arg.size() < 2 || arg[0] != '-')
            return usage("unexpected argument '" + std::string(arg) + "'");
        std::string_view name = arg.substr(arg.starts_with("--") ? 2 : 1);
        const bool valueAttached = name.find('=') != std::string_view::npos;
        name = name.substr(0, name.find('='));
        if (among(kQtFlags, name) && !valueAttached)
            continue;
        if (!among(kQtOptionsWithValue, name))
            return usage("unknown option '" + std::string(arg) + "'");
        if (!valueAttached && ++i >= argc)
            return usage("option '" + std::string(arg) + "' needs a value");
    }
    return {};
}

std::string CommandLine::help()
{
    return "Usage: timers [OPTION]...\n"
           "A countdown that holds DTR or RTS of a serial port asserted while it runs, and a stopwatch.\n"
           "Started from a terminal, it keeps Timer_Control.ini in the current folder.\n"
           "In its window, Esc ends a countdown and P (or Pause) pauses and resumes it.\n"
           "\n"
           "  -h, --help     show this help and exit\n"
           "      --version  show the version and exit\n"
           "\n"
           "Qt's own options are passed on to Qt: -platform NAME, -style NAME, -display DISPLAY,\n"
           "-reverse and the others Qt documents. See timers(1); timers-ctl(1) drives a running\n"
           "Timers from scripts.\n";
}

std::string CommandLine::version() { return "timers " TIMERS_VERSION "\n"; }

} // namespace timers
