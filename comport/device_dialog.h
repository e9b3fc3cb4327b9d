#pragma once

#include "output/output_kinds.h"
#include "settings/program_config.h"

#include <QDialog>

#include <functional>

class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;

namespace timers {

// The "Device output" dialog: which kind of output the COM port drives (its line, or a relay
// board and its channel or frames), and what a switch on one of its input pins does. What it
// sets goes to timers.conf; Timers uses it from its next start, never under a running
// countdown.
class DeviceDialog final : public QDialog {
    Q_OBJECT
public:
    // `save` writes the values; it returns why it could not (the dialog then stays open).
    using Save = std::function<QString(const ProgramConfig& values)>;
    DeviceDialog(Save save, QWidget* parent = nullptr);

    void load(const ProgramConfig& values);
    ProgramConfig values() const;

private:
    void showOptionsOf(int kindIndex);
    void check();
    void accept() override;

    Save m_save;
    std::vector<OutputKind> m_kinds;
    ProgramConfig m_loaded;
    QComboBox* m_kind;
    QFormLayout* m_options;
    std::vector<std::pair<QString, QLineEdit*>> m_optionEdits;
    QComboBox* m_pin;
    QComboBox* m_use;
    QLabel* m_problem;
};

} // namespace timers
