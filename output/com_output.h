#pragma once

#include "output/serial_output.h"

namespace timers {

// The COM output: holds DTR or RTS of the chosen serial port asserted while a countdown runs,
// so a device wired to that pin is on for exactly the countdown. The line is RTS when the pin
// text ends in "RTS", DTR otherwise. Closing the port drops both lines, and so does the kernel
// if the program dies with the port open.
class ComOutput final : public SerialOutput {
public:
    explicit ComOutput(Context context);

    QString completionText() const override { return QStringLiteral("\r\n COM output Off."); }
    QString sleepReason() const override
    {
        return QStringLiteral("A countdown is switching a device on a serial line");
    }
    // The deadline's switch-off: lowers DTR and RTS of `fd` if either is up (or cannot be read).
    static bool lowerLinesStillUp(int fd);

private:
    QString switchName() const override;
    // The line that is not selected goes off before the selected one comes on, so both are
    // never up.
    bool beforeSwitchOn() override;
    bool switchOn(const QString& name) override { return setLine(name, true); }
    bool switchOff(const QString& name) override { return setLine(name, false); }
    bool switchAllOff() override { return port().lowerLines(); }
    bool setLine(const QString& name, bool asserted);
};

} // namespace timers
