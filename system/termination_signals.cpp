#include "system/termination_signals.h"

#include "system/diagnostics.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace timers {

namespace {
// The handler may only write a byte; the notifier reads it in the event loop.
int g_pipe[2] = {-1, -1};
volatile std::sig_atomic_t g_endRequested = 0;
constexpr std::array kSignals{SIGINT, SIGTERM, SIGHUP};
// Job control would stop the program with a device's line held on (Ctrl-Z, or a background
// start touching the terminal): these are ignored, so it keeps ticking and switches off on time.
constexpr std::array kStopSignals{SIGTSTP, SIGTTIN, SIGTTOU};

extern "C" void onTerminationSignal(int)
{
    g_endRequested = 1;
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_pipe[0], &byte, 1);
}
} // namespace

TerminationSignals::TerminationSignals(QObject* parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0) {
        qCWarning(lcTimers, "cannot watch for termination signals: %s", std::strerror(errno));
        return;
    }
    m_notifier = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::onReadable);

    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : kSignals)
        ::sigaction(sig, &action, nullptr);
    for (int sig : kStopSignals)
        std::signal(sig, SIG_IGN);
}

TerminationSignals::~TerminationSignals()
{
    for (int sig : kSignals)
        std::signal(sig, SIG_DFL);
    for (int sig : kStopSignals)
        std::signal(sig, SIG_DFL);
    for (int& fd : g_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

bool TerminationSignals::endRequested() { return g_endRequested != 0; }

void TerminationSignals::onReadable()
{
    char byte = 0;
    [[maybe_unused]] const auto got = ::read(g_pipe[1], &byte, 1);
    Q_EMIT requested();
}

} // namespace timers
