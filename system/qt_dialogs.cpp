#include "system/qt_dialogs.h"

#include <QCoreApplication>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>

namespace timers {

namespace {
// Message texts break lines with CR LF; Qt's labels want a bare line feed.
QString forDisplay(QString text) { return text.replace(QLatin1String("\r\n"), QLatin1String("\n")); }

// Up and Down in a prompt's text field: Up goes to an older answer, Down to a newer one and,
// past the newest, back to what was typed.
class RecentAnswerKeys final : public QObject {
public:
    RecentAnswerKeys(QLineEdit* field, QStringList recent)
        : QObject(field)
        , m_field(field)
        , m_recent(std::move(recent))
    {
        field->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        const int key = static_cast<QKeyEvent*>(event)->key();
        const qsizetype next = key == Qt::Key_Up ? m_index + 1 : key == Qt::Key_Down ? m_index - 1 : -2;
        if (next < -1 || next >= m_recent.size())
            return key == Qt::Key_Up || key == Qt::Key_Down;
        if (m_index == -1)
            m_typed = m_field->text();
        m_index = next;
        m_field->setText(m_index == -1 ? m_typed : m_recent[m_index]);
        return true;
    }

private:
    QLineEdit* m_field;
    QStringList m_recent;
    qsizetype m_index = -1; // -1: what was typed
    QString m_typed;
};
} // namespace

void QtDialogs::message(const QString& text, const QString& title, Icon icon, const QString& details)
{
    QMessageBox box(icon == Icon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon, title, forDisplay(text),
                    QMessageBox::Ok, m_owner);
    box.setTextFormat(Qt::PlainText);
    box.setDetailedText(forDisplay(details));
    box.setWindowModality(Qt::ApplicationModal);
    exec(box);
}

QString QtDialogs::prompt(const QString& message, const QString& title, const QString& initial,
                          const QStringList& recent)
{
    QInputDialog dialog(m_owner);
    dialog.setWindowTitle(title);
    dialog.setLabelText(forDisplay(message));
    dialog.setTextValue(initial);
    if (auto* field = dialog.findChild<QLineEdit*>())
        new RecentAnswerKeys(field, recent);
    dialog.setWindowModality(Qt::ApplicationModal);
    if (exec(dialog) != QDialog::Accepted)
        return {};
    return dialog.textValue();
}

int QtDialogs::exec(QDialog& box)
{
    ++m_open;
    const int result = box.exec();
    --m_open;
    return result;
}

void QtDialogs::processWaitingEvents() { QCoreApplication::processEvents(); }

} // namespace timers
