// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "core/message_service.h"
#include "core/station_record.h"
#include "link/board_commands.h"
#include "link/board_request.h"
#include "link/dispatch_rules.h"
#include "link/snmp_transport.h"
#include "link/status_poll.h"

namespace volnar {

// What runs after a notice has closed.
enum class NoticeFollowUp { None, ReopenScriptsList, ReopenAlertsList };

enum class ConnectionState { NotConnected, Connecting, Connected };

// The chosen station's row of the station directory: the row; or no row
// because the address is not in the directory; or, `waiting`, no row yet
// because the directory has not answered (the link then waits and asks again).
struct StationLookupAnswer {
    std::optional<StationRecord> record;
    bool waiting = false;

    StationLookupAnswer(std::optional<StationRecord> found = std::nullopt)  // NOLINT: a row or none
        : record(std::move(found)) {}
    static StationLookupAnswer Waiting() {
        StationLookupAnswer answer;
        answer.waiting = true;
        return answer;
    }
};
using StationLookup = std::function<StationLookupAnswer(const QString& address)>;
// Makes the SNMP transport for a new session; nullptr when none can be made.
using TransportFactory = std::function<std::unique_ptr<SnmpTransport>()>;

// Failure texts of the board link (each shown after StopPolling).
inline constexpr char kErrorCreatingSession[] = "Error Creating SNMP Session!\r\nIt's Over !!";
inline constexpr char kErrorAgentEntity[] = "Error String To Entity Agent!\r\nIt's Over !!";
inline constexpr char kErrorNotInDirectory[] =
    "SQL general overness, can't find the IP Address in the Database!";
inline constexpr char kErrorSettingPort[] = "Error Setting Manager Port!\r\nIt's Over !!";
inline constexpr char kErrorStringToOid[] = "Error Setting String to OID!\r\nIt's Over !!";
inline constexpr char kErrorSendingPdu[] = "Error Sending PDU Message!\r\nIt's Over !!";
inline constexpr char kErrorCountingBindings[] =
    "Error Counting Variable Binding Lists!\r\nIt's Over !!";
inline constexpr char kErrorTimeOut[] = "Error Time Out Waiting For Response!\r\nIt's Over !!";
// The message line while the chosen station's row is awaited.
inline constexpr char kWaitingForDirectory[] = " MSG: Waiting for the directory";

// Connection-state texts of the status bar (part 1, part 2).
QString StateText(ConnectionState state);
QString StateMessageText(ConnectionState state);
// " MSG: Data Polling " followed by `dots` dots.
QString PollingMessageText(int dots);

// The link to the chosen station: the SNMP session and the one request
// sender, the response dispatcher and the polling cycle. Everything runs on
// the GUI thread. The dispatcher never touches a widget: the polled status
// record, notices, counters and connection texts go out as signals, and
// every other answer goes to the operation of the screen that asked for it
// (board_commands.h); an operation given up gets nothing.
class BoardLink final : public QObject {
    Q_OBJECT

public:
    static constexpr int kPollIntervalMs = 1000;
    // Time-outs in a row (no answer between them) that end the connection;
    // losses spread among answers only count in Lost.
    static constexpr int kTimeOutLimit = 30;

    // `factory` defaults to net-snmp sessions (SnmpSession).
    BoardLink(StationLookup lookup, TransportFactory factory = {}, QObject* parent = nullptr);
    ~BoardLink() override;

    // START: connecting state, a new session, START disabled, the first
    // status request.
    void Start();

    // Opens a new session (closing any previous one) and restarts the
    // request-id counter; false after StopPolling and an error box.
    bool StartSnmpSession();

    // Sends one request with one binding to the chosen station, whose
    // directory row is looked up afresh, with the next id of the counter (501
    // first after START). Never waits for the answer. On failure:
    // StopPolling, an error box, false.
    bool SendBoardRequest(std::string_view oid, PduType type,
                          const RequestValue& value = RequestValue::Null());

    // The station chooser's text (an address, maybe followed by the row's
    // comment). When it names another station, every operation of the
    // station it named before ends, the status request in flight is
    // forgotten (its answer is neither shown nor counted), and polling goes
    // on with the new station a period later.
    void ChooseStation(const QString& chooserText);
    // The directory has answered: a status request waiting for the chosen
    // station's row goes out now.
    void RetryWaitingRequest();

