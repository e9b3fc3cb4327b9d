#pragma once

#include "system/tick_timer.h"

#include <QObject>

namespace timers {

// A tick timer that says when it ticks, so the window can bind a handler to it. The program
// uses QtTickTimer; tests tick a fake by hand.
class SignallingTickTimer : public QObject, public TickTimer {
    Q_OBJECT
public:
    using QObject::QObject;

Q_SIGNALS:
    void ticked();
};

} // namespace timers
