#pragma once

#include "answer_history.h"

#include <QString>
#include <QStringList>

namespace timers {

// The last ten answers that started a countdown, kept across runs in a file of their own
// ($XDG_STATE_HOME/timers/recent): UTF-8, one answer a line, newest first. A file that is
// unreadable or not such a list is ignored, with one line on stderr, and is replaced only when
// an answer is added.
class RecentAnswers final : public AnswerHistory {
public:
    static constexpr int kLimit = 10;

    // Reads `path` now; an empty path stands for the usual place.
    explicit RecentAnswers(QString path = {});

    QStringList answers() const override { return m_answers; }
    // Puts `answer` first (once) and writes the file, atomically. An answer holding a line
    // break or another control character is not kept: the file could not give it back.
    void add(const QString& answer) override;

    // $XDG_STATE_HOME/timers/recent, or ~/.local/state/timers/recent.
    static QString defaultPath();

private:
    QString m_path;
    QStringList m_answers;
};

} // namespace timers