    // Ends the connection and returns to the idle look. Safe at any time,
    // including from inside a handler of this object's signals.
    void StopPolling();

    // The dispatcher: one answer or one transport time-out. Only answers of
    // the status request in flight and of operations' requests count; any
    // other id (a request forgotten when another station was chosen) is
    // dropped.
    void HandleBoardResponse(const volnar::BoardResponse& response);
    void HandleTimeOut(int requestId);

    // One poll-timer tick (public for tests; the poll timer calls it).
    void PollTick();

    // One request of an operation in flight: what its answer means.
    struct OperationStep {
        enum class Kind { Confirm, RelayEcho, WalkRow, AlertPool, ScriptPool, ChannelRecord };
        QPointer<BoardOperation> operation;
        Kind kind = Kind::Confirm;
        // A SET whose repeat would do something again (execute, delete, add,
        // pulse): sent once, never resent; no answer means the outcome is
        // unknown.
        bool once = false;
        QString station;  // the station it was started for
        int index = 0;    // relay (RelayEcho) or channel (pools, record)
        int notice = 0;   // the notice on success, 0 for none
        NoticeFollowUp followUp = NoticeFollowUp::None;
        BoardTable table = BoardTable::Scripts;  // WalkRow
        std::string asked;                       // the identifier asked for
    };

    // Sends the first request of a command's operation (board_commands.cpp);
    // opens a session first when none is open. The operation ends NotSent,
    // on the next turn of the event loop, when the request could not go out.
    BoardOperation* Begin(BoardOperation* operation, OperationStep step, PduType type,
                          const RequestValue& value = RequestValue::Null());

    // Ends the operation NotSent on the next turn of the event loop.
    BoardOperation* EndNotSent(BoardOperation* operation, const QString& text = {});

    int SentCount() const { return m_sent; }
    int ReceivedCount() const { return m_received; }
    int LostCount() const { return m_lost; }
    // Unattended use: the poll's own failures are not due a box (it would
    // wait for someone to close it); StoppedByError says so.
    void SetRestartsByItself(bool restarts) { m_restartsByItself = restarts; }
    int TimeOutsInRow() const { return m_timeOutsInRow; }
    // Round-trip time of the last status answer, in milliseconds.
    int LastRoundTripMs() const { return m_lastRoundTripMs; }
    ConnectionState State() const { return m_state; }
    bool IsSessionOpen() const { return m_transport != nullptr; }
    bool IsPollTimerActive() const { return m_pollTimer.isActive(); }
    bool StationControlsAreEnabled() const { return m_controlsEnabled; }
    int PollTickCount() const { return m_pollTicks; }
    int LastRequestId() const { return m_requestCounter; }
    // The status request in flight (0 when none).
    int StatusRequestId() const { return m_statusPoll.InFlightId(); }
    // The station the link works for: the chosen station at the last START,
    // request or ChooseStation.
    const QString& Station() const { return m_station; }
    // A status request waits for the chosen station's row.
    bool IsWaitingForDirectory() const { return m_waitingForDirectory; }

Q_SIGNALS:
    // Status bar: part 1 (connection state) and part 2 (message line).
    void StateTextChanged(const QString& text);
    void MessageTextChanged(const QString& text);
    void StartEnabledChanged(bool enabled);
    // The 24 station controls of the main window.
    void StationControlsEnabled(bool enabled);
    // StopPolling: the panel returns to its idle look (StatusPanel::ResetReadouts).
    void ReadoutsReset();
    // The Sent, Received and Lost counters, after any of them changed.
    void CountersChanged(int sent, int received, int lost);
    // A request got no answer after the session's own retries (counted in Lost).
    void StatusTimedOut();
    // The connection ended by kTimeOutLimit time-outs in a row; the screen
    // shows kErrorTimeOut unless the polling restarts by itself.
    void StoppedByTimeOuts();
    // The polling stopped on an error (an error answer to a status request,
    // a station missing from the directory, a failed send) with this text.
    // `boxDue` is false only for the poll's own failure in unattended use
    // (nobody is there to close a box); the screen shows the rest.
    void StoppedByError(const QString& text, bool boxDue);

