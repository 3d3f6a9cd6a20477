#include "link/board_link.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPointer>
#include <QSignalSpy>
#include <functional>

#include "link/board_commands.h"
#include "link/board_objects.h"
#include "link/recording_transport.h"
#include "support/param_name.h"
#include "support/qt_print.h"
#include "support/recording_message_service.h"

namespace volnar {
namespace {

using testing::RecordingMessageService;

std::string Object(std::string_view suffix) {
    return std::string(board::kPrefix) + std::string(suffix);
}

BoardResponse Answer(std::string oid, QByteArray value, int requestId,
                     int syntax = kSyntaxOctetString) {
    BoardResponse r;
    r.requestId = requestId;
    r.oid = std::move(oid);
    r.value = std::move(value);
    r.syntax = syntax;
    return r;
}

class BoardLinkTest : public ::testing::Test {
public:
    void SetUp() override {
        owner.reset();
        messages.boxes.clear();
        allRequests.clear();
        sessionsMade = 0;
        station = StationRecord{
            QStringLiteral("127.0.0.1"), QStringLiteral("s3cret"), QString(),
            QStringLiteral("YES"),       QStringLiteral("1161"),   QStringLiteral("10"),
            QStringLiteral("2")};
        link = std::make_unique<BoardLink>(
            messages,
            [this](const QString& address) -> std::optional<StationRecord> {
                lookups << address;
                if (station && address == station->IPADDRESS) {
                    return station;
                }
                return std::nullopt;
            },
            [this] { return chooser; },
            [this]() -> std::unique_ptr<SnmpTransport> {
                ++sessionsMade;
                if (factoryFails) {
                    return nullptr;
                }
                auto made = std::make_unique<RecordingTransport>();
                made->alsoRecordTo = &allRequests;
                transport = made.get();
                return made;
            });
        owner = std::make_unique<QObject>();
    }

    // START with an accepted first request; the transport has recorded it.
    void Connect() {
        link->Start();
        ASSERT_TRUE(transport);
        ASSERT_EQ(transport->requests.size(), 1u);
        ASSERT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();
    }

    // Runs the queued follow-ups.
    static void Drain() { QCoreApplication::processEvents(); }

    std::size_t RequestCount() const { return transport ? transport->requests.size() : 0; }
    const BoardRequest& LastRequest() const { return transport->requests.back(); }

    RecordingMessageService messages;
    std::optional<StationRecord> station;
    QString chooser = QStringLiteral("127.0.0.1");
    QStringList lookups;
    bool factoryFails = false;
    int sessionsMade = 0;
    QPointer<RecordingTransport> transport;
    std::vector<BoardRequest> allRequests;  // of every session
    std::unique_ptr<BoardLink> link;
    std::unique_ptr<QObject> owner;  // the screen the operations belong to
};

// ---- Table walks ----------------------------------------------------------

TEST_F(BoardLinkTest, WalksHandTheirRowsOnAndEndAtTheFirstAnswerPastTheirTable) {
    struct Case {
        BoardTable table;
        std::string_view object;
        QByteArray value;
        QStringList fields;
        std::string beyond;  // what the station answers past the table
    } const cases[] = {
        {BoardTable::Scripts,
         board::kScriptTable,
         "7|relay|Pump|on 1|yes",
         {"7", "relay", "Pump", "on 1", "yes"},
         Object(".73.1")},
        {BoardTable::Scripts,
         board::kScriptTable,
         "6|io|X|y|z",
         {"6", "io", "X", "y", "z"},
         Object(".720")},
        {BoardTable::Alerts,
         board::kAlertTable,
         "3|sms|Night|555|a|b|c|d|e",
         {"3", "sms", "Night", "555", "a", "b", "c", "d", "e"},
         Object(".66.1")},
        // Past the modems lie the alerts: they are not read as alert rows.
        {BoardTable::Modems, board::kModemTable, "2|GSM B", {"2", "GSM B"}, Object(".65.1")},
    };
    for (const Case& c : cases) {
        SetUp();
        Connect();
        BoardOperation* walk = commands::WalkTable(*link, owner.get(), c.table);
        QSignalSpy rows(walk, &BoardOperation::RowReceived);
        QSignalSpy ended(walk, &BoardOperation::Ended);
        EXPECT_EQ(LastRequest().oid, c.object);
        EXPECT_EQ(LastRequest().type, PduType::GetNext);
        EXPECT_EQ(LastRequest().requestId, 502);

        const std::string row = std::string(c.object) + ".7";
        link->HandleBoardResponse(Answer(row, c.value, LastRequest().requestId));
        ASSERT_EQ(rows.size(), 1);
        EXPECT_EQ(rows[0].at(0).toStringList(), c.fields);
        // Never sent from inside the handler's own call.
        EXPECT_EQ(RequestCount(), 2u);
        Drain();
        ASSERT_EQ(RequestCount(), 3u);
        EXPECT_EQ(LastRequest().oid, row);  // continued from the row just received
        EXPECT_EQ(LastRequest().requestId, 503);

        link->HandleBoardResponse(Answer(c.beyond, "9|x|", LastRequest().requestId));
        Drain();
        ASSERT_EQ(ended.size(), 1) << c.beyond;
        EXPECT_EQ(walk->Ending(), OperationEnding::Done);
        EXPECT_EQ(walk->RowCount(), 1);
        EXPECT_EQ(RequestCount(), 3u) << "no request after the end of " << c.beyond;
        EXPECT_EQ(rows.size(), 1) << c.beyond;
    }
}

TEST_F(BoardLinkTest, IdentifiersAndValuesAreKeptWhole) {
    Connect();
    std::string deep = Object(".72");
    for (int i = 0; i < 40; ++i) {
        deep += ".4294967295";
    }
    ASSERT_GT(deep.size(), 99u);
    const QByteArray value = "8|script|" + QByteArray(2000, 'v');
    BoardOperation* walk = commands::WalkTable(*link, owner.get(), BoardTable::Scripts);
    QSignalSpy rows(walk, &BoardOperation::RowReceived);
    link->HandleBoardResponse(Answer(deep, value, LastRequest().requestId));
    Drain();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].at(0).toStringList().at(4).size(), 2000);
    EXPECT_EQ(LastRequest().oid, deep);
}

// ---- Operations: one ending each -------------------------------------------

