// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/board_commands.h"

#include "link/board_link.h"
#include "link/board_objects.h"

namespace volnar {

BoardOperation::BoardOperation(BoardCommand command, int argument, QObject* owner)
    : QObject(owner), m_command(command), m_argument(argument) {}

BoardOperation::~BoardOperation() = default;

void BoardOperation::Cancel() {
    Finish(OperationEnding::Cancelled);
}

void BoardOperation::Finish(OperationEnding ending, const QString& text, int errorStatus) {
    if (m_ending != OperationEnding::Pending || ending == OperationEnding::Pending) {
        return;  // one ending only
    }
    m_ending = ending;
    m_text = text;
    m_errorStatus = errorStatus;
    Q_EMIT Ended(ending);
}

QString UnreportedText(const BoardOperation& operation) {
    const bool unreported = operation.Ending() == OperationEnding::Unknown ||
                            (operation.Ending() == OperationEnding::TimedOut &&
                             operation.Text() == QLatin1String(kNoAnswerText)) ||
                            (operation.Ending() == OperationEnding::NotSent &&
                             operation.Text() == QLatin1String(kDirectoryWaitingText));
    return unreported ? operation.Text() : QString();
}

namespace commands {
namespace {

using Step = BoardLink::OperationStep;
using Kind = Step::Kind;

bool IsRelay(int relay) {
    return relay >= 1 && relay <= board::kRelayCount;
}

bool IsChannel(int channel) {
    return channel >= 1 && channel <= board::kChannelCount;
}

// A command whose arguments name nothing on the station: nothing is sent.
BoardOperation* Refuse(BoardLink& link, BoardOperation* operation) {
    return link.EndNotSent(operation);
}

Step MakeStep(Kind kind, std::string_view asked, int index = 0, int notice = 0,
              NoticeFollowUp followUp = NoticeFollowUp::None) {
    Step step;
    step.kind = kind;
    step.once = false;
    step.asked = std::string(asked);
    step.index = index;
    step.notice = notice;
    step.followUp = followUp;
    return step;
}

// A SET whose repeat would do it again (run, delete, add, pulse): net-snmp
// must not resend it when its answer is late.
Step Once(Step step) {
    step.once = true;
    return step;
}

BoardOperation* Relay(BoardLink& link, QObject* owner, BoardCommand command, int relay,
                      const board::RelayObjects& objects, Step step, PduType type,
                      const RequestValue& value) {
    auto* operation = new BoardOperation(command, relay, owner);
    if (!IsRelay(relay)) {
        return Refuse(link, operation);
    }
    step.asked = std::string(objects[static_cast<std::size_t>(relay)]);
    step.index = relay;
    return link.Begin(operation, std::move(step), type, value);
}

}  // namespace

BoardOperation* SwitchRelay(BoardLink& link, QObject* owner, int relay, bool on) {
    return Relay(link, owner, BoardCommand::SwitchRelay, relay, board::kRelaySwitch,
                 MakeStep(Kind::Confirm, {}), PduType::Set, RequestValue::Integer(on ? 1 : 0));
}

BoardOperation* PulseRelay(BoardLink& link, QObject* owner, int relay, int seconds) {
    // A pulse repeated is a second pulse: sent once.
    return Relay(link, owner, BoardCommand::PulseRelay, relay, board::kRelayPulse,
                 Once(MakeStep(Kind::Confirm, {})), PduType::Set, RequestValue::Integer(seconds));
}

BoardOperation* SetRelayName(BoardLink& link, QObject* owner, int relay, const QString& name) {
    // "Relay Name Updated!"
    return Relay(link, owner, BoardCommand::SetRelayName, relay, board::kRelayName,
                 MakeStep(Kind::RelayEcho, {}, 0, 2), PduType::Set,
                 RequestValue::Text(StationBytes(name)));
}

BoardOperation* SetRelayNotes(BoardLink& link, QObject* owner, int relay, const QString& notes) {
    // "Relay Notes Updated!"
    return Relay(link, owner, BoardCommand::SetRelayNotes, relay, board::kRelayNotes,
                 MakeStep(Kind::RelayEcho, {}, 0, 1), PduType::Set,
                 RequestValue::Text(StationBytes(notes)));
}

BoardOperation* ReadRelayNotes(BoardLink& link, QObject* owner, int relay) {
    return Relay(link, owner, BoardCommand::ReadRelayNotes, relay, board::kRelayNotes,
                 MakeStep(Kind::RelayEcho, {}), PduType::Get, RequestValue::Null());
}

BoardOperation* RenameStation(BoardLink& link, QObject* owner, const QString& name) {
    auto* operation = new BoardOperation(BoardCommand::RenameStation, 0, owner);
    // "Station Name Changed !"
    return link.Begin(operation, MakeStep(Kind::Confirm, board::kSysName, 0, 7), PduType::Set,
                      RequestValue::Text(StationBytes(name)));
}

// Notice codes of the channel commands: "ADC 1 Name Changed !" (8), "ADC 1
// Note Changed !" (9) two apart per channel, "ADC 1 Updated !" (28) one apart.
static BoardOperation* ChannelSet(BoardLink& link, QObject* owner, BoardCommand command,
                                  int channel, const board::ChannelObjects& objects, int notice,
                                  const QByteArray& value) {
    auto* operation = new BoardOperation(command, channel, owner);
    if (!IsChannel(channel)) {
        return Refuse(link, operation);
    }
    return link.Begin(
        operation,
        MakeStep(Kind::Confirm, objects[static_cast<std::size_t>(channel)], channel, notice),
        PduType::Set, RequestValue::Text(value));
}

BoardOperation* SetChannelName(BoardLink& link, QObject* owner, int channel, const QString& name) {
    return ChannelSet(link, owner, BoardCommand::SetChannelName, channel, board::kChannelName,
                      8 + 2 * (channel - 1), StationBytes(name));
}

BoardOperation* SetChannelNotes(BoardLink& link, QObject* owner, int channel,
                                const QString& notes) {
    return ChannelSet(link, owner, BoardCommand::SetChannelNotes, channel, board::kChannelNotes,
                      9 + 2 * (channel - 1), StationBytes(notes));
}

BoardOperation* LoadChannelOptions(BoardLink& link, QObject* owner, int channel) {
    auto* operation = new BoardOperation(BoardCommand::LoadChannelOptions, channel, owner);
    if (!IsChannel(channel)) {
        return Refuse(link, operation);
    }
    // The alerts walk, then the scripts walk, then the channel's record.
    return link.Begin(operation, MakeStep(Kind::AlertPool, board::kAlertTable, channel),
                      PduType::GetNext);
}

BoardOperation* ReadChannelRecord(BoardLink& link, QObject* owner, int channel) {
    auto* operation = new BoardOperation(BoardCommand::ReadChannelRecord, channel, owner);
    if (!IsChannel(channel)) {
        return Refuse(link, operation);
    }
    return link.Begin(operation,
                      MakeStep(Kind::ChannelRecord,
                               board::kChannelRecord[static_cast<std::size_t>(channel)], channel),
                      PduType::Get);
}

BoardOperation* UploadChannelSettings(BoardLink& link, QObject* owner, int channel,
                                      const QByteArray& record) {
    return ChannelSet(link, owner, BoardCommand::UploadChannelSettings, channel,
                      board::kChannelSettings, 28 + (channel - 1), record);
}

BoardOperation* WalkTable(BoardLink& link, QObject* owner, BoardTable table) {
    auto* operation = new BoardOperation(BoardCommand::WalkTable, static_cast<int>(table), owner);
    std::string_view object = board::kModemTable;
    if (table == BoardTable::Scripts) {
        object = board::kScriptTable;
    } else if (table == BoardTable::Alerts) {
        object = board::kAlertTable;
    }
    Step step = MakeStep(Kind::WalkRow, object);
    step.table = table;
    return link.Begin(operation, std::move(step), PduType::GetNext);
}

// A new row is added again by every copy of its SET; an update sets the row
// to what it already is.
static BoardOperation* Upload(BoardLink& link, QObject* owner, BoardCommand command, bool isNew,
                              std::string_view object, int notice, NoticeFollowUp followUp,
                              const QByteArray& record) {
    auto* operation = new BoardOperation(command, isNew ? 1 : 0, owner);
    Step step = MakeStep(Kind::Confirm, object, 0, notice, followUp);
    return link.Begin(operation, isNew ? Once(std::move(step)) : std::move(step), PduType::Set,
                      RequestValue::Text(record));
}

BoardOperation* UploadScript(BoardLink& link, QObject* owner, bool isNew,
                             const QByteArray& record) {
    // "Script Added!" / "Script Updated!", then a fresh list.
    return Upload(link, owner, BoardCommand::UploadScript, isNew, board::kScriptRecord,
                  isNew ? 4 : 3, NoticeFollowUp::ReopenScriptsList, record);
}

BoardOperation* UploadAlert(BoardLink& link, QObject* owner, bool isNew, const QByteArray& record) {
    // "Alert Added !" / "Alert Updated !", then a fresh list.
    return Upload(link, owner, BoardCommand::UploadAlert, isNew, board::kAlertRecord,
                  isNew ? 26 : 27, NoticeFollowUp::ReopenAlertsList, record);
}

// Execute and delete act again on every copy: sent once.
static BoardOperation* RowCommand(BoardLink& link, QObject* owner, BoardCommand command,
                                  BoardTable table, std::int32_t number) {
    const bool execute = command == BoardCommand::ExecuteRow;
    auto* operation = new BoardOperation(command, number, owner);
    Step step;
    if (table == BoardTable::Scripts) {
        // "Script Executed!" (the list is not read again) / "Script Deleted!".
        step = execute ? MakeStep(Kind::Confirm, board::kScriptExecute, 0, 6)
                       : MakeStep(Kind::Confirm, board::kScriptDelete, 0, 5,
                                  NoticeFollowUp::ReopenScriptsList);
    } else if (table == BoardTable::Alerts) {
        // "Alert Executed !" / "Alert Deleted !", then a fresh list.
        step = MakeStep(Kind::Confirm, execute ? board::kAlertExecute : board::kAlertDelete, 0,
                        execute ? 25 : 24, NoticeFollowUp::ReopenAlertsList);
    } else {
        return Refuse(link, operation);
    }
    return link.Begin(operation, Once(std::move(step)), PduType::Set,
                      RequestValue::Integer(number));
}

BoardOperation* ExecuteRow(BoardLink& link, QObject* owner, BoardTable table, std::int32_t number) {
    return RowCommand(link, owner, BoardCommand::ExecuteRow, table, number);
}

BoardOperation* DeleteRow(BoardLink& link, QObject* owner, BoardTable table, std::int32_t number) {
    return RowCommand(link, owner, BoardCommand::DeleteRow, table, number);
}

}  // namespace commands
}  // namespace volnar
