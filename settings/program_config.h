#pragma once

#include <QMap>
#include <QString>
#include <QStringView>

#include <optional>

namespace timers {

// The serial port's input line a switch (a foot switch, a lid switch) is wired to.
enum class InputPin { None, Cts, Dsr, Dcd, Ri };
// What the switch is for: starting and stopping the countdown, or an interlock.
enum class InputUse { StartStop, Interlock };

// The texts the file holds: "none", "CTS", "DSR", "DCD", "RI"; "startstop", "interlock".
QString inputPinText(InputPin pin);
QString inputUseText(InputUse use);
// Those texts in any case, spaces around them allowed; nothing for any other text.
std::optional<InputPin> inputPinFromText(QStringView text);
std::optional<InputUse> inputUseFromText(QStringView text);

// What the program's own configuration file holds, beside the settings file.
struct ProgramConfig {
    QString outputKind = QStringLiteral("line"); // the program knows its kinds; any name is kept
    QMap<QString, QString> outputOptions;        // every other key of [Output], with its text
    InputPin inputPin = InputPin::None;
    InputUse inputUse = InputUse::StartStop;

    bool operator==(const ProgramConfig&) const = default;
};

struct ProgramConfigLoad {
    ProgramConfig values; // the defaults where the file says nothing, or nothing valid
    QString reason;       // empty when the file (or its absence) was read whole and understood
};

// Reads and writes timers.conf, an INI file in UTF-8:
//   [Output]  kind=line, and the kind's options as key=text
//   [Input]   pin=none|CTS|DSR|DCD|RI, use=startstop|interlock
// A save changes only those values: comments, blank lines, other sections and keys stay as the
// user wrote them. The file is replaced as the settings file is: atomically, through a link,
// keeping its mode; never when it could not be read whole and as UTF-8 at the load, nor when it
// is not a regular file.
class ProgramConfigFile {
public:
    static constexpr qint64 kMostBytes = qint64{64} * 1024; // more is read in part, and not replaced

    // $XDG_CONFIG_HOME/timers/timers.conf, or ~/.config/timers/timers.conf when XDG_CONFIG_HOME
    // is unset or relative (it would follow the working folder).
    static QString defaultPath();

    explicit ProgramConfigFile(QString path = defaultPath());

    QString path() const { return m_path; }
    // A missing file gives the defaults and no reason; it is made at the first save.
    ProgramConfigLoad load();
    // Writes `values` into the file as it is now, making the file and its folder when missing.
    // False, with errorText(), when nothing was written.
    bool save(const ProgramConfig& values);
    QString errorText() const { return m_error; }

private:
    QString m_path;
    QString m_kept; // why the load said the file must stay as it is
    QString m_error;
};

} // namespace timers
