#pragma once

// Fakes of the platform services and the views, for driving the logic without a display.

#include "countdown/countdown_view.h"
#include "desktop/notifier.h"
#include "output/device_output.h"
#include "recent/answer_history.h"
#include "runlog/run_record.h"
#include "sound/sound.h"
#include "stopwatch/stopwatch_view.h"
#include "system/clock.h"
#include "system/dialogs.h"
#include "system/tick_timer.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <utility>
#include <vector>

namespace timers::fakes {

class FakeClock final : public Clock {
public:
    std::int64_t now() const override { return m_now; }
    void set(std::int64_t seconds) { m_now = seconds; }
    void advance(std::int64_t seconds) { m_now += seconds; }

private:
    std::int64_t m_now = 3'900'000'000; // a day in 2023 on the 1899-12-30 scale
};

class FakeTimer final : public TickTimer {
public:
    void start() override
    {
        m_active = true;
        ++starts;
    }
    void stop() override { m_active = false; }
    bool isActive() const override { return m_active; }
    int starts = 0;

private:
    bool m_active = false;
};

class FakeDialogs final : public Dialogs {
public:
    struct Message {
        QString text;
        QString title;
        Icon icon;
        QString details;
    };

    void message(const QString& text, const QString& title, Icon icon, const QString& details) override
    {
        messages.push_back({text, title, icon, details});
        const Open open(m_open);
        if (whileMessageOpen)
            whileMessageOpen();
    }
    // Answers prompts from the queue; whilePromptOpen runs first, as ticks would in the prompt.
    QString prompt(const QString& message, const QString& title, const QString& initial,
                   const QStringList& recent) override
    {
        prompts.push_back({message, title, initial});
        offered = recent;
        const Open open(m_open);
        if (whilePromptOpen)
            whilePromptOpen();
        if (answers.empty())
            return {};
        QString answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void processWaitingEvents() override { ++eventRounds; }
    bool boxOpen() const override { return m_open > 0; }

    std::deque<QString> answers;
    std::function<void()> whilePromptOpen;
    std::function<void()> whileMessageOpen;
    std::vector<Message> messages;
    std::vector<std::vector<QString>> prompts;
    QStringList offered; // the recent answers the last prompt offered
    int eventRounds = 0;

private:
    struct Open {
        explicit Open(int& count)
            : m_count(count)
        {
            ++m_count;
        }
        ~Open() { --m_count; }
        int& m_count;
    };
    int m_open = 0;
};

class FakeSound final : public Sound {
public:
    void play(const QString& fileName) override { played.push_back(fileName); }
    QStringList played;
};

class FakeAnswerHistory final : public AnswerHistory {
public:
    QStringList answers() const override { return kept; }
    void add(const QString& answer) override { kept.prepend(answer); }
    QStringList kept;
};

class FakeRunLog final : public RunLogWriter {
public:
    void add(const RunRecord& run) override { runs.push_back(run); }
    std::vector<RunRecord> runs;
};

class FakeNotifier final : public Notifier {
public:
    void notify(const QString& summary, const QString& body) override { posted << summary + '|' + body; }
    QStringList posted;
};

class FakeCom final : public DeviceOutput {
public:
    bool engage(std::chrono::milliseconds length, std::uint64_t number) override
    {
        ++engaged;
        lastLength = length;
        lastNumber = number;
        onSinceTaken = length.count() > 0;
        holding = true; // a failed line change may leave the port open too
        return engageSucceeds;
    }
    bool release() override
    {
        ++released;
        holding = false;
        return outputOn;
    }
    bool switchOffDevice() override
    {
        ++switchedOff;
        paused = false;
        return std::exchange(holding, false);
    }
    bool pause() override
    {
        paused = holding;
        return std::exchange(holding, false);
    }
    bool resume(std::uint64_t number) override
    {
        lastNumber = number;
        if (!resumeSucceeds)
            return false;
        holding = std::exchange(paused, false) || holding;
        return true;
    }
    QString failure() const override { return QStringLiteral("cannot open port 1 (/dev/ttyUSB0): Permission denied"); }
    void startup() override { }
    bool cutNow() override { return pause(); }
    QString completionText() const override { return QStringLiteral("\r\n COM output Off."); }
    QString sleepReason() const override { return QStringLiteral("switching"); }
    void onDeadlinePassed(DeadlinePassed passed) override { deadlinePassed = std::move(passed); }
    DeadlinePassed deadlinePassed;
    void switchOffAtExit() override { ++loweredAtExit; }
    std::optional<DeviceOn> deviceOn() const override
    {
        return holding ? std::optional(DeviceOn{QStringLiteral("/dev/ttyUSB0"), QStringLiteral("DTR")}) : std::nullopt;
    }
    // Says the device was on for as long as it was asked, since it came on last.
    std::optional<DeviceRun> takeRun() override
    {
        if (!std::exchange(onSinceTaken, holding))
            return std::nullopt;
        return DeviceRun{{QStringLiteral("/dev/ttyUSB0"), QStringLiteral("DTR")}, lastLength};
    }
    bool onSinceTaken = false;
    bool engageSucceeds = true;
    int loweredAtExit = 0;
    bool outputOn = false;
    bool holding = false;
    int engaged = 0;
    std::chrono::milliseconds lastLength{0};
    std::uint64_t lastNumber = 0;
    bool paused = false;
    bool resumeSucceeds = true;
    int released = 0;
    int switchedOff = 0;
};

class FakeCountdownView final : public CountdownView {
public:
    void showRemaining(const QString& text) override { shown.push_back(text); }
    void setCancelEnabled(bool enabled) override { cancelEnabled = enabled; }
    bool alarmChecked() const override { return alarm; }

