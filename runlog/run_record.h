#pragma once

#include <QDateTime>
#include <QString>

namespace timers {

// One run that switched the device: from the output's switch-on to its switch-off.
struct RunRecord {
    QDateTime start;              // local time the device was first switched on, with its offset
    qint64 askedCentiseconds = 0; // what was asked, in hundredths of a second
    qint64 onMilliseconds = 0;    // the device's measured on-time, all pauses excluded
    int pauses = 0;               // how many times it was paused
    QString ended;                // "ran out", "cancel", "esc", "answer", "exit", "signal"
    QString device;               // "/dev/ttyUSB0"
    QString line;                 // "RTS", "DTR" (or a relay's channel)

    bool operator==(const RunRecord&) const = default;
};

// Where the countdown gives each run it ended; the record is kept without waiting for a disk.
class RunLogWriter {
public:
    virtual ~RunLogWriter() = default;
    virtual void add(const RunRecord& run) = 0;
};

} // namespace timers
