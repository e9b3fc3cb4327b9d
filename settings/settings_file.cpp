#include "settings/settings_file.h"

#include "settings/descriptor.h"
#include "settings/in_place_rewrite.h"
#include "settings/shared_folder_links.h"
#include "system/diagnostics.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace timers {

namespace {

QString systemReason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Keeps the last value of each field, so that only a file read whole is applied.
class LoadedSettings final : public SettingsTarget {
public:
    void setPortNumberText(const std::string& text) override { keep(m_port, text); }
    void setOnOffText(const std::string& text) override { keep(m_onOff, text); }
    void setPinText(const std::string& text) override { keep(m_pin, text); }
    void checkAlarm() override { m_alarm = true; }
    void valueCut(std::size_t lineBytes) override { m_cut = lineBytes; }

    void applyTo(SettingsTarget& target) const
    {
        const auto apply = [&target](const std::optional<Value>& value,
                                     void (SettingsTarget::*set)(const std::string&)) {
            if (!value)
                return;
            if (value->cutFrom != 0)
                target.valueCut(value->cutFrom);
            (target.*set)(value->text);
        };
        apply(m_port, &SettingsTarget::setPortNumberText);
        apply(m_onOff, &SettingsTarget::setOnOffText);
        apply(m_pin, &SettingsTarget::setPinText);
        if (m_alarm)
            target.checkAlarm();
    }

private:
    struct Value {
        std::string text;
        std::size_t cutFrom = 0; // the line's real length when it was cut
    };
    void keep(std::optional<Value>& field, const std::string& text) { field = Value{text, std::exchange(m_cut, 0)}; }

    std::optional<Value> m_port;
    std::optional<Value> m_onOff;
    std::optional<Value> m_pin;
    bool m_alarm = false;
    std::size_t m_cut = 0;
};

const char* kindOf(mode_t mode)
{
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    return "not a regular file";
}

} // namespace

SettingsFile::SettingsFile(QString path)
    : m_path(std::move(path))
{
}

bool SettingsFile::fail(const QString& reason, Keep keep)
{
    m_error = reason;
    m_keep = keep;
    return false;
}

bool SettingsFile::load(SettingsTarget& target, const std::function<bool()>& endRequested)
{
    m_keep = Keep::MayReplace;
    if (const QString refused = refusedLink(m_path); !refused.isEmpty())
        return fail(refused); // the save says so again, and writes nothing
    const QByteArray path = QFile::encodeName(m_path);
    // Without blocking: opening a FIFO for reading would wait for a writer forever.
    const Descriptor file(::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0) {
        const int error = errno;
        if (error != ENOENT)
            return fail(QStringLiteral("cannot read %1: %2").arg(m_path, systemReason(error)), Keep::Unreadable);
        // A missing file is created empty, so there is nothing to apply.
        const Descriptor created(::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (created.get() < 0)
            return fail(QStringLiteral("cannot create %1: %2").arg(m_path, systemReason(errno)));
        return true;
    }
    struct stat status = {};
    if (::fstat(file.get(), &status) != 0)
        return fail(QStringLiteral("cannot read %1: %2").arg(m_path, systemReason(errno)), Keep::Unreadable);
    if (!S_ISREG(status.st_mode))
        return fail(QStringLiteral("%1 is %2, not a settings file; it is left as it is")
                        .arg(m_path, QLatin1String(kindOf(status.st_mode))),
                    Keep::NotAFile);

    LoadedSettings loaded;
    SettingsReader reader(loaded);
    std::array<char, std::size_t(64) << 10> chunk{};
    for (;;) {
        if (endRequested && endRequested())
            return fail(QStringLiteral("ended while %1 was read; it is left as it is").arg(m_path), Keep::Interrupted);
        const ssize_t got = ::read(file.get(), chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return fail(QStringLiteral("cannot read %1: %2").arg(m_path, systemReason(errno)), Keep::Unreadable);
        if (got == 0)
            break;
        reader.feed(std::string_view(chunk.data(), std::size_t(got)));
    }
    reader.finish();
    loaded.applyTo(target);
    return true;
}

bool SettingsFile::save(const SettingsValues& values)
{
    switch (m_keep) {
    case Keep::Unreadable:
        return fail(QStringLiteral("%1 could not be read at start; it is left as it is").arg(m_path), m_keep);
    case Keep::NotAFile:
    case Keep::Interrupted:
        return fail(m_error, m_keep);
    case Keep::MayReplace:
        break;
    }
    if (const QString refused = refusedLink(m_path); !refused.isEmpty())
        return fail(refused + QStringLiteral(" and nothing is written"));
    // Something other than a regular file that took the name since the start is left alone too.
    const QFileInfo target(m_path);
    if (target.exists() && !target.isFile())
        return fail(QStringLiteral("%1 is not a regular file; it is left as it is").arg(m_path), Keep::NotAFile);
    struct stat before = {};
    const bool existed = ::stat(QFile::encodeName(m_path).constData(), &before) == 0;

    const std::string text = composeSettings(values);
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly)) {
        // A read-only folder refuses the temporary file beside it; the file itself may be writable.
        const int error = existed ? rewriteInPlace(QFile::encodeName(m_path).constData(), text) : ENOENT;
        if (error == 0)
            return true;
        return fail(QStringLiteral("cannot write %1: %2")
                        .arg(m_path, error == ENOENT ? file.errorString() : systemReason(error)));
    }
    // QSaveFile::commit() in Qt 6.4 can report success after a failed write and leave an empty
    // file behind on a full disk: check every step and give up before committing.
    const qint64 written = file.write(text.data(), qint64(text.size()));
    if (written != qint64(text.size()) || !file.flush() || file.error() != QFileDevice::NoError) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(QStringLiteral("cannot write %1: %2").arg(m_path, reason));
    }
    if (!file.commit())
        return fail(QStringLiteral("cannot write %1: %2").arg(m_path, file.errorString()));
    // The new file takes the old one's mode; QSaveFile gives one it cannot read (0000) 0600.
    if (existed && ::chmod(QFile::encodeName(target.canonicalFilePath()).constData(), before.st_mode & 07777) != 0)
        qCWarning(lcTimers, "cannot keep the mode of %s: %s", qPrintable(m_path), std::strerror(errno));
    return true;
}

} // namespace timers
