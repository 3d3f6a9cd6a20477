#include "link/board_link.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPointer>
#include <QSignalSpy>

#include "link/board_objects.h"
#include "link/recording_transport.h"
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
                transport = made.get();
                return made;
            });
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
    std::unique_ptr<BoardLink> link;
};

// ---- Tracked table walks ------------------------------------------------

TEST_F(BoardLinkTest, TrackedWalksEndAtTheFirstAnswerPastTheirTable) {
    struct Case {
        std::string_view table;
        std::string beyond;  // what the station answers past the table
    } const cases[] = {
        {board::kScriptTable, Object(".73.1")},
        {board::kScriptTable, Object(".720")},
        {board::kAlertTable, Object(".66.1")},
        // Past the modems lie the alerts: they are not read as alert rows.
        {board::kModemTable, Object(".65.1")},
    };
    for (const Case& c : cases) {
        SetUp();
        Connect();
        QSignalSpy ended(link.get(), &BoardLink::TableWalkEnded);
        QSignalSpy scripts(link.get(), &BoardLink::ScriptRowReceived);
        QSignalSpy alerts(link.get(), &BoardLink::AlertRowReceived);
        QSignalSpy modems(link.get(), &BoardLink::ModemRowReceived);
        ASSERT_TRUE(link->StartTableWalk(c.table));
        EXPECT_EQ(LastRequest().oid, c.table);
        EXPECT_EQ(LastRequest().type, PduType::GetNext);

        const std::string row = std::string(c.table) + ".7";
        link->HandleBoardResponse(Answer(row, "7|relay|Name|Notes|00|", LastRequest().requestId));
        EXPECT_TRUE(ended.isEmpty());
        Drain();
        EXPECT_EQ(LastRequest().oid, row);  // continued from the row just received
        const std::size_t sent = RequestCount();

        link->HandleBoardResponse(Answer(c.beyond, "9|x|", LastRequest().requestId));
        Drain();
        ASSERT_EQ(ended.size(), 1) << c.beyond;
        EXPECT_EQ(ended[0].at(0).toString(),
                  QString::fromLatin1(c.table.data(), static_cast<qsizetype>(c.table.size())));
        EXPECT_TRUE(ended[0].at(1).toBool());
        EXPECT_EQ(RequestCount(), sent) << "no request after the end of " << c.beyond;
        EXPECT_EQ(scripts.size() + alerts.size() + modems.size(), 1) << c.beyond;
    }
}

TEST_F(BoardLinkTest, WalksEndIncompleteOnStopAndOnTimeOut) {
    Connect();
    QSignalSpy ended(link.get(), &BoardLink::TableWalkEnded);
    ASSERT_TRUE(link->StartTableWalk(board::kAlertTable));
    link->HandleTimeOut(LastRequest().requestId);
    ASSERT_EQ(ended.size(), 1);
    EXPECT_FALSE(ended[0].at(1).toBool());

    ASSERT_TRUE(link->StartTableWalk(board::kScriptTable));
    link->HandleBoardResponse(Answer(Object(".72.1"), "1|relay|a|b|00|", LastRequest().requestId));
    link->StopPolling();  // before the next step goes out
    Drain();
    ASSERT_EQ(ended.size(), 2);
    EXPECT_FALSE(ended[1].at(1).toBool());
    EXPECT_EQ(ended[1].at(0).toString(), QString::fromLatin1(board::kScriptTable.data()));
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
                         [](const auto& param) { return std::string(param.param.name); });

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

// ---- Dispatcher: routing ids ---------------------------------------------

struct IdRouteCase {
    int requestId;
    int notice;
    NoticeFollowUp followUp;
    const char* text;
};

