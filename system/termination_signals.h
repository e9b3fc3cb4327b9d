#pragma once

#include <QObject>
#include <QSocketNotifier>

namespace timers {

// Turns SIGINT, SIGTERM and SIGHUP into a Qt signal on the user-interface thread, so a
// Ctrl-C or a logout runs the same exit sequence as File > Exit; and ignores the terminal's
// stop signals (Ctrl-Z), which would hold a device on. One instance per process.
class TerminationSignals final : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    // True once a termination signal has arrived: for work that runs before the event loop
    // (the settings load), which must stop early rather than wait for requested().
    static bool endRequested();

Q_SIGNALS:
    void requested();

private:
    void onReadable();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace timers
