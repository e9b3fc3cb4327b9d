#pragma once

#include <QString>
#include <QStringList>

namespace timers {

// Modal boxes and the text prompt. They are modal for the whole program, and timer ticks
// keep arriving while one is open. Texts use CR LF as their line break.
class Dialogs {
public:
    enum class Icon { None, Exclamation };

    virtual ~Dialogs() = default;
    // `details`, when given, is shown on request below the text (why a port could not be used).
    virtual void message(const QString& text, const QString& title, Icon icon, const QString& details) = 0;
    // The entered text, or an empty text when the prompt was cancelled. Up and Down step
    // through `recent` (newest first), Down past the newest back to what was typed.
    virtual QString prompt(const QString& message, const QString& title, const QString& initial,
                           const QStringList& recent)
        = 0;
    // Runs the window events that are already waiting, once, without waiting for new ones.
    virtual void processWaitingEvents() = 0;
    // A box or the prompt is open and waits for the user: whatever reaches the program
    // meanwhile runs inside its event loop.
    virtual bool boxOpen() const = 0;
};

} // namespace timers