    // A status record (.77), whole; the poll timer is re-armed after every
    // receiver has run (StatusPanel::ShowStatusRecord).
    void StatusRecordReceived(const QByteArray& record);
    // A command has sent its first request.
    void OperationStarted(volnar::BoardOperation* operation);
    // A confirmation notice (codes of NoticeText) and what runs after it.
    void NoticeRequested(int code, volnar::NoticeFollowUp followUp);

private:
    void Fail(const QString& text);
    void FailSend(SendStatus status);
    // Forgets the old station's status request and operations.
    void SwitchStation(const QString& station);
    // A status request that got no status record: counted in Lost, and the
    // poll goes on or stops by the time-out rule.
    void CountLoss(bool statusPoll);
    void SetState(ConnectionState state);
    void SetMessage(const QString& text);
    void SetSent(int count);
    void SetReceived(int count);
    void SetLost(int count);
    void SetControlsEnabled(bool enabled);
    void SendStatusRequest();
    void CloseTransport();
    // What became of one request.
    struct Sent {
        int id = 0;            // the id it went out with; 0 when it did not go out
        bool waiting = false;  // not sent: the station's row is awaited (no Fail)
        int retries = 0;       // the station's RETRIES and time-out of one try
        int eachMs = 0;
    };
    // Who sends a request again when its answer is late.
    enum class Resends {
        NetSnmp,   // the session, RETRIES times, with the same id
        Never,     // a change that must not be repeated
        Poll,      // the status poll's first copy: the poll sends the others
        PollCopy,  // one of them, with an id of its own (not counted in Sent)
    };
    // Sends one request to `station`; after Fail when it could not go out
    // for any reason but a directory that has not answered yet.
    Sent SendRequest(const QString& station, std::string_view oid, PduType type,
                     const RequestValue& value, Resends resends = Resends::NetSnmp);
    // The status poll's next copy, while it waits and has copies left.
    void SendPollCopy();
    Sent SendStep(OperationStep step, PduType type, const RequestValue& value);
    // Sends the next request of an operation once the current handler has
    // returned; dropped when the operation was given up meanwhile.
    void FollowUp(OperationStep step, PduType type);
    const QString& CurrentChoice() const { return m_chosen; }
    std::optional<OperationStep> TakeStep(int requestId);
    // Every operation in flight ends: the connection has stopped.
    void EndSteps();
    void RouteStep(OperationStep& step, const BoardResponse& response, std::string_view value);
    void RouteWalkRow(OperationStep& step, const BoardResponse& response, std::string_view value);
    void RoutePool(OperationStep& step, const BoardResponse& response, std::string_view value);

    StationLookup m_lookup;
    TransportFactory m_factory;

    QPointer<SnmpTransport> m_transport;
    QTimer m_pollTimer;
    // The status poll's own resends: a copy with an id of its own after each
    // try's time-out, so that the round trip is the answered copy's.
    QTimer m_pollCopyTimer;
    int m_pollCopiesLeft = 0;
    quint64 m_generation = 0;
    std::int32_t m_requestCounter = 0;
    int m_sent = 0;
    int m_received = 0;
    int m_lost = 0;
    int m_timeOutsInRow = 0;
    bool m_restartsByItself = false;
    int m_lastRoundTripMs = 0;
    StatusPoll m_statusPoll;
    QString m_station;
    QString m_chosen;  // the chooser's station, as last told
    bool m_waitingForDirectory = false;
    bool m_sendingStatus = false;  // failures of this send are the poll's
    bool m_wrongStatusSaid = false;
    int m_pollTicks = 0;
    // Operations' requests in flight by request id, oldest first: requests
    // with one id go out one after the other, and are answered in order.
    std::unordered_map<int, std::deque<OperationStep>> m_steps;
    bool m_controlsEnabled = false;
    ConnectionState m_state = ConnectionState::NotConnected;

    Q_DISABLE_COPY_MOVE(BoardLink)
};

}  // namespace volnar
