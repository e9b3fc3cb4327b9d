#include "comport/ComPort1.h"

#include "common/numbers.h"
#include "comport/com_field.h"
#include "window_layout/controls.h"
#include "window_layout/twips.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QValidator>
#include <QWindow>

namespace timers {

namespace {
constexpr int kClientWidthTwips = 2976;
constexpr int kClientHeightTwips = 1752;

QLabel* caption(QWidget* parent, const char* name, const QString& text, QRect twips)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(rectFromTwips(twips.x(), twips.y(), twips.width(), twips.height()));
    label->setFont(captionFont(9.6));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

// The port-number field's tooltip: which device the field's number names now, and every port.
// Shown as plain text: an adapter's maker, product and serial number come from the device.
QString portTooltip(const QString& portNumberText, const QStringList& devices)
{
    QString text;
    const auto number = leadingInt16(portNumberText.toStdString());
    if (number && *number >= 1 && *number <= devices.size())
        text = QStringLiteral("Port %1 is %2").arg(*number).arg(devices[*number - 1]);
    else
        text = QStringLiteral("\"%1\" names no serial port").arg(portNumberText);
    text += QStringLiteral("\nSerial ports now:");
    if (devices.isEmpty())
        text += QStringLiteral(" none found");
    for (qsizetype i = 0; i < devices.size(); ++i)
        text += QStringLiteral("\n  %1: %2").arg(i + 1).arg(devices[i]);
    return Qt::convertFromPlainText(text, Qt::WhiteSpacePre);
}

} // namespace

namespace {
// The on/off field takes upper case as it is typed, as the settings load does: what is in force
// in a run is what the next run loads ("on" would be off now and "ON" after a restart).
class AsciiUpperCase final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& /*position*/) const override
    {
        for (QChar& c : input) {
            if (c >= u'a' && c <= u'z')
                c = QChar(c.unicode() - u'a' + u'A');
        }
        return Acceptable;
    }
};
} // namespace

ComPort1::ComPort1(ComTexts& texts, std::function<QStringList()> listDevices, QWidget* parent)
    : QWidget(parent, Qt::Dialog)
    , m_texts(texts)
    , m_listDevices(std::move(listDevices))
{
    setObjectName(QStringLiteral("ComPort1"));
    setWindowTitle(QStringLiteral("COM port"));
    setFixedSize(pixelsFromTwips(kClientWidthTwips), pixelsFromTwips(kClientHeightTwips));
}

bool ComPort1::event(QEvent* event)
{
    // Qt polishes each new window from the event loop, shown or not: this one waits for its
    // first show, or for an explicit ensurePolished().
    if (event->type() == QEvent::PolishRequest)
        return true;
    if (event->type() == QEvent::Polish && ComPort == nullptr)
        buildControls();
    return QWidget::event(event);
}

void ComPort1::buildControls()
{
    QStringList numbers;
    for (int n = 1; n <= 10; ++n)
        numbers << QString::number(n);
    Label1 = caption(this, "Label1", QStringLiteral("USB COM port"), {216, 240, 1500, 276});
    ComPort = makeComField(this, "ComPort", numbers, {1752, 216, 720, 288});
    Label2 = caption(this, "Label2", QStringLiteral("COM Port On"), {372, 576, 1428, 276});
    PortOnOff = makeComField(this, "PortOnOff", {QStringLiteral("ON"), QStringLiteral("OFF")}, {1740, 564, 852, 288});
    PortOnOff->setValidator(new AsciiUpperCase(PortOnOff));
    Label3 = caption(this, "Label3", QStringLiteral("COM output pin"), {132, 948, 1668, 276});
    DTR_RTS = makeComField(this, "DTR_RTS", {QStringLiteral("4 - DTR"), QStringLiteral("7 - RTS")},
                           {1728, 948, 996, 288});
    Command1 = new QPushButton(QStringLiteral("Done"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(rectFromTwips(960, 1320, 1044, 300));
    Command1->setAutoDefault(false);

    // Screen readers name each field by its caption (on Linux through the label relation).
    for (auto [label, box] : {std::pair{Label1, ComPort}, std::pair{Label2, PortOnOff}, std::pair{Label3, DTR_RTS}}) {
        label->setBuddy(box);
        box->setAccessibleName(label->text());
    }

    setTabOrder(ComPort, PortOnOff);
    setTabOrder(PortOnOff, DTR_RTS);
    setTabOrder(DTR_RTS, Command1);

    connect(Command1, &QPushButton::clicked, this, &ComPort1::Command1_Click);
    // What the fields hold is in force at once: the COM output reads the texts when it needs them.
    for (auto kind : {ComTexts::Field::PortNumber, ComTexts::Field::OnOff, ComTexts::Field::Pin}) {
        QComboBox* box = field(kind);
        box->setEditText(m_texts.text(kind));
        showStart(box);
        connect(box, &QComboBox::editTextChanged, this,
                [this, kind](const QString& text) { m_texts.edited(kind, text); });
        box->lineEdit()->installEventFilter(this);
    }
    connect(&m_texts, &ComTexts::textSet, this, &ComPort1::showText);
    // textEdited comes from typing only: a list choice takes effect when Set opens the port.
    connect(ComPort->lineEdit(), &QLineEdit::textEdited, &m_texts, &ComTexts::portNumberTyped);
    connect(ComPort, &QComboBox::editTextChanged, this, &ComPort1::updatePortTooltip);
}

bool ComPort1::eventFilter(QObject* watched, QEvent* event)
{
    // A field left shows the start of its text again.
    if (event->type() == QEvent::FocusOut)
        static_cast<QLineEdit*>(watched)->setCursorPosition(0);
    return QWidget::eventFilter(watched, event);
}

QComboBox* ComPort1::field(ComTexts::Field field) const
{
    switch (field) {
    case ComTexts::Field::PortNumber:
        return ComPort;
    case ComTexts::Field::OnOff:
        return PortOnOff;
    case ComTexts::Field::Pin:
        return DTR_RTS;
    }
    return nullptr;
}

void ComPort1::showText(ComTexts::Field kind, const QString& text)
{
    QComboBox* box = field(kind);
    box->setEditText(text);
    showStart(box);
}

void ComPort1::showModeless()
{
    ensurePolished();    // the controls are made
    updatePortTooltip(); // adapters may have come or gone since
    if (m_transientFor && m_transientFor->windowHandle()) {
        create();
        windowHandle()->setTransientParent(m_transientFor->windowHandle());
    }
    show();
    raise();
    activateWindow();
}

void ComPort1::Command1_Click() { hide(); }

void ComPort1::keyPressEvent(QKeyEvent* event)
{
    // A button that is not in a dialog passes Return on to its window.
    if (!clickOnEnter(focusWidget(), event->key()))
        QWidget::keyPressEvent(event);
}

void ComPort1::closeEvent(QCloseEvent* event)
{
    event->ignore();
    hide();
}

void ComPort1::updatePortTooltip() { ComPort->setToolTip(portTooltip(ComPort->currentText(), m_listDevices())); }

} // namespace timers
