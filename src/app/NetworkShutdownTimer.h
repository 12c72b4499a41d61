#pragma once

#include "NetworkShutdownGate.h"
#include "OffThreadWork.h"

#include <QObject>

#include <functional>
#include <string>
#include <vector>

class QTimer;
struct PlatformServices;

/// The shutdown of the network computers named by the folder list: at once by the button "Pogasi ostale
/// racunare", or a minute after a run whose end steps arm it, and then this computer as well when that run asked
/// for it. The computers are asked on a worker thread while the window stays usable; a round that finds another
/// under way does nothing when it is the button's and waits for it when it is the timer's, so that this computer
/// goes down after every computer has been asked.
class NetworkShutdownTimer : public QObject
{
    Q_OBJECT
public:
    /// `folderEntries` gives the folder list as it is when a round starts.
    NetworkShutdownTimer(const PlatformServices& platform, std::function<std::vector<std::string>()> folderEntries,
                         QObject* parent = nullptr);

    /// Starts the minute (again, when it runs); when `thenThisComputer`, this computer is shut down after the round.
    void arm(bool thenThisComputer);
    /// The button's round; nothing while another round is under way.
    void shutDownNow();
    /// The minute is over: the timer's round, then this computer when the run asked for it (a failure to start
    /// its shutdown is said in a message). Nothing more once it has run.
    void onTimeout();

private:
    const PlatformServices& m_platform;
    std::function<std::vector<std::string>()> m_folderEntries;
    QTimer* m_timer;
    bool m_thenThisComputer = false;
    NetworkShutdownGate m_gate{runOffThread};
};
