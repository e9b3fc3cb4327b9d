#pragma once

#include <QString>

namespace timers {

// A message on the desktop, so that what matters is seen even where nothing can be heard.
// Never waits and never reports a failure to its caller.
class Notifier {
public:
    virtual ~Notifier() = default;
    virtual void notify(const QString& summary, const QString& body) = 0;

    // The summary line of every notification the program posts.
    static QString programSummary() { return QStringLiteral("Timers"); }
};

} // namespace timers
