#include "settings/program_config.h"

#include "settings/descriptor.h"
#include "settings/in_place_rewrite.h"
#include "settings/shared_folder_links.h"
#include "system/diagnostics.h"
#include "system/state_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace timers {

namespace {

constexpr std::array kPinTexts{u"none", u"CTS", u"DSR", u"DCD", u"RI"};
constexpr std::array kUseTexts{u"startstop", u"interlock"};

template <typename Enum, std::size_t N>
std::optional<Enum> fromText(const std::array<const char16_t*, N>& texts, QStringView text)
{
    text = text.trimmed();
    for (std::size_t i = 0; i < N; ++i)
        if (text.compare(QStringView(texts[i]), Qt::CaseInsensitive) == 0)
            return Enum(i);
    return std::nullopt;
}

QString systemReason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

bool named(QStringView name, QStringView expected) { return name.compare(expected, Qt::CaseInsensitive) == 0; }

// One line of the file. A value ends where " ;" starts a comment, and has no spaces around it.
struct Line {
    enum class Kind { Note, Section, Key, Unknown }; // a note: blank, or a comment
    Kind kind = Kind::Note;
    QString name; // the section's or the key's
    qsizetype valueFrom = 0;
    qsizetype valueTo = 0;
};

Line parseLine(const QString& text)
{
    Line line;
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(u';') || trimmed.startsWith(u'#'))
        return line;
    if (trimmed.startsWith(u'[')) {
        const qsizetype close = trimmed.indexOf(u']');
        line.kind = close > 0 ? Line::Kind::Section : Line::Kind::Unknown;
        if (close > 0)
            line.name = trimmed.mid(1, close - 1).trimmed();
        return line;
    }
    const qsizetype equals = text.indexOf(u'=');
    if (equals <= 0 || text.left(equals).trimmed().isEmpty()) {
        line.kind = Line::Kind::Unknown;
        return line;
    }
    line.kind = Line::Kind::Key;
    line.name = text.left(equals).trimmed();
    qsizetype from = equals + 1;
    while (from < text.size() && text[from].isSpace())
        ++from;
    qsizetype to = from;
    while (to < text.size() && !(text[to] == u';' && (to == from || text[to - 1].isSpace())))
        ++to;
    while (to > from && text[to - 1].isSpace())
        --to;
    line.valueFrom = from;
    line.valueTo = to;
    return line;
}

QString valueOf(const QString& text, const Line& line)
{
    return text.mid(line.valueFrom, line.valueTo - line.valueFrom);
}

// `text` with its value replaced, keeping the spacing and the comment around it.
QString withValue(const QString& text, const Line& line, const QString& value)
{
    QString comment = text.mid(line.valueTo);
    if (comment.trimmed().isEmpty())
        comment.clear();
    else if (!comment.front().isSpace())
        comment.prepend(u' '); // "kind=;" : the comment must stay one
    return text.left(line.valueFrom) + value + comment;
}

// Why `text` would not read back as itself, or an empty text.
QString unwritable(const QString& text, bool isKey)
{
    if (text.contains(u'\n') || text.contains(u'\r'))
        return QStringLiteral("it holds a line break");
    if (text != text.trimmed())
        return QStringLiteral("it starts or ends with a space");
    if (isKey && (text.isEmpty() || text.contains(u'=') || text.startsWith(u'[') || text.startsWith(u'#')))
        return QStringLiteral("a key must be one word or more, with no \"=\", starting with neither \"[\" nor \"#\"");
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i] == u';' && (i == 0 || text[i - 1].isSpace()))
            return QStringLiteral("a \";\" there would start a comment");
    return {};
}

