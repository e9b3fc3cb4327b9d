#include "tray/dbus_menu.h"

#include <QDBusMetaType>

#include <algorithm>

namespace timers {

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuLayout& item)
{
    argument.beginStructure();
    argument << item.id << item.properties;
    argument.beginArray(qMetaTypeId<QDBusVariant>());
    for (const DBusMenuLayout& child : item.children)
        argument << QDBusVariant(QVariant::fromValue(child));
    argument.endArray();
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuLayout& item)
{
    argument.beginStructure();
    argument >> item.id >> item.properties;
    argument.beginArray();
    item.children.clear();
    while (!argument.atEnd()) {
        QDBusVariant child;
        argument >> child;
        item.children << qdbus_cast<DBusMenuLayout>(child.variant());
    }
    argument.endArray();
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItemProperties& item)
{
    argument.beginStructure();
    argument << item.id << item.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItemProperties& item)
{
    argument.beginStructure();
    argument >> item.id >> item.properties;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuEvent& event)
{
    argument.beginStructure();
    argument << event.id << event.eventId << event.data << event.timestamp;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuEvent& event)
{
    argument.beginStructure();
    argument >> event.id >> event.eventId >> event.data >> event.timestamp;
    argument.endStructure();
    return argument;
}

namespace {
// Reads the array at `argument` into `items`, no further than one entry past kMostInAMenuList.
template <typename T> bool readSome(const QDBusArgument& argument, QList<T>& items)
{
    items.clear();
    argument.beginArray();
    while (!argument.atEnd() && items.size() <= kMostInAMenuList) {
        T item;
        argument >> item;
        items << item;
    }
    argument.endArray(); // the rest is left unread
    return items.size() > kMostInAMenuList;
}
} // namespace

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuIds& ids) { return argument << ids.ids; }

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuIds& ids)
{
    ids.tooLong = readSome(argument, ids.ids);
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuEvents& events) { return argument << events.events; }

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuEvents& events)
{
    events.tooLong = readSome(argument, events.events);
    return argument;
}

DBusMenu::DBusMenu(std::function<QList<Item>()> refresh, QObject* parent)
    : QObject(parent)
    , m_refresh(std::move(refresh))
{
    qDBusRegisterMetaType<DBusMenuLayout>();
    qDBusRegisterMetaType<DBusMenuItemProperties>();
    qDBusRegisterMetaType<QList<DBusMenuItemProperties>>();
    qDBusRegisterMetaType<DBusMenuEvent>();
    qDBusRegisterMetaType<DBusMenuIds>();
    qDBusRegisterMetaType<DBusMenuEvents>();
    qDBusRegisterMetaType<QList<int>>();
}

void DBusMenu::update()
{
    if (takeItems())
        Q_EMIT LayoutUpdated(m_revision, 0);
}

bool DBusMenu::takeItems()
{
    QList<Item> items = m_refresh();
    if (items == m_items)
        return false;
    m_items = std::move(items);
    ++m_revision;
    return true;
}

bool DBusMenu::has(int id) const
{
    return id == 0 || std::any_of(m_items.cbegin(), m_items.cend(), [id](const Item& item) { return item.id == id; });
}

QVariantMap DBusMenu::properties(int id) const
{
    if (id == 0)
        return {{QStringLiteral("children-display"), QStringLiteral("submenu")}};
    for (const Item& item : m_items) {
        if (item.id != id)
            continue;
        if (item.label.isEmpty())
            return {{QStringLiteral("type"), QStringLiteral("separator")}};
        // An underscore marks the access key in a label; a literal one is doubled.
        QString label = item.label;
        label.replace(QLatin1Char('_'), QLatin1String("__"));
        return {{QStringLiteral("label"), label}, {QStringLiteral("enabled"), item.enabled}};
    }
    return {};
}

bool DBusMenu::refused(bool tooLong)
{
    if (tooLong)
        refuse(QStringLiteral("a list longer than the menu's %1 at most").arg(kMostInAMenuList));
    return tooLong;
}

// The return value and any out argument of the call are then not sent.
void DBusMenu::refuse(const QString& why) { sendErrorReply(QDBusError::InvalidArgs, why); }

// The menu is one level deep: whatever the parent asked for, the whole of it is sent.
uint DBusMenu::GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames, DBusMenuLayout& layout)
{
    Q_UNUSED(recursionDepth)
    if (refused(propertyNames.size() > kMostInAMenuList))
        return 0;
    takeItems();
    if (!has(parentId)) {
        refuse(QStringLiteral("no item %1").arg(parentId));
        return 0;
    }
    layout = {parentId, properties(parentId), {}};
    if (parentId == 0) {
        for (const Item& item : m_items)
            layout.children << DBusMenuLayout{item.id, properties(item.id), {}};
    }
    return m_revision;
}

// The menu's own items that were asked for (all of them for an empty list), each once; ids it
// does not have answer nothing.
QList<DBusMenuItemProperties> DBusMenu::GetGroupProperties(const DBusMenuIds& ids, const QStringList& propertyNames)
{
    QList<DBusMenuItemProperties> found;
    if (refused(ids.tooLong || propertyNames.size() > kMostInAMenuList))
        return found;
    const auto asked = [&ids](int id) { return ids.ids.isEmpty() || ids.ids.contains(id); };
    if (asked(0))
        found << DBusMenuItemProperties{0, properties(0)};
    for (const Item& item : m_items) {
        if (asked(item.id))
            found << DBusMenuItemProperties{item.id, properties(item.id)};
    }
    return found;
}

QDBusVariant DBusMenu::GetProperty(int id, const QString& name)
{
    const QVariant value = properties(id).value(name);
    if (!value.isValid())
        refuse(has(id) ? QStringLiteral("item %1 has no property %2").arg(id).arg(name)
                       : QStringLiteral("no item %1").arg(id));
    return QDBusVariant(value);
}

void DBusMenu::Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp)
{
    Q_UNUSED(data)
    Q_UNUSED(timestamp)
    if (!has(id))
        refuse(QStringLiteral("no item %1").arg(id));
    else if (eventId == QLatin1String("clicked") && id != 0)
        Q_EMIT clicked(id);
}

// Answers the ids the menu does not have; when it has none of them, an error.
QList<int> DBusMenu::EventGroup(const DBusMenuEvents& events)
{
    QList<int> idErrors;
    if (refused(events.tooLong))
        return idErrors;
    for (const DBusMenuEvent& event : events.events) {
        if (has(event.id))
            Event(event.id, event.eventId, event.data, event.timestamp);
        else
            idErrors << event.id;
    }
    if (!events.events.isEmpty() && idErrors.size() == events.events.size())
        refuse(QStringLiteral("no item of those"));
    return idErrors;
}

bool DBusMenu::AboutToShow(int id)
{
    if (!has(id))
        refuse(QStringLiteral("no item %1").arg(id));
    return id == 0 && takeItems();
}

QList<int> DBusMenu::AboutToShowGroup(const DBusMenuIds& ids, QList<int>& idErrors)
{
    idErrors.clear();
    if (refused(ids.tooLong))
        return {};
    for (const int id : ids.ids) {
        if (!has(id))
            idErrors << id;
    }
    if (!ids.ids.isEmpty() && idErrors.size() == ids.ids.size())
        refuse(QStringLiteral("no item of those"));
    if (ids.ids.contains(0) && takeItems())
        return {0};
    return {};
}

} // namespace timers
