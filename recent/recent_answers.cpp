#include "recent/recent_answers.h"

#include "system/diagnostics.h"
#include "system/state_folder.h"
#include "system/write_queue.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>

namespace timers {

namespace {
// Ten answers of any sensible length fit many times over; a larger file is not ours.
constexpr qint64 kMostBytes = qint64{64} * 1024;

bool keepable(const QString& answer)
{
    return !answer.isEmpty() && answer.size() <= RecentAnswers::kLongest
        && std::none_of(answer.begin(), answer.end(), [](QChar c) { return c.category() == QChar::Other_Control; });
}

// The answers in `bytes`, or why they are not a list of answers.
QString parse(const QByteArray& bytes, QStringList& answers)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    if (utf8.hasError())
        return QStringLiteral("it is not UTF-8 text");
    QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.last().isEmpty())
        lines.removeLast();
    if (lines.size() > RecentAnswers::kLimit)
        return QStringLiteral("it holds more than %1 answers").arg(RecentAnswers::kLimit);
    if (!std::all_of(lines.begin(), lines.end(), keepable))
        return QStringLiteral("it holds an empty line, a control character or a line longer than %1 characters")
            .arg(RecentAnswers::kLongest);
    answers = lines;
    return {};
}
// Writes the list to `path` atomically (a temporary file renamed over it), making its folder;
// a failure is said on stderr.
void write(const QString& path, const QByteArray& text)
{
    QSaveFile file(path);
    QString why = makeFolder(QFileInfo(path).path());
    if (why.isEmpty() && (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()))
        why = file.errorString();
    if (!why.isEmpty())
        qCWarning(lcTimers, "cannot keep the recent answers in %s: %s", qPrintable(path), qPrintable(why));
}
} // namespace

QString RecentAnswers::defaultPath() { return stateFolder() + QStringLiteral("/recent"); }

RecentAnswers::RecentAnswers(QString path)
    : m_path(path.isEmpty() ? defaultPath() : std::move(path))
{
    QFile file(m_path);
    const QFileInfo info(m_path);
    if (!info.exists() && !info.isSymLink())
        return;
    QString why;
    if (!info.isFile())
        why = QStringLiteral("it is not a regular file");
    else if (!file.open(QIODevice::ReadOnly))
        why = file.errorString();
    else if (file.size() > kMostBytes)
        why = QStringLiteral("it is larger than %1 KiB").arg(kMostBytes / 1024);
    else
        why = parse(file.readAll(), m_answers);
    // A link may lead anywhere (a dotfile): it is read, but the file is written only where it
    // is a file of its own.
    if (why.isEmpty() && info.isSymLink()) {
        m_mayWrite = false;
        qCWarning(lcTimers, "the recent answers in %s are a link: they are read, and left as they are",
                  qPrintable(m_path));
    }
    if (!why.isEmpty()) {
        m_mayWrite = false;
        qCWarning(lcTimers, "the recent answers in %s are ignored and left as they are: %s", qPrintable(m_path),
                  qPrintable(why));
    }
}

RecentAnswers::~RecentAnswers() = default;

bool RecentAnswers::waitForWrites(std::chrono::milliseconds most) { return !m_writer || m_writer->waitIdle(most); }

void RecentAnswers::add(const QString& answer)
{
    if (!keepable(answer))
        return;
    m_answers.removeAll(answer);
    m_answers.prepend(answer);
    while (m_answers.size() > kLimit)
        m_answers.removeLast();

    if (!m_mayWrite)
        return;
    if (!m_writer)
        m_writer = std::make_unique<WriteQueue>();
    // The newest list replaces any older one still waiting, so the file ends with the last.
    m_writer->replace([path = m_path, text = (m_answers.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8()] {
        write(path, text);
    });
}

} // namespace timers
