#include "app/timers_app.h"

#include "common/numbers.h"
#include "output/output_kinds.h"
#include "serial/named_port.h"
#include "system/diagnostics.h"

#include <QFileInfo>
#include <QGuiApplication>

#include <sys/ioctl.h>

namespace timers {

namespace {

void reportToStderr(const QString& line) { qCWarning(lcTimers, "%s", qPrintable(line)); }

// The settings file writes straight into the COM texts and the Alarm box.
class IntoComTextsAndAlarm final : public SettingsTarget {
public:
    IntoComTextsAndAlarm(ComTexts& texts, frmAlarm& window)
        : m_texts(texts)
        , m_window(window)
    {
    }
    void setPortNumberText(const std::string& text) override { load(ComTexts::Field::PortNumber, text); }
    void setOnOffText(const std::string& text) override { load(ComTexts::Field::OnOff, text); }
    void setPinText(const std::string& text) override { load(ComTexts::Field::Pin, text); }
    void checkAlarm() override { m_window.checkAlarm(); }
    void valueCut(std::size_t lineBytes) override { m_cutLineBytes = lineBytes; }

private:
    void load(ComTexts::Field field, const std::string& bytes)
    {
        m_texts.load(field, bytes, std::exchange(m_cutLineBytes, 0));
    }

