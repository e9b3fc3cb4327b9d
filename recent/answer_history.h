#pragma once

#include <QStringList>

namespace timers {

// The answers that started a countdown, newest first, for Up and Down in the Set prompt.
class AnswerHistory {
public:
    virtual ~AnswerHistory() = default;
    virtual QStringList answers() const = 0;
    virtual void add(const QString& answer) = 0;
};

} // namespace timers
