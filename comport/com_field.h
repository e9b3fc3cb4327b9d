#pragma once

#include <QRect>
#include <QStringList>

class QComboBox;
class QWidget;

namespace timers {

// What a field shows on a first start, before anything was loaded or typed.
inline const QString kFieldStartText = QStringLiteral("Combo1");

// One of the COM port dialog's editable drop-downs, placed at `twips`, showing "Combo1" as on
// a first start. Its text is shown whole where a smaller size or the condensed face of its
// font allows it, and a field not being typed in shows the start of its text.
QComboBox* makeComField(QWidget* parent, const char* name, const QStringList& entries, QRect twips);

// After the text was set from outside: a field that is not being typed in shows its start.
void showStart(QComboBox* field);

} // namespace timers
