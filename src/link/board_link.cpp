// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/board_link.h"

#include <QLoggingCategory>
#include <climits>
#include <utility>

#include "link/board_objects.h"
#include "link/snmp_session.h"

#include "link/logging.h"

namespace volnar {
namespace {

bool IsOctetString(const BoardResponse& response) {
    return response.syntax == kSyntaxOctetString;
}

}  // namespace

QString StateText(ConnectionState state) {
    switch (state) {
        case ConnectionState::Connecting:
            return QStringLiteral(" Connecting");
        case ConnectionState::Connected:
            return QStringLiteral(" Connected");
        case ConnectionState::NotConnected:
            break;
    }
    return QStringLiteral(" Not Connected");
}

QString StateMessageText(ConnectionState state) {
    switch (state) {
        case ConnectionState::Connecting:
            return QStringLiteral(" Sending Password");
        case ConnectionState::Connected:
            return QStringLiteral(" MSG: Data Polling Started");
        case ConnectionState::NotConnected:
            break;
    }
    return QStringLiteral(" MSG:  Choose IP, then Click on Start");
}

QString PollingMessageText(int dots) {
    return QStringLiteral(" MSG: Data Polling ") + QString(dots, QLatin1Char('.'));
}

BoardLink::BoardLink(StationLookup lookup, TransportFactory factory, QObject* parent)
    : QObject(parent), m_lookup(std::move(lookup)), m_factory(std::move(factory)) {
    if (!m_factory) {
        m_factory = [] { return std::make_unique<SnmpSession>(); };
    }
    m_pollTimer.setSingleShot(true);
    m_pollTimer.setInterval(kPollIntervalMs);
    connect(&m_pollTimer, &QTimer::timeout, this, &BoardLink::PollTick);
    m_pollCopyTimer.setSingleShot(true);
    // A copy goes out when the try before it has timed out, not up to 5 %
    // earlier as a coarse timer may fire.
    m_pollCopyTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_pollCopyTimer, &QTimer::timeout, this, &BoardLink::SendPollCopy);
}

BoardLink::~BoardLink() {
    if (m_transport) {
        m_transport->Close();
        delete m_transport.data();
    }
}

void BoardLink::Start() {
    SetState(ConnectionState::Connecting);
    m_sendingStatus = true;
    const bool opened = StartSnmpSession();
    m_sendingStatus = false;
    if (!opened) {
        return;
    }
    Q_EMIT StartEnabledChanged(false);
    SendStatusRequest();
}

void BoardLink::SendStatusRequest() {
    const QString chosen = CurrentChoice();
    if (chosen != m_station) {
        SwitchStation(chosen);
    }
    m_sendingStatus = true;
    const Sent sent = SendRequest(chosen, board::kStatusRecord, PduType::Get, RequestValue::Null(),
                                  Resends::Poll);
    m_sendingStatus = false;
    if (sent.waiting) {
        // The station's row has not come from the directory yet: ask again
        // at the next tick, and say what the poll waits for.
        if (!m_waitingForDirectory) {
            m_waitingForDirectory = true;
            SetMessage(QString::fromLatin1(kWaitingForDirectory));
        }
        m_pollTimer.start();
        return;
    }
    if (m_waitingForDirectory && sent.id != 0) {
        m_waitingForDirectory = false;
        SetMessage(StateMessageText(m_state));
    }
    if (sent.id != 0) {
        m_statusPoll.Sent(sent.id);
        m_pollCopiesLeft = sent.retries;
    }
    if (sent.id != 0 && sent.retries > 0) {
        m_pollCopyTimer.start(sent.eachMs);
    } else {
        m_pollCopyTimer.stop();
    }
}

// net-snmp would resend the poll with the same id, and the answer could not
// tell which copy it answers: a 1,200 ms answer to the first copy, arriving
// 200 ms after a second one went out, would be timed from either. Each copy
// sent here has an id of its own and waits as long as the first, so the
// poll still ends lost when the first one's time-out comes, as net-snmp's
// would have.
void BoardLink::SendPollCopy() {
    if (m_statusPoll.InFlightId() == 0 || m_pollCopiesLeft <= 0) {
        return;
    }
    m_sendingStatus = true;
    const Sent sent = SendRequest(m_station, board::kStatusRecord, PduType::Get,
                                  RequestValue::Null(), Resends::PollCopy);
    m_sendingStatus = false;
    if (sent.id == 0) {
        return;
    }
    m_statusPoll.Resent(sent.id);
    if (--m_pollCopiesLeft > 0) {
        m_pollCopyTimer.start(sent.eachMs);
    }
}

void BoardLink::RetryWaitingRequest() {
    if (m_waitingForDirectory && m_pollTimer.isActive()) {
        PollTick();
    }
}

