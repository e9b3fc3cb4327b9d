#pragma once

#include "runlog/run_record.h"

#include <QString>

#include <chrono>
#include <memory>

namespace timers {

class WriteQueue;

// The record of every run that switched the device, kept in the state folder
// ($XDG_STATE_HOME/timers/runs.log, format in run_log_file.h), oldest first. It is bounded: once
// it holds more than kMostLines runs or kMostBytes, it is rewritten, atomically, with the
// newest kKeptRuns. It is written only where it is a regular file this program can read, or
// where there is none yet: a link (dangling or not), a folder, a FIFO or a file that cannot be
// read is left as it is, with one line on stderr. Written on a thread of its own.
class RunLog final : public RunLogWriter {
public:
    static constexpr int kKeptRuns = 1000;
    static constexpr int kMostLines = 1100;
    static constexpr qint64 kMostBytes = qint64{1024} * 1024;

    // An empty path stands for the usual place (runLogPath()). Nothing is read or made before
    // the first run; the writer's thread starts here.
    explicit RunLog(QString path = {});
    ~RunLog() override; // after the runs added so far are written

    // Appends `run`, from any thread: never waits for the disk.
    void add(const RunRecord& run) override;
    // Waits up to `most` for the runs added so far; false when one is still being written.
    bool waitForWrites(std::chrono::milliseconds most);

private:
    void append(const QByteArray& line); // on the writer's thread

    const QString m_path;
    QString m_lastRefusal;                // the writer thread's: said once until a run is written
    std::unique_ptr<WriteQueue> m_writer; // last, so that it ends first
};

} // namespace timers
