#pragma once

#include "tray/dbus_menu.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QIcon>
#include <QObject>

#include <optional>

namespace timers {

// An icon picture as org.kde.StatusNotifierItem sends it: (iiay), ARGB32 in network byte order.
struct SniPixmap {
    int width = 0;
    int height = 0;
    QByteArray argb;
};
// A tooltip: (sa(iiay)ss), an icon name, its pictures, a title and a text.
struct SniToolTip {
    QString iconName;
    QList<SniPixmap> pixmaps;
    QString title;
    QString text;
};

// The program's entry in the desktop's tray (the status notifier protocol that Plasma, Xfce,
// Cinnamon, MATE, Budgie and GNOME's AppIndicator extension host): exported at
// /StatusNotifierItem with its menu, and registered with org.kde.StatusNotifierWatcher whenever
// one is on the bus, also when the panel starts later or starts again. Without one nothing is
// registered and nothing said.
class StatusNotifierItem final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(QList<timers::SniPixmap> IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ none)
    Q_PROPERTY(QString AttentionIconName READ none)
    Q_PROPERTY(timers::SniToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)
public:
    // `iconName` from the icon theme (the installed program's), `icon` for a host that does
    // not find it there.
    StatusNotifierItem(QString id, QString title, QString iconName, const QIcon& icon, DBusMenu& menu,
                       QObject* parent = nullptr);

    // Exports the item and its menu, and registers it with the watcher now and whenever one
    // appears. Never waits for an answer.
    void publish(QDBusConnection bus);

    void setToolTip(const QString& text);

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return m_id; }
    QString title() const { return m_title; }
    // Always Active: a panel may hide a Passive item (Xfce's does), and the entry is most
    // wanted when no countdown runs, to start one. Not NeedsAttention while the device is on
    // either: a panel may blink such an item, for the whole of a ten-minute exposure, when
    // nothing is wrong; the tooltip says which line is on.
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    QString iconName() const { return m_iconName; }
    QList<SniPixmap> iconPixmap() const;
    QString none() const { return {}; }
    SniToolTip toolTip() const { return {m_iconName, {}, m_toolTip, {}}; }
    bool itemIsMenu() const { return false; }
    QDBusObjectPath menu() const { return QDBusObjectPath(QLatin1String(DBusMenu::kPath)); }

public Q_SLOTS:
    void Activate(int x, int y);
    void SecondaryActivate(int x, int y);
    void ContextMenu(int x, int y);
    void Scroll(int delta, const QString& orientation);

Q_SIGNALS:
    void NewTitle();
    void NewIcon();
    void NewToolTip();
    void NewStatus(const QString& status); // in the interface hosts read; never sent, as the status stays
    // A click on the item.
    void activated();

private:
    void registerWithWatcher();
    void sendRegistration();

    QString m_id;
    QString m_title;
    QString m_iconName;
    QIcon m_icon;
    mutable std::optional<QList<SniPixmap>> m_pixmaps; // from m_icon, at the first ask
    DBusMenu& m_menu;
    QString m_toolTip;
    std::optional<QDBusConnection> m_bus;
    QString m_serviceName;
    bool m_failureSaid = false;
};

QDBusArgument& operator<<(QDBusArgument& argument, const SniPixmap& pixmap);
const QDBusArgument& operator>>(const QDBusArgument& argument, SniPixmap& pixmap);
QDBusArgument& operator<<(QDBusArgument& argument, const SniToolTip& toolTip);
const QDBusArgument& operator>>(const QDBusArgument& argument, SniToolTip& toolTip);

} // namespace timers

Q_DECLARE_METATYPE(timers::SniPixmap)
Q_DECLARE_METATYPE(timers::SniToolTip)
