#pragma once

#include "system/dialogs.h"

#include <QPointer>
#include <QWidget>

namespace timers {

class QtDialogs final : public Dialogs {
public:
    // Boxes are centred over `owner` when one is set; they block every window either way.
    void setOwner(QWidget* owner) { m_owner = owner; }

    void message(const QString& text, const QString& title, Icon icon, const QString& details) override;
    QString prompt(const QString& message, const QString& title, const QString& initial,
                   const QStringList& recent) override;
    void processWaitingEvents() override;
    bool boxOpen() const override { return m_open > 0; }

private:
    int exec(QDialog& box);

    QPointer<QWidget> m_owner;
    int m_open = 0; // boxes open, one inside another's event loop
};

} // namespace timers