QString unwritable(const ProgramConfig& values)
{
    if (values.outputKind.isEmpty())
        return QStringLiteral("the output kind is empty");
    if (const QString why = unwritable(values.outputKind, false); !why.isEmpty())
        return QStringLiteral("the output kind %1 cannot be written: %2").arg(quoted(values.outputKind), why);
    for (auto option = values.outputOptions.cbegin(); option != values.outputOptions.cend(); ++option) {
        QString why = unwritable(option.key(), true);
        if (why.isEmpty() && named(option.key(), u"kind"))
            why = QStringLiteral("it is the output kind's key");
        if (!why.isEmpty())
            return QStringLiteral("the option %1 cannot be written: %2").arg(quoted(option.key()), why);
        if (why = unwritable(option.value(), false); !why.isEmpty())
            return QStringLiteral("the option %1's value %2 cannot be written: %3")
                .arg(option.key(), quoted(option.value()), why);
    }
    return {};
}

// The file's lines as they were read.
struct Text {
    bool missing = false;
    QStringList lines;
    QString lineEnd = QStringLiteral("\n");
    QString notRead;  // why nothing of it could be read
    QString notWhole; // why what was read is not all of it, as it is
};

Text readText(const QString& path)
{
    Text text;
    if (const QString refused = refusedLink(path); !refused.isEmpty()) {
        text.notRead = refused;
        return text;
    }
    // Without blocking: opening a FIFO for reading would wait for a writer forever.
    const Descriptor file(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat status = {};
    if (file.get() < 0 && errno == ENOENT) {
        text.missing = true;
        return text;
    }
    if (file.get() < 0 || ::fstat(file.get(), &status) != 0) {
        text.notRead = QStringLiteral("cannot read %1: %2").arg(path, systemReason(errno));
        return text;
    }
    if (!S_ISREG(status.st_mode)) {
        text.notRead = QStringLiteral("%1 is not a regular file").arg(path);
        return text;
    }
    QByteArray bytes(ProgramConfigFile::kMostBytes + 1, Qt::Uninitialized);
    qsizetype got = 0;
    while (got < bytes.size()) {
        const ssize_t part = ::read(file.get(), bytes.data() + got, std::size_t(bytes.size() - got));
        if (part < 0 && errno == EINTR)
            continue;
        if (part < 0) {
            text.notRead = QStringLiteral("cannot read %1: %2").arg(path, systemReason(errno));
            return text;
        }
        if (part == 0)
            break;
        got += part;
    }
    bytes.truncate(got);
    if (got > ProgramConfigFile::kMostBytes) {
        bytes.truncate(bytes.lastIndexOf('\n', ProgramConfigFile::kMostBytes - 1) + 1); // whole lines only
        text.notWhole = QStringLiteral("%1 is larger than %2 KiB; only its first lines are read")
                            .arg(path, QString::number(ProgramConfigFile::kMostBytes / 1024));
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8(bytes);
    if (utf8.hasError() && text.notWhole.isEmpty())
        text.notWhole = QStringLiteral("%1 is not UTF-8 text").arg(path);
    if (decoded.isEmpty())
        return text;
    text.lines = decoded.split(u'\n');
    if (text.lines.last().isEmpty())
        text.lines.removeLast();
    if (decoded.contains(u"\r\n") && decoded.indexOf(u"\r\n") + 1 == decoded.indexOf(u'\n'))
        text.lineEnd = QStringLiteral("\r\n");
    for (QString& line : text.lines)
        if (line.endsWith(u'\r'))
            line.chop(1);
    return text;
}

ProgramConfig valuesOf(const QStringList& lines, QStringList& problems)
{
    ProgramConfig values;
    QString section;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const Line line = parseLine(lines[i]);
        if (line.kind == Line::Kind::Section)
            section = line.name;
        const bool output = named(section, u"Output");
        if (!output && !named(section, u"Input"))
            continue; // other sections and their lines are the user's
        if (line.kind == Line::Kind::Unknown) {
            problems << QStringLiteral("line %1 in [%2] is not a key=value line").arg(i + 1).arg(section);
            continue;
        }
        if (line.kind != Line::Kind::Key)
            continue;
        const QString value = valueOf(lines[i], line);
        if (output && named(line.name, u"kind")) {
            if (value.isEmpty())
                problems << QStringLiteral("the output kind is empty; \"line\" is used");
            values.outputKind = value.isEmpty() ? ProgramConfig().outputKind : value;
        } else if (output) {
            values.outputOptions.insert(line.name, value);
        } else if (named(line.name, u"pin")) {
            const std::optional<InputPin> pin = inputPinFromText(value);
            if (!pin)
                problems
                    << QStringLiteral("pin=%1 is not one of none, CTS, DSR, DCD, RI; none is used").arg(quoted(value));
            values.inputPin = pin.value_or(InputPin::None);
        } else if (named(line.name, u"use")) {
            const std::optional<InputUse> use = inputUseFromText(value);
            if (!use)
                problems << QStringLiteral("use=%1 is not one of startstop, interlock; startstop is used")
                                .arg(quoted(value));
            values.inputUse = use.value_or(InputUse::StartStop);
        } else {
            problems << QStringLiteral("[Input] has no key %1").arg(quoted(line.name));
        }
    }
    return values;
}

// `lines` with the values in them: each key that is there takes its new value where it stands,
// an option no longer held is dropped, and what is missing is added at the end of its section.
QStringList merged(const QStringList& lines, const ProgramConfig& values)
{
    QStringList out;
    QString section;
    qsizetype outputEnd = -1; // where the section's next key goes
    qsizetype inputEnd = -1;
    QMap<QString, QString> outputMissing = values.outputOptions;
    outputMissing.insert(QStringLiteral("kind"), values.outputKind); // "kind" is no option's key
    QMap<QString, QString> inputMissing{{QStringLiteral("pin"), inputPinText(values.inputPin)},
                                        {QStringLiteral("use"), inputUseText(values.inputUse)}};
    for (const QString& text : lines) {
        const Line line = parseLine(text);
        if (line.kind == Line::Kind::Section)
            section = line.name;
        const bool output = named(section, u"Output");
        const bool input = named(section, u"Input");
        std::optional<QString> value;
        if (output && line.kind == Line::Kind::Key) {
            const QString key = named(line.name, u"kind") ? QStringLiteral("kind") : line.name;
            if (!values.outputOptions.contains(key) && key != u"kind")
                continue; // an option the values no longer hold
            value = key == u"kind" ? values.outputKind : values.outputOptions.value(key);
            outputMissing.remove(key);
        } else if (input && line.kind == Line::Kind::Key && (named(line.name, u"pin") || named(line.name, u"use"))) {
            const QString key = line.name.toLower();
            value = key == u"pin" ? inputPinText(values.inputPin) : inputUseText(values.inputUse);
            inputMissing.remove(key);
        }
        out << (value ? withValue(text, line, *value) : text);
        if (line.kind == Line::Kind::Section || line.kind == Line::Kind::Key) {
            if (output)
                outputEnd = out.size();
            if (input)
                inputEnd = out.size();
        }
    }
    const auto keyLines = [](const QMap<QString, QString>& keys, bool kindFirst) {
        QStringList added;
        if (kindFirst && keys.contains(QStringLiteral("kind")))
            added << QStringLiteral("kind=") + keys.value(QStringLiteral("kind"));
        for (auto key = keys.cbegin(); key != keys.cend(); ++key)
            if (!kindFirst || key.key() != u"kind")
                added << key.key() + u'=' + key.value();
        return added;
    };
    const QStringList outputAdded = keyLines(outputMissing, true);
    const QStringList inputAdded = keyLines(inputMissing, false); // "pin" sorts before "use"
    // The later place first, so that the earlier one stays where it is.
    const auto insertAt = [&out](qsizetype at, const QStringList& added) {
        for (qsizetype i = 0; at >= 0 && i < added.size(); ++i)
            out.insert(at + i, added[i]);
    };
    if (outputEnd > inputEnd)
        insertAt(outputEnd, outputAdded);
    insertAt(inputEnd, inputAdded);
    if (outputEnd < inputEnd)
        insertAt(outputEnd, outputAdded);
    const auto appendSection = [&out](const QString& header, const QStringList& added) {
        if (!out.isEmpty() && !out.last().trimmed().isEmpty())
            out << QString();
        out << header << added;
    };
    if (outputEnd < 0)
        appendSection(QStringLiteral("[Output]"), outputAdded);
    if (inputEnd < 0)
        appendSection(QStringLiteral("[Input]"), inputAdded);
    return out;
}

} // namespace

