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
    if (operation.Ending() == OperationEnding::TimedOut &&
        operation.Text() == QLatin1String(kNoAnswerText)) {
        return operation.Text();
    }
    return {};
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
    step.asked = std::string(asked);
    step.index = index;
    step.notice = notice;
    step.followUp = followUp;
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
    return Relay(link, owner, BoardCommand::PulseRelay, relay, board::kRelayPulse,
                 MakeStep(Kind::Confirm, {}), PduType::Set, RequestValue::Integer(seconds));
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
                      RequestValue::Text(StationBytes(name)), routing::kStationName);
}

BoardOperation* SetChannelName(BoardLink& link, QObject* owner, int channel, const QString& name) {
    auto* operation = new BoardOperation(BoardCommand::SetChannelName, channel, owner);
    if (!IsChannel(channel)) {
        return Refuse(link, operation);
    }
    const int id = routing::ChannelNameId(channel);
    // 425 "ADC 1 Name Changed !" (code 8) up to 440 "ADC 8 Note Changed !" (23).
    return link.Begin(
        operation,
        MakeStep(Kind::Confirm, board::kChannelName[static_cast<std::size_t>(channel)], channel,
                 id - 417),
        PduType::Set, RequestValue::Text(StationBytes(name)), id);
}

BoardOperation* SetChannelNotes(BoardLink& link, QObject* owner, int channel,
                                const QString& notes) {
    auto* operation = new BoardOperation(BoardCommand::SetChannelNotes, channel, owner);
    if (!IsChannel(channel)) {
        return Refuse(link, operation);
    }
    const int id = routing::ChannelNotesId(channel);
    return link.Begin(
        operation,
        MakeStep(Kind::Confirm, board::kChannelNotes[static_cast<std::size_t>(channel)], channel,
                 id - 417),
        PduType::Set, RequestValue::Text(StationBytes(notes)), id);
}

BoardOperation* LoadChannelOptions(BoardLink& link, QObject* owner, int channel) {
    auto* operation = new BoardOperation(BoardCommand::LoadChannelOptions, channel, owner);
    if (!IsChannel(channel)) {
        return Refuse(link, operation);
    }
    // The alerts walk, then the scripts walk, then the channel's record.
    return link.Begin(operation, MakeStep(Kind::AlertPool, board::kAlertTable, channel),
                      PduType::GetNext, RequestValue::Null(), routing::kAdcLoadAlerts);
}

BoardOperation* UploadChannelSettings(BoardLink& link, QObject* owner, int channel,
                                      const QByteArray& record) {
    auto* operation = new BoardOperation(BoardCommand::UploadChannelSettings, channel, owner);
    if (!IsChannel(channel)) {
        return Refuse(link, operation);
    }
    const int id = routing::ChannelSettingsId(channel);
    // 453 "ADC 1 Updated !" (code 28) up to 460 "ADC 8 Updated !" (35).
    return link.Begin(
        operation,
        MakeStep(Kind::Confirm, board::kChannelSettings[static_cast<std::size_t>(channel)], channel,
                 id - 425),
        PduType::Set, RequestValue::Text(record), id);
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

BoardOperation* UploadScript(BoardLink& link, QObject* owner, bool isNew,
                             const QByteArray& record) {
    auto* operation = new BoardOperation(BoardCommand::UploadScript, isNew ? 1 : 0, owner);
    // "Script Added!" / "Script Updated!", then a fresh list.
    return link.Begin(operation,
                      MakeStep(Kind::Confirm, board::kScriptRecord, 0, isNew ? 4 : 3,
                               NoticeFollowUp::ReopenScriptsList),
                      PduType::Set, RequestValue::Text(record),
                      isNew ? routing::kScriptAdd : routing::kScriptUpdate);
}

BoardOperation* UploadAlert(BoardLink& link, QObject* owner, bool isNew, const QByteArray& record) {
    auto* operation = new BoardOperation(BoardCommand::UploadAlert, isNew ? 1 : 0, owner);
    // "Alert Added !" / "Alert Updated !", then a fresh list.
    return link.Begin(operation,
                      MakeStep(Kind::Confirm, board::kAlertRecord, 0, isNew ? 26 : 27,
                               NoticeFollowUp::ReopenAlertsList),
                      PduType::Set, RequestValue::Text(record),
                      isNew ? routing::kAlertAdd : routing::kAlertUpdate);
}

BoardOperation* ExecuteRow(BoardLink& link, QObject* owner, BoardTable table, std::int32_t number) {
    auto* operation = new BoardOperation(BoardCommand::ExecuteRow, number, owner);
    if (table == BoardTable::Scripts) {
        // "Script Executed!"; the list is not read again.
        return link.Begin(operation, MakeStep(Kind::Confirm, board::kScriptExecute, 0, 6),
                          PduType::Set, RequestValue::Integer(number), routing::kScriptExecute);
    }
    if (table == BoardTable::Alerts) {
        // "Alert Executed !", then a fresh list.
        return link.Begin(
            operation,
            MakeStep(Kind::Confirm, board::kAlertExecute, 0, 25, NoticeFollowUp::ReopenAlertsList),
            PduType::Set, RequestValue::Integer(number), routing::kAlertExecute);
    }
    return Refuse(link, operation);
}

BoardOperation* DeleteRow(BoardLink& link, QObject* owner, BoardTable table, std::int32_t number) {
    auto* operation = new BoardOperation(BoardCommand::DeleteRow, number, owner);
    if (table == BoardTable::Scripts) {
        // "Script Deleted!", then a fresh list.
        return link.Begin(
            operation,
            MakeStep(Kind::Confirm, board::kScriptDelete, 0, 5, NoticeFollowUp::ReopenScriptsList),
            PduType::Set, RequestValue::Integer(number), routing::kScriptDelete);
    }
    if (table == BoardTable::Alerts) {
        // "Alert Deleted !", then a fresh list.
        return link.Begin(
            operation,
            MakeStep(Kind::Confirm, board::kAlertDelete, 0, 24, NoticeFollowUp::ReopenAlertsList),
            PduType::Set, RequestValue::Integer(number), routing::kAlertDelete);
    }
    return Refuse(link, operation);
}

}  // namespace commands
}  // namespace volnar
