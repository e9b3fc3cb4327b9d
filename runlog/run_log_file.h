#pragma once

#include "runlog/run_record.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace timers {

// The record of runs on disk: JSON Lines in UTF-8, oldest first, one object a line:
//   {"start":"2026-12-09T14:03:12+01:00","asked_s":12.50,"on_ms":12503,"pauses":2,
//    "ended":"ran out","device":"/dev/ttyUSB0","line":"RTS"}
// (on one line). The file's format and its reader, which timers-ctl links; the writer is RunLog.

// $XDG_STATE_HOME/timers/runs.log, or ~/.local/state/timers/runs.log.
QString runLogPath();

// `run` as a line of the file, with its line end.
QByteArray runLogLine(const RunRecord& run);
// The run a line of the file holds (with or without its line end); empty when it holds none.
std::optional<RunRecord> readRunLogLine(const QByteArray& line);

// The last runs of a file, oldest first.
struct RunLogTail {
    QList<RunRecord> runs;
    int unreadableLines = 0; // lines that hold no run, skipped
    bool missing = false;    // no file there: no run recorded yet
    QString failure;         // why the file could not be read; empty when it was
};
// Reads at most the file's last 4 MiB (the writer keeps it under 1 MiB). A link is followed.
RunLogTail readRunLogTail(const QString& path, int count);

// One run as `timers-ctl log` prints it:
//   2026-12-09 14:03:12 +01:00  asked 12.50 s  on 12.503 s  2 pauses  ran out  RTS on /dev/ttyUSB0
QString readableRun(const RunRecord& run);

} // namespace timers
