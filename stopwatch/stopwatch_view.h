#pragma once

#include <QString>

namespace timers {

// What the stopwatch needs of the main window.
class StopwatchView {
public:
    virtual ~StopwatchView() = default;
    virtual void showElapsed(const QString& hours, const QString& minutes, const QString& seconds) = 0; // Label1..3
    virtual void setStartCaption(const QString& caption) = 0;                                           // btnStart
};

} // namespace timers
