#pragma once

#include <QDBusArgument>
#include <QDBusContext>
#include <QDBusVariant>
#include <QList>
#include <QObject>
#include <QVariantMap>

#include <functional>

namespace timers {

// A menu item as com.canonical.dbusmenu sends it: (ia{sv}av), the children as variants.
struct DBusMenuLayout {
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuLayout> children;
};
// One item's properties: (ia{sv}).
struct DBusMenuItemProperties {
    int id = 0;
    QVariantMap properties;
};
// One event of EventGroup: (isvu).
struct DBusMenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};

// The longest list of ids, property names or events a call may send the menu. A host asks
// about the items it was shown, ten answers and four more at most; a longer list is refused.
inline constexpr qsizetype kMostInAMenuList = 64;
// A list of ids (ai) or of events (a(isvu)) as a caller sends it, read no further than one
// entry past kMostInAMenuList: QtDBus reads a method's arguments on the window's thread before
// the method runs, and reading a million events whole held it for over a second. `tooLong`:
// there were more.
struct DBusMenuIds {
    QList<int> ids;
    bool tooLong = false;
};
struct DBusMenuEvents {
    QList<DBusMenuEvent> events;
    bool tooLong = false;
};

// A flat menu exported as com.canonical.dbusmenu, which tray hosts read to show a status
// notifier item's menu. The host asks for the layout when it opens the menu; a click comes back
// as an Event "clicked" with the item's id. Every call answers at once, whatever it is sent: an
// id or property the menu does not have is an error, and so is a list longer than
// kMostInAMenuList.
class DBusMenu final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)
public:
    struct Item {
        int id = 0;    // above 0; 0 is the menu itself
        QString label; // empty: a separator
        bool enabled = true;
        bool operator==(const Item&) const = default;
    };

    // `refresh` is asked for the items each time a host is about to show the menu.
    explicit DBusMenu(std::function<QList<Item>()> refresh, QObject* parent = nullptr);

    // Takes the items now (a host showing the menu sees them without asking again).
    void update();

    static constexpr char kPath[] = "/MenuBar";

    uint version() const { return 3; }
    QString textDirection() const { return QStringLiteral("ltr"); }
    QString status() const { return QStringLiteral("normal"); }
    QStringList iconThemePath() const { return {}; }

public Q_SLOTS:
    // Named in full: QtDBus finds the types by the names written here.
    uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames, timers::DBusMenuLayout& layout);
    QList<timers::DBusMenuItemProperties> GetGroupProperties(const timers::DBusMenuIds& ids,
                                                             const QStringList& propertyNames);
    QDBusVariant GetProperty(int id, const QString& name);
    void Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp);
    QList<int> EventGroup(const timers::DBusMenuEvents& events);
    bool AboutToShow(int id);
    QList<int> AboutToShowGroup(const timers::DBusMenuIds& ids, QList<int>& idErrors);

Q_SIGNALS:
    void LayoutUpdated(uint revision, int parent);
    // An item was clicked: what the program does with it.
    void clicked(int id);

private:
    bool takeItems();
    bool has(int id) const;
    QVariantMap properties(int id) const;
    // Answers the caller with an error when a list it sent is too long.
    bool refused(bool tooLong);
    void refuse(const QString& why);

    std::function<QList<Item>()> m_refresh;
    QList<Item> m_items;
    uint m_revision = 1;
};

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuLayout& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuLayout& item);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItemProperties& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItemProperties& item);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuEvent& event);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuEvent& event);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuIds& ids);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuIds& ids);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuEvents& events);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuEvents& events);

} // namespace timers

Q_DECLARE_METATYPE(timers::DBusMenuLayout)
Q_DECLARE_METATYPE(timers::DBusMenuItemProperties)
Q_DECLARE_METATYPE(timers::DBusMenuEvent)
Q_DECLARE_METATYPE(timers::DBusMenuIds)
Q_DECLARE_METATYPE(timers::DBusMenuEvents)
