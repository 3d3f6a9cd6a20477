// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The operations volnar-bench-slowlink asks of a BoardLink, and the runner
// that keeps a few of them in flight at once.
#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QObject>
#include <QStringList>
#include <vector>

#include "link/board_commands.h"
#include "link/dispatch_rules.h"

namespace volnar {
class BoardLink;
}

namespace volnar::bench::slowlink {

enum class Kind {
    SwitchRelay,
    PulseRelay,
    ExecuteScript,
    ExecuteAlert,
    WalkScripts,
    WalkAlerts,
    LoadChannel,
    UpdateScript,
    UpdateAlert,
    AddScript,
    AddAlert,
    DeleteScript,
    DeleteAlert,
};

// A change the station would make again for every copy of its SET.
bool IsOnce(Kind kind);
// A walk or load, whose rows are compared with the station's tables.
bool IsRead(Kind kind);

// One operation: what was asked, and what came back.
struct Asked {
    Kind kind = Kind::SwitchRelay;
    int argument = 0;   // relay, channel or row id
    int value = 0;      // the switch's state, the pulse's seconds
    QByteArray record;  // uploads
    int round = 0;

    int requestId = 0;  // the id of its first request; 0 when none went out
    OperationEnding ending = OperationEnding::Pending;
    QString text;
    QList<QStringList> rows;  // walks
    QList<AdcListItem> alertPool;
    QList<AdcListItem> scriptPool;
    AdcChannelRecord channelRecord;  // loads that ended Done
};

// Runs operations through the link, at most `inFlight` at a time, each
// started from the loop rather than from another's ending (which the link
// emits from inside its answer handler).
class Runner final {
public:
    Runner(BoardLink& link, int inFlight);
    Runner(const Runner&) = delete;
    Runner& operator=(const Runner&) = delete;

    // Runs every operation to its ending; false when the deadline came first
    // (what was still in flight is then cancelled).
    bool Run(const std::vector<Asked*>& operations, const QDeadlineTimer& deadline);

private:
    BoardOperation* Start(Asked& asked);
    void Watch(BoardOperation* operation, Asked& asked);

    BoardLink& m_link;
    QObject m_owner;  // the screen the operations belong to
    int m_inFlight;
    int m_running = 0;
};

}  // namespace volnar::bench::slowlink
