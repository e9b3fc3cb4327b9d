#include "tray/status_notifier_item.h"

#include "system/diagnostics.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QImage>
#include <QtEndian>

namespace timers {

namespace {
const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kItemPath = QStringLiteral("/StatusNotifierItem");

// Every size the icon carries, as the protocol wants them.
QList<SniPixmap> pixmapsOf(const QIcon& icon)
{
    QList<SniPixmap> pixmaps;
    for (const QSize& size : icon.availableSizes()) {
        const QImage image = icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
        QByteArray argb(qsizetype(image.sizeInBytes()), Qt::Uninitialized);
        for (int y = 0; y < image.height(); ++y) {
            const auto* line = reinterpret_cast<const quint32*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x)
                qToBigEndian(line[x], argb.data() + (qsizetype(y) * image.width() + x) * 4);
        }
        pixmaps << SniPixmap{image.width(), image.height(), argb};
    }
    return pixmaps;
}
} // namespace

QDBusArgument& operator<<(QDBusArgument& argument, const SniPixmap& pixmap)
{
    argument.beginStructure();
    argument << pixmap.width << pixmap.height << pixmap.argb;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, SniPixmap& pixmap)
{
    argument.beginStructure();
    argument >> pixmap.width >> pixmap.height >> pixmap.argb;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const SniToolTip& toolTip)
{
    argument.beginStructure();
    argument << toolTip.iconName << toolTip.pixmaps << toolTip.title << toolTip.text;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, SniToolTip& toolTip)
{
    argument.beginStructure();
    argument >> toolTip.iconName >> toolTip.pixmaps >> toolTip.title >> toolTip.text;
    argument.endStructure();
    return argument;
}

StatusNotifierItem::StatusNotifierItem(QString id, QString title, QString iconName, const QIcon& icon, DBusMenu& menu,
                                       QObject* parent)
    : QObject(parent)
    , m_id(std::move(id))
    , m_title(std::move(title))
    , m_iconName(std::move(iconName))
    , m_icon(icon)
    , m_menu(menu)
{
    qDBusRegisterMetaType<SniPixmap>();
    qDBusRegisterMetaType<QList<SniPixmap>>();
    qDBusRegisterMetaType<SniToolTip>();
}

// Made when a tray first asks, not at start: the first window does not wait for the pictures.
QList<SniPixmap> StatusNotifierItem::iconPixmap() const
{
    if (!m_pixmaps)
        m_pixmaps = pixmapsOf(m_icon);
    return *m_pixmaps;
}

void StatusNotifierItem::publish(QDBusConnection bus)
{
    if (!bus.isConnected() || !bus.interface())
        return; // said already: the desktop's services are off
    constexpr auto kExport = QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals
                           | QDBusConnection::ExportAllProperties;
    if (!bus.registerObject(kItemPath, this, kExport)
        || !bus.registerObject(QLatin1String(DBusMenu::kPath), &m_menu, kExport)) {
        qCWarning(lcTimers, "no tray entry (%s)", qPrintable(bus.lastError().message()));
        return;
    }
    m_bus = bus;
    auto* tray = new QDBusServiceWatcher(kWatcher, bus, QDBusServiceWatcher::WatchForRegistration, this);
    connect(tray, &QDBusServiceWatcher::serviceRegistered, this, &StatusNotifierItem::registerWithWatcher);
    auto* call = new QDBusPendingCallWatcher(bus.interface()->asyncCall(QStringLiteral("NameHasOwner"), kWatcher),
                                             this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* reply) {
        reply->deleteLater();
        const QDBusPendingReply<bool> hasOwner = *reply;
        if (!hasOwner.isError() && hasOwner.value())
            registerWithWatcher();
    });
}

// Each reply's watcher is freed by the item that parents it, or by its own deleteLater().
// NOLINTBEGIN(clang-analyzer-cplusplus.NewDeleteLeaks)

// The item takes its name only once a tray is there: the name hosts know items by,
// org.kde.StatusNotifierItem-PID-1, or the connection's own where that is taken.
void StatusNotifierItem::registerWithWatcher()
{
    if (!m_serviceName.isEmpty())
        return sendRegistration();
    const QString wanted = QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(QCoreApplication::applicationPid());
    constexpr uint kDoNotQueue = 4;
    auto* call = new QDBusPendingCallWatcher(
        m_bus.value().interface()->asyncCall(QStringLiteral("RequestName"), wanted, kDoNotQueue), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this, wanted](QDBusPendingCallWatcher* reply) {
        reply->deleteLater();
        const QDBusPendingReply<uint> owner = *reply;
        constexpr uint kPrimaryOwner = 1;
        constexpr uint kAlreadyOwner = 4;
        const bool ours = !owner.isError() && (owner.value() == kPrimaryOwner || owner.value() == kAlreadyOwner);
        m_serviceName = ours ? wanted : m_bus.value().baseService();
        sendRegistration();
    });
}

void StatusNotifierItem::sendRegistration()
{
    const QDBusMessage call = QDBusMessage::createMethodCall(kWatcher, QStringLiteral("/StatusNotifierWatcher"),
                                                             kWatcher, QStringLiteral("RegisterStatusNotifierItem"))
                           << m_serviceName;
    auto* pending = new QDBusPendingCallWatcher(m_bus.value().asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* reply) {
        reply->deleteLater();
        const QDBusError error = QDBusPendingReply<>(*reply).error();
        // A tray that went away meanwhile is no fault; anything else is said once.
        if (!error.isValid() || error.type() == QDBusError::ServiceUnknown || m_failureSaid)
            return;
        m_failureSaid = true;
        qCWarning(lcTimers, "no tray entry (the tray did not take it: %s)", qPrintable(error.message()));
    });
}

// NOLINTEND(clang-analyzer-cplusplus.NewDeleteLeaks)

void StatusNotifierItem::setToolTip(const QString& text)
{
    if (text == m_toolTip)
        return;
    m_toolTip = text;
    Q_EMIT NewToolTip();
}

void StatusNotifierItem::Activate(int x, int y)
{
    Q_UNUSED(x)
    Q_UNUSED(y)
    Q_EMIT activated();
}

void StatusNotifierItem::SecondaryActivate(int x, int y) { Activate(x, y); }

// Hosts show the menu themselves from the exported one; this is for those that ask the item.
void StatusNotifierItem::ContextMenu(int x, int y)
{
    Q_UNUSED(x)
    Q_UNUSED(y)
}

void StatusNotifierItem::Scroll(int delta, const QString& orientation)
{
    Q_UNUSED(delta)
    Q_UNUSED(orientation)
}

} // namespace timers
