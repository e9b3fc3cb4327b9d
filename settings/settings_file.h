#pragma once

#include "settings_format.h"

#include <QString>

namespace timers {

// Reads and writes the settings file. The file is touched only here, at startup and at exit.
class SettingsFile {
public:
    static constexpr const char* kFileName = "Timer_Control.ini";

    // A bare name is taken in the working directory.
    explicit SettingsFile(QString path = QString::fromLatin1(kFileName));

    // Creates the file empty when it is missing, then applies it to `target`. False when it
    // cannot be created or read; nothing is applied then. A file in a read-only folder is read.
    bool load(SettingsTarget& target);
    // Replaces the file whole, atomically: a crash, kill or full disk leaves the old file or
    // the new one, never a part. False when the file could not be written; the old one stays.
    bool save(const SettingsValues& values);

    QString errorText() const { return m_error; }

private:
    bool fail(const QString& reason);

    QString m_path;
    QString m_error;
};

} // namespace timers