struct EndingCase {
    const char* name;
    std::function<BoardOperation*(BoardLink&, QObject*)> start;
    // What happens to the request in flight (its id given).
    std::function<void(BoardLinkTest&, int requestId)> act;
    OperationEnding ending;
    const char* text;  // the operation's text; nullptr: not checked
    int boxes;
    std::size_t requests;  // requests sent in all, START's included
};

TEST_F(BoardLinkTest, EveryOperationEndsExactlyOnceAndSaysHow) {
    auto walkScripts = [](BoardLink& l, QObject* o) {
        return commands::WalkTable(l, o, BoardTable::Scripts);
    };
    auto uploadScript = [](BoardLink& l, QObject* o) {
        return commands::UploadScript(l, o, false, "1|relay|a|b|00|");
    };
    const EndingCase cases[] = {
        {"timed out", uploadScript, [](BoardLinkTest& t, int id) { t.link->HandleTimeOut(id); },
         OperationEnding::TimedOut, kNoAnswerText, 0, 2},
        {"refused", uploadScript,
         [](BoardLinkTest& t, int id) {
             BoardResponse r = Answer(Object(".69"), "x", id);
             r.errorStatus = 3;
             t.link->HandleBoardResponse(r);
         },
         OperationEnding::Refused, "SNMP_ERR_BADVALUE", 1, 2},
        {"no binding", uploadScript,
         [](BoardLinkTest& t, int id) {
             BoardResponse r;
             r.requestId = id;
             r.hasBinding = false;
             t.link->HandleBoardResponse(r);
         },
         OperationEnding::Refused, kErrorCountingBindings, 1, 2},
        {"stopped", uploadScript, [](BoardLinkTest& t, int) { t.link->StopPolling(); },
         OperationEnding::TimedOut, kStoppedText, 0, 2},
        {"stopped between two steps of a walk", walkScripts,
         [](BoardLinkTest& t, int id) {
             t.link->HandleBoardResponse(Answer(Object(".72.1"), "1|a|b|c|d", id));
             t.link->StopPolling();
         },
         OperationEnding::TimedOut, kStoppedText, 0, 2},
        {"given up", walkScripts,
         [](BoardLinkTest& t, int id) {
             t.link->HandleBoardResponse(Answer(Object(".72.1"), "1|a|b|c|d", id));
             t.owner->findChild<BoardOperation*>()->Cancel();
         },
         OperationEnding::Cancelled, nullptr, 0, 2},
        // A station that answers a GETNEXT with the object asked would keep
        // the walk going for ever.
        {"walk that does not advance", walkScripts,
         [](BoardLinkTest& t, int id) {
             t.link->HandleBoardResponse(Answer(Object(".72.5"), "5|a|b|c|d", id));
             Drain();
             t.link->HandleBoardResponse(
                 Answer(Object(".72.5"), "5|a|b|c|d", t.LastRequest().requestId));
             Drain();
         },
         OperationEnding::Refused, kWalkStuckText, 0, 3},
        {"walk that goes back", walkScripts,
         [](BoardLinkTest& t, int id) {
             t.link->HandleBoardResponse(Answer(Object(".72.5.2"), "5|a|b|c|d", id));
             Drain();
             t.link->HandleBoardResponse(
                 Answer(Object(".72.5.1"), "5|a|b|c|d", t.LastRequest().requestId));
             Drain();
         },
         OperationEnding::Refused, kWalkStuckText, 0, 3},
        // Only the echo of the relay asked for confirms its notes.
        {"echo of another relay",
         [](BoardLink& l, QObject* o) { return commands::SetRelayNotes(l, o, 1, "n"); },
         [](BoardLinkTest& t, int id) {
             t.link->HandleBoardResponse(Answer(std::string(board::kRelayNotes[2]), "n", id));
         },
         OperationEnding::Refused, kWrongAnswerText, 0, 2},
        {"record of another channel",
         [](BoardLink& l, QObject* o) { return commands::LoadChannelOptions(l, o, 2); },
         [](BoardLinkTest& t, int id) {
             t.link->HandleBoardResponse(Answer(Object(".66.1"), "", id));  // no alerts
             Drain();
             t.link->HandleBoardResponse(Answer(Object(".73.1"), "", t.LastRequest().requestId));
             Drain();
             t.link->HandleBoardResponse(Answer(Object(".66.3"), "", t.LastRequest().requestId));
         },
         OperationEnding::Refused, kWrongAnswerText, 0, 4},
    };
    for (const EndingCase& c : cases) {
        SetUp();
        Connect();
        QSignalSpy notices(link.get(), &BoardLink::NoticeRequested);
        BoardOperation* operation = c.start(*link, owner.get());
        QSignalSpy ended(operation, &BoardOperation::Ended);
        const int id = LastRequest().requestId;
        c.act(*this, id);
        Drain();
        ASSERT_EQ(ended.size(), 1) << c.name;
        EXPECT_EQ(ended[0].at(0).value<OperationEnding>(), c.ending) << c.name;
        EXPECT_EQ(operation->Ending(), c.ending) << c.name;
        if (c.text != nullptr) {
            EXPECT_EQ(operation->Text(), QString::fromLatin1(c.text)) << c.name;
        }
        EXPECT_EQ(static_cast<int>(messages.boxes.size()), c.boxes) << c.name;
        EXPECT_EQ(allRequests.size(), c.requests) << c.name;
        EXPECT_TRUE(notices.isEmpty()) << c.name;
        // Whatever comes later for it changes nothing.
        link->HandleBoardResponse(Answer(Object(".69"), "x", id));
        link->HandleTimeOut(id);
        Drain();
        EXPECT_EQ(ended.size(), 1) << c.name;
        EXPECT_TRUE(notices.isEmpty()) << c.name;
    }
}

TEST_F(BoardLinkTest, AnOperationThatCannotBeSentEndsAfterTheCallHasReturned) {
    Connect();
    chooser = QStringLiteral("not an address");
    BoardOperation* operation = commands::RenameStation(*link, owner.get(), "Hut");
    EXPECT_EQ(operation->Ending(), OperationEnding::Pending);
    QSignalSpy ended(operation, &BoardOperation::Ended);
    Drain();
    ASSERT_EQ(ended.size(), 1);
    EXPECT_EQ(operation->Ending(), OperationEnding::NotSent);
    EXPECT_EQ(messages.Texts(), QStringList{kErrorAgentEntity});
}

