#include "link/board_link.h"

#include <climits>

#include "link/board_objects.h"
#include "link/snmp_session.h"
#include "panel/text_rules.h"

namespace volnar {

namespace {

constexpr int kChooserLength = 15;
// TIMEOUT counts in units of 64 hundredths of a second.
constexpr qint64 kTimeoutUnitMicroseconds = 64LL * 10'000LL;

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

QString CutChosenStation(const QString& chooserText) {
    QString text = chooserText.left(kChooserLength);
    while (!text.isEmpty() && text.back().unicode() < u'!') {
        text.chop(1);
    }
    return text;
}

BoardLink::BoardLink(MessageService& messages, StationLookup lookup, ChosenStationText chooser,
                     TransportFactory factory, QObject* parent)
    : QObject(parent),
      m_messages(messages),
      m_lookup(std::move(lookup)),
      m_chooser(std::move(chooser)),
      m_factory(std::move(factory)) {
    if (!m_factory) {
        m_factory = [] { return std::make_unique<SnmpSession>(); };
    }
    m_pollTimer.setSingleShot(true);
    m_pollTimer.setInterval(kPollIntervalMs);
    connect(&m_pollTimer, &QTimer::timeout, this, &BoardLink::PollTick);
}

BoardLink::~BoardLink() {
    if (m_transport) {
        m_transport->Close();
        delete m_transport.data();
    }
}

void BoardLink::Start() {
    SetState(ConnectionState::Connecting);
    if (!StartSnmpSession()) {
        return;
    }
    Q_EMIT StartEnabledChanged(false);
    SendStatusRequest();
}

void BoardLink::SendStatusRequest() {
    m_statusSent.start();
    SendBoardRequest(board::kStatusRecord, PduType::Get);
}

bool BoardLink::StartSnmpSession() {
    CloseTransport();
    ++m_generation;
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
    return true;
}

bool BoardLink::SendBoardRequest(std::string_view oid, PduType type, const RequestValue& value,
                                 int requestId) {
    if (!m_transport) {
        Fail(QString::fromLatin1(kErrorCreatingSession));
        return false;
    }
    const QString chosen = CutChosenStation(m_chooser ? m_chooser() : QString());
    const std::optional<QString> address = CanonicalIpv4(chosen);
    if (!address) {
        Fail(QString::fromLatin1(kErrorAgentEntity));
        return false;
    }
    const std::optional<StationRecord> record = m_lookup ? m_lookup(chosen) : std::nullopt;
    if (!record) {
        Fail(QString::fromLatin1(kErrorNotInDirectory));
        return false;
    }

    BoardRequest request;
    const std::string timeoutText = record->TIMEOUT.toStdString();
    const std::string retriesText = record->RETRIES.toStdString();
    const std::string portText = record->PORT.toStdString();
    const qint64 timeout = std::max<std::int32_t>(0, text::DecimalToInt(timeoutText));
    request.station.address = *address;
    request.station.timeoutMicroseconds = timeout * kTimeoutUnitMicroseconds;
    request.station.retries = std::max<std::int32_t>(0, text::DecimalToInt(retriesText));
    const std::int32_t port = text::DecimalToInt(portText);
    if (port < 1 || port > 65535) {
        Fail(QString::fromLatin1(kErrorSettingPort));
        return false;
    }
    request.station.port = static_cast<quint16>(port);
    request.station.community = StationBytes(record->PASSWORD);

    if (!ParseDottedOid(oid)) {
        Fail(QString::fromLatin1(kErrorStringToOid));
        return false;
    }
    request.oid = std::string(oid);
    request.type = type;
    request.value = value;
    if (requestId != 0) {
        request.requestId = requestId;
    } else {
        if (m_requestCounter == 0) {
            m_requestCounter = 500;
        } else if (m_requestCounter == INT32_MAX) {
            m_requestCounter = routing::kFirstAutomaticId;  // never reached in practice
        } else {
            ++m_requestCounter;
        }
        request.requestId = m_requestCounter;
    }

    const SendStatus status = m_transport->Send(request);
    if (status != SendStatus::Accepted) {
        FailSend(status);
        return false;
    }
    SetSent(m_sent + 1);
    return true;
}

void BoardLink::StopPolling() {
    m_pollTimer.stop();
    CloseTransport();
    ++m_generation;
    EndWalks(0, false);
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
    EndWalks(requestId, false);
    ++m_timeOutsInRow;
    if (m_timeOutsInRow >= kTimeOutLimit) {
        StopPolling();
        Q_EMIT StoppedByTimeOuts();
        if (!m_restartsByItself) {
            m_messages.ShowError(QString::fromLatin1(kErrorTimeOut));
        }
        return;
    }
    SetLost(m_lost + 1);
    Q_EMIT StatusTimedOut();
    m_pollTimer.start();
}

void BoardLink::HandleBoardResponse(const BoardResponse& response) {
    if (response.errorStatus != 0) {
        Fail(ErrorStatusText(response.errorStatus));
        return;
    }
    if (!response.hasBinding) {
        Fail(QString::fromLatin1(kErrorCountingBindings));
        return;
    }
    const quint64 generation = m_generation;
    const std::string_view value =
        IsOctetString(response) ? std::string_view(response.value.constData(),
                                                   static_cast<std::size_t>(response.value.size()))
                                : std::string_view();
    SetReceived(m_received + 1);
    m_timeOutsInRow = 0;

    const int id = response.requestId;
    const bool routedById = (id >= routing::kModemFirst && id <= routing::kAlertUpdate) ||
                            (id >= routing::kScriptUpdate && id <= routing::kChannelNotesLast) ||
                            (id >= routing::kAdcLoadAlerts && id <= routing::kChannelSettingsLast);
    const auto walk = m_walks.find(id);
    if (routedById) {
        RouteByRequestId(response, value);
    } else if (walk != m_walks.end() && !board::IsRowOf(response.oid, walk->second)) {
        // A walk's answer past its table ends the walk; the object beyond
        // the table is not taken for a row of the next table.
        const QString table = QString::fromStdString(walk->second);
        m_walks.erase(walk);
        Q_EMIT TableWalkEnded(table, true);
    } else {
        // A row of a walk continues it: the next step is registered when it
        // is sent.
        // (A receiver may have stopped polling and ended every walk.)
        RouteByIdentifier(response, value);
        m_walks.erase(id);
    }
    // A receiver may have stopped polling: then the controls stay disabled.
    if (generation != m_generation) {
        return;
    }
    SetControlsEnabled(true);
}

void BoardLink::RouteByRequestId(const BoardResponse& response, std::string_view value) {
    const int id = response.requestId;
    switch (id) {
        case routing::kModemFirst:
            Q_EMIT SmsModemTextReceived(SecondField(value));
            return;
        case routing::kAlertExecute:
            Q_EMIT NoticeRequested(25, NoticeFollowUp::ReopenAlertsList);
            return;
        case routing::kAlertDelete:
            Q_EMIT NoticeRequested(24, NoticeFollowUp::ReopenAlertsList);
            return;
        case routing::kAlertAdd:
            Q_EMIT NoticeRequested(26, NoticeFollowUp::ReopenAlertsList);
            return;
        case routing::kAlertUpdate:
            Q_EMIT NoticeRequested(27, NoticeFollowUp::ReopenAlertsList);
            return;
        case routing::kScriptUpdate:
            Q_EMIT NoticeRequested(3, NoticeFollowUp::ReopenScriptsList);
            return;
        case routing::kScriptAdd:
            Q_EMIT NoticeRequested(4, NoticeFollowUp::ReopenScriptsList);
            return;
        case routing::kScriptDelete:
            Q_EMIT NoticeRequested(5, NoticeFollowUp::ReopenScriptsList);
            return;
        case routing::kScriptExecute:
            Q_EMIT NoticeRequested(6, NoticeFollowUp::None);
            return;
        case routing::kStationName:
            Q_EMIT NoticeRequested(7, NoticeFollowUp::None);
            return;
        case routing::kAdcLoadAlerts:
            if (board::IsRowOf(response.oid, board::kAlertTable)) {
                const AdcListItem item = ListItemOfRow(value);
                Q_EMIT AdcLoadAlertItem(item.id, item.text);
                FollowUp(response.oid, PduType::GetNext, routing::kAdcLoadAlerts);
            } else {
                FollowUp(board::kScriptTable, PduType::GetNext, routing::kAdcLoadScripts);
            }
            return;
        case routing::kAdcLoadScripts:
            if (board::IsRowOf(response.oid, board::kScriptTable)) {
                const AdcListItem item = ListItemOfRow(value);
                Q_EMIT AdcLoadScriptItem(item.id, item.text);
                FollowUp(response.oid, PduType::GetNext, routing::kAdcLoadScripts);
            } else if (m_adcOptionsChannel >= 1 && m_adcOptionsChannel <= board::kChannelCount) {
                FollowUp(board::kChannelRecord[static_cast<std::size_t>(m_adcOptionsChannel)],
                         PduType::Get, routing::kAdcLoadRecord);
            }
            return;
        case routing::kAdcLoadRecord:
            Q_EMIT AdcChannelRecordReceived(ParseAdcChannelRecord(
                value, board::MemberIndex(board::kChannelRecord, response.oid)));
            return;
        default:
            break;
    }
    if (id >= routing::kChannelNameFirst && id <= routing::kChannelNotesLast) {
        // 425 "ADC 1 Name Changed !" (code 8) up to 440 "ADC 8 Note Changed !" (23).
        Q_EMIT NoticeRequested(id - 417, NoticeFollowUp::None);
    } else if (id >= routing::kChannelSettingsFirst && id <= routing::kChannelSettingsLast) {
        // 453 "ADC 1 Updated !" (code 28) up to 460 "ADC 8 Updated !" (35).
        Q_EMIT NoticeRequested(id - 425, NoticeFollowUp::None);
    }
}

bool BoardLink::RouteByIdentifier(const BoardResponse& response, std::string_view value) {
    const std::string& oid = response.oid;
    const bool walked = m_walks.count(response.requestId) != 0;
    if (board::IsRowOf(oid, board::kScriptTable)) {
        Q_EMIT ScriptRowReceived(ScriptRowCells(value));
        FollowUp(oid, PduType::GetNext, 0, walked ? board::kScriptTable : std::string_view());
        return true;
    }
    if (board::IsRowOf(oid, board::kAlertTable)) {
        Q_EMIT AlertRowReceived(AlertRowCells(value));
        FollowUp(oid, PduType::GetNext, 0, walked ? board::kAlertTable : std::string_view());
        return true;
    }
    if (board::IsRowOf(oid, board::kModemTable)) {
        Q_EMIT ModemRowReceived(SecondField(value));
        FollowUp(oid, PduType::GetNext, 0, walked ? board::kModemTable : std::string_view());
        return true;
    }
    if (oid == board::kStatusRecord) {
        const quint64 generation = m_generation;
        m_lastRoundTripMs = m_statusSent.isValid() ? static_cast<int>(m_statusSent.elapsed()) : 0;
        Q_EMIT StatusRecordReceived(IsOctetString(response) ? response.value : QByteArray());
        if (generation == m_generation) {
            m_pollTimer.start();
        }
        return true;
    }
    if (const int relay = board::MemberIndex(board::kRelayNotes, oid); relay != 0) {
        Q_EMIT RelayNotesReceived(relay, StationText(value));
        if (m_relayNotesPending != 0) {
            m_relayNotesPending = 0;
            Q_EMIT NoticeRequested(1, NoticeFollowUp::None);
        }
        return true;
    }
    if (const int relay = board::MemberIndex(board::kRelayName, oid); relay != 0) {
        Q_EMIT RelayNameReceived(relay, StationText(value));
        Q_EMIT NoticeRequested(2, NoticeFollowUp::None);
        return true;
    }
    // Nothing: this is also how every table walk ends.
    return false;
}

void BoardLink::FollowUp(std::string_view oid, PduType type, int requestId,
                         std::string_view walkTable) {
    const quint64 generation = m_generation;
    QTimer::singleShot(
        0, this,
        [this, generation, oid = std::string(oid), type, requestId, walk = std::string(walkTable)] {
            if (generation != m_generation || !m_transport) {
                if (!walk.empty()) {
                    Q_EMIT TableWalkEnded(QString::fromStdString(walk), false);
                }
                return;
            }
            if (SendBoardRequest(oid, type, RequestValue::Null(), requestId) && !walk.empty()) {
                m_walks[m_requestCounter] = walk;
            } else if (!walk.empty()) {
                Q_EMIT TableWalkEnded(QString::fromStdString(walk), false);
            }
        });
}

bool BoardLink::StartTableWalk(std::string_view table) {
    if (!SendBoardRequest(table, PduType::GetNext)) {
        Q_EMIT TableWalkEnded(
            QString::fromLatin1(table.data(), static_cast<qsizetype>(table.size())), false);
        return false;
    }
    m_walks[m_requestCounter] = std::string(table);
    return true;
}

void BoardLink::EndWalks(int requestId, bool complete) {
    // requestId 0 ends every walk (the connection stopped).
    for (auto it = m_walks.begin(); it != m_walks.end();) {
        if (requestId == 0 || it->first == requestId) {
            const QString table = QString::fromStdString(it->second);
            it = m_walks.erase(it);
            Q_EMIT TableWalkEnded(table, complete);
        } else {
            ++it;
        }
    }
}

void BoardLink::Fail(const QString& text) {
    StopPolling();
    m_messages.ShowError(text);
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
    Q_EMIT SentCountChanged(count);
}

void BoardLink::SetReceived(int count) {
    m_received = count;
    Q_EMIT ReceivedCountChanged(count);
}

void BoardLink::SetLost(int count) {
    m_lost = count;
    Q_EMIT LostCountChanged(count);
}

void BoardLink::SetControlsEnabled(bool enabled) {
    if (m_controlsEnabled == enabled) {
        return;
    }
    m_controlsEnabled = enabled;
    Q_EMIT StationControlsEnabled(enabled);
}

}  // namespace volnar
