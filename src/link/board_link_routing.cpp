// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/board_link.h"

#include "link/board_objects.h"
#include "link/channel_record_read.h"
#include "link/logging.h"

// How the answers of an operation's steps are routed: a step's answer to
// its operation, a walk's rows one by one and its next step, a pool's items.
namespace volnar {

namespace board {
namespace {

std::string_view TableObject(BoardTable table) {
    switch (table) {
        case BoardTable::Scripts:
            return kScriptTable;
        case BoardTable::Alerts:
            return kAlertTable;
        case BoardTable::Modems:
            break;
    }
    return kModemTable;
}

// The fields a walked row hands on: every field of a script (ID, type, name,
// notes, commands) or an alert (ID, type, name, description and five more);
// a modem's ID and name.
int TableFieldCount(BoardTable table) {
    switch (table) {
        case BoardTable::Scripts:
            return 5;
        case BoardTable::Alerts:
            return 9;
        case BoardTable::Modems:
            break;
    }
    return 2;
}

}  // namespace
}  // namespace board

void BoardLink::RouteStep(OperationStep& step, const BoardResponse& response,
                          std::string_view value) {
    BoardOperation& operation = *step.operation;
    switch (step.kind) {
        case OperationStep::Kind::Confirm:
            if (step.notice != 0) {
                Q_EMIT NoticeRequested(step.notice, step.followUp);
            }
            operation.Finish(OperationEnding::Done);
            return;
        case OperationStep::Kind::RelayEcho:
            // Only the echo of the object asked for confirms.
            if (response.oid != step.asked) {
                operation.Finish(OperationEnding::Refused, QString::fromLatin1(kWrongAnswerText));
                return;
            }
            operation.m_echo = StationText(value);
            if (step.notice != 0) {
                Q_EMIT NoticeRequested(step.notice, step.followUp);
            }
            operation.Finish(OperationEnding::Done);
            return;
        case OperationStep::Kind::WalkRow:
            RouteWalkRow(step, response, value);
            return;
        case OperationStep::Kind::AlertPool:
        case OperationStep::Kind::ScriptPool:
            RoutePool(step, response, value);
            return;
        case OperationStep::Kind::ChannelRecord: {
            // The same rule as the fleet's reads of a record.
            const std::optional<std::string_view> record =
                ChannelRecordRead::Record(response, step.index);
            if (!record) {
                operation.Finish(OperationEnding::Refused, QString::fromLatin1(kWrongAnswerText));
                return;
            }
            operation.m_record = ParseAdcChannelRecord(*record, step.index);
            operation.Finish(OperationEnding::Done);
            return;
        }
    }
}

void BoardLink::RouteWalkRow(OperationStep& step, const BoardResponse& response,
                             std::string_view value) {
    BoardOperation& operation = *step.operation;
    // A station that answers a GETNEXT with an object not after the one
    // asked would keep the walk going for ever.
    if (!board::Follows(response.oid, step.asked)) {
        qCWarning(lcLinkOperations) << "walk stopped: asked after" << step.asked.c_str()
                                    << "answered" << response.oid.c_str();
        operation.Finish(OperationEnding::Refused, QString::fromLatin1(kWalkStuckText));
        return;
    }
    const std::string_view table = board::TableObject(step.table);
    // The first answer past the table ends the walk; the object beyond is
    // not taken for a row of the next table.
    if (!board::IsRowOf(response.oid, table)) {
        operation.Finish(OperationEnding::Done);
        return;
    }
    ++operation.m_rows;
    Q_EMIT operation.RowReceived(RowFields(value, board::TableFieldCount(step.table)));
    step.asked = response.oid;
    FollowUp(std::move(step), PduType::GetNext);
}

void BoardLink::RoutePool(OperationStep& step, const BoardResponse& response,
                          std::string_view value) {
    BoardOperation& operation = *step.operation;
    if (!board::Follows(response.oid, step.asked)) {
        operation.Finish(OperationEnding::Refused, QString::fromLatin1(kWalkStuckText));
        return;
    }
    const bool alerts = step.kind == OperationStep::Kind::AlertPool;
    if (board::IsRowOf(response.oid, alerts ? board::kAlertTable : board::kScriptTable)) {
        Q_EMIT operation.PoolItemReceived(alerts, ListItemOfRow(value));
        step.asked = response.oid;
        FollowUp(std::move(step), PduType::GetNext);
        return;
    }
    if (alerts) {
        step.kind = OperationStep::Kind::ScriptPool;
        step.asked = std::string(board::kScriptTable);
        FollowUp(std::move(step), PduType::GetNext);
        return;
    }
    step.kind = OperationStep::Kind::ChannelRecord;
    step.asked = std::string(board::kChannelRecord[static_cast<std::size_t>(step.index)]);
    FollowUp(std::move(step), PduType::Get);
}

void BoardLink::FollowUp(OperationStep step, PduType type) {
    const quint64 generation = m_generation;
    QTimer::singleShot(0, this, [this, generation, step = std::move(step), type] {
        if (!step.operation || !step.operation->IsPending()) {
            return;  // given up: nothing more is asked
        }
        if (generation != m_generation || !m_transport) {
            step.operation->Finish(OperationEnding::TimedOut, QString::fromLatin1(kStoppedText));
            return;
        }
        if (step.station != CurrentChoice()) {
            // Its station is no longer the chosen one: the walk ends here
            // instead of going on at another station.
            SwitchStation(CurrentChoice());
            step.operation->Finish(OperationEnding::Cancelled,
                                   QString::fromLatin1(kOtherStationText));
            return;
        }
        const QPointer<BoardOperation> operation = step.operation;
        const Sent sent = SendStep(step, type, RequestValue::Null());
        if (sent.id == 0 && operation && operation->IsPending()) {
            operation->Finish(
                OperationEnding::NotSent,
                QString::fromLatin1(sent.waiting ? kDirectoryWaitingText : kNotSentText));
        }
    });
}

}  // namespace volnar