TEST_F(BoardLinkTest, AnswersForAGivenUpOperationAreCountedAndGoNowhere) {
    Connect();
    auto screen = std::make_unique<QObject>();
    BoardOperation* walk = commands::WalkTable(*link, screen.get(), BoardTable::Alerts);
    QSignalSpy rows(walk, &BoardOperation::RowReceived);
    const int id = LastRequest().requestId;
    screen.reset();  // the list closes while its walk is in flight
    QSignalSpy notices(link.get(), &BoardLink::NoticeRequested);
    link->HandleBoardResponse(Answer(Object(".65.1"), "1|email|a|b|c", id));
    Drain();
    EXPECT_EQ(link->ReceivedCount(), 1);
    EXPECT_EQ(RequestCount(), 2u) << "the walk goes no further";

    // The same for a confirmation: no notice, no list re-opened.
    screen = std::make_unique<QObject>();
    commands::UploadAlert(*link, screen.get(), true, "0|SMS|a|");
    screen.reset();
    link->HandleBoardResponse(Answer(Object(".62"), "x", routing::kAlertAdd));
    Drain();
    EXPECT_TRUE(notices.isEmpty());
    EXPECT_EQ(link->ReceivedCount(), 2);
}

TEST_F(BoardLinkTest, ACommandAfterARefusalOpensTheSessionAsStartDoes) {
    Connect();
    BoardOperation* first = commands::UploadScript(*link, owner.get(), true, "0|io|a|b|00|");
    BoardResponse refusal = Answer(Object(".69"), "x", routing::kScriptAdd);
    refusal.errorStatus = 3;
    link->HandleBoardResponse(refusal);
    EXPECT_EQ(first->Ending(), OperationEnding::Refused);
    EXPECT_FALSE(link->IsSessionOpen());
    messages.boxes.clear();

    // The editor is still open and sends again.
    BoardOperation* second = commands::UploadScript(*link, owner.get(), true, "0|io|a|b|00|");
    EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();
    EXPECT_EQ(sessionsMade, 2);
    ASSERT_EQ(RequestCount(), 1u);
    EXPECT_EQ(LastRequest().requestId, routing::kScriptAdd);
    link->HandleBoardResponse(Answer(Object(".69"), "x", routing::kScriptAdd));
    EXPECT_EQ(second->Ending(), OperationEnding::Done);
    EXPECT_FALSE(link->StationControlsAreEnabled()) << "not polling: START stays the way back";
    EXPECT_EQ(link->State(), ConnectionState::NotConnected);
}

// ---- Sender -------------------------------------------------------------

TEST_F(BoardLinkTest, AutomaticIdsStartAt501AndFixedIdsLeaveTheCounterAlone) {
    Connect();
    EXPECT_EQ(transport->requests[0].requestId, 501);
    EXPECT_EQ(transport->requests[0].oid, board::kStatusRecord);
    EXPECT_EQ(transport->requests[0].type, PduType::Get);
    EXPECT_EQ(transport->requests[0].value.syntax, kSyntaxNull);

    ASSERT_TRUE(link->SendBoardRequest(board::kChannelRecord[3], PduType::Get, RequestValue::Null(),
                                       routing::kAdcLoadRecord));
    EXPECT_EQ(LastRequest().requestId, 452);
    link->PollTick();
    EXPECT_EQ(LastRequest().requestId, 502);
    link->PollTick();
    EXPECT_EQ(LastRequest().requestId, 503);
    EXPECT_EQ(link->SentCount(), 4);

    // A new session restarts the counter.
    link->StopPolling();
    Connect();
    EXPECT_EQ(LastRequest().requestId, 501);
}

