#pragma once

#include "countdown/countdown.h"
#include "countdown/countdown_watcher.h"
#include "desktop/desktop_notifier.h"
#include "desktop/notifier.h"
#include "output/device_output.h"
#include "recent/answer_history.h"
#include "tray/dbus_menu.h"
#include "tray/status_notifier_item.h"

#include <QHash>
#include <QObject>

#include <functional>

namespace timers {

// Timers in the desktop's tray: the time left and the line that is on in its tooltip, Active
// all the while, and a menu of the recent answers (each entered as the Set prompt
// would take it), Cancel, Show Timers and Exit. It is also the notifier of the completion,
// whose notification offers "Again" (the same answer through the same path) and "Show".
// It never holds the device on: Exit and the window's close box end the program as before.
class TrayEntry final : public QObject, public CountdownWatcher, public Notifier {
    Q_OBJECT
public:
    struct Services {
        Countdown& countdown;
        AnswerHistory& recent;
        const DeviceOutput& com;
        DesktopNotifier& notifier;
    };

    TrayEntry(Services services, const QIcon& icon, QObject* parent = nullptr);

    // Offers the entry on `bus` (the session bus), to whichever tray is there now or later.
    void publish(const QDBusConnection& bus) { m_item.publish(bus); }
    // Enters `answer` as the Set prompt would; a refusal is told in a notification and on
    // stderr, never in a box.
    void start(const QString& answer);

    void shown(std::int64_t remaining, std::int32_t length) override;
    void finished(bool cancelled) override;
    void cancelEnabledChanged(bool enabled) override;
    void notify(const QString& summary, const QString& body) override;

    // Menu item ids of the fixed entries; the answers' come after them.
    enum MenuId { kCancel = 1, kShow, kExit, kSeparator, kPause, kResume, kFirstAnswer };

Q_SIGNALS:
    void showRequested();
    void exitRequested();

private:
    QList<DBusMenu::Item> menuItems();
    void clicked(int id);
    void tell(const QString& line);

    Services m_services;
    DBusMenu m_menu;
    StatusNotifierItem m_item;
    QHash<QString, int> m_answerIds; // an id keeps naming its answer for the whole run
    QHash<int, QString> m_answers;
};

} // namespace timers