void BoardLink::ChooseStation(const QString& chooserText) {
    m_chosen = ChosenStation(chooserText);
    const QString chosen = m_chosen;
    if (chosen == m_station) {
        return;
    }
    SwitchStation(chosen);
    if (m_pollTimer.isActive()) {
        // The new station is polled a period later, so that typing an
        // address does not poll at every key.
        m_pollTimer.start(kPollIntervalMs);
    }
}

void BoardLink::SwitchStation(const QString& station) {
    qCDebug(lcLinkOperations) << "station" << m_station << "->" << station;
    m_station = station;
    // The old station's status answer is neither shown nor counted, and the
    // poll goes on with the new station.
    const bool polled = m_statusPoll.InFlightId() != 0;
    m_statusPoll.Forget();
    if (polled && m_state != ConnectionState::NotConnected) {
        m_pollTimer.start();
    }
    m_waitingForDirectory = false;
    std::unordered_map<int, std::deque<OperationStep>> steps;
    steps.swap(m_steps);
    for (auto& entry : steps) {
        for (OperationStep& step : entry.second) {
            if (step.station == station) {
                m_steps[entry.first].push_back(std::move(step));
            } else if (step.operation) {
                step.operation->Finish(OperationEnding::Cancelled,
                                       QString::fromLatin1(kOtherStationText));
            }
        }
    }
}

bool BoardLink::StartSnmpSession() {
    CloseTransport();
    ++m_generation;
    EndSteps();
    std::unique_ptr<SnmpTransport> transport = m_factory();
    if (!transport) {
        Fail(QString::fromLatin1(kErrorCreatingSession));
        return false;
    }
    m_transport = transport.release();
    m_transport->setParent(this);
    connect(m_transport, &SnmpTransport::ResponseReceived, this, &BoardLink::HandleBoardResponse);
    connect(m_transport, &SnmpTransport::TimedOut, this, &BoardLink::HandleTimeOut);
    connect(m_transport, &SnmpTransport::DeferredSendFailed, this, &BoardLink::FailSend);
    m_requestCounter = 500;
    m_statusPoll.Forget();
    m_wrongStatusSaid = false;
    return true;
}

bool BoardLink::SendBoardRequest(std::string_view oid, PduType type, const RequestValue& value) {
    return SendRequest(CurrentChoice(), oid, type, value).id != 0;
}

BoardLink::Sent BoardLink::SendRequest(const QString& station, std::string_view oid, PduType type,
                                       const RequestValue& value, Resends resends) {
    if (!m_transport) {
        Fail(QString::fromLatin1(kErrorCreatingSession));
        return {};
    }
    const std::optional<QString> address = CanonicalIpv4(station);
    if (!address) {
        Fail(QString::fromLatin1(kErrorAgentEntity));
        return {};
    }
    const StationLookupAnswer found = m_lookup ? m_lookup(station) : StationLookupAnswer();
    if (found.waiting) {
        return {0, true};
    }
    if (!found.record) {
        Fail(QString::fromLatin1(kErrorNotInDirectory));
        return {};
    }
    const std::optional<StationSettings> settings = StationSettingsOf(*address, *found.record);
    if (!settings) {
        Fail(QString::fromLatin1(kErrorSettingPort));
        return {};
    }
    BoardRequest request;
    request.station = *settings;
    const bool ownCopies =
        (resends == Resends::Poll || resends == Resends::PollCopy) && settings->retries > 0;
    if (resends == Resends::Never || ownCopies) {
        // Never resent by the session, but waited for as long as its
        // resends would have been: a slow station's answer still counts.
        request.station = StatusPoll::SentOnce(*settings);
        request.once = true;
    }
    if (!ParseDottedOid(oid)) {
        Fail(QString::fromLatin1(kErrorStringToOid));
        return {};
    }
    request.oid = std::string(oid);
    request.type = type;
    request.value = value;
    // Every request its own id: a resent request's late answer can only
    // ever match the request that asked.
    if (m_requestCounter == 0 || m_requestCounter == INT32_MAX) {
        m_requestCounter = routing::kFirstAutomaticId;  // the wrap is never reached in practice
    } else {
        ++m_requestCounter;
    }
    request.requestId = m_requestCounter;

    const SendStatus status = m_transport->Send(request);
    if (status != SendStatus::Accepted) {
        FailSend(status);
        return {};
    }
    if (resends != Resends::PollCopy) {
        SetSent(m_sent + 1);
    }
    return {request.requestId, false, settings->retries,
            static_cast<int>(StatusPoll::TryMs(*settings))};
}