    QString display() const { return shown.empty() ? QStringLiteral("00:00") : shown.back(); }

    std::vector<QString> shown;
    bool cancelEnabled = false;
    bool alarm = false;
};

class FakeStopwatchView final : public StopwatchView {
public:
    void showElapsed(const QString& h, const QString& m, const QString& s) override { display = h + ':' + m + ':' + s; }
    void setStartCaption(const QString& text) override { caption = text; }
    QString display = QStringLiteral("00:00:00");
    QString caption = QStringLiteral("Start");
};

} // namespace timers::fakes

#include "desktop/sleep_inhibitor.h"
#include "output/com_settings.h"
#include "output/serial_output.h"
#include "serial/serial_port.h"

namespace timers::fakes {

class FakeSleepInhibitor final : public SleepInhibitor {
public:
    void hold(const QString&) override { held = true; }
    void release() override { held = false; }
    bool held = false;
};

class FakeComSettings final : public ComSettings {
public:
    QString portNumberText() const override { return port; }
    QString onOffText() const override { return onOff; }
    QString pinText() const override { return pin; }
    QString port = QStringLiteral("Combo1");
    QString onOff = QStringLiteral("Combo1");
    QString pin = QStringLiteral("Combo1");
};

// Records every operation as text: "select 3", "open", "RTS 1", "DTR 0", "close".
class FakeSerialPort final : public SerialPort {
public:
    bool selectPort(std::int16_t number) override
    {
        ops << QStringLiteral("select %1").arg(number);
        if (number < 1 || number > ports)
            return fail(QStringLiteral("there is no serial port %1").arg(number));
        if (m_open)
            return fail(QStringLiteral("the port is open"));
        m_device = QStringLiteral("/dev/ttyS%1").arg(number - 1);
        return true;
    }
    bool isOpen() const override { return m_open; }
    bool open() override
    {
        ops << QStringLiteral("open");
        if (openFails)
            return fail(QStringLiteral("Permission denied"));
        m_open = true;
        return true;
    }
    bool close() override
    {
        if (m_open && m_beforeClose) {
            closing = true;
            m_beforeClose();
            closing = false;
        }
        ops << QStringLiteral("close");
        m_open = false;
        return true;
    }
    bool setDtr(bool on) override { return line(QStringLiteral("DTR"), on); }
    bool setRts(bool on) override { return line(QStringLiteral("RTS"), on); }
    bool lowerLines() override
    {
        ops << QStringLiteral("lower both");
        return true;
    }
    bool write(const QByteArray& bytes) override
    {
        ops << QStringLiteral("write %1").arg(QString::fromLatin1(bytes.toHex(' ')));
        return m_open ? true : fail(QStringLiteral("the port is not open"));
    }
    int handle() const override { return m_open ? 99 : -1; }
    void setBeforeClose(std::function<void()> beforeClose) override { m_beforeClose = std::move(beforeClose); }
    QString device() const override { return m_device; }
    QString errorText() const override { return m_error; }

    int ports = 10;
    bool openFails = false;
    bool lineFails = false;
    QStringList ops;
    // What the output's deadline did (FakeDeadline): when it was armed, and how far ahead.
    std::vector<std::pair<qsizetype, std::chrono::milliseconds>> deadlines; // ops done before it, the delay
    std::uint64_t armedFor = 0;                                             // the last arm's countdown
    std::chrono::milliseconds left{1234};                                   // what disarming finds
    bool closing = false; // within close(): what the output does there is part of closing

private:
    bool fail(const QString& reason)
    {
        m_error = reason;
        return false;
    }
    std::function<void()> m_beforeClose;
    bool line(const QString& name, bool on)
    {
        ops << QStringLiteral("%1 %2").arg(name).arg(on ? 1 : 0);
        if (lineFails && m_open)
            return fail(QStringLiteral("Input/output error"));
        return true;
    }

    bool m_open = false;
    QString m_device;
    QString m_error;
};

// The output's deadline, noted in the port's record; fire() is its end coming.
class FakeDeadline final : public DeviceDeadline {
public:
    FakeDeadline(FakeSerialPort& port, SwitchOff off, Passed passed)
        : DeviceDeadline(off, passed) // copies: this fake calls its own
        , m_port(port)
        , m_off(std::move(off))
        , m_passed(std::move(passed))
    {
    }
    void arm(int, std::chrono::milliseconds after, std::uint64_t tag) override
    {
        m_port.deadlines.push_back({m_port.ops.size(), after});
        m_port.armedFor = tag;
        m_armed = true;
    }
    std::chrono::milliseconds disarm() override
    {
        if (!m_port.closing)
            m_port.ops << QStringLiteral("stop deadline");
        m_armed = false;
        return m_port.left;
    }
    bool cutNow() override { return std::exchange(m_armed, false) && m_off(99); }
    void fire()
    {
        if (std::exchange(m_armed, false) && m_off(99))
            m_passed(m_port.armedFor);
    }

    // For SerialOutput::Context::makeDeadline; `made` points at the one made.
    static SerialOutput::MakeDeadline maker(FakeSerialPort& port, FakeDeadline** made)
    {
        return [&port, made](SwitchOff off, Passed passed) {
            auto deadline = std::make_unique<FakeDeadline>(port, std::move(off), std::move(passed));
            *made = deadline.get();
            return deadline;
        };
    }

private:
    FakeSerialPort& m_port;
    SwitchOff m_off;
    Passed m_passed;
    bool m_armed = false;
};

} // namespace timers::fakes
