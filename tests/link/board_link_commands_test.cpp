// SPDX-License-Identifier: GPL-3.0-or-later
// The board commands on the wire, their answers and notices, the status
// record, and the ADC options data load.
#include "board_link_fixture.h"

namespace volnar {
namespace {

// ---- Commands: the wire and the notices -------------------------------------

TEST_F(BoardLinkTest, CommandsGoOutAsTheStationKnowsThemAndTheirAnswerBringsTheNotice) {
    using N = NoticeFollowUp;
    const QByteArray record = "1|relay|a|b|00|";
    const auto Int = RequestValue::Integer;
    const auto Text = RequestValue::Text;
    const struct {
        const char* name;
        Start start;
        std::string oid;
        PduType type;
        RequestValue value;
        bool once;   // a SET whose repeat acts again: never resent
        int notice;  // 0: none
        const char* noticeText;
        NoticeFollowUp followUp;
    } cases[] = {
        // clang-format off
        {"switch on", OPERATION(SwitchRelay(l, o, 2, true)), Object(".75.2"), PduType::Set, Int(1), false, 0, "", N::None},
        {"switch off", OPERATION(SwitchRelay(l, o, 4, false)), Object(".75.4"), PduType::Set, Int(0), false, 0, "", N::None},
        {"pulse", OPERATION(PulseRelay(l, o, 3, 17)), Object(".73.3"), PduType::Set, Int(17), true, 0, "", N::None},
        {"relay name", OPERATION(SetRelayName(l, o, 1, "P")), Object(".74.1"), PduType::Set, Text("P"), false, 2, "Relay Name Updated!", N::None},
        {"relay notes", OPERATION(SetRelayNotes(l, o, 3, "N")), Object(".76.3"), PduType::Set, Text("N"), false, 1, "Relay Notes Updated!", N::None},
        // A plain read of the notes never brings the notice.
        {"read notes", OPERATION(ReadRelayNotes(l, o, 3)), Object(".76.3"), PduType::Get, RequestValue::Null(), false, 0, "", N::None},
        {"station name", OPERATION(RenameStation(l, o, "Hut")), std::string(board::kSysName), PduType::Set, Text("Hut"), false, 7, "Station Name Changed !", N::None},
        {"channel 1 name", OPERATION(SetChannelName(l, o, 1, "A")), Object(".67.1"), PduType::Set, Text("A"), false, 8, "ADC 1 Name Changed !", N::None},
        {"channel 3 name", OPERATION(SetChannelName(l, o, 3, "A")), Object(".67.3"), PduType::Set, Text("A"), false, 12, "ADC 3 Name Changed !", N::None},
        {"channel 8 name", OPERATION(SetChannelName(l, o, 8, "A")), Object(".67.8"), PduType::Set, Text("A"), false, 22, "ADC 8 Name Changed !", N::None},
        {"channel 1 notes", OPERATION(SetChannelNotes(l, o, 1, "n")), Object(".68.1"), PduType::Set, Text("n"), false, 9, "ADC 1 Note Changed !", N::None},
        {"channel 8 notes", OPERATION(SetChannelNotes(l, o, 8, "")), Object(".68.8"), PduType::Set, Text(""), false, 23, "ADC 8 Note Changed !", N::None},
        {"channel 1 settings", OPERATION(UploadChannelSettings(l, o, 1, record)), Object(".78.1"), PduType::Set, Text(record), false, 28, "ADC 1 Updated !", N::None},
        {"channel 8 settings", OPERATION(UploadChannelSettings(l, o, 8, record)), Object(".78.8"), PduType::Set, Text(record), false, 35, "ADC 8 Updated !", N::None},
        {"new script", OPERATION(UploadScript(l, o, true, record)), Object(".69"), PduType::Set, Text(record), true, 4, "Script Added!", N::ReopenScriptsList},
        {"script update", OPERATION(UploadScript(l, o, false, record)), Object(".69"), PduType::Set, Text(record), false, 3, "Script Updated!", N::ReopenScriptsList},
        {"new alert", OPERATION(UploadAlert(l, o, true, record)), Object(".62"), PduType::Set, Text(record), true, 26, "Alert Added !", N::ReopenAlertsList},
        {"alert update", OPERATION(UploadAlert(l, o, false, record)), Object(".62"), PduType::Set, Text(record), false, 27, "Alert Updated !", N::ReopenAlertsList},
        {"execute script", OPERATION(ExecuteRow(l, o, BoardTable::Scripts, 7)), Object(".70"), PduType::Set, Int(7), true, 6, "Script Executed!", N::None},
        {"delete script", OPERATION(DeleteRow(l, o, BoardTable::Scripts, 8)), Object(".71"), PduType::Set, Int(8), true, 5, "Script Deleted!", N::ReopenScriptsList},
        {"execute alert", OPERATION(ExecuteRow(l, o, BoardTable::Alerts, 1)), Object(".63"), PduType::Set, Int(1), true, 25, "Alert Executed !", N::ReopenAlertsList},
        {"delete alert", OPERATION(DeleteRow(l, o, BoardTable::Alerts, 2)), Object(".64"), PduType::Set, Int(2), true, 24, "Alert Deleted !", N::ReopenAlertsList},
        // clang-format on
    };
    for (const auto& c : cases) {
        Fresh();
        ASSERT_NO_FATAL_FAILURE(Connect());
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
        // Every request its own id; what must not happen twice is never resent.
        EXPECT_EQ(sent.requestId, 502) << c.name;
        EXPECT_EQ(sent.station.retries, c.once ? 0 : 2) << c.name;
        EXPECT_EQ(sent.station.timeoutMicroseconds, c.once ? 3 * 6'400'000 : 6'400'000) << c.name;

        // A SET's answer echoes its binding.
        Answer(sent.oid, "echo", sent.requestId);
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
    ASSERT_NO_FATAL_FAILURE(Connect());
    BoardOperation* notes = commands::ReadRelayNotes(*link, owner.get(), 4);
    Answer(std::string(board::kRelayNotes[4]), QByteArray("two\0lines", 9), 502);
    EXPECT_EQ(notes->Echo(), QString::fromLatin1(QByteArray("two\0lines", 9)));
    BoardOperation* name = commands::SetRelayName(*link, owner.get(), 1, "Pump");
    Answer(std::string(board::kRelayName[1]), "\x02\x01\x05", 503, kSyntaxInteger);
    EXPECT_EQ(name->Ending(), OperationEnding::Done);
    EXPECT_EQ(name->Echo(), QString());
}

// Only the status request in flight brings a status record: a second copy
// of its answer (a resend answered too), another station's late answer or an
// id nobody asked with is neither shown nor counted.
TEST_F(BoardLinkTest, OnlyTheStatusRequestInFlightIsAnsweredWithARecord) {
    ASSERT_NO_FATAL_FAILURE(Connect());
    QSignalSpy status(link.get(), &BoardLink::StatusRecordReceived);
    QSignalSpy notices(link.get(), &BoardLink::NoticeRequested);
    for (const int id : {409, 450, 500, 502, 777}) {
        Answer(kStatus, "a|b", id);
        Answer(Object(".72.1"), "1|a|b|c|d", id);
    }
    EXPECT_EQ(link->ReceivedCount(), 0);
    Answer(kStatus, "a|b", 501);
    Answer(kStatus, "a|b", 501);
    Drain();
    EXPECT_EQ(status.size(), 1);
    EXPECT_EQ(link->ReceivedCount(), 1);
    EXPECT_TRUE(notices.isEmpty());

    // Another station chosen: the first one's answer is not shown under it.
    link->PollTick();
    station->IPADDRESS = "127.0.0.2";
    link->ChooseStation("127.0.0.2");
    Answer(kStatus, "old", 502);
    EXPECT_EQ(status.size(), 1);
    EXPECT_TRUE(link->IsPollTimerActive()) << "the new station is polled next";
    link->PollTick();
    EXPECT_EQ(LastRequest().station.address, QStringLiteral("127.0.0.2"));

    // A status answer with another identifier is a failed poll, never a
    // stall: counted in Lost, and the poll goes on.
    Answer(kStatus + ".0", "a|b");
    EXPECT_EQ(status.size(), 1);
    EXPECT_EQ(link->LostCount(), 1);
    EXPECT_EQ(link->ReceivedCount(), 1);
    EXPECT_TRUE(link->IsPollTimerActive());
    EXPECT_TRUE(messages.boxes.empty());
}

// A station whose row the directory has not given yet is waited for, never
// reported missing.
TEST_F(BoardLinkTest, PollingWaitsForTheDirectoryAndSaysSo) {
    directoryWaiting = true;
    QSignalSpy message(link.get(), &BoardLink::MessageTextChanged);
    link->Start();
    EXPECT_EQ(RequestCount(), 0u);
    EXPECT_TRUE(messages.boxes.empty());
    EXPECT_EQ(message.last().at(0).toString(), QString::fromLatin1(kWaitingForDirectory));
    EXPECT_TRUE(link->IsPollTimerActive());
    link->PollTick();
    EXPECT_EQ(RequestCount(), 0u);
    directoryWaiting = false;
    link->RetryWaitingRequest();
    ASSERT_EQ(RequestCount(), 1u);
    EXPECT_EQ(message.last().at(0).toString(), QStringLiteral(" Sending Password"));
    EXPECT_FALSE(link->IsWaitingForDirectory());
}

TEST_F(BoardLinkTest, StatusRecordIsShownWholeThenThePollTimerIsArmed) {
    ASSERT_NO_FATAL_FAILURE(Connect());
    QByteArray record;
    for (int i = 0; i < 60; ++i) {
        record += QByteArray(90, static_cast<char>('a' + i % 26)) + '|';
    }
    bool timerArmedWhenShown = true;
    QByteArray shown;
    QObject::connect(link.get(), &BoardLink::StatusRecordReceived, link.get(),
                     [&](const QByteArray& v) {
                         shown = v;
                         timerArmedWhenShown = link->IsPollTimerActive();
                     });
    QSignalSpy controls(link.get(), &BoardLink::StationControlsEnabled);
    Answer(kStatus, record, 501);
    EXPECT_EQ(shown, record);
    EXPECT_FALSE(timerArmedWhenShown);
    EXPECT_TRUE(link->IsPollTimerActive());
    ASSERT_EQ(controls.size(), 1);
    EXPECT_TRUE(controls[0].at(0).toBool());
    EXPECT_EQ(link->ReceivedCount(), 1);
}

TEST_F(BoardLinkTest, ThirtyTimeOutsInARowStopAndLossesAmongAnswersOnlyCount) {
    ASSERT_NO_FATAL_FAILURE(Connect());
    QSignalSpy counters(link.get(), &BoardLink::CountersChanged);
    QSignalSpy stopped(link.get(), &BoardLink::StoppedByTimeOuts);
    // 29 in a row, an answer, 29 more: every one counts in Lost, none stops.
    for (int i = 1; i <= 58; ++i) {
        link->HandleTimeOut(link->StatusRequestId());
        ASSERT_EQ(link->LostCount(), i);
        ASSERT_TRUE(link->IsPollTimerActive()) << i;
        link->PollTick();
        if (i == 29) {
            Answer(kStatus, "a");
            link->PollTick();
        }
    }
    EXPECT_TRUE(messages.boxes.empty());
    EXPECT_EQ(link->TimeOutsInRow(), 29);
    // A command's time-out counts too, but only the poll's re-arms the timer.
    BoardOperation* notes = commands::ReadRelayNotes(*link, owner.get(), 1);
    link->HandleTimeOut(LastRequest().requestId);
    EXPECT_EQ(notes->Ending(), OperationEnding::TimedOut);
    EXPECT_EQ(link->State(), ConnectionState::NotConnected) << "the 30th in a row";
    EXPECT_EQ(stopped.count(), 1);
    EXPECT_EQ(link->LostCount(), 0);
    EXPECT_EQ(counters.last().at(2).toInt(), 0);
    EXPECT_FALSE(link->IsPollTimerActive());
    EXPECT_EQ(link->State(), ConnectionState::NotConnected);
}

// ---- ADC options data load -----------------------------------------------

TEST_F(BoardLinkTest, AdcDataLoadWalksAlertsThenScriptsThenReadsTheRecord) {
    ASSERT_NO_FATAL_FAILURE(Connect());
    BoardOperation* load = commands::LoadChannelOptions(*link, owner.get(), 3);
    QSignalSpy items(load, &BoardOperation::PoolItemReceived);
    QSignalSpy ended(load, &BoardOperation::Ended);
    EXPECT_EQ(LastRequest().oid, std::string(board::kAlertTable));
    EXPECT_EQ(LastRequest().type, PduType::GetNext);
    EXPECT_EQ(LastRequest().requestId, 502);

    const struct {
        std::string oid;
        QByteArray value;
        std::string nextOid;
        PduType nextType;
    } steps[] = {
        // clang-format off
        {Object(".65.3"), "3|email|Boss|x|y", Object(".65.3"), PduType::GetNext},
        {Object(".65.5"), "5|sms|Night|x|y", Object(".65.5"), PduType::GetNext},
        {Object(".650"), "9|never|row", Object(".72"), PduType::GetNext},
        {Object(".72.1"), "1|relay|Pump|x|y", Object(".72.1"), PduType::GetNext},
        {Object(".73.1"), "", Object(".66.3"), PduType::Get},
        // clang-format on
    };
    for (const auto& s : steps) {
        const std::size_t before = RequestCount();
        const int id = LastRequest().requestId;
        Answer(s.oid, s.value);
        Drain();
        ASSERT_EQ(RequestCount(), before + 1) << s.oid;
        EXPECT_EQ(LastRequest().oid, s.nextOid);
        EXPECT_EQ(LastRequest().type, s.nextType);
        EXPECT_EQ(LastRequest().requestId, id + 1) << "every step its own id";
        // The answer to a resend of the step just answered comes too late
        // to be taken for the next step's.
        Answer(s.oid, s.value, id);
        Drain();
        ASSERT_EQ(RequestCount(), before + 1) << s.oid;
    }
    ASSERT_EQ(items.size(), 3);
    const auto item = [&](int i) { return items[i].at(1).value<AdcListItem>(); };
    EXPECT_TRUE(items[0].at(0).toBool());
    EXPECT_EQ(item(0), (AdcListItem{3, QStringLiteral("EMAIL-Boss")}));
    EXPECT_EQ(item(1), (AdcListItem{5, QStringLiteral("SMS-Night")}));
    EXPECT_FALSE(items[2].at(0).toBool());
    EXPECT_EQ(item(2), (AdcListItem{1, QStringLiteral("RELAY-Pump")}));
    EXPECT_TRUE(ended.isEmpty());

    Answer(Object(".66.3"), "a|b|Notes|10|2|1|0|3.5.|3.5|||||||3600|90|1.5|2");
    ASSERT_EQ(ended.size(), 1);
    EXPECT_EQ(load->Ending(), OperationEnding::Done);
    // Its fields are ParseAdcChannelRecord's test.
    EXPECT_EQ(load->ChannelRecord().channel, 3);
    EXPECT_EQ(load->ChannelRecord().notes, QStringLiteral("Notes"));
    Drain();
    EXPECT_EQ(RequestCount(), 7u) << "the record ends the load";
}

TEST_F(BoardLinkTest, AGivenUpLoadLeavesTheNextOneAlone) {
    ASSERT_NO_FATAL_FAILURE(Connect());
    auto first = std::make_unique<QObject>();
    commands::LoadChannelOptions(*link, first.get(), 1);
    first.reset();  // channel 1's dialog is cancelled while its load is in flight
    BoardOperation* second = commands::LoadChannelOptions(*link, owner.get(), 2);
    QSignalSpy items(second, &BoardOperation::PoolItemReceived);
    ASSERT_EQ(RequestCount(), 3u);
    Answer(Object(".65.1"), "1|email|First|x|y", 502);
    Drain();
    EXPECT_EQ(RequestCount(), 3u) << "the given-up load goes no further";
    EXPECT_TRUE(items.isEmpty());
    Answer(Object(".65.2"), "2|email|Second|x|y", 503);
    Drain();
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].at(1).value<AdcListItem>().id, 2);
    EXPECT_EQ(LastRequest().oid, Object(".65.2"));
}

}  // namespace
}  // namespace volnar
