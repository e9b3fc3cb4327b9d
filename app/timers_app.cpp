#include "timers_app.h"

#include <cstdio>

namespace timers {

namespace {
void reportToStderr(const QString& line) { std::fprintf(stderr, "timers: %s\n", qPrintable(line)); }
} // namespace

TimersApp::TimersApp(Options options)
    : m_sound(options.soundModuleFolders)
    , m_exitSequence(std::move(options.endProcess))
    , m_serialPort(std::move(options.devices))
    , m_comDialog([this] { return m_serialPort.devices().list(); })
    , m_com(m_comDialog, m_serialPort, &reportToStderr)
    , m_window({m_clock, m_dialogs, m_sound, m_com}, m_exitSequence)
{
    m_dialogs.setOwner(&m_window);
    QObject::connect(&m_comDialog, &ComPort1::portNumberEdited, &m_comDialog,
                     [this](const QString& text) { m_com.portNumberEdited(text); });
    m_window.setComPortAction([this] { m_comDialog.showModeless(); });
    m_exitSequence.addStep([this] { m_com.closeAtExit(); });
}

void TimersApp::startup() { m_window.startup(); }

} // namespace timers