TEST_F(BoardLinkTest, StationSettingsComeFromTheDirectoryRow) {
    Connect();
    const StationSettings& s = transport->requests[0].station;
    EXPECT_EQ(s.address, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(s.port, 1161);
    EXPECT_EQ(s.community, QByteArray("s3cret"));
    EXPECT_EQ(s.timeoutMicroseconds, 6'400'000);  // TIMEOUT 10 -> 640 hundredths
    EXPECT_EQ(s.retries, 2);
}

TEST_F(BoardLinkTest, TheRowIsLookedUpAfreshForEveryRequest) {
    Connect();
    station->PORT = QStringLiteral("2161");
    station->TIMEOUT = QStringLiteral("1");
    station->RETRIES = QStringLiteral("0");
    station->PASSWORD = QStringLiteral("other");
    link->PollTick();
    EXPECT_EQ(lookups.size(), 2);
    const StationSettings& s = LastRequest().station;
    EXPECT_EQ(s.port, 2161);
    EXPECT_EQ(s.timeoutMicroseconds, 640'000);
    EXPECT_EQ(s.retries, 0);
    EXPECT_EQ(s.community, QByteArray("other"));
}

TEST_F(BoardLinkTest, ChooserTextIsCutToFifteenCharactersAndTrailingBlanks) {
    const struct {
        QString chooser;
        QString lookedUp;
    } cases[] = {
        {QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.1")},
        {QStringLiteral("127.0.0.1  \t"), QStringLiteral("127.0.0.1")},
        {QStringLiteral("127.0.0.1      comment"), QStringLiteral("127.0.0.1")},
        {QStringLiteral("127.000.000.001"), QStringLiteral("127.000.000.001")},
    };
    for (const auto& c : cases) {
        lookups.clear();
        station->IPADDRESS = c.lookedUp;
        chooser = c.chooser;
        link->StopPolling();
        Connect();
        EXPECT_EQ(lookups, QStringList{c.lookedUp}) << c.chooser.toStdString();
        EXPECT_EQ(LastRequest().station.address, QStringLiteral("127.0.0.1"));
    }
    EXPECT_EQ(CutChosenStation(QStringLiteral("   ")), QString());
    EXPECT_EQ(CutChosenStation(QStringLiteral(" 127.0.0.1")), QStringLiteral(" 127.0.0.1"));
}

TEST_F(BoardLinkTest, SetValuesAreHandedOverAsGiven) {
    Connect();
    ASSERT_TRUE(link->SendBoardRequest(board::kRelayName[2], PduType::Set, RequestValue::Text({})));
    EXPECT_EQ(LastRequest().type, PduType::Set);
    EXPECT_EQ(LastRequest().value.syntax, kSyntaxOctetString);
    EXPECT_TRUE(LastRequest().value.octets.isEmpty());
    ASSERT_TRUE(
        link->SendBoardRequest(board::kRelaySwitch[1], PduType::Set, RequestValue::Integer(-7)));
    EXPECT_EQ(LastRequest().value.syntax, kSyntaxInteger);
    EXPECT_EQ(LastRequest().value.integer, -7);
}

struct SendFailureCase {
    const char* name;
    std::function<void(BoardLinkTest&)> arrange;
    const char* message;
    bool lookedUp;
};
VOLNAR_PRINT_CASE_NAME(SendFailureCase)

class BoardLinkSendFailureTest : public BoardLinkTest,
                                 public ::testing::WithParamInterface<SendFailureCase> {};

TEST_P(BoardLinkSendFailureTest, StopsPollingShowsOneErrorBoxAndCountsNothing) {
    const SendFailureCase& c = GetParam();
    c.arrange(*this);
    QSignalSpy sent(link.get(), &BoardLink::SentCountChanged);
    QSignalSpy state(link.get(), &BoardLink::StateTextChanged);
    link->Start();

    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].text, QString::fromLatin1(c.message));
    EXPECT_EQ(messages.boxes[0].icon, MessageIcon::Error);
    EXPECT_EQ(messages.boxes[0].caption, QStringLiteral("  Volnar"));
    EXPECT_EQ(RequestCount(), 0u);
    EXPECT_EQ(link->SentCount(), 0);
    for (const auto& args : sent) {
        EXPECT_EQ(args.at(0).toInt(), 0);
    }
    EXPECT_EQ(link->State(), ConnectionState::NotConnected);
    EXPECT_FALSE(link->IsSessionOpen());
    ASSERT_GE(state.size(), 2);
    EXPECT_EQ(state.first().at(0).toString(), QStringLiteral(" Connecting"));
    EXPECT_EQ(state.last().at(0).toString(), QStringLiteral(" Not Connected"));
    EXPECT_EQ(!lookups.isEmpty(), c.lookedUp);
}

const SendFailureCase kSendFailures[] = {
    {"HostName", [](BoardLinkTest& t) { t.chooser = QStringLiteral("localhost"); },
     "Error String To Entity Agent!\r\nIt's Over !!", false},
    {"ThreeFields", [](BoardLinkTest& t) { t.chooser = QStringLiteral("127.0.0"); },
     "Error String To Entity Agent!\r\nIt's Over !!", false},
    {"LeadingBlank", [](BoardLinkTest& t) { t.chooser = QStringLiteral(" 127.0.0.1"); },
     "Error String To Entity Agent!\r\nIt's Over !!", false},
    {"EmptyChooser", [](BoardLinkTest& t) { t.chooser = QString(); },
     "Error String To Entity Agent!\r\nIt's Over !!", false},
    {"NotInDirectory", [](BoardLinkTest& t) { t.chooser = QStringLiteral("127.0.0.2"); },
     "SQL general overness, can't find the IP Address in the Database!", true},
    {"PortZero", [](BoardLinkTest& t) { t.station->PORT = QStringLiteral("0"); },
     "Error Setting Manager Port!\r\nIt's Over !!", true},
    {"PortTooLarge", [](BoardLinkTest& t) { t.station->PORT = QStringLiteral("65536"); },
     "Error Setting Manager Port!\r\nIt's Over !!", true},
    {"SessionCannotOpen",
     [](BoardLinkTest& t) {
         QObject::connect(t.link.get(), &BoardLink::StartEnabledChanged, t.link.get(), [&t] {
             if (t.transport) {
                 t.transport->nextStatus = SendStatus::SessionFailed;
             }
         });
     },
     "Error Creating SNMP Session!\r\nIt's Over !!", true},
    {"SendRefused",
     [](BoardLinkTest& t) {
         QObject::connect(t.link.get(), &BoardLink::StartEnabledChanged, t.link.get(), [&t] {
             if (t.transport) {
                 t.transport->nextStatus = SendStatus::SendFailed;
             }
         });
     },
     "Error Sending PDU Message!\r\nIt's Over !!", true},
    {"NoSessionObject", [](BoardLinkTest& t) { t.factoryFails = true; },
     "Error Creating SNMP Session!\r\nIt's Over !!", false},
};

INSTANTIATE_TEST_SUITE_P(Steps, BoardLinkSendFailureTest, ::testing::ValuesIn(kSendFailures),
                         ::volnar::testing::ByCaseName{});

TEST_F(BoardLinkTest, AnIdentifierThatCannotBeParsedIsReportedBeforeSending) {
    Connect();
    EXPECT_FALSE(link->SendBoardRequest("1.3.6..1", PduType::Get));
    EXPECT_EQ(messages.Texts(), QStringList{"Error Setting String to OID!\r\nIt's Over !!"});
    EXPECT_EQ(RequestCount(), 1u);
    EXPECT_EQ(link->State(), ConnectionState::NotConnected);
}

TEST_F(BoardLinkTest, SendingWithoutASessionIsRefused) {
    EXPECT_FALSE(link->SendBoardRequest(board::kStatusRecord, PduType::Get));
    EXPECT_EQ(messages.Texts(), QStringList{"Error Creating SNMP Session!\r\nIt's Over !!"});
    EXPECT_EQ(link->SentCount(), 0);
}

TEST_F(BoardLinkTest, ADeferredSendFailureStopsPolling) {
    Connect();
    Q_EMIT transport->DeferredSendFailed(SendStatus::SendFailed);
    EXPECT_EQ(messages.Texts(), QStringList{"Error Sending PDU Message!\r\nIt's Over !!"});
    EXPECT_EQ(link->State(), ConnectionState::NotConnected);
}

// ---- Commands: the wire and the notices -------------------------------------

struct CommandCase {
    const char* name;
    std::function<BoardOperation*(BoardLink&, QObject*)> start;
    std::string oid;
    PduType type;
    RequestValue value;
    int requestId;  // 0: the next automatic id
    int notice;     // 0: none
    const char* noticeText;
    NoticeFollowUp followUp;
};

TEST_F(BoardLinkTest, CommandsGoOutAsTheStationKnowsThemAndTheirAnswerBringsTheNotice) {
    using F = NoticeFollowUp;
    const QByteArray record = "1|relay|a|b|00|";
    const CommandCase cases[] = {
        {"switch on", [](BoardLink& l, QObject* o) { return commands::SwitchRelay(l, o, 2, true); },
         Object(".75.2"), PduType::Set, RequestValue::Integer(1), 0, 0, "", F::None},
        {"switch off",
         [](BoardLink& l, QObject* o) { return commands::SwitchRelay(l, o, 4, false); },
         Object(".75.4"), PduType::Set, RequestValue::Integer(0), 0, 0, "", F::None},
        {"pulse", [](BoardLink& l, QObject* o) { return commands::PulseRelay(l, o, 3, 17); },
         Object(".73.3"), PduType::Set, RequestValue::Integer(17), 0, 0, "", F::None},
        {"relay name",
         [](BoardLink& l, QObject* o) { return commands::SetRelayName(l, o, 1, "P"); },
         Object(".74.1"), PduType::Set, RequestValue::Text("P"), 0, 2, "Relay Name Updated!",
         F::None},
        {"relay notes",
         [](BoardLink& l, QObject* o) { return commands::SetRelayNotes(l, o, 3, "N"); },
         Object(".76.3"), PduType::Set, RequestValue::Text("N"), 0, 1, "Relay Notes Updated!",
         F::None},
        // A plain read of the notes never brings the notice.
        {"read notes", [](BoardLink& l, QObject* o) { return commands::ReadRelayNotes(l, o, 3); },
         Object(".76.3"), PduType::Get, RequestValue::Null(), 0, 0, "", F::None},
        {"station name",
         [](BoardLink& l, QObject* o) { return commands::RenameStation(l, o, "Hut"); },
         std::string(board::kSysName), PduType::Set, RequestValue::Text("Hut"), 424, 7,
         "Station Name Changed !", F::None},
        {"channel 1 name",
         [](BoardLink& l, QObject* o) { return commands::SetChannelName(l, o, 1, "A"); },
         Object(".67.1"), PduType::Set, RequestValue::Text("A"), 425, 8, "ADC 1 Name Changed !",
         F::None},
        {"channel 3 name",
         [](BoardLink& l, QObject* o) { return commands::SetChannelName(l, o, 3, "A"); },
         Object(".67.3"), PduType::Set, RequestValue::Text("A"), 429, 12, "ADC 3 Name Changed !",
         F::None},
        {"channel 8 notes",
         [](BoardLink& l, QObject* o) { return commands::SetChannelNotes(l, o, 8, ""); },
         Object(".68.8"), PduType::Set, RequestValue::Text(""), 440, 23, "ADC 8 Note Changed !",
         F::None},
        {"channel 1 settings",
         [&](BoardLink& l, QObject* o) { return commands::UploadChannelSettings(l, o, 1, record); },
         Object(".78.1"), PduType::Set, RequestValue::Text(record), 453, 28, "ADC 1 Updated !",
         F::None},
        {"channel 7 settings",
         [&](BoardLink& l, QObject* o) { return commands::UploadChannelSettings(l, o, 7, record); },
         Object(".78.7"), PduType::Set, RequestValue::Text(record), 459, 34, "ADC 7 Updated !",
         F::None},
        {"new script",
         [&](BoardLink& l, QObject* o) { return commands::UploadScript(l, o, true, record); },
         Object(".69"), PduType::Set, RequestValue::Text(record), 421, 4, "Script Added!",
         F::ReopenScriptsList},
        {"script update",
         [&](BoardLink& l, QObject* o) { return commands::UploadScript(l, o, false, record); },
         Object(".69"), PduType::Set, RequestValue::Text(record), 420, 3, "Script Updated!",
         F::ReopenScriptsList},
        {"new alert",
         [&](BoardLink& l, QObject* o) { return commands::UploadAlert(l, o, true, record); },
         Object(".62"), PduType::Set, RequestValue::Text(record), 412, 26, "Alert Added !",
         F::ReopenAlertsList},
        {"alert update",
         [&](BoardLink& l, QObject* o) { return commands::UploadAlert(l, o, false, record); },
         Object(".62"), PduType::Set, RequestValue::Text(record), 413, 27, "Alert Updated !",
         F::ReopenAlertsList},
        {"execute script",
         [](BoardLink& l, QObject* o) {
             return commands::ExecuteRow(l, o, BoardTable::Scripts, 7);
         },
         Object(".70"), PduType::Set, RequestValue::Integer(7), 423, 6, "Script Executed!",
         F::None},
        {"delete script",
         [](BoardLink& l, QObject* o) { return commands::DeleteRow(l, o, BoardTable::Scripts, 8); },
         Object(".71"), PduType::Set, RequestValue::Integer(8), 422, 5, "Script Deleted!",
         F::ReopenScriptsList},
        {"execute alert",
         [](BoardLink& l, QObject* o) { return commands::ExecuteRow(l, o, BoardTable::Alerts, 1); },
         Object(".63"), PduType::Set, RequestValue::Integer(1), 410, 25, "Alert Executed !",
         F::ReopenAlertsList},
        {"delete alert",
         [](BoardLink& l, QObject* o) { return commands::DeleteRow(l, o, BoardTable::Alerts, 2); },
         Object(".64"), PduType::Set, RequestValue::Integer(2), 411, 24, "Alert Deleted !",
         F::ReopenAlertsList},
    };
    for (const CommandCase& c : cases) {
        SetUp();
        Connect();
        QSignalSpy started(link.get(), &BoardLink::OperationStarted);
        QSignalSpy notices(link.get(), &BoardLink::NoticeRequested);
        BoardOperation* operation = c.start(*link, owner.get());
        ASSERT_EQ(RequestCount(), 2u) << c.name;
        ASSERT_EQ(started.size(), 1) << c.name;
        const BoardRequest& sent = LastRequest();
        EXPECT_EQ(sent.oid, c.oid) << c.name;
        EXPECT_EQ(sent.type, c.type) << c.name;
        EXPECT_EQ(sent.value.syntax, c.value.syntax) << c.name;
        EXPECT_EQ(sent.value.integer, c.value.integer) << c.name;
        EXPECT_EQ(sent.value.octets, c.value.octets) << c.name;
        EXPECT_EQ(sent.requestId, c.requestId == 0 ? 502 : c.requestId) << c.name;
        EXPECT_EQ(link->LastRequestId(), c.requestId == 0 ? 502 : 501) << c.name;

        // A SET's answer echoes its binding.
        link->HandleBoardResponse(Answer(sent.oid, "echo", sent.requestId));
        EXPECT_EQ(operation->Ending(), OperationEnding::Done) << c.name;
        ASSERT_EQ(notices.size(), c.notice == 0 ? 0 : 1) << c.name;
        if (c.notice != 0) {
            EXPECT_EQ(notices[0].at(0).toInt(), c.notice) << c.name;
            EXPECT_EQ(NoticeText(c.notice), QString::fromLatin1(c.noticeText)) << c.name;
            EXPECT_EQ(notices[0].at(1).value<NoticeFollowUp>(), c.followUp) << c.name;
        }
        Drain();
        EXPECT_EQ(RequestCount(), 2u) << c.name << ": an answer sends nothing";
        EXPECT_TRUE(messages.boxes.empty()) << c.name;
        EXPECT_TRUE(link->StationControlsAreEnabled()) << c.name;
    }
}

TEST_F(BoardLinkTest, RelayEchoesAreTheOperationsResultWhateverTheirSyntax) {
    Connect();
    BoardOperation* notes = commands::ReadRelayNotes(*link, owner.get(), 4);
    link->HandleBoardResponse(
        Answer(std::string(board::kRelayNotes[4]), QByteArray("two\0lines", 9), 502));
    EXPECT_EQ(notes->Echo(), QString::fromLatin1(QByteArray("two\0lines", 9)));
    BoardOperation* name = commands::SetRelayName(*link, owner.get(), 1, "Pump");
    link->HandleBoardResponse(
        Answer(std::string(board::kRelayName[1]), "\x02\x01\x05", 503, kSyntaxInteger));
    EXPECT_EQ(name->Ending(), OperationEnding::Done);
    EXPECT_EQ(name->Echo(), QString());
}

TEST_F(BoardLinkTest, NotesSentBeforeAStopAreNotConfirmedByALaterRead) {
    Connect();
    QSignalSpy notices(link.get(), &BoardLink::NoticeRequested);
    BoardOperation* update = commands::SetRelayNotes(*link, owner.get(), 1, "new");
    link->StopPolling();
    EXPECT_EQ(update->Ending(), OperationEnding::TimedOut);
    Connect();
    BoardOperation* read = commands::ReadRelayNotes(*link, owner.get(), 1);
    link->HandleBoardResponse(Answer(std::string(board::kRelayNotes[1]), "old", 502));
    EXPECT_EQ(read->Echo(), QStringLiteral("old"));
    EXPECT_TRUE(notices.isEmpty());
}

TEST_F(BoardLinkTest, AnswersThatBelongToNoOperationShowOnlyAStatusRecord) {
    Connect();
    for (const int id : {409, 414, 423, 450, 452, 501, 777}) {
        QSignalSpy status(link.get(), &BoardLink::StatusRecordReceived);
        QSignalSpy notices(link.get(), &BoardLink::NoticeRequested);
        link->HandleBoardResponse(Answer(std::string(board::kStatusRecord), "a|b", id));
        link->HandleBoardResponse(Answer(Object(".72.1"), "1|a|b|c|d", id));
        link->HandleBoardResponse(Answer(Object(".66.1"), "1|a|b|c|d", id));
        Drain();
        EXPECT_EQ(status.size(), 1) << id;
        EXPECT_EQ(notices.size(), 0) << id;
    }
    EXPECT_EQ(RequestCount(), 1u);
    EXPECT_EQ(link->ReceivedCount(), 21);
    EXPECT_TRUE(messages.boxes.empty());
}

TEST_F(BoardLinkTest, StatusRecordIsShownWholeThenThePollTimerIsArmed) {
    Connect();
    QByteArray record;
    for (int i = 0; i < 60; ++i) {
        record += QByteArray(90, static_cast<char>('a' + i % 26)) + '|';
    }
    ASSERT_GT(record.size(), 5000);
    bool timerArmedWhenShown = true;
    QByteArray shown;
    QObject::connect(link.get(), &BoardLink::StatusRecordReceived, link.get(),
                     [&](const QByteArray& v) {
                         shown = v;
                         timerArmedWhenShown = link->IsPollTimerActive();
                     });
    QSignalSpy controls(link.get(), &BoardLink::StationControlsEnabled);
    link->HandleBoardResponse(Answer(std::string(board::kStatusRecord), record, 501));
    EXPECT_EQ(shown, record);
    EXPECT_FALSE(timerArmedWhenShown);
    EXPECT_TRUE(link->IsPollTimerActive());
    ASSERT_EQ(controls.size(), 1);
    EXPECT_TRUE(controls[0].at(0).toBool());
    EXPECT_EQ(link->ReceivedCount(), 1);
}

// ---- Dispatcher: error statuses, missing bindings, time-outs ----------------

TEST_F(BoardLinkTest, EveryErrorStatusShowsExactlyOneBoxAndIsNotCounted) {
    // The texts themselves are checked with ErrorStatusText.
    for (const int errorStatus :
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, -3}) {
        const struct {
            int status;
            QString text;
        } c{errorStatus, ErrorStatusText(errorStatus)};
        messages.boxes.clear();
        link->StopPolling();
        Connect();
        QSignalSpy received(link.get(), &BoardLink::ReceivedCountChanged);
        QSignalSpy status(link.get(), &BoardLink::StatusRecordReceived);
        BoardResponse r = Answer(std::string(board::kStatusRecord), "a|b", 501);
        r.errorStatus = c.status;
        link->HandleBoardResponse(r);
        ASSERT_EQ(messages.boxes.size(), 1u) << c.status;
        EXPECT_EQ(messages.boxes[0].text, c.text);
        EXPECT_EQ(messages.boxes[0].icon, MessageIcon::Error);
        EXPECT_EQ(status.size(), 0);
        for (const auto& args : received) {
            EXPECT_EQ(args.at(0).toInt(), 0) << c.status;
        }
        EXPECT_EQ(link->State(), ConnectionState::NotConnected);
        EXPECT_FALSE(link->StationControlsAreEnabled());
        EXPECT_FALSE(link->IsPollTimerActive());
    }
}

