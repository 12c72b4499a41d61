#include "NetworkShutdownTimer.h"

#include "MessageBoxService.h"
#include "PlatformServices.h"
#include "PowerControl.h"

#include <QTimer>

NetworkShutdownTimer::NetworkShutdownTimer(const PlatformServices& platform,
                                           std::function<std::vector<std::string>()> folderEntries, QObject* parent)
    : QObject(parent), m_platform(platform), m_folderEntries(std::move(folderEntries)), m_timer(new QTimer(this))
{
    m_timer->setObjectName(QStringLiteral("networkShutdownTimer"));
    m_timer->setInterval(60000);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &NetworkShutdownTimer::onTimeout);
}

void NetworkShutdownTimer::arm(bool thenThisComputer)
{
    m_thenThisComputer = thenThisComputer;
    m_timer->start();
}

void NetworkShutdownTimer::shutDownNow()
{
    m_gate.run(m_folderEntries(), m_platform, NetworkShutdownGate::WhenBusy::Skip);
}

void NetworkShutdownTimer::onTimeout()
{
    m_timer->stop();
    // Waits for a round the button started, so that this computer's shutdown below comes after it.
    m_gate.run(m_folderEntries(), m_platform, NetworkShutdownGate::WhenBusy::Wait);
    if (m_thenThisComputer) {
        m_thenThisComputer = false;
        if (Result started = m_platform.power.shutDownThisComputer(); !started)
            m_platform.messages.showMessage("Racunar nije ugasen: " + started.error());
    }
}
