#pragma once

#include "recent/answer_history.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>

namespace timers {

class WriteQueue;

// The last ten answers that started a countdown, kept across runs in a file of their own
// ($XDG_STATE_HOME/timers/recent): UTF-8, one answer a line, newest first. A file that is
// unreadable or not such a list is ignored, with one line on stderr, and never overwritten.
// The file is written on a thread of its own: an answer switches the device on and is answered
// without waiting for a disk.
class RecentAnswers final : public AnswerHistory {
public:
    static constexpr int kLimit = 10;
    // Longer answers are not kept: nobody steps back to them, and ten of them stay small.
    static constexpr qsizetype kLongest = 64;

    // Reads `path` now; an empty path stands for the usual place.
    explicit RecentAnswers(QString path = {});
    ~RecentAnswers() override;

    QStringList answers() const override { return m_answers; }
    // Puts `answer` first (once) and has the file written, atomically. An answer holding a line
    // break or another control character is not kept: the file could not give it back.
    void add(const QString& answer) override;
    // Waits up to `most` for the writes asked so far; false when one is still under way.
    bool waitForWrites(std::chrono::milliseconds most);

    // $XDG_STATE_HOME/timers/recent, or ~/.local/state/timers/recent.
    static QString defaultPath();

private:
    QString m_path;
    QStringList m_answers;
    bool m_mayWrite = true;               // false: the file is there but is not a list of ours
    std::unique_ptr<WriteQueue> m_writer; // made at the first write
};

} // namespace timers
