// SPDX-License-Identifier: GPL-3.0-or-later
#include "slowlink_operations.h"

#include <QCoreApplication>
#include <QTimer>

#include "link/board_link.h"

namespace volnar::bench::slowlink {

bool IsOnce(Kind kind) {
    switch (kind) {
        case Kind::PulseRelay:
        case Kind::ExecuteScript:
        case Kind::ExecuteAlert:
        case Kind::AddScript:
        case Kind::AddAlert:
        case Kind::DeleteScript:
        case Kind::DeleteAlert:
            return true;
        default:
            return false;
    }
}

bool IsRead(Kind kind) {
    return kind == Kind::WalkScripts || kind == Kind::WalkAlerts || kind == Kind::LoadChannel;
}

Runner::Runner(BoardLink& link, int inFlight) : m_link(link), m_inFlight(inFlight) {}

BoardOperation* Runner::Start(Asked& asked) {
    QObject* owner = &m_owner;
    switch (asked.kind) {
        case Kind::SwitchRelay:
            return commands::SwitchRelay(m_link, owner, asked.argument, asked.value != 0);
        case Kind::PulseRelay:
            return commands::PulseRelay(m_link, owner, asked.argument, asked.value);
        case Kind::ExecuteScript:
            return commands::ExecuteRow(m_link, owner, BoardTable::Scripts, asked.argument);
        case Kind::ExecuteAlert:
            return commands::ExecuteRow(m_link, owner, BoardTable::Alerts, asked.argument);
        case Kind::WalkScripts:
            return commands::WalkTable(m_link, owner, BoardTable::Scripts);
        case Kind::WalkAlerts:
            return commands::WalkTable(m_link, owner, BoardTable::Alerts);
        case Kind::LoadChannel:
            return commands::LoadChannelOptions(m_link, owner, asked.argument);
        case Kind::UpdateScript:
        case Kind::AddScript:
            return commands::UploadScript(m_link, owner, asked.kind == Kind::AddScript,
                                          asked.record);
        case Kind::UpdateAlert:
        case Kind::AddAlert:
            return commands::UploadAlert(m_link, owner, asked.kind == Kind::AddAlert, asked.record);
        case Kind::DeleteScript:
            return commands::DeleteRow(m_link, owner, BoardTable::Scripts, asked.argument);
        case Kind::DeleteAlert:
            return commands::DeleteRow(m_link, owner, BoardTable::Alerts, asked.argument);
    }
    return nullptr;
}

void Runner::Watch(BoardOperation* operation, Asked& asked) {
    QObject::connect(operation, &BoardOperation::RowReceived, &m_owner,
                     [&asked](const QStringList& fields) { asked.rows << fields; });
    QObject::connect(operation, &BoardOperation::PoolItemReceived, &m_owner,
                     [&asked](bool alert, const AdcListItem& item) {
                         (alert ? asked.alertPool : asked.scriptPool) << item;
                     });
    QObject::connect(operation, &BoardOperation::Ended, &m_owner,
                     [this, &asked, operation](OperationEnding ending) {
                         asked.ending = ending;
                         asked.text = operation->Text();
                         if (ending == OperationEnding::Done) {
                             asked.channelRecord = operation->ChannelRecord();
                         }
                         --m_running;
                         // A late answer then finds its operation gone, as
                         // when a screen has closed.
                         operation->deleteLater();
                     });
}

bool Runner::Run(const std::vector<Asked*>& operations, const QDeadlineTimer& deadline) {
    QTimer wake;  // wakes the loop now and then to look at the deadline
    wake.start(100);
    std::size_t next = 0;
    while (next < operations.size() || m_running > 0) {
        while (m_running < m_inFlight && next < operations.size()) {
            Asked& asked = *operations[next++];
            // Commands send their first request inside the call, so the
            // link's counter names it now; nothing went out when it did not
            // move.
            const int before = m_link.LastRequestId();
            BoardOperation* operation = Start(asked);
            asked.requestId = m_link.LastRequestId() != before ? m_link.LastRequestId() : 0;
            ++m_running;
            Watch(operation, asked);
        }
        if (deadline.hasExpired()) {
            for (BoardOperation* operation : m_owner.findChildren<BoardOperation*>()) {
                operation->Cancel();
            }
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

}  // namespace volnar::bench::slowlink
