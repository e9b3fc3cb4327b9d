#include "recent_answers.h"

#include "diagnostics.h"

#include <QDir>
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
    return !answer.isEmpty() && std::none_of(answer.begin(), answer.end(), [](QChar c) { return c.category() == QChar::Other_Control; });
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
        return QStringLiteral("it holds an empty line or a control character");
    answers = lines;
    return {};
}
} // namespace

QString RecentAnswers::defaultPath()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/timers/recent");
}

RecentAnswers::RecentAnswers(QString path)
    : m_path(path.isEmpty() ? defaultPath() : std::move(path))
{
    QFile file(m_path);
    if (!file.exists())
        return;
    QString why;
    if (!QFileInfo(m_path).isFile())
        why = QStringLiteral("it is not a regular file");
    else if (!file.open(QIODevice::ReadOnly))
        why = file.errorString();
    else if (file.size() > kMostBytes)
        why = QStringLiteral("it is larger than %1 KiB").arg(kMostBytes / 1024);
    else
        why = parse(file.readAll(), m_answers);
    if (!why.isEmpty())
        qCWarning(lcTimers, "the recent answers in %s are ignored: %s", qPrintable(m_path), qPrintable(why));
}

void RecentAnswers::add(const QString& answer)
{
    if (!keepable(answer))
        return;
    m_answers.removeAll(answer);
    m_answers.prepend(answer);
    while (m_answers.size() > kLimit)
        m_answers.removeLast();

    QSaveFile file(m_path);
    const QByteArray text = (m_answers.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
    if (!QDir().mkpath(QFileInfo(m_path).path()) || !file.open(QIODevice::WriteOnly) || file.write(text) != text.size()
        || !file.commit())
        qCWarning(lcTimers, "cannot keep the recent answers in %s: %s", qPrintable(m_path), qPrintable(file.errorString()));
}

} // namespace timers