TEST_F(BoardLinkTest, AnAnswerWithoutBindingsStopsPolling) {
    Connect();
    BoardResponse r;
    r.requestId = 501;
    r.hasBinding = false;
    link->HandleBoardResponse(r);
    EXPECT_EQ(messages.Texts(),
              QStringList{"Error Counting Variable Binding Lists!\r\nIt's Over !!"});
    EXPECT_EQ(link->State(), ConnectionState::NotConnected);
}

TEST_F(BoardLinkTest, ThirtyTimeOutsInARowStopAndLossesAmongAnswersOnlyCount) {
    Connect();
    QSignalSpy lost(link.get(), &BoardLink::LostCountChanged);
    QSignalSpy stopped(link.get(), &BoardLink::StoppedByTimeOuts);
    int id = 500;
    // 29 in a row, an answer, 29 more: every one counts in Lost, none stops.
    for (int i = 1; i <= 58; ++i) {
        link->HandleTimeOut(++id);
        ASSERT_EQ(link->LostCount(), i);
        ASSERT_TRUE(link->IsPollTimerActive()) << i;
        if (i == 29) {
            link->HandleBoardResponse(Answer(std::string(board::kStatusRecord), "a", ++id));
        }
    }
    EXPECT_TRUE(messages.boxes.empty());
    EXPECT_EQ(link->TimeOutsInRow(), 29);
    link->HandleTimeOut(++id);
    EXPECT_EQ(messages.Texts(),
              QStringList{"Error Time Out Waiting For Response!\r\nIt's Over !!"});
    EXPECT_EQ(stopped.count(), 1);
    EXPECT_EQ(link->LostCount(), 0);
    EXPECT_EQ(lost.last().at(0).toInt(), 0);
    EXPECT_FALSE(link->IsPollTimerActive());
    EXPECT_EQ(link->State(), ConnectionState::NotConnected);
}

