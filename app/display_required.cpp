#include "app/display_required.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace timers {

namespace {

struct Held {
    QtMsgType type;
    QByteArray category;
    QString text;
};

QtMessageHandler g_passOn = nullptr;
QList<Held> g_held;    // while the window system starts
std::mutex g_heldLock; // Qt's own threads may say something meanwhile

void holdOrEnd(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    const std::lock_guard lock(g_heldLock);
    if (type != QtFatalMsg) {
        g_held.append({type, QByteArray(context.category ? context.category : "default"), text});
        return;
    }
    // No platform could start: Qt's first word on it says why ("could not connect to display :1",
    // "Failed to create wl_display (No such file or directory)").
    QString why = g_held.isEmpty() ? text.section(u'.', 0, 0) : g_held.first().text.trimmed();
    if (why == QLatin1String("could not connect to display") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        why = QStringLiteral("DISPLAY and WAYLAND_DISPLAY are not set");
    std::fprintf(stderr,
                 "timers: Timers needs a display (X11 or Wayland) to show its window, and none was reached: %s\n",
                 qPrintable(why));
    std::_Exit(DisplayRequired::kNoDisplay); // nothing has begun that an exit would finish
}

} // namespace

DisplayRequired::DisplayRequired() { g_passOn = qInstallMessageHandler(holdOrEnd); }

DisplayRequired::~DisplayRequired()
{
    qInstallMessageHandler(g_passOn);
    const std::lock_guard lock(g_heldLock);
    for (const Held& held : std::as_const(g_held)) {
        const QMessageLogContext context(nullptr, 0, nullptr, held.category.constData());
        g_passOn(held.type, context, held.text);
    }
    g_held.clear();
}

} // namespace timers
