#include "diagnostics.h"

namespace timers {

Q_LOGGING_CATEGORY(lcTimers, "timers")

} // namespace timers
