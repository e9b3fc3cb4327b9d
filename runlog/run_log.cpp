#include "runlog/run_log.h"

#include "runlog/run_log_file.h"
#include "system/diagnostics.h"
#include "system/state_folder.h"
#include "system/write_queue.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QScopeGuard>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace timers {

namespace {

// A rewrite keeps no more than this, so that it is not needed again at the next run.
constexpr qint64 kKeptBytes = RunLog::kMostBytes / 2;

// The file rewritten with its last lines in `tail` and `line`: the newest kKeptRuns within
// kKeptBytes. Empty when it was, or else why not.
QString rewrite(const QString& path, const QByteArray& tail, bool tailStartsMidLine, const QByteArray& line)
{
    QList<QByteArray> lines = tail.split('\n');
    if (tailStartsMidLine)
        lines.removeFirst();
    lines.removeAll(QByteArray()); // the end of the last line, and any empty line
    lines.append(line.chopped(1));
    qsizetype first = std::max<qsizetype>(0, lines.size() - RunLog::kKeptRuns);
    qint64 bytes = 0;
    for (qsizetype i = lines.size(); i > first; --i) {
        bytes += lines[i - 1].size() + 1;
        if (bytes > kKeptBytes && i < lines.size()) {
            first = i;
            break;
        }
    }
    const QByteArray text = QList<QByteArray>(lines.begin() + first, lines.end()).join('\n') + '\n';
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        return file.errorString();
    return {};
}

// Adds `line` to the file at `path`, as the class comment says; empty when it was added, or
// else why not.
QString appendTo(const QString& path, QByteArray line)
{
    if (const QString why = makeFolder(QFileInfo(path).path()); !why.isEmpty())
        return QStringLiteral("its folder cannot be made: %1").arg(why);
    const QByteArray name = QFile::encodeName(path);
    const QString leftAlone = QStringLiteral("it is %1, and is left as it is");
    struct stat info { };
    if (::lstat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode))
        return leftAlone.arg(S_ISLNK(info.st_mode) ? QStringLiteral("a link") : QStringLiteral("not a regular file"));
    // No link followed, and no open that could wait (a FIFO put there since).
    const int fd = ::open(name.constData(), O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno == ELOOP ? leftAlone.arg(QStringLiteral("a link"))
                              : leftAlone.arg(QStringLiteral("a file that cannot be opened (%1)")
                                                  .arg(QString::fromLocal8Bit(std::strerror(errno))));
    const auto closing = qScopeGuard([fd] { ::close(fd); });
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return leftAlone.arg(QStringLiteral("not a regular file"));

    // What it holds is read first: a file that cannot be read is not written over.
    QFile file;
    if (!file.open(fd, QIODevice::ReadWrite | QIODevice::Unbuffered, QFileDevice::DontCloseHandle))
        return file.errorString();
    const qint64 from = std::max<qint64>(0, info.st_size - RunLog::kMostBytes);
    QByteArray tail;
    if (file.seek(from))
        tail = file.read(info.st_size - from);
    if (file.error() != QFileDevice::NoError || tail.size() != info.st_size - from)
        return leftAlone.arg(QStringLiteral("a file that cannot be read (%1)").arg(file.errorString()));

    if (from > 0 || tail.count('\n') >= RunLog::kMostLines)
        return rewrite(path, tail, from > 0, line);
    if (!tail.isEmpty() && !tail.endsWith('\n'))
        line.prepend('\n'); // a line cut short (a full disk) stays a line of its own
    if (file.write(line) != line.size())
        return file.errorString();
    return {};
}

} // namespace

RunLog::RunLog(QString path)
    : m_path(path.isEmpty() ? runLogPath() : std::move(path))
    , m_writer(std::make_unique<WriteQueue>())
{
}

RunLog::~RunLog() = default;

void RunLog::add(const RunRecord& run)
{
    m_writer->add([this, line = runLogLine(run)] { append(line); });
}

bool RunLog::waitForWrites(std::chrono::milliseconds most) { return m_writer->waitIdle(most); }

void RunLog::append(const QByteArray& line)
{
    const QString refusal = appendTo(m_path, line);
    if (!refusal.isEmpty() && refusal != m_lastRefusal)
        qCWarning(lcTimers, "the run is not recorded in %s: %s", qPrintable(m_path), qPrintable(refusal));
    m_lastRefusal = refusal;
}

} // namespace timers
