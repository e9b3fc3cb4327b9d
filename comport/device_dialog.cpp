#include "comport/device_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace timers {

DeviceDialog::DeviceDialog(Save save, QWidget* parent)
    : QDialog(parent)
    , m_save(std::move(save))
    , m_kinds(OutputKinds::all())
    , m_kind(new QComboBox(this))
    , m_options(new QFormLayout)
    , m_pin(new QComboBox(this))
    , m_use(new QComboBox(this))
    , m_problem(new QLabel(this))
{
    setWindowTitle(QStringLiteral("Device output"));
    setObjectName(QStringLiteral("DeviceDialog"));
    for (const OutputKind& kind : m_kinds)
        m_kind->addItem(kind.title, kind.name);
    for (const InputPin pin : {InputPin::None, InputPin::Cts, InputPin::Dsr, InputPin::Dcd, InputPin::Ri})
        m_pin->addItem(pin == InputPin::None ? QStringLiteral("None") : inputPinText(pin), int(pin));
    m_use->addItem(QStringLiteral("Foot switch: a press starts the newest countdown, or cancels"),
                   int(InputUse::StartStop));
    m_use->addItem(QStringLiteral("Lid switch: the pin dropping switches the device off and pauses"),
                   int(InputUse::Interlock));

    auto* output = new QFormLayout;
    output->addRow(QStringLiteral("&Output:"), m_kind);
    auto* input = new QFormLayout;
    input->addRow(QStringLiteral("Input &pin:"), m_pin);
    input->addRow(QStringLiteral("&Use:"), m_use);
    m_problem->setWordWrap(true);
    auto* note = new QLabel(QStringLiteral("The port is the one the COM port dialog names, and the output is used "
                                           "when its On/Off says ON. Timers uses these from its next start."),
                            this);
    note->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(output);
    layout->addLayout(m_options);
    layout->addLayout(input);
    layout->addWidget(m_problem);
    layout->addWidget(note);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &DeviceDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &DeviceDialog::reject);
    connect(m_kind, &QComboBox::currentIndexChanged, this, &DeviceDialog::showOptionsOf);
    connect(m_pin, &QComboBox::currentIndexChanged, this,
            [this] { m_use->setEnabled(m_pin->currentData().toInt() != int(InputPin::None)); });
    load({});
}

void DeviceDialog::load(const ProgramConfig& values)
{
    m_loaded = values;
    const int kind = m_kind->findData(values.outputKind);
    m_kind->setCurrentIndex(kind >= 0 ? kind : 0);
    showOptionsOf(m_kind->currentIndex());
    m_pin->setCurrentIndex(m_pin->findData(int(values.inputPin)));
    m_use->setCurrentIndex(m_use->findData(int(values.inputUse)));
    m_use->setEnabled(values.inputPin != InputPin::None);
}

void DeviceDialog::showOptionsOf(int kindIndex)
{
    while (m_options->rowCount() > 0)
        m_options->removeRow(0);
    m_optionEdits.clear();
    if (kindIndex < 0 || std::size_t(kindIndex) >= m_kinds.size())
        return;
    for (const OutputOption& option : m_kinds[std::size_t(kindIndex)].options) {
        auto* edit = new QLineEdit(m_loaded.outputOptions.value(option.key), this);
        edit->setPlaceholderText(option.hint);
        edit->setObjectName(option.key);
        connect(edit, &QLineEdit::textChanged, this, &DeviceDialog::check);
        m_options->addRow(option.label + u':', edit);
        m_optionEdits.emplace_back(option.key, edit);
    }
    check();
}

ProgramConfig DeviceDialog::values() const
{
    ProgramConfig values = m_loaded;
    values.outputKind = m_kind->currentData().toString();
    values.outputOptions.clear();
    for (const auto& [key, edit] : m_optionEdits) {
        if (!edit->text().trimmed().isEmpty())
            values.outputOptions.insert(key, edit->text().trimmed());
    }
    values.inputPin = InputPin(m_pin->currentData().toInt());
    values.inputUse = InputUse(m_use->currentData().toInt());
    return values;
}

void DeviceDialog::check()
{
    const int index = m_kind->currentIndex();
    const QString problem = index >= 0 && std::size_t(index) < m_kinds.size()
                              ? m_kinds[std::size_t(index)].check(values().outputOptions)
                              : QString();
    m_problem->setText(problem.isEmpty() ? QString() : problem.at(0).toUpper() + problem.mid(1) + u'.');
}

void DeviceDialog::accept()
{
    check();
    if (!m_problem->text().isEmpty())
        return;
    if (const QString failed = m_save(values()); !failed.isEmpty()) {
        m_problem->setText(failed);
        return;
    }
    QDialog::accept();
}

} // namespace timers
