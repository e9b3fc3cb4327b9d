#pragma once

#include <QLoggingCategory>

namespace timers {

// Every line the program writes to stderr comes through this category, named "timers", so
// each reads "timers: ..." under Qt's default message pattern.
Q_DECLARE_LOGGING_CATEGORY(lcTimers)

} // namespace timers