TEST_F(BoardLinkTest, FixedRoutingIdsAskForTheirNotice) {
    const IdRouteCase cases[] = {
        {410, 25, NoticeFollowUp::ReopenAlertsList, "Alert Executed !"},
        {411, 24, NoticeFollowUp::ReopenAlertsList, "Alert Deleted !"},
        {412, 26, NoticeFollowUp::ReopenAlertsList, "Alert Added !"},
        {413, 27, NoticeFollowUp::ReopenAlertsList, "Alert Updated !"},
        {420, 3, NoticeFollowUp::ReopenScriptsList, "Script Updated!"},
        {421, 4, NoticeFollowUp::ReopenScriptsList, "Script Added!"},
        {422, 5, NoticeFollowUp::ReopenScriptsList, "Script Deleted!"},
        {423, 6, NoticeFollowUp::None, "Script Executed!"},
        {424, 7, NoticeFollowUp::None, "Station Name Changed !"},
        {425, 8, NoticeFollowUp::None, "ADC 1 Name Changed !"},
        {426, 9, NoticeFollowUp::None, "ADC 1 Note Changed !"},
        {427, 10, NoticeFollowUp::None, "ADC 2 Name Changed !"},
        {428, 11, NoticeFollowUp::None, "ADC 2 Note Changed !"},
        {429, 12, NoticeFollowUp::None, "ADC 3 Name Changed !"},
        {430, 13, NoticeFollowUp::None, "ADC 3 Note Changed !"},
        {431, 14, NoticeFollowUp::None, "ADC 4 Name Changed !"},
        {432, 15, NoticeFollowUp::None, "ADC 4 Note Changed !"},
        {433, 16, NoticeFollowUp::None, "ADC 5 Name Changed !"},
        {434, 17, NoticeFollowUp::None, "ADC 5 Note Changed !"},
        {435, 18, NoticeFollowUp::None, "ADC 6 Name Changed !"},
        {436, 19, NoticeFollowUp::None, "ADC 6 Note Changed !"},
        {437, 20, NoticeFollowUp::None, "ADC 7 Name Changed !"},
        {438, 21, NoticeFollowUp::None, "ADC 7 Note Changed !"},
        {439, 22, NoticeFollowUp::None, "ADC 8 Name Changed !"},
        {440, 23, NoticeFollowUp::None, "ADC 8 Note Changed !"},
        {453, 28, NoticeFollowUp::None, "ADC 1 Updated !"},
        {454, 29, NoticeFollowUp::None, "ADC 2 Updated !"},
        {455, 30, NoticeFollowUp::None, "ADC 3 Updated !"},
        {456, 31, NoticeFollowUp::None, "ADC 4 Updated !"},
        {457, 32, NoticeFollowUp::None, "ADC 5 Updated !"},
        {458, 33, NoticeFollowUp::None, "ADC 6 Updated !"},
        {459, 34, NoticeFollowUp::None, "ADC 7 Updated !"},
        {460, 35, NoticeFollowUp::None, "ADC 8 Updated !"},
    };
    Connect();
    int received = 0;
    for (const auto& c : cases) {
        QSignalSpy notices(link.get(), &BoardLink::NoticeRequested);
        QSignalSpy status(link.get(), &BoardLink::StatusRecordReceived);
        // The identifier does not matter once the id is a routing id.
        link->HandleBoardResponse(Answer(std::string(board::kStatusRecord), "x", c.requestId));
        ASSERT_EQ(notices.size(), 1) << c.requestId;
        EXPECT_EQ(notices[0].at(0).toInt(), c.notice) << c.requestId;
        EXPECT_EQ(notices[0].at(1).value<NoticeFollowUp>(), c.followUp) << c.requestId;
        EXPECT_EQ(NoticeText(c.notice), QString::fromLatin1(c.text));
        EXPECT_EQ(status.size(), 0) << c.requestId;
        EXPECT_EQ(link->ReceivedCount(), ++received);
        EXPECT_TRUE(link->StationControlsAreEnabled());
    }
    Drain();
    EXPECT_EQ(RequestCount(), 1u) << "confirmations send nothing";
    EXPECT_TRUE(messages.boxes.empty());
}

TEST_F(BoardLinkTest, ModemIdGivesTheSmsDialogFieldTwo) {
    Connect();
    QSignalSpy modem(link.get(), &BoardLink::SmsModemTextReceived);
    QSignalSpy rows(link.get(), &BoardLink::ModemRowReceived);
    link->HandleBoardResponse(Answer(Object(".60.1"), "1|GSM modem A|x", routing::kModemFirst));
    ASSERT_EQ(modem.size(), 1);
    EXPECT_EQ(modem[0].at(0).toString(), QStringLiteral("GSM modem A"));
    EXPECT_EQ(rows.size(), 0);
    Drain();
    EXPECT_EQ(RequestCount(), 1u);
}

TEST_F(BoardLinkTest, IdsBetweenTheRoutingRangesRouteByIdentifier) {
    Connect();
    for (const int id : {414, 419, 441, 449, 461, 500, 501}) {
        QSignalSpy status(link.get(), &BoardLink::StatusRecordReceived);
        QSignalSpy notices(link.get(), &BoardLink::NoticeRequested);
        link->HandleBoardResponse(Answer(std::string(board::kStatusRecord), "a|b", id));
        EXPECT_EQ(status.size(), 1) << id;
        EXPECT_EQ(notices.size(), 0) << id;
    }
}

// ---- Dispatcher: identifiers ---------------------------------------------