// ---- ADC options data load -----------------------------------------------

TEST_F(BoardLinkTest, AdcDataLoadWalksAlertsThenScriptsThenReadsTheRecord) {
    Connect();
    BoardOperation* load = commands::LoadChannelOptions(*link, owner.get(), 3);
    QSignalSpy items(load, &BoardOperation::PoolItemReceived);
    QSignalSpy ended(load, &BoardOperation::Ended);
    EXPECT_EQ(LastRequest().oid, std::string(board::kAlertTable));
    EXPECT_EQ(LastRequest().type, PduType::GetNext);
    EXPECT_EQ(LastRequest().requestId, 450);

    const struct {
        std::string oid;
        QByteArray value;
        int id;
        std::string nextOid;  // empty: nothing follows
        PduType nextType;
        int nextId;
    } steps[] = {
        {Object(".65.3"), "3|email|Boss|x|y", 450, Object(".65.3"), PduType::GetNext, 450},
        {Object(".65.5"), "5|sms|Night|x|y", 450, Object(".65.5"), PduType::GetNext, 450},
        {Object(".650"), "9|never|row", 450, Object(".72"), PduType::GetNext, 451},
        {Object(".72.1"), "1|relay|Pump|x|y", 451, Object(".72.1"), PduType::GetNext, 451},
        {Object(".73.1"), "", 451, Object(".66.3"), PduType::Get, 452},
    };
    for (const auto& s : steps) {
        const std::size_t before = RequestCount();
        link->HandleBoardResponse(Answer(s.oid, s.value, s.id));
        Drain();
        ASSERT_EQ(RequestCount(), before + 1) << s.oid;
        EXPECT_EQ(LastRequest().oid, s.nextOid);
        EXPECT_EQ(LastRequest().type, s.nextType);
        EXPECT_EQ(LastRequest().requestId, s.nextId);
    }
    EXPECT_EQ(link->LastRequestId(), 501) << "fixed ids leave the counter alone";
    ASSERT_EQ(items.size(), 3);
    const auto item = [&](int i) { return items[i].at(1).value<AdcListItem>(); };
    EXPECT_TRUE(items[0].at(0).toBool());
    EXPECT_EQ(item(0), (AdcListItem{3, QStringLiteral("EMAIL-Boss")}));
    EXPECT_EQ(item(1), (AdcListItem{5, QStringLiteral("SMS-Night")}));
    EXPECT_FALSE(items[2].at(0).toBool());
    EXPECT_EQ(item(2), (AdcListItem{1, QStringLiteral("RELAY-Pump")}));
    EXPECT_TRUE(ended.isEmpty());

    link->HandleBoardResponse(
        Answer(Object(".66.3"), "a|b|Notes|10|2|1|0|3.5.|3.5|||||||3600|90|1.5|2", 452));
    ASSERT_EQ(ended.size(), 1);
    EXPECT_EQ(load->Ending(), OperationEnding::Done);
    const AdcChannelRecord& record = load->ChannelRecord();
    EXPECT_EQ(record.channel, 3);
    EXPECT_EQ(record.notes, QStringLiteral("Notes"));
    EXPECT_EQ(record.highAlerts, (std::vector<int>{3, 5}));
    EXPECT_EQ(record.highNormalAlerts, (std::vector<int>{3}));
    EXPECT_EQ(record.highFlapText, std::optional<QString>(QStringLiteral("60 Minutes")));
    EXPECT_FALSE(record.lowFlapText.has_value());
    Drain();
    EXPECT_EQ(RequestCount(), 7u) << "the record ends the load";
}

