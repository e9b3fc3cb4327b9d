#include "output/com_output.h"

#include "output/output_kinds.h"

#include <sys/ioctl.h>

namespace timers {

ComOutput::ComOutput(Context context)
    : SerialOutput(std::move(context), &lowerLinesStillUp)
{
}

bool ComOutput::lowerLinesStillUp(int fd)
{
    int up = 0;
    if (::ioctl(fd, TIOCMGET, &up) == 0 && (up & (TIOCM_DTR | TIOCM_RTS)) == 0)
        return false;
    int both = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd, TIOCMBIC, &both);
    return true;
}

QString ComOutput::switchName() const
{
    return settings().pinText().endsWith(QLatin1String("RTS")) ? QStringLiteral("RTS") : QStringLiteral("DTR");
}

bool ComOutput::beforeSwitchOn()
{
    return switchName() == QLatin1String("RTS") ? port().setDtr(false) : port().setRts(false);
}

bool ComOutput::setLine(const QString& name, bool asserted)
{
    return name == QLatin1String("RTS") ? port().setRts(asserted) : port().setDtr(asserted);
}

namespace {
const bool registered = OutputKinds::add({
    QStringLiteral("line"),
    QStringLiteral("The DTR or RTS line the COM port settings choose"),
    {},
    [](SerialOutput::Context context, const OutputOptions&) -> std::unique_ptr<DeviceOutput> {
        return std::make_unique<ComOutput>(std::move(context));
    },
});
} // namespace

} // namespace timers
