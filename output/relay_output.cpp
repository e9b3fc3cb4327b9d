// The relay board output: a USB relay module switched by command frames on a serial port.
// LCUS-type boards (CH340, 9600 Bd 8N1) take A0 <channel> <state> <sum>, the sum being the low
// byte of the other three; other boards take the on and off frames the user gives. A board
// latches: its relay stays where the last frame put it when the port closes or Timers dies, and
// it cannot be asked. So the off frame goes out at start-up, at every end, at the exit, and from
// a guard process if Timers dies while the port is open.

#include "output/output_kinds.h"
#include "serial/port_bytes.h"
#include "serial/port_guard.h"

#include <atomic>

namespace timers {

namespace {

struct Frames {
    QByteArray on;
    QByteArray off;
    QString name;    // "relay 1"; "relay" for frames of the user's own
    QString problem; // why the options cannot be used; empty when they can
};

QByteArray lcusFrame(int channel, bool on)
{
    QByteArray frame(4, '\0');
    frame[0] = char(0xA0);
    frame[1] = char(channel);
    frame[2] = char(on ? 1 : 0);
    frame[3] = char((0xA0 + channel + (on ? 1 : 0)) & 0xFF);
    return frame;
}

// "A0 01 01 A2", "a00101a2", "A0:01:01:A2": pairs of hex digits, spaces and colons between.
std::optional<QByteArray> hexBytes(const QString& text)
{
    QString digits = text;
    digits.remove(QLatin1Char(' ')).remove(QLatin1Char(':'));
    if (digits.isEmpty() || digits.size() % 2 != 0 || digits.size() > 64)
        return std::nullopt;
    QByteArray bytes;
    for (qsizetype at = 0; at < digits.size(); at += 2) {
        bool ok = false;
        const uint byte = digits.mid(at, 2).toUInt(&ok, 16);
        if (!ok)
            return std::nullopt;
        bytes.append(char(byte));
    }
    return bytes;
}

Frames framesOf(const OutputOptions& options)
{
    const QString on = options.value(QStringLiteral("on")).trimmed();
    const QString off = options.value(QStringLiteral("off")).trimmed();
    if (!on.isEmpty() || !off.isEmpty()) {
        const auto onBytes = hexBytes(on);
        const auto offBytes = hexBytes(off);
        if (!onBytes || !offBytes || *onBytes == *offBytes)
            return {{},
                    {},
                    {},
                    QStringLiteral("the relay's on and off frames must both be given, differ, and be "
                                   "hex bytes (for example \"A0 01 01 A2\"), at most 32")};
        return {*onBytes, *offBytes, QStringLiteral("relay"), {}};
    }
    const QString text = options.value(QStringLiteral("channel"), QStringLiteral("1")).trimmed();
    bool ok = false;
    const int channel = text.toInt(&ok);
    if (!ok || channel < 1 || channel > 8)
        return {{}, {}, {}, QStringLiteral("the relay channel \"%1\" is not 1 to 8").arg(text)};
    return {lcusFrame(channel, true), lcusFrame(channel, false), QStringLiteral("relay %1").arg(channel), {}};
}

class RelayOutput final : public SerialOutput {
public:
    RelayOutput(Context context, Frames frames)
        : RelayOutput(std::move(context), std::move(frames), std::make_shared<std::atomic<bool>>(true))
    {
    }

    // A board left on by a crash or a power cut goes off.
    void startup() override
    {
        if (inUse() && m_frames.problem.isEmpty() && !port().isOpen() && openPort())
            switchOffDevice();
    }
    bool engage(std::chrono::milliseconds length, std::uint64_t number) override
    {
        if (inUse() && !m_frames.problem.isEmpty())
            return fail(m_frames.problem);
        return SerialOutput::engage(length, number);
    }
    QString completionText() const override { return QStringLiteral("\r\n Relay board Off."); }
    QString sleepReason() const override { return QStringLiteral("A countdown is switching a relay board"); }

private:
    // Shared with the deadline's thread, which may switch the board off.
    RelayOutput(Context context, Frames frames, std::shared_ptr<std::atomic<bool>> mayBeOn)
        : SerialOutput(std::move(context), offFrameWriter(frames.off, mayBeOn))
        , m_mayBeOn(std::move(mayBeOn))
        , m_frames(std::move(frames))
    {
    }
    // On the deadline's thread: the board cannot be asked, so the frame always goes out.
    static DeviceDeadline::SwitchOff offFrameWriter(QByteArray off, std::shared_ptr<std::atomic<bool>> mayBeOn)
    {
        return [off = std::move(off), mayBeOn = std::move(mayBeOn)](int fd) {
            mayBeOn->store(!writeAll(fd, off.constData(), std::size_t(off.size())));
            return true;
        };
    }
    QString switchName() const override { return m_frames.name; }
    bool switchOn(const QString&) override { return send(m_frames.on, true); }
    bool switchOff(const QString&) override { return send(m_frames.off, false); }
    bool switchAllOff() override { return send(m_frames.off, false); }
    // A closed port has nothing to switch: the board went off as it closed.
    bool send(const QByteArray& frame, bool on)
    {
        if (!port().isOpen())
            return true;
        m_mayBeOn->store(true); // until the off frame is known to be out
        const bool sent = port().write(frame);
        m_mayBeOn->store(on || !sent);
        return sent;
    }
    void portOpened() override
    {
        if (!m_guard.start(port().handle(), m_frames.off))
            report(QStringLiteral("no guard for the relay board on %1: %2").arg(port().device(), m_guard.errorText()));
    }
    // The port closes, and the relay stays as it is: it goes off first unless it is off.
    void portClosing() override
    {
        if (m_mayBeOn->load() && !send(m_frames.off, false))
            report(port().errorText());
        m_guard.stop();
    }

    std::shared_ptr<std::atomic<bool>> m_mayBeOn; // true until an off frame is known to be out
    Frames m_frames;
    PortGuard m_guard;
};

const bool registered = OutputKinds::add({
    QStringLiteral("relay"),
    QStringLiteral("A USB relay board switched by serial commands"),
    {{QStringLiteral("channel"), QStringLiteral("Channel (1 to 8)"), QStringLiteral("1")},
     {QStringLiteral("on"), QStringLiteral("On frame, hex (other boards)"), QStringLiteral("A0 01 01 A2")},
     {QStringLiteral("off"), QStringLiteral("Off frame, hex (other boards)"), QStringLiteral("A0 01 00 A1")}},
    [](SerialOutput::Context context, const OutputOptions& options) -> std::unique_ptr<DeviceOutput> {
        return std::make_unique<RelayOutput>(std::move(context), framesOf(options));
    },
    [](const OutputOptions& options) { return framesOf(options).problem; },
});

} // namespace

} // namespace timers