QString inputPinText(InputPin pin) { return QString::fromUtf16(kPinTexts.at(std::size_t(pin))); }
QString inputUseText(InputUse use) { return QString::fromUtf16(kUseTexts.at(std::size_t(use))); }
std::optional<InputPin> inputPinFromText(QStringView text) { return fromText<InputPin>(kPinTexts, text); }
std::optional<InputUse> inputUseFromText(QStringView text) { return fromText<InputUse>(kUseTexts, text); }

QString ProgramConfigFile::defaultPath()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!QDir::isAbsolutePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/timers/timers.conf");
}

ProgramConfigFile::ProgramConfigFile(QString path)
    : m_path(std::move(path))
{
}

ProgramConfigLoad ProgramConfigFile::load()
{
    const Text text = readText(m_path);
    m_kept = text.notRead.isEmpty() ? text.notWhole : text.notRead;
    if (!text.notRead.isEmpty())
        return {ProgramConfig(), text.notRead};
    QStringList problems;
    if (!text.notWhole.isEmpty())
        problems << text.notWhole;
    QStringList inFile;
    const ProgramConfig values = valuesOf(text.lines, inFile);
    if (!inFile.isEmpty())
        problems << QStringLiteral("in %1: %2").arg(m_path, inFile.join(u"; "));
    return {values, problems.join(u"; ")};
}

