#pragma once

#include <QString>

namespace timers {

// The three COM settings texts, as the COM port dialog's fields hold them now. The COM output
// reads them at the moment it needs them and never keeps a copy.
class ComSettings {
public:
    virtual ~ComSettings() = default;
    virtual QString portNumberText() const = 0; // ComPort
    virtual QString onOffText() const = 0;      // PortOnOff
    virtual QString pinText() const = 0;        // DTR_RTS
};

} // namespace timers
