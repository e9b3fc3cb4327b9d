#include "qt_dialogs.h"

#include <QCoreApplication>
#include <QInputDialog>
#include <QMessageBox>

namespace timers {

namespace {
// Message texts break lines with CR LF; Qt's labels want a bare line feed.
QString forDisplay(QString text) { return text.replace(QLatin1String("\r\n"), QLatin1String("\n")); }
} // namespace

void QtDialogs::message(const QString& text, const QString& title, Icon icon, const QString& details)
{
    QMessageBox box(icon == Icon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon, title,
                    forDisplay(text), QMessageBox::Ok, m_owner);
    box.setTextFormat(Qt::PlainText);
    box.setDetailedText(forDisplay(details));
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

QString QtDialogs::prompt(const QString& message, const QString& title, const QString& initial)
{
    QInputDialog dialog(m_owner);
    dialog.setWindowTitle(title);
    dialog.setLabelText(forDisplay(message));
    dialog.setTextValue(initial);
    dialog.setWindowModality(Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.textValue();
}

void QtDialogs::processWaitingEvents() { QCoreApplication::processEvents(); }

} // namespace timers