BoardOperation* BoardLink::Begin(BoardOperation* operation, OperationStep step, PduType type,
                                 const RequestValue& value) {
    step.operation = operation;
    step.station = CurrentChoice();
    if (step.station != m_station) {
        SwitchStation(step.station);
    }
    // A screen still open after a refusal or STOP sends again: its request
    // opens the session as START does.
    if (!m_transport && !StartSnmpSession()) {
        return EndNotSent(operation);
    }
    const Sent sent = SendStep(std::move(step), type, value);
    if (sent.id == 0) {
        return EndNotSent(operation,
                          sent.waiting ? QString::fromLatin1(kDirectoryWaitingText) : QString());
    }
    Q_EMIT OperationStarted(operation);
    return operation;
}

BoardOperation* BoardLink::EndNotSent(BoardOperation* operation, const QString& text) {
    // Never ended inside the call that started it: the screen connects to
    // Ended after the command has returned.
    const QString ending = text.isEmpty() ? QString::fromLatin1(kNotSentText) : text;
    QTimer::singleShot(
        0, operation, [operation, ending] { operation->Finish(OperationEnding::NotSent, ending); });
    return operation;
}

BoardLink::Sent BoardLink::SendStep(OperationStep step, PduType type, const RequestValue& value) {
    const Sent sent = SendRequest(step.station, step.asked, type, value,
                                  step.once ? Resends::Never : Resends::NetSnmp);
    if (sent.id != 0) {
        m_steps[sent.id].push_back(std::move(step));
    }
    return sent;
}

std::optional<BoardLink::OperationStep> BoardLink::TakeStep(int requestId) {
    const auto it = m_steps.find(requestId);
    if (it == m_steps.end()) {
        return std::nullopt;
    }
    OperationStep step = std::move(it->second.front());
    it->second.pop_front();
    if (it->second.empty()) {
        m_steps.erase(it);
    }
    return step;
}

void BoardLink::EndSteps() {
    // Taken out first: an ending's receiver may send again.
    std::unordered_map<int, std::deque<OperationStep>> steps;
    steps.swap(m_steps);
    for (auto& entry : steps) {
        for (OperationStep& step : entry.second) {
            if (step.operation) {
                step.operation->Finish(OperationEnding::TimedOut,
                                       QString::fromLatin1(kStoppedText));
            }
        }
    }
}

void BoardLink::StopPolling() {
    m_pollTimer.stop();
    CloseTransport();
    ++m_generation;
    m_statusPoll.Forget();
    m_waitingForDirectory = false;
    EndSteps();
    Q_EMIT ReadoutsReset();
    SetSent(0);
    SetReceived(0);
    SetLost(0);
    m_timeOutsInRow = 0;
    Q_EMIT StartEnabledChanged(true);
    SetControlsEnabled(false);
    m_pollTicks = 0;
    SetState(ConnectionState::NotConnected);
}

void BoardLink::CloseTransport() {
    if (!m_transport) {
        return;
    }
    SnmpTransport* transport = m_transport.data();
    m_transport = nullptr;
    disconnect(transport, nullptr, this, nullptr);
    transport->Close();
    // Never destroyed from inside its own signal: StopPolling may run there.
    transport->deleteLater();
}

void BoardLink::PollTick() {
    if (m_waitingForDirectory) {
        // Not connected to anything yet: the texts stay as they are.
        m_pollTimer.stop();
        SendStatusRequest();
        return;
    }
    ++m_pollTicks;
    if (m_pollTicks == 1) {
        SetState(ConnectionState::Connected);
    } else if (m_pollTicks >= 2 && m_pollTicks <= 13) {
        SetMessage(PollingMessageText(m_pollTicks - 1));
        if (m_pollTicks == 13) {
            m_pollTicks = 1;
        }
    }
    m_pollTimer.stop();
    SendStatusRequest();
}

void BoardLink::HandleTimeOut(int requestId) {
    std::optional<OperationStep> step = TakeStep(requestId);
    if (!step) {
        if (m_statusPoll.TimeOut(requestId)) {
            CountLoss(true);
        }
        return;  // or a request forgotten when another station was chosen
    }
    if (step->operation) {
        // A change sent once may have been done all the same.
        if (step->once) {
            step->operation->Finish(OperationEnding::Unknown,
                                    QString::fromLatin1(kOutcomeUnknownText));
        } else {
            step->operation->Finish(OperationEnding::TimedOut, QString::fromLatin1(kNoAnswerText));
        }
    }
    CountLoss(false);
}