bool ProgramConfigFile::save(const ProgramConfig& values)
{
    const auto fail = [this](const QString& reason) {
        m_error = reason;
        return false;
    };
    if (!m_kept.isEmpty())
        return fail(m_kept + QStringLiteral("; it is left as it is"));
    if (const QString why = unwritable(values); !why.isEmpty())
        return fail(QStringLiteral("%1 is not written: %2").arg(m_path, why));
    // Into the file as it is now, so that notes written since the load are kept too.
    const Text now = readText(m_path);
    if (!now.notRead.isEmpty() || !now.notWhole.isEmpty())
        return fail((now.notRead.isEmpty() ? now.notWhole : now.notRead) + QStringLiteral("; it is left as it is"));
    if (now.missing)
        if (const QString why = makeFolder(QFileInfo(m_path).absolutePath()); !why.isEmpty())
            return fail(QStringLiteral("cannot write %1: %2").arg(m_path, why));
    const QByteArray text = (merged(now.lines, values).join(now.lineEnd) + now.lineEnd).toUtf8();

    struct stat before = {};
    const bool existed = ::stat(QFile::encodeName(m_path).constData(), &before) == 0;
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly)) {
        // A read-only folder refuses the temporary file beside it; the file itself may be writable.
        const int error = existed ? rewriteInPlace(QFile::encodeName(m_path).constData(), text.toStdString()) : ENOENT;
        if (error == 0)
            return true;
        return fail(QStringLiteral("cannot write %1: %2")
                        .arg(m_path, error == ENOENT ? file.errorString() : systemReason(error)));
    }
    if (file.write(text) != text.size() || !file.flush() || file.error() != QFileDevice::NoError) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(QStringLiteral("cannot write %1: %2").arg(m_path, reason));
    }
    if (!file.commit())
        return fail(QStringLiteral("cannot write %1: %2").arg(m_path, file.errorString()));
    // The new file takes the old one's mode (through a link: its target's).
    if (existed
        && ::chmod(QFile::encodeName(QFileInfo(m_path).canonicalFilePath()).constData(), before.st_mode & 07777) != 0)
        qCWarning(lcTimers, "cannot keep the mode of %s: %s", qPrintable(m_path), std::strerror(errno));
    return true;
}

} // namespace timers