TEST_F(BoardLinkTest, AGivenUpLoadLeavesTheNextOneWithTheSameIdsAlone) {
    Connect();
    auto first = std::make_unique<QObject>();
    commands::LoadChannelOptions(*link, first.get(), 1);
    first.reset();  // channel 1's dialog is cancelled while its load is in flight
    BoardOperation* second = commands::LoadChannelOptions(*link, owner.get(), 2);
    QSignalSpy items(second, &BoardOperation::PoolItemReceived);
    ASSERT_EQ(RequestCount(), 3u);
    // The answers come in the order the requests went out.
    link->HandleBoardResponse(Answer(Object(".65.1"), "1|email|First|x|y", 450));
    Drain();
    EXPECT_EQ(RequestCount(), 3u) << "the given-up load goes no further";
    EXPECT_TRUE(items.isEmpty());
    link->HandleBoardResponse(Answer(Object(".65.2"), "2|email|Second|x|y", 450));
    Drain();
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].at(1).value<AdcListItem>().id, 2);
    EXPECT_EQ(LastRequest().oid, Object(".65.2"));
}

TEST_F(BoardLinkTest, InvalidRelaysAndChannelsSendNothing) {
    Connect();
    const std::vector<BoardOperation*> operations = {
        commands::LoadChannelOptions(*link, owner.get(), 0),
        commands::LoadChannelOptions(*link, owner.get(), 9),
        commands::SetChannelName(*link, owner.get(), -1, "x"),
        commands::UploadChannelSettings(*link, owner.get(), 9, "x"),
        commands::SwitchRelay(*link, owner.get(), 5, true),
        commands::ReadRelayNotes(*link, owner.get(), 0),
        commands::ExecuteRow(*link, owner.get(), BoardTable::Modems, 1),
    };
    Drain();
    for (BoardOperation* operation : operations) {
        EXPECT_EQ(operation->Ending(), OperationEnding::NotSent);
    }
    EXPECT_EQ(RequestCount(), 1u);
}

