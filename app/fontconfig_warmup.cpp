#include "app/fontconfig_warmup.h"

#include <fontconfig/fontconfig.h>

#include <system_error>

namespace timers {

FontconfigWarmup::FontconfigWarmup()
{
    try {
        m_thread = std::thread([] { FcInit(); });
    } catch (const std::system_error&) { // NOLINT(bugprone-empty-catch): nothing is lost
        // No thread to spare: the first font loads them, as without this.
    }
}

void FontconfigWarmup::wait()
{
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace timers
