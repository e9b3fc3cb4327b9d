#include "comport/com_field.h"

#include "window_layout/twips.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QProxyStyle>
#include <QStyleOptionComboBox>

#include <algorithm>

namespace timers {

namespace {
// Below this a field's text would no longer be legible (8 pixels at 96 dpi).
constexpr double kFieldFloorPoints = 6.0;

// The drop-down button's width, in logical pixels: the styles' square button takes 19 of the
// port field's 48 pixels, and "Combo1" would not fit beside it in any legible size.
constexpr int kDropDownButtonPixels = 11;

// A style's drop-down button made narrower, the edit field widened by as much.
class NarrowDropDownStyle final : public QProxyStyle {
public:
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                         const QWidget* widget) const override
    {
        QRect rect = QProxyStyle::subControlRect(control, option, part, widget);
        if (control != CC_ComboBox || (part != SC_ComboBoxArrow && part != SC_ComboBoxEditField))
            return rect;
        const int spare = std::max(0, QProxyStyle::subControlRect(control, option, SC_ComboBoxArrow, widget).width()
                                          - kDropDownButtonPixels);
        if (part == SC_ComboBoxArrow)
            rect.setLeft(rect.left() + spare);
        else
            rect.setRight(rect.right() + spare);
        return rect;
    }
};

// Shows a field's text whole where it can: the largest size of the field's font in which it
// fits, at each size the regular face first and then the condensed one (where the family has
// one), down to a legible floor. A text that still does not fit shows its start (showStart).
void fitField(QComboBox* box)
{
    QLineEdit* edit = box->lineEdit();
    QStyleOptionComboBox option;
    option.initFrom(box);
    option.editable = true;
    option.frame = box->hasFrame();
    const QRect editField = box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField,
                                                         box);
    // The line edit draws its text 2 pixels in from each side, inside its text margins.
    const QMargins margins = edit->textMargins();
    const qreal room = editField.width() - 4 - margins.left() - margins.right();
    QFont font = box->font();
    for (;;) {
        font.setStretch(QFont::Unstretched);
        if (QFontMetricsF(font).horizontalAdvance(edit->text()) <= room)
            break;
        font.setStretch(QFont::SemiCondensed);
        if (QFontMetricsF(font).horizontalAdvance(edit->text()) <= room || font.pointSizeF() - 0.5 < kFieldFloorPoints)
            break;
        font.setPointSizeF(font.pointSizeF() - 0.5);
    }
    if (font != edit->font())
        edit->setFont(font);
}
} // namespace

void showStart(QComboBox* field)
{
    if (!field->lineEdit()->hasFocus())
        field->lineEdit()->setCursorPosition(0);
}

QComboBox* makeComField(QWidget* parent, const char* name, const QStringList& entries, QRect twips)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    auto* style = new NarrowDropDownStyle;
    style->setParent(box);
    box->setStyle(style);
    box->setGeometry(rectFromTwips(twips.x(), twips.y(), twips.width(), twips.height()));
    box->setEditable(true);
    // A pixel of each side's inner margin goes to the text, which then still stands clear of the frame.
    box->lineEdit()->setTextMargins(-1, 0, -1, 0);
    box->setInsertPolicy(QComboBox::NoInsert); // typed text stays in the field, not in the list
    // A field holds exactly what was typed or picked: Qt's inline completion would turn a
    // typed "on" into "ON", and its case-blind match on leaving the field "7 - rts" into
    // "7 - RTS", switching the device on or driving the other pin.
    box->setCompleter(nullptr);
    box->addItems(entries);
    box->setCurrentIndex(-1);
    box->setEditText(kFieldStartText);
    box->view()->setMinimumWidth(box->view()->sizeHintForColumn(0) + 2 * box->view()->frameWidth());
    QObject::connect(box, &QComboBox::editTextChanged, box, [box] { fitField(box); });
    fitField(box);
    showStart(box);
    return box;
}

} // namespace timers
