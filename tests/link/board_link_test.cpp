// SPDX-License-Identifier: GPL-3.0-or-later
#include "board_link_fixture.h"

#include <QElapsedTimer>
#include <QTest>

namespace volnar {
namespace {
// ---- Table walks ----------------------------------------------------------

TEST_F(BoardLinkTest, WalksHandTheirRowsOnAndEndAtTheFirstAnswerPastTheirTable) {
    // Identifiers and values are kept whole.
    std::string deep = Object(".72");
    for (int i = 0; i < 40; ++i) {
        deep += ".4294967295";
    }
    const QString longField(2000, u'v');
    struct Case {
        BoardTable table;
        std::string_view object;
        std::string row;  // the row the station answers first
        QByteArray value;
        QStringList fields;
        std::string beyond;  // what the station answers past the table
    } const cases[] = {
        // clang-format off
        {BoardTable::Scripts, board::kScriptTable, Object(".72.7"), "7|relay|Pump|on 1|yes", {"7", "relay", "Pump", "on 1", "yes"}, Object(".73.1")},
        {BoardTable::Scripts, board::kScriptTable, Object(".72.7"), "6|io|X|y|z", {"6", "io", "X", "y", "z"}, Object(".720")},
        {BoardTable::Scripts, board::kScriptTable, deep, "8|script|" + longField.toLatin1(), {"8", "script", longField, longField, longField}, Object(".73.1")},
        {BoardTable::Alerts, board::kAlertTable, Object(".65.7"), "3|sms|Night|555|a|b|c|d|e", {"3", "sms", "Night", "555", "a", "b", "c", "d", "e"}, Object(".66.1")},
        // Past the modems lie the alerts: they are not read as alert rows.
        {BoardTable::Modems, board::kModemTable, Object(".60.7"), "2|GSM B", {"2", "GSM B"}, Object(".65.1")},
        // clang-format on
    };
    for (const Case& c : cases) {
        Fresh();
        ASSERT_NO_FATAL_FAILURE(Connect());
        BoardOperation* walk = commands::WalkTable(*link, owner.get(), c.table);
        QSignalSpy rows(walk, &BoardOperation::RowReceived);
        QSignalSpy ended(walk, &BoardOperation::Ended);
        EXPECT_EQ(LastRequest().oid, c.object);
        EXPECT_EQ(LastRequest().type, PduType::GetNext);
        EXPECT_EQ(LastRequest().requestId, 502);

        Answer(c.row, c.value);
        ASSERT_EQ(rows.size(), 1);
        EXPECT_EQ(rows[0].at(0).toStringList(), c.fields);
        EXPECT_EQ(RequestCount(), 2u) << "never sent from inside the handler's own call";
        Drain();
        ASSERT_EQ(RequestCount(), 3u);
        EXPECT_EQ(LastRequest().oid, c.row);  // continued from the row just received
        EXPECT_EQ(LastRequest().requestId, 503);

        Answer(c.beyond, "9|x|");
        Drain();
        ASSERT_EQ(ended.size(), 1) << c.beyond;
        EXPECT_EQ(walk->Ending(), OperationEnding::Done);
        EXPECT_EQ(walk->RowCount(), 1);
        EXPECT_EQ(RequestCount(), 3u) << "no request after the end of " << c.beyond;
        EXPECT_EQ(rows.size(), 1) << c.beyond;
    }
}

// ---- Operations: one ending each -------------------------------------------

TEST_F(BoardLinkTest, EveryOperationEndsExactlyOnceAndSaysHow) {
    using T = BoardLinkTest;
    const Start walk = OPERATION(WalkTable(l, o, BoardTable::Scripts));
    const Start upload = OPERATION(UploadScript(l, o, false, "1|relay|a|b|00|"));
    const auto pending = [](T& t, int) {
        EXPECT_EQ(t.owner->findChild<BoardOperation*>()->Ending(), OperationEnding::Pending);
    };
    const auto scriptRow = [](T& t, const char* row) {
        t.Answer(Object(row), "5|a|b|c|d");
        Drain();
    };
    struct Case {
        const char* name;
        Start start;
        std::function<void(T&, int requestId)> act;  // on the request in flight
        OperationEnding ending;
        const char* text;  // the operation's text; nullptr: not checked
        int boxes;
        std::size_t requests;  // sent in all, START's included
    } const cases[] = {
        // clang-format off
        {"timed out", upload, [](T& t, int id) { t.link->HandleTimeOut(id); }, OperationEnding::TimedOut, kNoAnswerText, 0, 2},
        // Sent once: no answer does not mean it was not done.
        {"sent once, no answer", OPERATION(ExecuteRow(l, o, BoardTable::Scripts, 3)), [](T& t, int id) { t.link->HandleTimeOut(id); }, OperationEnding::Unknown, kOutcomeUnknownText, 0, 2},
        // An operation belongs to the station it was started for.
        {"another station chosen mid-walk", walk, [](T& t, int) { t.Answer(Object(".72.1"), "1|a|b|c|d"); t.station->IPADDRESS = "127.0.0.2"; t.link->ChooseStation("127.0.0.2"); Drain(); }, OperationEnding::Cancelled, kOtherStationText, 0, 2},
        {"another station chosen", OPERATION(SetRelayNotes(l, o, 1, "n")), [](T& t, int) { t.link->ChooseStation("127.0.0.3"); }, OperationEnding::Cancelled, kOtherStationText, 0, 2},
        {"directory not answering yet", [&](BoardLink& l, QObject* o) { directoryWaiting = true; return commands::RenameStation(l, o, "Hut"); }, pending, OperationEnding::NotSent, kDirectoryWaitingText, 0, 1},
        {"refused", upload, [](T& t, int id) { t.Answer(Object(".69"), "x", id, kSyntaxOctetString, 3); }, OperationEnding::Refused, "SNMP_ERR_BADVALUE", 1, 2},
        {"no binding", upload, [](T& t, int id) { BoardResponse r; r.requestId = id; r.hasBinding = false; t.link->HandleBoardResponse(r); }, OperationEnding::Refused, kErrorCountingBindings, 1, 2},
        {"stopped", upload, [](T& t, int) { t.link->StopPolling(); }, OperationEnding::TimedOut, kStoppedText, 0, 2},
        {"stopped between two steps of a walk", walk, [](T& t, int) { t.Answer(Object(".72.1"), "1|a|b|c|d"); t.link->StopPolling(); }, OperationEnding::TimedOut, kStoppedText, 0, 2},
        {"given up", walk, [](T& t, int) { t.Answer(Object(".72.1"), "1|a|b|c|d"); t.owner->findChild<BoardOperation*>()->Cancel(); }, OperationEnding::Cancelled, nullptr, 0, 2},
        // A station that answers a GETNEXT with the object asked would keep the walk going for ever.
        {"walk that does not advance", walk, [&](T& t, int) { scriptRow(t, ".72.5"); scriptRow(t, ".72.5"); }, OperationEnding::Refused, kWalkStuckText, 0, 3},
        {"walk that goes back", walk, [&](T& t, int) { scriptRow(t, ".72.5.2"); scriptRow(t, ".72.5.1"); }, OperationEnding::Refused, kWalkStuckText, 0, 3},
        // Only the echo of the relay asked for confirms its notes.
        {"echo of another relay", OPERATION(SetRelayNotes(l, o, 1, "n")), [](T& t, int) { t.Answer(std::string(board::kRelayNotes[2]), "n"); }, OperationEnding::Refused, kWrongAnswerText, 0, 2},
        // No alerts, no scripts, then channel 3's record for channel 2.
        {"record of another channel", OPERATION(LoadChannelOptions(l, o, 2)), [](T& t, int) { for (const char* oid : {".66.1", ".73.1", ".66.3"}) { t.Answer(Object(oid), ""); Drain(); } }, OperationEnding::Refused, kWrongAnswerText, 0, 4},
        {"record alone, of another channel", OPERATION(ReadChannelRecord(l, o, 2)), [](T& t, int) { t.Answer(Object(".66.3"), ""); }, OperationEnding::Refused, kWrongAnswerText, 0, 2},
        {"record alone", OPERATION(ReadChannelRecord(l, o, 2)), [](T& t, int) { t.Answer(Object(".66.2"), "a|b|Notes"); }, OperationEnding::Done, nullptr, 0, 2},
        // Never ended inside the call that started it: the screen connects to Ended afterwards.
        {"cannot be sent", [&](BoardLink& l, QObject* o) { l.ChooseStation("not an address"); return commands::RenameStation(l, o, "Hut"); }, pending, OperationEnding::NotSent, kNotSentText, 1, 1},
        // Relays, channels and tables the station does not have: nothing is sent.
        {"channel 0", OPERATION(LoadChannelOptions(l, o, 0)), pending, OperationEnding::NotSent, kNotSentText, 0, 1},
        {"channel 9", OPERATION(LoadChannelOptions(l, o, 9)), pending, OperationEnding::NotSent, kNotSentText, 0, 1},
        {"channel 9 record", OPERATION(ReadChannelRecord(l, o, 9)), pending, OperationEnding::NotSent, kNotSentText, 0, 1},
        {"channel -1 name", OPERATION(SetChannelName(l, o, -1, "x")), pending, OperationEnding::NotSent, kNotSentText, 0, 1},
        {"channel 9 settings", OPERATION(UploadChannelSettings(l, o, 9, "x")), pending, OperationEnding::NotSent, kNotSentText, 0, 1},
        {"relay 5", OPERATION(SwitchRelay(l, o, 5, true)), pending, OperationEnding::NotSent, kNotSentText, 0, 1},
        {"relay 0 notes", OPERATION(ReadRelayNotes(l, o, 0)), pending, OperationEnding::NotSent, kNotSentText, 0, 1},
        {"modem executed", OPERATION(ExecuteRow(l, o, BoardTable::Modems, 1)), pending, OperationEnding::NotSent, kNotSentText, 0, 1},
        // clang-format on
    };
    for (const Case& c : cases) {
        Fresh();
        ASSERT_NO_FATAL_FAILURE(Connect());
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
        // Whatever comes later for it changes nothing.
        Answer(Object(".69"), "x", id);
        link->HandleTimeOut(id);
        Drain();
        EXPECT_EQ(ended.size(), 1) << c.name;
        EXPECT_TRUE(notices.isEmpty()) << c.name;
    }
}

TEST_F(BoardLinkTest, AnswersForAGivenUpOperationAreCountedAndGoNowhere) {
    ASSERT_NO_FATAL_FAILURE(Connect());
    auto screen = std::make_unique<QObject>();
    commands::WalkTable(*link, screen.get(), BoardTable::Alerts);
    const int id = LastRequest().requestId;
    screen.reset();  // the list closes while its walk is in flight
    QSignalSpy notices(link.get(), &BoardLink::NoticeRequested);
    Answer(Object(".65.1"), "1|email|a|b|c", id);
    Drain();
    EXPECT_EQ(link->ReceivedCount(), 1);
    EXPECT_EQ(RequestCount(), 2u) << "the walk goes no further";

    // The same for a confirmation: no notice, no list re-opened.
    screen = std::make_unique<QObject>();
    commands::UploadAlert(*link, screen.get(), true, "0|SMS|a|");
    screen.reset();
    Answer(Object(".62"), "x");
    Drain();
    EXPECT_TRUE(notices.isEmpty());
    EXPECT_EQ(link->ReceivedCount(), 2);
}

TEST_F(BoardLinkTest, ACommandAfterARefusalOpensTheSessionAsStartDoes) {
    ASSERT_NO_FATAL_FAILURE(Connect());
    BoardOperation* first = commands::UploadScript(*link, owner.get(), true, "0|io|a|b|00|");
    Answer(Object(".69"), "x", 0, kSyntaxOctetString, 3);
    EXPECT_EQ(first->Ending(), OperationEnding::Refused);
    EXPECT_FALSE(link->IsSessionOpen());
    messages.boxes.clear();

    // The editor is still open and sends again.
    BoardOperation* second = commands::UploadScript(*link, owner.get(), true, "0|io|a|b|00|");
    EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();
    EXPECT_EQ(sessionsMade, 2);
    ASSERT_EQ(RequestCount(), 1u);
    EXPECT_EQ(LastRequest().requestId, 501);
    Answer(Object(".69"), "x");
    EXPECT_EQ(second->Ending(), OperationEnding::Done);
    EXPECT_FALSE(link->StationControlsAreEnabled()) << "not polling: START stays the way back";
    EXPECT_EQ(link->State(), ConnectionState::NotConnected);
}

// ---- Sender -------------------------------------------------------------

// Every request looks its station's row up again; automatic ids count from
// 501 in every session (fixed ids leave the counter alone: the commands).
TEST_F(BoardLinkTest, EveryRequestLooksItsStationUpAndEverySessionCountsFrom501) {
    ASSERT_NO_FATAL_FAILURE(Connect());
    EXPECT_EQ(LastRequest().requestId, 501);
    EXPECT_EQ(LastRequest().value.syntax, kSyntaxNull);
    // TIMEOUT 10 -> 6.4 s a try. The poll sends its own copies: the session
    // waits for each as long as for the three tries, and never resends.
    EXPECT_EQ(LastRequest().station,
              (StationSettings{"127.0.0.1", 1161, "s3cret", 3 * 6'400'000, 0}));
    EXPECT_TRUE(LastRequest().once);

    *station = {station->IPADDRESS, "other", {}, {}, "2161", "1", "0"};
    link->PollTick();
    EXPECT_EQ(lookups.size(), 2);
    EXPECT_EQ(LastRequest().requestId, 502);
    EXPECT_EQ(LastRequest().station, (StationSettings{"127.0.0.1", 2161, "other", 640'000, 0}));
    link->StopPolling();
    ASSERT_NO_FATAL_FAILURE(Connect());
    EXPECT_EQ(LastRequest().requestId, 501);
}

// A late poll is sent again by the link, after each try's time-out, with an
// id of its own, so the round trip is the answered copy's (net-snmp's resends
// carry the same id: an answer could not tell which copy it answers). Copies
// are not counted in Sent; an answer to any copy ends the poll, and the first
// copy's time-out, the poll's last moment, counts it lost.
TEST_F(BoardLinkTest, ALatePollIsSentAgainWithNewIdsAndTimedFromTheCopyAnswered) {
    *station = {station->IPADDRESS, "public", {}, {}, "1161", "1", "2"};  // 640 ms, 2 resends
    QElapsedTimer sinceFirst;
    sinceFirst.start();
    ASSERT_NO_FATAL_FAILURE(Connect());
    const int first = LastRequest().requestId;
    ASSERT_TRUE(QTest::qWaitFor([&] { return RequestCount() >= 2; }, 5000));
    const BoardRequest copy = transport->requests[1];
    EXPECT_EQ(copy.requestId, first + 1);
    EXPECT_EQ(copy.oid, kStatus);
    EXPECT_EQ(copy.station, transport->requests[0].station);
    EXPECT_EQ(link->SentCount(), 1);
    // The second copy's answer: timed from the second copy, sent a try's
    // 640 ms after the first.
    Answer(kStatus, "a|b", first + 1);
    EXPECT_EQ(link->ReceivedCount(), 1);
    EXPECT_LE(link->LastRoundTripMs() + 600, sinceFirst.elapsed());
    // The first copy's late answer belongs to nothing now; no copy follows.
    Answer(kStatus, "a|b", first);
    EXPECT_EQ(link->ReceivedCount(), 1);

    // The next poll, a period later (no copy of the answered one before
    // it): its first copy answered after a second one went out is timed
    // from the first.
    ASSERT_TRUE(QTest::qWaitFor([&] { return RequestCount() >= 4; }, 5000));
    const int next = transport->requests[2].requestId;
    EXPECT_EQ(next, link->StatusRequestId());
    Answer(kStatus, "a|b", next);
    EXPECT_GE(link->LastRoundTripMs(), 600);
    EXPECT_EQ(link->ReceivedCount(), 2);

    // Only the first copy's time-out ends a poll, as lost.
    ASSERT_TRUE(QTest::qWaitFor([&] { return RequestCount() >= 5; }, 5000));
    const int third = link->StatusRequestId();
    link->HandleTimeOut(third + 1);
    EXPECT_EQ(link->LostCount(), 0);
    link->HandleTimeOut(third);
    EXPECT_EQ(link->LostCount(), 1);
    EXPECT_EQ(link->SentCount(), 3);
}

// The cut itself is ChosenStation's test; the row is looked up as written,
// the request goes to the address it means.
TEST_F(BoardLinkTest, ChooserTextChoosesTheDirectoryRow) {
    link->ChooseStation("127.0.0.1      comment");
    ASSERT_NO_FATAL_FAILURE(Connect());
    EXPECT_EQ(lookups, QStringList{"127.0.0.1"});
    link->StopPolling();
    station->IPADDRESS = "127.000.000.001";
    link->ChooseStation(station->IPADDRESS);
    ASSERT_NO_FATAL_FAILURE(Connect());
    EXPECT_EQ(lookups.last(), station->IPADDRESS);
    EXPECT_EQ(LastRequest().station.address, QStringLiteral("127.0.0.1"));
}

// The session fails the first request sent with `status`.
void FailFirstSend(BoardLinkTest& t, SendStatus status) {
    QObject::connect(t.link.get(), &BoardLink::StartEnabledChanged, t.link.get(), [&t, status] {
        if (t.transport) {
            t.transport->nextStatus = status;
        }
    });
}

using Step = std::function<void(BoardLinkTest&)>;
}  // namespace

// The stops on a failure, and the idle look each leaves (the fixture's Fail).
struct FailureCase {
    std::string name;
    Step arrange;  // before START
    Step act;      // after an accepted START; none: START itself fails
    QString text;
    bool lookedUp = true;
    bool pollsOwn = true;  // a failure of the poll itself, not of a request sent beside it
};

// What stops the link at START or while polling, with the text of its box.
std::vector<FailureCase> StoppingFailures() {
    using F = BoardLinkTest;
    const QString agent = "Error String To Entity Agent!\r\nIt's Over !!";
    const QString port = "Error Setting Manager Port!\r\nIt's Over !!";
    const QString session = "Error Creating SNMP Session!\r\nIt's Over !!";
    const QString sending = "Error Sending PDU Message!\r\nIt's Over !!";
    std::vector<FailureCase> cases = {
        // clang-format off
        {"host name", [](F& t) { t.link->ChooseStation("localhost"); }, {}, agent, false},
        {"three fields", [](F& t) { t.link->ChooseStation("127.0.0"); }, {}, agent, false},
        {"leading blank", [](F& t) { t.link->ChooseStation(" 127.0.0.1"); }, {}, agent, false},
        {"empty chooser", [](F& t) { t.link->ChooseStation(QString()); }, {}, agent, false},
        {"not in the directory", [](F& t) { t.link->ChooseStation("127.0.0.2"); }, {}, "SQL general overness, can't find the IP Address in the Database!"},
        {"port zero", [](F& t) { t.station->PORT = "0"; }, {}, port},
        {"port too large", [](F& t) { t.station->PORT = "65536"; }, {}, port},
        {"session cannot open", [](F& t) { FailFirstSend(t, SendStatus::SessionFailed); }, {}, session},
        {"send refused", [](F& t) { FailFirstSend(t, SendStatus::SendFailed); }, {}, sending},
        {"no session object", [](F& t) { t.factoryFails = true; }, {}, session, false},
        {"identifier that cannot be parsed", {}, [](F& t) { EXPECT_FALSE(t.link->SendBoardRequest("1.3.6..1", PduType::Get)); }, "Error Setting String to OID!\r\nIt's Over !!", true, false},
        {"deferred send failure", {}, [](F& t) { Q_EMIT t.transport->DeferredSendFailed(SendStatus::SendFailed); }, sending, true, false},
        {"no binding", {}, [](F& t) { BoardResponse r; r.requestId = 501; r.hasBinding = false; t.link->HandleBoardResponse(r); }, "Error Counting Variable Binding Lists!\r\nIt's Over !!"},
        // clang-format on
    };
    // An error status in the answer: 1 to 18 by name, anything else undocumented.
    const char* const names[] = {"TOOBIG",
                                 "NOSUCHNAME",
                                 "BADVALUE",
                                 "READONLY",
                                 "GENERR",
                                 "NOACCESS",
                                 "WRONGTYPE",
                                 "WRONGLENGTH",
                                 "WRONGENCODING",
                                 "WRONGVALUE",
                                 "NOCREATION",
                                 "INCONSISTENTVALUE",
                                 "RESOURCEUNAVAILABLE",
                                 "COMMITFAILED",
                                 "UNDOFAILED",
                                 "AUTHORIZATIONERROR",
                                 "NOTWRITABLE",
                                 "INCONSISTENTNAME"};
    for (const int status :
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, -1, 255}) {
        const QString text = status >= 1 && status <= 18
                                 ? QStringLiteral("SNMP_ERR_") + QLatin1String(names[status - 1])
                                 : QStringLiteral("UNDOCUMENTED ERROR !");
        cases.push_back(
            {"error status " + std::to_string(status),
             {},
             [status](F& t) { t.Answer(kStatus, "a|b", 501, kSyntaxOctetString, status); },
             text});
    }
    return cases;
}

// One error box, nothing counted, the idle look. Unattended, the poll's own
// failures show no box (nobody would close it) and say why they stopped.
TEST_F(BoardLinkTest, FailuresStopWithOneErrorBoxAndCountNothing) {
    for (const bool unattended : {false, true}) {
        for (const FailureCase& c : StoppingFailures()) {
            Fresh();
            link->SetRestartsByItself(unattended);
            QSignalSpy error(link.get(), &BoardLink::StoppedByError);
            Fail(c);
            ASSERT_EQ(error.size(), 1) << c.name;
            EXPECT_EQ(error[0].at(0).toString(), c.text) << c.name;
            const bool quiet = unattended && c.pollsOwn;
            ASSERT_EQ(messages.boxes.size(), quiet ? 0u : 1u) << c.name << unattended;
            if (!quiet) {
                EXPECT_EQ(messages.boxes[0].text, c.text) << c.name;
                EXPECT_EQ(messages.boxes[0].icon, MessageIcon::Error) << c.name;
                EXPECT_EQ(messages.boxes[0].caption, QStringLiteral("  Volnar")) << c.name;
            }
        }
    }
}

void BoardLinkTest::Fail(const FailureCase& c) {
    if (c.arrange) {
        c.arrange(*this);
    }
    QSignalSpy counters(link.get(), &BoardLink::CountersChanged);
    QSignalSpy state(link.get(), &BoardLink::StateTextChanged);
    QSignalSpy status(link.get(), &BoardLink::StatusRecordReceived);
    if (c.act) {
        ASSERT_NO_FATAL_FAILURE(Connect());
        c.act(*this);
    } else {
        link->Start();
    }
    EXPECT_EQ(RequestCount(), c.act ? 1u : 0u) << c.name;
    for (const auto& args : counters) {  // Received after an accepted START, else Sent
        EXPECT_EQ(args.at(c.act ? 1 : 0).toInt(), 0) << c.name;
    }
    EXPECT_EQ(status.size(), 0) << c.name;
    EXPECT_EQ(link->State(), ConnectionState::NotConnected) << c.name;
    EXPECT_FALSE(link->IsSessionOpen()) << c.name;
    EXPECT_FALSE(link->StationControlsAreEnabled()) << c.name;
    EXPECT_FALSE(link->IsPollTimerActive()) << c.name;
    ASSERT_GE(state.size(), 2) << c.name;
    EXPECT_EQ(state.first().at(0).toString(), QStringLiteral(" Connecting")) << c.name;
    EXPECT_EQ(state.last().at(0).toString(), QStringLiteral(" Not Connected")) << c.name;
    EXPECT_EQ(!lookups.isEmpty(), c.lookedUp) << c.name;
}

namespace {

TEST_F(BoardLinkTest, SendingWithoutASessionIsRefused) {
    EXPECT_FALSE(link->SendBoardRequest(board::kStatusRecord, PduType::Get));
    EXPECT_EQ(messages.Texts(), QStringList{"Error Creating SNMP Session!\r\nIt's Over !!"});
    EXPECT_EQ(link->SentCount(), 0);
}

// ---- Polling cycle and StopPolling -----------------------------------------

TEST_F(BoardLinkTest, StartShowsConnectingThenTicksShowConnectedAndTheDots) {
    QSignalSpy state(link.get(), &BoardLink::StateTextChanged);
    QSignalSpy message(link.get(), &BoardLink::MessageTextChanged);
    ASSERT_NO_FATAL_FAILURE(Connect());
    EXPECT_EQ(message.last().at(0).toString(), QStringLiteral(" Sending Password"));

    link->PollTick();
    EXPECT_EQ(state.last().at(0).toString(), QStringLiteral(" Connected"));
    EXPECT_EQ(message.last().at(0).toString(), QStringLiteral(" MSG: Data Polling Started"));
    for (int tick = 2; tick <= 13; ++tick) {
        link->PollTick();
        EXPECT_EQ(message.last().at(0).toString(),
                  QStringLiteral(" MSG: Data Polling ") + QString(tick - 1, u'.'))
            << tick;
    }
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
    ASSERT_NO_FATAL_FAILURE(Connect());
    Answer(kStatus, "a", 501);
    link->PollTick();
    link->HandleTimeOut(502);
    ASSERT_TRUE(link->StationControlsAreEnabled());
    QPointer<RecordingTransport> old = transport;

    // The buttons, the state text and the readouts are ApplicationTest's.
    QSignalSpy counters(link.get(), &BoardLink::CountersChanged);
    QSignalSpy message(link.get(), &BoardLink::MessageTextChanged);
    link->StopPolling();

    EXPECT_EQ(counters.last(), (QList<QVariant>{0, 0, 0}));
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

    // STOP means stopped: a command sent afterwards opens a session, and its
    // time-out starts no poll.
    commands::SwitchRelay(*link, owner.get(), 1, true);
    link->HandleTimeOut(LastRequest().requestId);
    EXPECT_FALSE(link->IsPollTimerActive());
    EXPECT_EQ(link->State(), ConnectionState::NotConnected);
}

TEST_F(BoardLinkTest, StopPollingFromInsideAHandlerLeavesNothingArmed) {
    ASSERT_NO_FATAL_FAILURE(Connect());
    QObject::connect(link.get(), &BoardLink::StatusRecordReceived, link.get(),
                     [this] { link->StopPolling(); });
    QSignalSpy controls(link.get(), &BoardLink::StationControlsEnabled);
    Answer(kStatus, "a", 501);
    EXPECT_FALSE(link->IsPollTimerActive());
    EXPECT_FALSE(link->StationControlsAreEnabled());
    EXPECT_EQ(controls.size(), 0);
}

// What was in flight or queued before a stop never reaches the next session.
TEST_F(BoardLinkTest, NothingFromBeforeAStopReachesTheNextSession) {
    ASSERT_NO_FATAL_FAILURE(Connect());
    QSignalSpy notices(link.get(), &BoardLink::NoticeRequested);
    BoardOperation* walk = commands::WalkTable(*link, owner.get(), BoardTable::Scripts);
    Answer(Object(".72.1"), "1|a|b|c|d", 502);  // its next step is queued
    BoardOperation* update = commands::SetRelayNotes(*link, owner.get(), 1, "new");
    link->StopPolling();
    ASSERT_NO_FATAL_FAILURE(Connect());
    Drain();
    EXPECT_EQ(RequestCount(), 1u);
    EXPECT_EQ(walk->Ending(), OperationEnding::TimedOut);
    EXPECT_EQ(update->Ending(), OperationEnding::TimedOut);
    // A later read of the notes does not confirm the update sent before.
    BoardOperation* read = commands::ReadRelayNotes(*link, owner.get(), 1);
    Answer(std::string(board::kRelayNotes[1]), "old", 502);
    EXPECT_EQ(read->Echo(), QStringLiteral("old"));
    EXPECT_TRUE(notices.isEmpty());
    EXPECT_TRUE(messages.boxes.empty());
}

}  // namespace
}  // namespace volnar
