#pragma once

#include <QDBusConnection>
#include <QDBusMessage>

namespace timers {

// Returns once the connection's thread has handled every message that came before. Qt wakes a
// blocking call at its error reply and only then tells its own watchers of failed calls: a
// program that ended meanwhile would have that thread work among Qt's types as they are torn
// down ("Trying to construct an instance of an invalid type"). A program that ends after an
// error reply first makes a round trip to the bus, whose answer comes after that error.
inline void waitForEarlierReplies(const QDBusConnection& bus)
{
    constexpr int kMostMs = 1000;
    bus.call(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                            QStringLiteral("/org/freedesktop/DBus"),
                                            QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping")),
             QDBus::Block, kMostMs);
}

} // namespace timers
