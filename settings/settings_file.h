#pragma once

#include "settings/settings_format.h"

#include <QString>

#include <functional>

namespace timers {

// Reads and writes the settings file. The file is touched only here, at startup and at exit.
// Only a regular file (or a link to one) is ever read or replaced.
class SettingsFile {
public:
    static constexpr const char* kFileName = "Timer_Control.ini";

    // Why the save must leave the file as it is.
    enum class Keep {
        MayReplace,  // read (or created) at start: the save replaces it
        Unreadable,  // it exists but could not be read: saving would put defaults over it
        NotAFile,    // a FIFO, socket, device or folder
        Interrupted, // the program was asked to end while it was read
    };

    // A bare name is taken in the working directory.
    explicit SettingsFile(QString path = QString::fromLatin1(kFileName));

    // Creates the file empty when it is missing, then applies it to `target`: all of it, once it
    // has been read whole, or nothing (when it cannot be created or read). `endRequested` is
    // asked as the file is read; when it says yes, the load stops and applies nothing. A file
    // in a read-only folder is read. The memory used does not grow with the file.
    bool load(SettingsTarget& target, const std::function<bool()>& endRequested = {});
    // Replaces the file whole, atomically where the folder allows a temporary file beside it
    // (a crash, kill or full disk leaves the old file or the new one, never a part), in place
    // where it does not. False when the file could not be written, or must be kept (keep()).
    bool save(const SettingsValues& values);

    Keep keep() const { return m_keep; }
    QString errorText() const { return m_error; }

private:
    bool fail(const QString& reason, Keep keep = Keep::MayReplace);

    QString m_path;
    QString m_error;
    Keep m_keep = Keep::MayReplace;
};

} // namespace timers
