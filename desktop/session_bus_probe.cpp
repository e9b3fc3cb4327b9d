#include "desktop/session_bus_probe.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string_view>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace timers {

namespace {

using Clock = std::chrono::steady_clock;

// A value of a D-Bus address, with its %xx escapes undone.
std::string unescape(std::string_view value)
{
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '%' && i + 2 < value.size()) {
            out += char(std::strtol(std::string(value.substr(i + 1, 2)).c_str(), nullptr, 16));
            i += 2;
        } else {
            out += value[i];
        }
    }
    return out;
}

// The socket of the first address, "unix:path=..." or "unix:abstract=...": its sockaddr, or
// false for any other kind of address.
bool unixSocket(std::string_view addresses, sockaddr_un& socket, socklen_t& length)
{
    const std::string_view first = addresses.substr(0, addresses.find(';'));
    if (first.substr(0, 5) != "unix:")
        return false;
    std::string_view rest = first.substr(5);
    while (!rest.empty()) {
        const std::string_view pair = rest.substr(0, rest.find(','));
        rest.remove_prefix(std::min(rest.size(), pair.size() + 1));
        const bool abstract = pair.substr(0, 9) == "abstract=";
        if (pair.substr(0, 5) != "path=" && !abstract)
            continue;
        const std::string name = unescape(pair.substr(abstract ? 9 : 5));
        if (name.size() + 1 >= sizeof socket.sun_path)
            return false;
        socket = {};
        socket.sun_family = AF_UNIX;
        std::memcpy(socket.sun_path + (abstract ? 1 : 0), name.data(), name.size());
        length = socklen_t(offsetof(sockaddr_un, sun_path) + name.size() + (abstract ? 1 : 0));
        return true;
    }
    return false;
}

// Waits for `events` on `fd` until `deadline`.
bool waitFor(int fd, short events, Clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd watched{fd, events, 0};
        const int ready = ::poll(&watched, 1, int(left));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

// Whether the bus at `address` answers within `timeout`; `bus` names it in `why`.
bool busAnswers(const char* address, std::chrono::milliseconds timeout, const char* bus, std::string& why)
{
    sockaddr_un socket{};
    socklen_t length = 0;
    if (!unixSocket(address, socket, length))
        return true;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return true;
    const auto deadline = Clock::now() + timeout;
    // Only silence counts: a refused or closed connection fails fast in libdbus as well.
    bool silent = false;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&socket), length) == 0 || errno == EINPROGRESS) {
        // The start of the authentication every client sends; any reply is an answer.
        std::string hello(1, '\0');
        hello += "AUTH EXTERNAL ";
        for (const char digit : std::to_string(::geteuid())) {
            static constexpr char kHex[] = "0123456789abcdef";
            hello += kHex[(digit >> 4) & 0xf];
            hello += kHex[digit & 0xf];
        }
        hello += "\r\n";
        silent = !waitFor(fd, POLLOUT, deadline)
              || (::send(fd, hello.data(), hello.size(), MSG_NOSIGNAL) == ssize_t(hello.size())
                  && !waitFor(fd, POLLIN, deadline));
    }
    if (silent)
        why = std::string("the ") + bus + " bus accepts connections but does not answer";
    ::close(fd);
    return !silent;
}

} // namespace

bool sessionBusAnswers(std::chrono::milliseconds timeout, std::string& why)
{
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    std::string fallback;
    if (address == nullptr || *address == '\0') {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR"); // where libdbus looks without an address
        if (runtime == nullptr)
            return true;
        fallback = std::string("unix:path=") + runtime + "/bus";
        address = fallback.c_str();
    }
    return busAnswers(address, timeout, "session", why);
}

bool systemBusAnswers(std::chrono::milliseconds timeout, std::string& why)
{
    const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    if (address == nullptr || *address == '\0')
        address = "unix:path=/var/run/dbus/system_bus_socket"; // libdbus's own default
    return busAnswers(address, timeout, "system", why);
}

} // namespace timers