TEST_F(BoardLinkTest, TableRowsAreHandedOnAndTheWalkContinuesFromTheirIdentifier) {
    const struct {
        std::string oid;
        QByteArray value;
        const char* signal;
        QStringList cells;  // rows; modem rows give one text
    } cases[] = {
        {Object(".72.5"),
         "5|relay|Pump|on 1|yes",
         "script",
         {"5", "RELAY", "Pump", "on 1", "2", "1", "0", "yes"}},
        {Object(".72.5.9"), "6|io|X|y|z", "script", {"6", "IO", "X", "y", "2", "1", "0", "z"}},
        {Object(".65.3"),
         "3|sms|Night|555|a|b|c|d|e",
         "alert",
         {"3", "SMS", "Night", "555", "2", "1", "0", "a", "b", "c", "d", "e"}},
        {Object(".60.2"), "2|GSM B", "modem", {"GSM B"}},
    };
    Connect();
    for (const auto& c : cases) {
        QSignalSpy scripts(link.get(), &BoardLink::ScriptRowReceived);
        QSignalSpy alerts(link.get(), &BoardLink::AlertRowReceived);
        QSignalSpy modems(link.get(), &BoardLink::ModemRowReceived);
        const std::size_t before = RequestCount();
        link->HandleBoardResponse(Answer(c.oid, c.value, link->LastRequestId()));
        const std::string kind = c.signal;
        EXPECT_EQ(scripts.size(), kind == "script" ? 1 : 0) << c.oid;
        EXPECT_EQ(alerts.size(), kind == "alert" ? 1 : 0) << c.oid;
        EXPECT_EQ(modems.size(), kind == "modem" ? 1 : 0) << c.oid;
        if (kind == "script") {
            EXPECT_EQ(scripts[0].at(0).toStringList(), c.cells);
        } else if (kind == "alert") {
            EXPECT_EQ(alerts[0].at(0).toStringList(), c.cells);
        } else {
            EXPECT_EQ(modems[0].at(0).toString(), c.cells.at(0));
        }
        // Never sent from inside the handler's own call.
        EXPECT_EQ(RequestCount(), before) << c.oid;
        Drain();
        ASSERT_EQ(RequestCount(), before + 1) << c.oid;
        EXPECT_EQ(LastRequest().oid, c.oid);
        EXPECT_EQ(LastRequest().type, PduType::GetNext);
        EXPECT_EQ(LastRequest().requestId, link->LastRequestId());
        EXPECT_GE(LastRequest().requestId, 502);
    }
}