    ComTexts& m_texts;
    frmAlarm& m_window;
    std::size_t m_cutLineBytes = 0; // of the value that comes next
};

} // namespace

TimersApp::TimersApp(Options options)
    : m_sound(options.soundModuleFolders)
    , m_exitSequence(std::move(options.endProcess))
    , m_serialPort(std::move(options.devices))
    , m_comDialog(m_comTexts, [this] { return m_serialPort.devices().described(); })
    , m_config(loadConfig())
    , m_device(chooseOutput(m_config.outputKind, m_config.outputOptions, {m_comTexts, m_serialPort, &reportToStderr}))
    , m_sleepLocked(*m_device, m_sleepInhibitor)
    , m_output(m_sleepLocked)
    , m_window({m_countdown, m_stopwatch, m_dialogs, m_stopwatchTick})
    , m_countdown({m_window, m_dialogs, m_clock, m_countdownTick, m_sound, m_output, m_tray, m_recent, m_runs})
    , m_stopwatch(m_window, m_stopwatchTick)
    , m_remote(m_countdown)
    , m_tray({m_countdown, m_recent, m_output, m_notifier}, QGuiApplication::windowIcon())
    , m_footSwitch({m_countdown, m_recent, m_notifier})
    , m_settings(QFileInfo(options.settingsPath).absoluteFilePath()) // named in full in messages
    , m_endRequested(std::move(options.endRequested))
{
    // Both buses are connected once the window shows, so that no countdown waits for them.
    m_connectBuses.setSingleShot(true);
    m_connectBuses.setInterval(0);
    QObject::connect(&m_connectBuses, &QTimer::timeout, &m_window, [this] {
        m_sleepInhibitor.connectBus();
        const QDBusConnection& bus = m_notifier.connectBus();
        m_remote.publish(bus);
        m_tray.publish(bus);
        m_raise.offer(bus);
    });
    m_countdownTick.setObjectName(QStringLiteral("Timer3"));
    // Timer3's tick goes to the countdown, which owns it, not through the window.
    QObject::connect(&m_countdownTick, &SignallingTickTimer::ticked, &m_window, [this] { m_countdown.tick(); });
    m_stopwatchTick.setObjectName(QStringLiteral("tmrTime"));
    m_dialogs.setOwner(&m_window);
    m_comDialog.setTransientFor(&m_window);
    QObject::connect(&m_comTexts, &ComTexts::portNumberEdited, &m_comTexts, [this](const QString& text) {
        if (const QString failed = selectEditedPort(m_serialPort, text); !failed.isEmpty())
            reportToStderr(failed);
    });
    QObject::connect(&m_window, &frmAlarm::comPortRequested, &m_comDialog, &ComPort1::showModeless);
    QObject::connect(&m_window, &frmAlarm::deviceOutputRequested, &m_window, [this] { showDeviceDialog(); });
    QObject::connect(&m_window, &frmAlarm::exitRequested, &m_window, [this] { exit(); });
    // The output's own timer switched the device off at the end of its time.
    m_output.onDeadlinePassed([this](std::uint64_t countdown) { m_countdown.deadlinePassed(countdown); });
    QObject::connect(&m_tray, &TrayEntry::exitRequested, &m_window, [this] { exit(); });
    QObject::connect(&m_tray, &TrayEntry::showRequested, &m_window, &frmAlarm::bringToFront);
    QObject::connect(&m_sound, &LazySound::cannotPlay, &m_notifier, [this](const QString& why) {
        m_notifier.notify(Notifier::programSummary(),
                          QStringLiteral("The alarm sound cannot play: %1. The bell rang instead.").arg(why));
    });
    // The device off first, in one request: a slow disk must not hold it on. Then the save,
    // before the port closes: a port that fails to close must not cost the settings. The
    // desktop hears of a failed save, and the taskbar that no countdown runs, only once the
    // port is closed.
    m_exitSequence.addStep([this] { m_output.switchOffAtExit(); });
    m_exitSequence.addStep([this] { m_pinWatcher.stop(); }); // no press starts anything now
    m_exitSequence.addStep([this] { m_countdown.exiting(m_exitBySignal); });
    m_exitSequence.addStep([this] { saveSettings(); });
    m_exitSequence.addStep([this] { m_output.switchOffDevice(); });
    // An answer's write still under way finishes, within a bound: the device is off already.
    m_exitSequence.addStep([this] {
        m_recent.waitForWrites(std::chrono::seconds(1));
        m_runs.waitForWrites(std::chrono::seconds(1));
    });
    m_exitSequence.addStep([this] { m_remote.clearTaskbarBeforeExit(); });
    m_exitSequence.addStep([this] { tellOfFailedSave(); });
}

void TimersApp::startup()
{
    if (!loadSettings()) {
        exit(); // asked to end while the settings were read: the file stays as it is
        return;
    }
    m_output.startup(); // a board a crash left on goes off
    watchInputPin();
    m_window.startup();
    m_connectBuses.start();
}

ProgramConfig TimersApp::loadConfig()
{
    ProgramConfigLoad loaded = m_configFile.load();
    if (!loaded.reason.isEmpty())
        reportToStderr(loaded.reason);
    return loaded.values;
}

// The pin of the port the COM settings name at start, watched on a thread of its own; what it
// does happens on the window's thread, except the lid's cut, which cannot wait for it.
// NOLINTBEGIN(clang-analyzer-cplusplus.NewDeleteLeaks): Qt owns and frees the calls it queues
void TimersApp::watchInputPin()
{
    static const QMap<InputPin, int> bits{
        {InputPin::Cts, TIOCM_CTS}, {InputPin::Dsr, TIOCM_DSR}, {InputPin::Dcd, TIOCM_CAR}, {InputPin::Ri, TIOCM_RNG}};
    if (m_config.inputPin == InputPin::None)
        return;
    const auto number = leadingInt16(m_comTexts.portNumberText().toStdString());
    const QStringList devices = m_serialPort.devices().list();
    if (!number || *number < 1 || *number > devices.size()) {
        reportToStderr(QStringLiteral("the input pin is not watched: there is no serial port \"%1\"")
                           .arg(m_comTexts.portNumberText()));
        return;
    }
    const bool lid = m_config.inputUse == InputUse::Interlock;
    const auto changed = [this, lid](bool asserted, bool opened) {
        if (lid) {
            const auto pause = [this] { m_countdown.pause(Countdown::Door::Prompt); };
            // Qt owns and frees the calls it queues.
            if (m_output.setLidOpen(!asserted) || (!opened && !asserted))
                QMetaObject::invokeMethod(&m_window, pause); // NOLINT(clang-analyzer-cplusplus.NewDeleteLeaks)
        } else if (!opened && asserted) {                    // a pedal held down as its adapter comes back is no press
            const auto press = [this] { m_footSwitch.pressed(); };
            QMetaObject::invokeMethod(&m_window, press); // NOLINT(clang-analyzer-cplusplus.NewDeleteLeaks)
        }
    };
    if (!m_pinWatcher.start(devices[*number - 1], bits.value(m_config.inputPin), changed))
        reportToStderr(m_pinWatcher.errorText());
}
// NOLINTEND(clang-analyzer-cplusplus.NewDeleteLeaks)

void TimersApp::showDeviceDialog()
{
    if (!m_deviceDialog) {
        m_deviceDialog = new DeviceDialog(
            [this](const ProgramConfig& values) {
                return m_configFile.save(values) ? QString() : m_configFile.errorText();
            },
            &m_window);
        m_deviceDialog->setWindowModality(Qt::NonModal);
    }
    const ProgramConfigLoad now = m_configFile.load();
    m_deviceDialog->load(now.values);
    m_deviceDialog->show();
    m_deviceDialog->raise();
}

bool TimersApp::loadSettings()
{
    IntoComTextsAndAlarm target(m_comTexts, m_window);
    if (m_settings.load(target, m_endRequested))
        return true;
    if (m_settings.keep() == SettingsFile::Keep::Interrupted)
        return false;
    reportToStderr(m_settings.errorText() + QStringLiteral("; starting with the default settings"));
    return true;
}

void TimersApp::saveSettings()
{
    const SettingsValues values{m_comTexts.bytesToSave(ComTexts::Field::PortNumber),
                                m_comTexts.bytesToSave(ComTexts::Field::OnOff),
                                m_comTexts.bytesToSave(ComTexts::Field::Pin), m_window.isAlarmChecked()};
    if (m_settings.save(values))
        return;
    switch (m_settings.keep()) {
    case SettingsFile::Keep::NotAFile:    // said at start
    case SettingsFile::Keep::Interrupted: // ending before the settings were known
        break;
    case SettingsFile::Keep::Unreadable:
        m_saveFailure = m_settings.errorText();
        reportToStderr(m_saveFailure);
        break;
    case SettingsFile::Keep::MayReplace:
        m_saveFailure = m_settings.errorText() + QStringLiteral("; the settings were not saved");
        reportToStderr(m_saveFailure);
        break;
    }
}

void TimersApp::tellOfFailedSave()
{
    if (!m_saveFailure.isEmpty())
        m_notifier.notifyBeforeExit(Notifier::programSummary(),
                                    m_saveFailure.at(0).toUpper() + m_saveFailure.mid(1) + u'.');
}

} // namespace timers
