#include "timers_app.h"

#include <QTimer>

#include <cstdio>

namespace timers {

namespace {

void reportToStderr(const QString& line) { std::fprintf(stderr, "timers: %s\n", qPrintable(line)); }

// The settings file writes straight into the dialog's fields and the Alarm box.
class LoadIntoControls final : public SettingsTarget {
public:
    LoadIntoControls(ComPort1& dialog, frmAlarm& window)
        : m_dialog(dialog)
        , m_window(window)
    {
    }
    void setPortNumberText(const std::string& text) override { m_dialog.setPortNumberText(QString::fromStdString(text)); }
    void setOnOffText(const std::string& text) override { m_dialog.setOnOffText(QString::fromStdString(text)); }
    void setPinText(const std::string& text) override { m_dialog.setPinText(QString::fromStdString(text)); }
    void checkAlarm() override { m_window.checkAlarm(); }

private:
    ComPort1& m_dialog;
    frmAlarm& m_window;
};

} // namespace

TimersApp::TimersApp(Options options)
    : m_sound(options.soundModuleFolders)
    , m_exitSequence(std::move(options.endProcess))
    , m_serialPort(std::move(options.devices))
    , m_comDialog([this] { return m_serialPort.devices().list(); })
    , m_com(m_comDialog, m_serialPort, m_sleepInhibitor, &reportToStderr)
    , m_window({m_clock, m_dialogs, m_sound, m_com, m_notifier}, m_exitSequence)
    , m_settings(options.settingsPath)
{
    m_dialogs.setOwner(&m_window);
    QObject::connect(&m_comDialog, &ComPort1::portNumberEdited, &m_comDialog,
                     [this](const QString& text) { m_com.portNumberEdited(text); });
    m_window.setComPortAction([this] { m_comDialog.showModeless(); });
    // Save first: a port that fails to close must not cost the settings.
    m_exitSequence.addStep([this] { saveSettings(); });
    m_exitSequence.addStep([this] { m_com.closeAtExit(); });
}

void TimersApp::startup()
{
    loadSettings();
    m_window.startup();
    // Both buses are connected once the window shows, so that no countdown waits for them.
    QTimer::singleShot(0, &m_window, [this] {
        m_sleepInhibitor.connectBus();
        m_notifier.connectBus();
    });
}

void TimersApp::loadSettings()
{
    LoadIntoControls target(m_comDialog, m_window);
    if (!m_settings.load(target))
        reportToStderr(m_settings.errorText() + QStringLiteral("; starting with the default settings"));
}

void TimersApp::saveSettings()
{
    const SettingsValues values{m_comDialog.portNumberText().toStdString(), m_comDialog.onOffText().toStdString(),
                                m_comDialog.pinText().toStdString(), m_window.isAlarmChecked()};
    if (!m_settings.save(values))
        reportToStderr(m_settings.errorText() + QStringLiteral("; the settings were not saved"));
}

} // namespace timers
