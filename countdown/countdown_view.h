#pragma once

#include <QString>

namespace timers {

// What the countdown needs of the main window.
class CountdownView {
public:
    virtual ~CountdownView() = default;
    virtual void showRemaining(const QString& minutesSeconds) = 0; // lblTime
    virtual void setCancelEnabled(bool enabled) = 0;               // Cancel
    virtual bool alarmChecked() const = 0;                         // Alarm
};

} // namespace timers