TEST_F(BoardLinkTest, WalksEndAtTheFirstAnswerOutsideTheTable) {
    Connect();
    for (const char* suffix : {".720", ".720.1", ".73.1", ".650", ".66.1", ".600", ".61.1"}) {
        QSignalSpy scripts(link.get(), &BoardLink::ScriptRowReceived);
        QSignalSpy alerts(link.get(), &BoardLink::AlertRowReceived);
        QSignalSpy modems(link.get(), &BoardLink::ModemRowReceived);
        QSignalSpy controls(link.get(), &BoardLink::StationControlsEnabled);
        const int receivedBefore = link->ReceivedCount();
        link->HandleBoardResponse(Answer(Object(suffix), "1|x|y", 777));
        Drain();
        EXPECT_EQ(scripts.size() + alerts.size() + modems.size(), 0) << suffix;
        EXPECT_EQ(RequestCount(), 1u) << suffix;
        EXPECT_EQ(link->ReceivedCount(), receivedBefore + 1) << suffix;
        EXPECT_TRUE(link->StationControlsAreEnabled());
    }
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

TEST_F(BoardLinkTest, ValueTextIsEmptyForOtherSyntaxes) {
    Connect();
    QSignalSpy names(link.get(), &BoardLink::RelayNameReceived);
    link->HandleBoardResponse(
        Answer(std::string(board::kRelayName[1]), "\x02\x01\x05", 600, kSyntaxInteger));
    ASSERT_EQ(names.size(), 1);
    EXPECT_EQ(names[0].at(1).toString(), QString());
}

TEST_F(BoardLinkTest, RelayNotesAskForTheNoticeOnlyWhilePending) {
    Connect();
    QSignalSpy notes(link.get(), &BoardLink::RelayNotesReceived);
    QSignalSpy notices(link.get(), &BoardLink::NoticeRequested);
    link->HandleBoardResponse(Answer(std::string(board::kRelayNotes[3]), "first", 600));
    EXPECT_EQ(notices.size(), 0);
    link->SetRelayNotesPending(3);
    link->HandleBoardResponse(Answer(std::string(board::kRelayNotes[4]), "second\0x", 601));
    ASSERT_EQ(notices.size(), 1);
    EXPECT_EQ(notices[0].at(0).toInt(), 1);
    EXPECT_EQ(link->RelayNotesPending(), 0);
    link->HandleBoardResponse(Answer(std::string(board::kRelayNotes[3]), "third", 602));
    EXPECT_EQ(notices.size(), 1);
    ASSERT_EQ(notes.size(), 3);
    EXPECT_EQ(notes[0].at(0).toInt(), 3);
    EXPECT_EQ(notes[1].at(0).toInt(), 4);
    EXPECT_EQ(notes[2].at(1).toString(), QStringLiteral("third"));
}

TEST_F(BoardLinkTest, RelayNameAlwaysAsksForTheNotice) {
    Connect();
    QSignalSpy names(link.get(), &BoardLink::RelayNameReceived);
    QSignalSpy notices(link.get(), &BoardLink::NoticeRequested);
    for (int relay = 1; relay <= 4; ++relay) {
        link->HandleBoardResponse(
            Answer(std::string(board::kRelayName[relay]), "Pump", 600 + relay));
    }
    ASSERT_EQ(names.size(), 4);
    EXPECT_EQ(names[3].at(0).toInt(), 4);
    EXPECT_EQ(names[3].at(1).toString(), QStringLiteral("Pump"));
    ASSERT_EQ(notices.size(), 4);
    EXPECT_EQ(notices[0].at(0).toInt(), 2);
}

TEST_F(BoardLinkTest, IdentifiersAndValuesAreKeptWhole) {
    Connect();
    std::string deep = Object(".72");
    for (int i = 0; i < 40; ++i) {
        deep += ".4294967295";
    }
    ASSERT_GT(deep.size(), 99u);
    const QByteArray value = "8|script|" + QByteArray(2000, 'v');
    QSignalSpy scripts(link.get(), &BoardLink::ScriptRowReceived);
    link->HandleBoardResponse(Answer(deep, value, 700));
    Drain();
    ASSERT_EQ(scripts.size(), 1);
    EXPECT_EQ(scripts[0].at(0).toStringList().at(7).size(), 2000);
    EXPECT_EQ(LastRequest().oid, deep);
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
    link->SetAdcOptionsChannel(3);
    QSignalSpy alertItems(link.get(), &BoardLink::AdcLoadAlertItem);
    QSignalSpy scriptItems(link.get(), &BoardLink::AdcLoadScriptItem);
    QSignalSpy records(link.get(), &BoardLink::AdcChannelRecordReceived);
    QSignalSpy alertRows(link.get(), &BoardLink::AlertRowReceived);

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
    ASSERT_EQ(alertItems.size(), 2);
    EXPECT_EQ(alertItems[0].at(0).toInt(), 3);
    EXPECT_EQ(alertItems[0].at(1).toString(), QStringLiteral("EMAIL-Boss"));
    EXPECT_EQ(alertItems[1].at(1).toString(), QStringLiteral("SMS-Night"));
    ASSERT_EQ(scriptItems.size(), 1);
    EXPECT_EQ(scriptItems[0].at(1).toString(), QStringLiteral("RELAY-Pump"));
    EXPECT_EQ(alertRows.size(), 0) << "load rows are not alert list rows";

    link->HandleBoardResponse(
        Answer(Object(".66.3"), "a|b|Notes|10|2|1|0|3.5.|3.5|||||||3600|90|1.5|2", 452));
    ASSERT_EQ(records.size(), 1);
    const auto record = records[0].at(0).value<AdcChannelRecord>();
    EXPECT_EQ(record.channel, 3);
    EXPECT_EQ(record.notes, QStringLiteral("Notes"));
    EXPECT_EQ(record.highAlerts, (std::vector<int>{3, 5}));
    EXPECT_EQ(record.highNormalAlerts, (std::vector<int>{3}));
    EXPECT_EQ(record.highFlapText, std::optional<QString>(QStringLiteral("60 Minutes")));
    EXPECT_FALSE(record.lowFlapText.has_value());
    Drain();
    EXPECT_EQ(RequestCount(), 6u) << "the record ends the load";
}

TEST_F(BoardLinkTest, AdcScriptsWalkEndWithoutAnOpenDialogReadsNothing) {
    Connect();
    for (const int channel : {0, 9, -1}) {
        link->SetAdcOptionsChannel(channel);
        link->HandleBoardResponse(Answer(Object(".73.1"), "", 451));
        Drain();
        EXPECT_EQ(RequestCount(), 1u) << channel;
    }
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
    link->HandleBoardResponse(Answer(Object(".72.1"), "1|a|b|c|d", 501));
    link->StopPolling();
    Connect();
    Drain();
    EXPECT_EQ(RequestCount(), 1u);
    EXPECT_TRUE(messages.boxes.empty());
}

}  // namespace
}  // namespace volnar