void BoardLink::CountLoss(bool statusPoll) {
    ++m_timeOutsInRow;
    if (m_timeOutsInRow >= kTimeOutLimit) {
        StopPolling();
        Q_EMIT StoppedByTimeOuts();
        return;
    }
    SetLost(m_lost + 1);
    // Only the poll's own loss re-arms the poll timer: a command's time-out
    // after STOP, or while a status request is in flight, starts no poll.
    if (statusPoll) {
        const quint64 generation = m_generation;
        Q_EMIT StatusTimedOut();
        if (generation == m_generation && m_state != ConnectionState::NotConnected) {
            m_pollTimer.start();
        }
    }
}

void BoardLink::HandleBoardResponse(const BoardResponse& response) {
    std::optional<OperationStep> step = TakeStep(response.requestId);
    const std::optional<StatusPollEnding> polled =
        step ? std::nullopt : m_statusPoll.Answer(response);
    if (!step && !polled) {
        // No request of this station waits for it: the poll of a station
        // chosen before. It is neither shown nor counted.
        qCDebug(lcLinkOperations) << "answer" << response.requestId << "belongs to nothing";
        return;
    }
    if (response.errorStatus != 0 || !response.hasBinding) {
        // Polling stops as for every failure; the operation that asked is
        // refused with the same text.
        const QString text = response.errorStatus != 0
                                 ? ErrorStatusText(response.errorStatus)
                                 : QString::fromLatin1(kErrorCountingBindings);
        m_sendingStatus = polled.has_value();
        Fail(text);
        m_sendingStatus = false;
        if (step && step->operation) {
            step->operation->Finish(OperationEnding::Refused, text, response.errorStatus);
        }
        return;
    }
    if (polled && polled->kind != StatusPollEnding::Kind::Answered) {
        // Not the status record: a failed poll, which the time-out rule
        // counts; polling never stalls on it.
        if (!std::exchange(m_wrongStatusSaid, true)) {
            qCWarning(lcLinkOperations) << "status request answered with" << response.oid.c_str();
        }
        CountLoss(true);
        return;
    }
    const quint64 generation = m_generation;
    const std::string_view value =
        IsOctetString(response) ? std::string_view(response.value.constData(),
                                                   static_cast<std::size_t>(response.value.size()))
                                : std::string_view();
    SetReceived(m_received + 1);
    m_timeOutsInRow = 0;

    if (polled) {
        m_lastRoundTripMs = static_cast<int>(polled->roundTripMs);
        Q_EMIT StatusRecordReceived(response.value);
        if (generation == m_generation) {
            m_pollTimer.start();
        }
    } else if (step->operation && step->operation->IsPending()) {
        RouteStep(*step, response, value);
    } else {
        // An operation given up: the answer is counted and goes nowhere.
        qCDebug(lcLinkOperations) << "answer" << response.requestId << "for an operation given up";
    }
    // A receiver may have stopped polling: then the controls stay disabled.
    // So do they for an answer to a screen's command sent while not polling
    // (an editor sending again after a refusal).
    if (generation != m_generation || m_state == ConnectionState::NotConnected) {
        return;
    }
    SetControlsEnabled(true);
}

void BoardLink::Fail(const QString& text) {
    // Unattended polling shows no box for the poll's own failure (nobody is
    // there to close it): it stops, says why, and starts again by itself.
    const bool quiet = m_restartsByItself && m_sendingStatus;
    StopPolling();
    Q_EMIT StoppedByError(text, !quiet);
}

void BoardLink::FailSend(SendStatus status) {
    switch (status) {
        case SendStatus::SessionFailed:
            Fail(QString::fromLatin1(kErrorCreatingSession));
            return;
        case SendStatus::BadIdentifier:
            Fail(QString::fromLatin1(kErrorStringToOid));
            return;
        case SendStatus::SendFailed:
            Fail(QString::fromLatin1(kErrorSendingPdu));
            return;
        case SendStatus::Accepted:
            return;
    }
}

void BoardLink::SetState(ConnectionState state) {
    m_state = state;
    Q_EMIT StateTextChanged(StateText(state));
    SetMessage(StateMessageText(state));
}

void BoardLink::SetMessage(const QString& text) {
    Q_EMIT MessageTextChanged(text);
}

void BoardLink::SetSent(int count) {
    m_sent = count;
    Q_EMIT CountersChanged(m_sent, m_received, m_lost);
}

void BoardLink::SetReceived(int count) {
    m_received = count;
    Q_EMIT CountersChanged(m_sent, m_received, m_lost);
}

void BoardLink::SetLost(int count) {
    m_lost = count;
    Q_EMIT CountersChanged(m_sent, m_received, m_lost);
}

void BoardLink::SetControlsEnabled(bool enabled) {
    if (m_controlsEnabled == enabled) {
        return;
    }
    m_controlsEnabled = enabled;
    Q_EMIT StationControlsEnabled(enabled);
}

}  // namespace volnar
