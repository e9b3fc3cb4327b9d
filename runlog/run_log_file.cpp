#include "runlog/run_log_file.h"

#include "system/state_folder.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <limits>

namespace timers {

namespace {

constexpr qint64 kMostBytesRead = qint64{4} * 1024 * 1024;
// Larger asked times are no countdown's; the bound keeps the conversion to hundredths exact.
constexpr double kMostSeconds = 1e12;

// `value` / 10^places with that many decimals: 1250, 2 -> "12.50".
QString decimal(qint64 value, int places)
{
    qint64 scale = 1;
    for (int i = 0; i < places; ++i)
        scale *= 10;
    const QString sign = value < 0 ? QStringLiteral("-") : QString();
    const quint64 magnitude = value < 0 ? 0 - quint64(value) : quint64(value);
    return QStringLiteral("%1%2.%3")
        .arg(sign)
        .arg(magnitude / quint64(scale))
        .arg(magnitude % quint64(scale), places, 10, QLatin1Char('0'));
}

// `text` as a JSON string, quotes and escapes included.
QByteArray jsonString(const QString& text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

// A text of the file on one printed line: control characters (a line break in a device's
// name) are shown as U+FFFD.
QString oneLine(QString text)
{
    std::replace_if(
        text.begin(), text.end(), [](QChar c) { return c.category() == QChar::Other_Control; },
        QChar(QChar::ReplacementCharacter));
    return text;
}

} // namespace

QString runLogPath() { return stateFolder() + QStringLiteral("/runs.log"); }

QByteArray runLogLine(const RunRecord& run)
{
    // Written with the offset the start had, whatever the time zone is when it is read.
    const QString start = run.start.toOffsetFromUtc(run.start.offsetFromUtc()).toString(Qt::ISODate);
    return "{\"start\":" + jsonString(start) + ",\"asked_s\":" + decimal(run.askedCentiseconds, 2).toLatin1()
         + ",\"on_ms\":" + QByteArray::number(run.onMilliseconds) + ",\"pauses\":" + QByteArray::number(run.pauses)
         + ",\"ended\":" + jsonString(run.ended) + ",\"device\":" + jsonString(run.device)
         + ",\"line\":" + jsonString(run.line) + "}\n";
}

std::optional<RunRecord> readRunLogLine(const QByteArray& line)
{
    const QJsonDocument document = QJsonDocument::fromJson(line);
    if (!document.isObject())
        return {};
    const QJsonObject object = document.object();
    const QJsonValue asked = object.value(QLatin1String("asked_s"));
    const QJsonValue ended = object.value(QLatin1String("ended"));
    const QJsonValue device = object.value(QLatin1String("device"));
    const QJsonValue pin = object.value(QLatin1String("line"));
    RunRecord run;
    run.start = QDateTime::fromString(object.value(QLatin1String("start")).toString(), Qt::ISODate);
    run.onMilliseconds = object.value(QLatin1String("on_ms")).toInteger(-1);
    const qint64 pauses = object.value(QLatin1String("pauses")).toInteger(-1);
    if (!run.start.isValid() || !asked.isDouble() || !(std::abs(asked.toDouble()) < kMostSeconds)
        || run.onMilliseconds < 0 || pauses < 0 || pauses > std::numeric_limits<int>::max() || !ended.isString()
        || !device.isString() || !pin.isString())
        return {};
    run.askedCentiseconds = std::llround(asked.toDouble() * 100);
    run.pauses = int(pauses);
    run.ended = ended.toString();
    run.device = device.toString();
    run.line = pin.toString();
    return run;
}

RunLogTail readRunLogTail(const QString& path, int count)
{
    RunLogTail tail;
    const QFileInfo info(path);
    if (!info.exists()) {
        tail.missing = !info.isSymLink();
        if (!tail.missing)
            tail.failure = QStringLiteral("it is a link to nothing");
        return tail;
    }
    QFile file(path);
    QByteArray bytes;
    qint64 from = 0;
    if (!info.isFile()) {
        tail.failure = QStringLiteral("it is not a regular file");
    } else if (!file.open(QIODevice::ReadOnly)) {
        tail.failure = file.errorString();
    } else {
        from = std::max<qint64>(0, file.size() - kMostBytesRead);
        if (file.seek(from))
            bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            tail.failure = file.errorString();
    }
    if (!tail.failure.isEmpty())
        return tail;

    QList<QByteArray> lines = bytes.split('\n');
    if (lines.constLast().isEmpty())
        lines.removeLast(); // the end of the last line
    if (from > 0 && !lines.isEmpty())
        lines.removeFirst(); // the end of a line that began before the part read
    for (const QByteArray& line : std::as_const(lines)) {
        if (const std::optional<RunRecord> run = readRunLogLine(line))
            tail.runs.append(*run);
        else
            ++tail.unreadableLines;
    }
    if (tail.runs.size() > count)
        tail.runs.remove(0, tail.runs.size() - count);
    return tail;
}

QString readableRun(const RunRecord& run)
{
    const int offset = run.start.offsetFromUtc() / 60;
    const QString zone = QStringLiteral("%1%2:%3")
                             .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                             .arg(std::abs(offset) / 60, 2, 10, QLatin1Char('0'))
                             .arg(std::abs(offset) % 60, 2, 10, QLatin1Char('0'));
    const QString pauses = run.pauses == 0 ? QStringLiteral("no pauses")
                         : run.pauses == 1 ? QStringLiteral("1 pause")
                                           : QStringLiteral("%1 pauses").arg(run.pauses);
    return QStringLiteral("%1 %2  asked %3 s  on %4 s  %5  %6  %7 on %8")
        .arg(run.start.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), zone, decimal(run.askedCentiseconds, 2),
             decimal(run.onMilliseconds, 3), pauses, oneLine(run.ended), oneLine(run.line), oneLine(run.device));
}

} // namespace timers
