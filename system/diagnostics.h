#pragma once

#include <QLoggingCategory>

namespace timers {

// Every line the program writes to stderr comes through this category, named "timers", so
// each reads "timers: ..." under Qt's default message pattern.
Q_DECLARE_LOGGING_CATEGORY(lcTimers)

// A text the user typed, in quotes for a message: whole, or when long its start and its length,
// so a pasted page is not echoed back.
QString quoted(const QString& text);

} // namespace timers
