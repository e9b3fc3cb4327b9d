#include "output/serial_output.h"

#include "serial/named_port.h"

#include <algorithm>
#include <ctime>

namespace timers {

SerialOutput::SerialOutput(Context context, DeviceDeadline::SwitchOff switchOffOn)
    : m_settings(context.settings)
    , m_port(context.port)
    , m_report(std::move(context.report))
    , m_now(std::move(context.now))
    , m_deadline(context.makeDeadline(
          [this, off = std::move(switchOffOn)](int fd) {
              const bool cut = off(fd);
              if (cut)
                  m_cutAt = m_now();
              return cut;
          },
          [this](std::uint64_t number) {
              if (m_passed)
                  m_passed(number);
          }))
{
    // Also when the port closes itself (a vanished adapter): the deadline lets go of the
    // descriptor's number first.
    m_port.setBeforeClose([this] {
        const std::chrono::milliseconds left = m_deadline->disarm();
        if (m_held && left > std::chrono::milliseconds::zero())
            m_closedWithTimeLeft = ClosedOn{m_now(), left}; // a pause that follows keeps it for Resume
        portClosing();
    });
}

SerialOutput::~SerialOutput() { m_port.setBeforeClose({}); }

std::int64_t SerialOutput::bootTimeNs()
{
    timespec now{};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    return std::int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

std::unique_ptr<DeviceDeadline> SerialOutput::threadDeadline(DeviceDeadline::SwitchOff off,
                                                             DeviceDeadline::Passed passed)
{
    return std::make_unique<DeviceDeadline>(std::move(off), std::move(passed));
}

void SerialOutput::switchedOn()
{
    m_onSince = m_now();
    if (!m_run)
        m_run = DeviceRun{*m_held, {}};
}

// Where the deadline switched the device off, it did so when its thread did, which came first.
void SerialOutput::switchedOff()
{
    const std::int64_t cut = m_cutAt.exchange(-1);
    if (m_onSince < 0 || !m_run)
        return;
    const std::int64_t off = cut >= 0 ? cut : m_now();
    m_run->on += std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::nanoseconds(off - m_onSince));
    m_onSince = -1;
}

std::optional<DeviceOutput::DeviceRun> SerialOutput::takeRun()
{
    const bool on = m_onSince >= 0 && m_cutAt < 0;
    switchedOff();
    std::optional<DeviceRun> run = std::exchange(m_run, std::nullopt);
    if (on && m_held) { // still on: a new count from now
        m_onSince = m_now();
        m_run = DeviceRun{*m_held, {}};
    }
    return run;
}

bool SerialOutput::fail(const QString& reason)
{
    m_failure = reason;
    m_report(reason);
    return false;
}

bool SerialOutput::openPort()
{
    if (const QString failed = openNamedPort(m_port, m_settings.portNumberText()); !failed.isEmpty())
        return fail(failed);
    portOpened();
    return true;
}

bool SerialOutput::closePort()
{
    const bool was = m_port.isOpen();
    if (was && !m_port.close())
        m_report(m_port.errorText());
    return was;
}

bool SerialOutput::engage(std::chrono::milliseconds length, std::uint64_t number)
{
    m_paused.reset();
    m_closedWithTimeLeft.reset();
    m_run.reset(); // a new countdown's run: the one before was taken, or counts no more
    m_onSince = -1;
    if (!inUse()) {
        // The countdown before may hold the device, switched on before the output was taken
        // out of use: a new countdown ends it, as it would have ended with the output in use.
        switchOffDevice();
        return true;
    }
    if (m_port.isOpen()) {
        // Still open from an earlier Set whose settings may have been changed since.
        if (!beforeSwitchOn())
            return fail(m_port.errorText());
        if (m_held && m_held->name != switchName()) {
            switchedOff();
            m_held.reset(); // it went off just now
        }
    } else if (!openPort()) {
        return false;
    }
    if (length <= std::chrono::milliseconds::zero()) {
        // A countdown of no length: the device is on for none of it.
        m_deadline->disarm();
        if (m_held && !switchOff(m_held->name))
            return fail(m_port.errorText());
        switchedOff();
        m_held.reset();
        return true;
    }
    // Armed just before the device goes on: the output's own timer ends the device's time.
    m_cutAt = -1;
    m_deadline->arm(m_port.handle(), length, number);
    const QString name = switchName();
    if (!switchOn(name))
        return fail(m_port.errorText());
    m_held = DeviceOn{m_port.device(), name};
    switchedOn();
    return true;
}

bool SerialOutput::pause()
{
    if (!m_held)
        return false;
    std::chrono::milliseconds left = m_deadline->disarm();
    if (const auto closed = std::exchange(m_closedWithTimeLeft, std::nullopt)) {
        // The countdown ran on since; what was left then less that is left now.
        const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::nanoseconds(m_now() - closed->at));
        left = std::max(closed->left - since, std::chrono::milliseconds::zero());
    }
    if (m_port.isOpen() && !switchAllOff())
        m_report(m_port.errorText());
    switchedOff();
    m_paused = Paused{*m_held, left};
    m_held.reset();
    return true;
}

bool SerialOutput::resume(std::uint64_t number)
{
    const std::optional<Paused> paused = std::exchange(m_paused, std::nullopt);
    if (!paused || paused->left <= std::chrono::milliseconds::zero())
        return true; // nothing was on, or its time had run out as it paused
    // An adapter unplugged meanwhile leaves a dead descriptor, or none: the port of that name is
    // opened again, as a Set would open it.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!m_port.isOpen() && !openPort())
            break;
        m_cutAt = -1;
        m_deadline->arm(m_port.handle(), paused->left, number);
        // What was on, whatever the settings say now.
        if (switchOn(paused->device.name)) {
            m_held = paused->device;
            switchedOn();
            return true;
        }
        m_deadline->disarm();
        fail(m_port.errorText());
        closePort();
    }
    m_paused = paused; // still paused: Resume may be asked again
    return false;
}

bool SerialOutput::release()
{
    const bool on = inUse();
    if (on && !switchOff(switchName()))
        m_report(m_port.errorText());
    // Whatever the settings say now, what engage switched on goes off.
    switchOffDevice();
    return on;
}

bool SerialOutput::switchOffDevice()
{
    const bool held = closePort();
    switchedOff();
    m_held.reset(); // closed, even when it reports a failure
    m_paused.reset();
    m_closedWithTimeLeft.reset();
    return held;
}

void SerialOutput::switchOffAtExit()
{
    if (m_port.isOpen() && !switchAllOff())
        m_report(m_port.errorText());
}

} // namespace timers
