#pragma once

// Answers the next modal box or prompt from a widget test. It polls for
// QApplication::activeModalWidget() and offers it to the answer, which returns false for a
// widget that is not its kind (another answerer's); it has a watchdog: a box that
// never comes, or one left open, is closed after the timeout so the test fails instead of hanging.

#include <QAbstractButton>
#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QTimer>

#include <functional>

namespace timers::testing {

class ModalAnswerer {
public:
    using Answer = std::function<bool(QWidget*)>;

    explicit ModalAnswerer(Answer answer, int timeoutMs = 10000)
        : m_answer(std::move(answer))
    {
        m_poll.setInterval(10);
        QObject::connect(&m_poll, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible())
                return;
            m_poll.stop(); // the answer may open the next box
            if (m_answer(modal))
                m_answered = true;
            else
                m_poll.start();
        });
        m_poll.start();
        m_watchdog.setSingleShot(true);
        QObject::connect(&m_watchdog, &QTimer::timeout, [this] {
            m_poll.stop();
            m_timedOut = true;
            while (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
        });
        m_watchdog.start(timeoutMs);
    }

    bool answered() const { return m_answered && !m_timedOut; }

private:
    Answer m_answer;
    QTimer m_poll;
    QTimer m_watchdog;
    bool m_answered = false;
    bool m_timedOut = false;
};

// What a message box showed.
struct SeenBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool seen = false;
    QString details; // the detailed text, shown on request
};

// Records a message box and presses OK.
inline ModalAnswerer::Answer pressOk(SeenBox& seen)
{
    return [&seen](QWidget* widget) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (!box)
            return false;
        seen = {box->windowTitle(), box->text(), box->icon(), true, box->detailedText()};
        box->button(QMessageBox::Ok)->click();
        return true;
    };
}

// Types an answer into the prompt and confirms it, or cancels it when `answer` is null.
inline ModalAnswerer::Answer answerPrompt(const QString& answer, QString* title = nullptr)
{
    return [answer, title](QWidget* widget) {
        auto* prompt = qobject_cast<QInputDialog*>(widget);
        if (!prompt)
            return false;
        if (title)
            *title = prompt->windowTitle();
        if (answer.isNull()) {
            prompt->reject();
        } else {
            prompt->setTextValue(answer);
            prompt->accept();
        }
        return true;
    };
}

} // namespace timers::testing
