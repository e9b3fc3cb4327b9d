#pragma once

#include "output/serial_output.h"

#include <QList>
#include <QMap>

#include <memory>
#include <vector>

namespace timers {

// An option of a kind of output, as timers.conf keys it and the window asks for it.
struct OutputOption {
    QString key;   // "channel"
    QString label; // "Channel (1 to 8)"
    QString hint;  // shown in an empty field
};
using OutputOptions = QMap<QString, QString>;

// A kind of device output: its name in timers.conf, what the window calls it, its options,
// how their texts are checked, and how it is made. Each kind's own file adds itself.
struct OutputKind {
    QString name;
    QString title;
    QList<OutputOption> options;
    std::function<std::unique_ptr<DeviceOutput>(SerialOutput::Context, const OutputOptions&)> make;
    // Why `options` cannot be used; empty when they can.
    std::function<QString(const OutputOptions&)> check = [](const OutputOptions&) { return QString(); };
};

class OutputKinds {
public:
    // At static initialisation, from the kind's own file.
    static bool add(OutputKind kind);
    // "line" first, then by name.
    static std::vector<OutputKind> all();
    static const OutputKind* find(const QString& name);
};

// The one place the output is chosen: the kind named `name` with `options`. An unknown kind
// is reported and the COM line is used, as for a settings file that names none.
std::unique_ptr<DeviceOutput> chooseOutput(const QString& name, const OutputOptions& options,
                                           SerialOutput::Context context);

} // namespace timers