// ---- Polling cycle and StopPolling -----------------------------------------

TEST_F(BoardLinkTest, StartShowsConnectingThenTicksShowConnectedAndTheDots) {
    QSignalSpy state(link.get(), &BoardLink::StateTextChanged);
    QSignalSpy message(link.get(), &BoardLink::MessageTextChanged);
    QSignalSpy start(link.get(), &BoardLink::StartEnabledChanged);
    Connect();
    EXPECT_EQ(state.last().at(0).toString(), QStringLiteral(" Connecting"));
    EXPECT_EQ(message.last().at(0).toString(), QStringLiteral(" Sending Password"));
    ASSERT_EQ(start.size(), 1);
    EXPECT_FALSE(start[0].at(0).toBool());

    link->PollTick();
    EXPECT_EQ(state.last().at(0).toString(), QStringLiteral(" Connected"));
    EXPECT_EQ(message.last().at(0).toString(), QStringLiteral(" MSG: Data Polling Started"));
    for (int tick = 2; tick <= 13; ++tick) {
        link->PollTick();
        EXPECT_EQ(message.last().at(0).toString(),
                  QStringLiteral(" MSG: Data Polling ") + QString(tick - 1, u'.'))
            << tick;
    }
    EXPECT_EQ(message.last().at(0).toString(), QStringLiteral(" MSG: Data Polling ............"));
    const int stateChanges = static_cast<int>(state.size());
    link->PollTick();
    EXPECT_EQ(message.last().at(0).toString(), QStringLiteral(" MSG: Data Polling ."));
    EXPECT_EQ(state.size(), stateChanges) << "connected is shown only once";
    EXPECT_EQ(RequestCount(), 15u);
    for (const auto& request : transport->requests) {
        EXPECT_EQ(request.oid, board::kStatusRecord);
    }
    EXPECT_FALSE(link->IsPollTimerActive()) << "a tick kills the timer";
}

TEST_F(BoardLinkTest, StopPollingReturnsToTheIdleLook) {
    Connect();
    link->HandleBoardResponse(Answer(std::string(board::kStatusRecord), "a", 501));
    link->HandleTimeOut(502);
    ASSERT_TRUE(link->StationControlsAreEnabled());
    QPointer<RecordingTransport> old = transport;

    QSignalSpy reset(link.get(), &BoardLink::ReadoutsReset);
    QSignalSpy sent(link.get(), &BoardLink::SentCountChanged);
    QSignalSpy received(link.get(), &BoardLink::ReceivedCountChanged);
    QSignalSpy lost(link.get(), &BoardLink::LostCountChanged);
    QSignalSpy start(link.get(), &BoardLink::StartEnabledChanged);
    QSignalSpy controls(link.get(), &BoardLink::StationControlsEnabled);
    QSignalSpy state(link.get(), &BoardLink::StateTextChanged);
    QSignalSpy message(link.get(), &BoardLink::MessageTextChanged);
    link->StopPolling();

    EXPECT_EQ(reset.size(), 1);
    EXPECT_EQ(sent.last().at(0).toInt(), 0);
    EXPECT_EQ(received.last().at(0).toInt(), 0);
    EXPECT_EQ(lost.last().at(0).toInt(), 0);
    EXPECT_TRUE(start.last().at(0).toBool());
    ASSERT_EQ(controls.size(), 1);
    EXPECT_FALSE(controls[0].at(0).toBool());
    EXPECT_EQ(state.last().at(0).toString(), QStringLiteral(" Not Connected"));
    EXPECT_EQ(message.last().at(0).toString(),
              QStringLiteral(" MSG:  Choose IP, then Click on Start"));
    EXPECT_FALSE(link->IsPollTimerActive());
    EXPECT_EQ(link->PollTickCount(), 0);
    ASSERT_TRUE(old);
    EXPECT_TRUE(old->closed);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(old) << "the closed session is deleted later";

    // Safe again, and when nothing runs.
    link->StopPolling();
    EXPECT_EQ(link->State(), ConnectionState::NotConnected);
}

TEST_F(BoardLinkTest, StopPollingFromInsideAHandlerLeavesNothingArmed) {
    Connect();
    QObject::connect(link.get(), &BoardLink::StatusRecordReceived, link.get(),
                     [this] { link->StopPolling(); });
    QSignalSpy controls(link.get(), &BoardLink::StationControlsEnabled);
    link->HandleBoardResponse(Answer(std::string(board::kStatusRecord), "a", 501));
    EXPECT_FALSE(link->IsPollTimerActive());
    EXPECT_FALSE(link->StationControlsAreEnabled());
    EXPECT_EQ(controls.size(), 0);
}

TEST_F(BoardLinkTest, FollowUpsQueuedBeforeAStopAreDropped) {
    Connect();
    BoardOperation* walk = commands::WalkTable(*link, owner.get(), BoardTable::Scripts);
    link->HandleBoardResponse(Answer(Object(".72.1"), "1|a|b|c|d", 502));
    link->StopPolling();
    Connect();
    Drain();
    EXPECT_EQ(RequestCount(), 1u);
    EXPECT_EQ(walk->Ending(), OperationEnding::TimedOut);
    EXPECT_TRUE(messages.boxes.empty());
}

}  // namespace
}  // namespace volnar