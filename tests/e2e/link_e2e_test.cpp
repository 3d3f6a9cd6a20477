// SPDX-License-Identifier: GPL-3.0-or-later
// The board link against volnar-station on loopback: real net-snmp sessions,
// real packets, the simulator's request log as the witness.
#include <gtest/gtest.h>

#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>

#include "link/board_commands.h"
#include "link/board_link.h"
#include "link/board_objects.h"
#include "link/snmp_session.h"
#include "support/simulator_link.h"
#include "support/snmp_datagram.h"

namespace volnar {
namespace {

using ::volnar::testing::WaitFor;

using LinkE2E = testing::SimulatorLinkTest;

// Real time-outs from net-snmp count as lost and the next status GET follows;
// the stop after thirty in a row is the dispatcher's (unit tests).
TEST_F(LinkE2E, DroppedRequestsCountAsLostAndPollingGoesOn) {
    ASSERT_NO_FATAL_FAILURE(StartSimulatorAndLink({QStringLiteral("--drop"), QStringLiteral("1")},
                                                  QStringLiteral("public"), QStringLiteral("1"),
                                                  QStringLiteral("0")));
    link->Start();
    ASSERT_TRUE(WaitFor([&] { return link->LostCount() >= 2; }));
    EXPECT_TRUE(messages.boxes.empty());
    EXPECT_EQ(link->ReceivedCount(), 0);
    ASSERT_TRUE(WaitFor([&] { return sim->Requests().size() >= 2; }));
    EXPECT_EQ(sim->Requests()[0][QStringLiteral("request_id")].toInt(), 501);
    EXPECT_EQ(sim->Requests()[1][QStringLiteral("request_id")].toInt(), 502);
}

// A station directory row with no time-out of its own (the template's row has
// NULL) leaves net-snmp's default: requests wait for the station's answer.
TEST_F(LinkE2E, AnEmptyNullOrZeroTimeOutWaitsAsLongAsNetSnmpsDefault) {
    ASSERT_NO_FATAL_FAILURE(StartSimulatorAndLink(
        {QStringLiteral("--delay"), QStringLiteral("300")}, QStringLiteral("public"), QString()));
    for (const QString& timeout : {QString(), QStringLiteral("0"), QStringLiteral("NULL")}) {
        record.TIMEOUT = timeout;
        link->Start();
        ASSERT_TRUE(
            WaitFor([&] { return link->ReceivedCount() >= 2 || link->LostCount() > 0; }, 5000))
            << timeout.toStdString();
        EXPECT_EQ(link->LostCount(), 0) << timeout.toStdString();
        link->StopPolling();
    }
    // No request went out twice: nothing timed out and was sent again.
    QList<int> ids;
    for (const QJsonObject& line : sim->Requests()) {
        ids << line[QStringLiteral("request_id")].toInt();
    }
    EXPECT_EQ(ids.count(501), 3) << "once per START";
    EXPECT_EQ(ids.count(502), 3);
    EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();
}

// Answers a second late and half the requests dropped, with a time-out of
// 640 ms and two resends: a poll whose first copy was dropped is answered
// through a later one, and its round trip is that copy's, about the delay,
// not the delay plus the waits before it (1,640 or 2,280 ms).
TEST_F(LinkE2E, APollAnsweredThroughALaterCopyIsTimedFromThatCopy) {
    ASSERT_NO_FATAL_FAILURE(StartSimulatorAndLink(
        {QStringLiteral("--delay"), QStringLiteral("1000"), QStringLiteral("--drop"),
         QStringLiteral("0.5"), QStringLiteral("--seed"), QStringLiteral("3")},
        QStringLiteral("public"), QStringLiteral("1"), QStringLiteral("2")));
    QList<int> roundTrips;
    QObject::connect(link.get(), &BoardLink::StatusRecordReceived, link.get(),
                     [&] { roundTrips << link->LastRoundTripMs(); });
    link->Start();
    ASSERT_TRUE(WaitFor([&] { return roundTrips.size() >= 4; }, 30000));
    link->StopPolling();
    int gets = 0;
    for (const QJsonObject& line : sim->Requests()) {
        gets += line[QStringLiteral("pdu")].toString() == QStringLiteral("GET");
    }
    EXPECT_GT(gets, link->SentCount()) << "no poll needed a second copy";
    for (const int ms : roundTrips) {
        EXPECT_GE(ms, 950);
        EXPECT_LT(ms, 1500) << "timed from an earlier copy";
    }
}

// SET requests the station received for `object`.
int SetsOn(const testing::StationSimulator& sim, std::string_view object) {
    int count = 0;
    for (const QJsonObject& line : sim.Requests()) {
        count += line[QStringLiteral("pdu")].toString() == QStringLiteral("SET") &&
                 line[QStringLiteral("oid")].toString().toStdString() == object;
    }
    return count;
}

// Answers later than the station's TIMEOUT with RETRIES 2 (net-snmp resends,
// and the station answers every copy), or a network that doubles every
// answer: each change that would act again reaches the station once, every
// command ends Done, and walks and loads read exactly the station's rows.
TEST_F(LinkE2E, SlowOrDuplicatingLinksDoEachChangeOnceAndReadEachRowOnce) {
    const QByteArray script = "0|relay|Slow|n|000C01|";
    const QByteArray alert = "0|SMS|Door|P|Modem2|Door open|-|-|-|-|-|-|-|-|";
    const QByteArray settings = "1|80.000|0.0000|1|0|3.3.|||||||2.|30|0|1.0000|3|a|100|50|";
    QObject screen;
    using Start = std::function<BoardOperation*()>;
    const struct {
        const char* name;
        Start start;
        std::string_view once;  // the object a once-only SET goes to; empty: may repeat
        int rows;               // rows or pool entries read
    } commands[] = {
        // clang-format off
        {"script walk", [&] { return commands::WalkTable(*link, &screen, BoardTable::Scripts); }, {}, 3},
        {"alert walk", [&] { return commands::WalkTable(*link, &screen, BoardTable::Alerts); }, {}, 2},
        {"channel load", [&] { return commands::LoadChannelOptions(*link, &screen, 2); }, {}, 5},
        {"execute script", [&] { return commands::ExecuteRow(*link, &screen, BoardTable::Scripts, 1); }, board::kScriptExecute, 0},
        {"pulse", [&] { return commands::PulseRelay(*link, &screen, 2, 1); }, board::kRelayPulse[2], 0},
        {"add script", [&] { return commands::UploadScript(*link, &screen, true, script); }, board::kScriptRecord, 0},
        {"add alert", [&] { return commands::UploadAlert(*link, &screen, true, alert); }, board::kAlertRecord, 0},
        {"execute alert", [&] { return commands::ExecuteRow(*link, &screen, BoardTable::Alerts, 1); }, board::kAlertExecute, 0},
        {"delete script", [&] { return commands::DeleteRow(*link, &screen, BoardTable::Scripts, 2); }, board::kScriptDelete, 0},
        {"delete alert", [&] { return commands::DeleteRow(*link, &screen, BoardTable::Alerts, 2); }, board::kAlertDelete, 0},
        {"switch", [&] { return commands::SwitchRelay(*link, &screen, 1, true); }, {}, 0},
        {"rename", [&] { return commands::RenameStation(*link, &screen, QStringLiteral("Slow")); }, {}, 0},
        {"relay notes", [&] { return commands::SetRelayNotes(*link, &screen, 3, QStringLiteral("n")); }, {}, 0},
        {"channel settings", [&] { return commands::UploadChannelSettings(*link, &screen, 1, settings); }, {}, 0},
        // clang-format on
    };
    for (const QStringList& fault :
         {QStringList{QStringLiteral("--delay"), QStringLiteral("1000")},
          QStringList{QStringLiteral("--duplicate"), QStringLiteral("1")}}) {
        ASSERT_NO_FATAL_FAILURE(StartSimulatorAndLink(
            fault + QStringList{QStringLiteral("--scripts"), QStringLiteral("3"),
                                QStringLiteral("--alerts"), QStringLiteral("2")},
            QStringLiteral("public"), QStringLiteral("1"), QStringLiteral("2")));
        ASSERT_TRUE(link->StartSnmpSession());
        const std::string where = fault.join(u' ').toStdString();
        for (const auto& c : commands) {
            BoardOperation* operation = c.start();
            int rows = 0;
            QObject::connect(operation, &BoardOperation::RowReceived, &screen, [&] { ++rows; });
            QObject::connect(operation, &BoardOperation::PoolItemReceived, &screen,
                             [&] { ++rows; });
            ASSERT_TRUE(WaitFor([&] { return !operation->IsPending(); }, 30000)) << c.name;
            EXPECT_EQ(operation->Ending(), OperationEnding::Done)
                << c.name << " " << where << ": " << operation->Text().toStdString();
            EXPECT_EQ(rows, c.rows) << c.name << " " << where;
            if (!c.once.empty()) {
                EXPECT_EQ(SetsOn(*sim, c.once), 1) << c.name << " " << where;
            }
        }
        EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();
        link.reset();
    }
}

// Answers from 0 to 1.4 s on a TIMEOUT of 0.64 s: twenty ADC loads and four
// walks at once, every request its own id, each reads exactly the station's
// rows and its own channel's record.
TEST_F(LinkE2E, TwentyLoadsAndWalksAtOnceOnAJitteryLinkEachReadTheirOwnRows) {
    ASSERT_NO_FATAL_FAILURE(StartSimulatorAndLink(
        {QStringLiteral("--delay"), QStringLiteral("700:700"), QStringLiteral("--scripts"),
         QStringLiteral("2"), QStringLiteral("--alerts"), QStringLiteral("1")},
        QStringLiteral("public"), QStringLiteral("1"), QStringLiteral("2")));
    ASSERT_TRUE(link->StartSnmpSession());
    QObject screen;
    constexpr int kLoads = 20;
    std::vector<BoardOperation*> operations;
    std::vector<int> rows(kLoads + 4, 0);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int channel = 1 + static_cast<int>(i) % 8;
        operations.push_back(i < kLoads ? commands::LoadChannelOptions(*link, &screen, channel)
                                        : commands::WalkTable(*link, &screen, BoardTable::Scripts));
        int& count = rows[i];
        QObject::connect(operations.back(), &BoardOperation::RowReceived, &screen,
                         [&count] { ++count; });
        QObject::connect(operations.back(), &BoardOperation::PoolItemReceived, &screen,
                         [&count] { ++count; });
    }
    ASSERT_TRUE(WaitFor(
        [&] {
            return std::none_of(operations.begin(), operations.end(),
                                [](const BoardOperation* o) { return o->IsPending(); });
        },
        60000));
    for (std::size_t i = 0; i < operations.size(); ++i) {
        EXPECT_EQ(operations[i]->Ending(), OperationEnding::Done)
            << i << ": " << operations[i]->Text().toStdString();
        EXPECT_EQ(rows[i], i < kLoads ? 3 : 2) << i;
        if (i < kLoads) {
            EXPECT_EQ(operations[i]->ChannelRecord().channel, 1 + static_cast<int>(i) % 8) << i;
        }
    }
    EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();
}

// The test plays the station: only a Response from its address and port,
// with its community, for the request in flight is an answer. Nothing else
// anyone sends to the client's port is, and none of it takes the request's
// place: it still waits for the real answer.
TEST(LinkSessionE2E, OnlyTheStationsAnswerForTheRequestInFlightCounts) {
    using namespace testing;
    const LoopbackSender station("127.0.0.1");
    const LoopbackSender stranger("127.0.0.2");
    const LoopbackSender neighbour("127.0.0.1");  // the station's address, another port
    ASSERT_TRUE(station.Ok() && stranger.Ok() && neighbour.Ok());
    SnmpSession session;
    QSignalSpy answers(&session, &SnmpTransport::ResponseReceived);
    BoardRequest request;
    request.station =
        StationSettings{QStringLiteral("127.0.0.1"), station.Port(), "s3cret", 5'000'000, 0};
    request.requestId = 501;
    request.oid = std::string(board::kSysName);
    ASSERT_EQ(session.Send(request), SendStatus::Accepted);
    const std::uint16_t client = session.LocalPort();
    ASSERT_NE(client, 0);

    const std::string name(board::kSysName);
    const struct {
        const LoopbackSender* from;
        std::string bytes;
    } rogues[] = {
        // clang-format off
        {&station, V1Message(kResponse, "public", 501, name, "wrong community")},
        {&station, V1Message(kResponse, "", 501, name, "no community")},
        {&station, V1Message(kResponse, "s3cret", 502, name, "unknown id")},
        {&station, V1Message(kGet, "s3cret", 501, name, "a request")},
        {&station, V1Message(kTrap, "s3cret", 501, name, "a trap")},
        {&stranger, V1Message(kResponse, "s3cret", 501, name, "another address")},
        {&stranger, V1Message(kResponse, "s3cret", 501, name, "refused", 5)},
        {&stranger, V1Message(kSet, "s3cret", 501, name, "a SET")},
        {&neighbour, V1Message(kResponse, "s3cret", 501, name, "another port")},
        {&stranger, std::string("\x30\x03\x02\x01")},  // cut short
        // clang-format on
    };
    for (const auto& rogue : rogues) {
        ASSERT_TRUE(rogue.from->SendTo(client, rogue.bytes));
    }
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return session.DroppedCount() == static_cast<int>(std::size(rogues)); }, 5000));
    EXPECT_TRUE(answers.isEmpty());

    ASSERT_TRUE(station.SendTo(client, V1Message(kResponse, "s3cret", 501, name, "STATION")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers.size() == 1; }, 5000));
    const auto answer = answers[0].at(0).value<BoardResponse>();
    EXPECT_EQ(answer.requestId, 501);
    EXPECT_EQ(answer.value, QByteArray("STATION"));
    // Answered once: a repeat is no longer for a request in flight.
    ASSERT_TRUE(station.SendTo(client, V1Message(kResponse, "s3cret", 501, name, "again")));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return session.DroppedCount() == static_cast<int>(std::size(rogues)) + 1; }, 5000));
    EXPECT_EQ(answers.size(), 1);
}

// The session layer alone: a request whose settings differ gets a net-snmp
// session of its own, and the one it replaced stays until its answer is in.
TEST(LinkSessionE2E, ChangedStationSettingsKeepTheOldSessionUntilItsAnswerArrives) {
    testing::StationSimulator sim({QStringLiteral("--delay"), QStringLiteral("200")},
                                  QStringLiteral("public"));
    ASSERT_TRUE(sim.Start()) << sim.errorText().toStdString();
    SnmpSession session;
    QSignalSpy answers(&session, &SnmpTransport::ResponseReceived);
    QSignalSpy timeOuts(&session, &SnmpTransport::TimedOut);

    BoardRequest first;
    first.station =
        StationSettings{QStringLiteral("127.0.0.1"), sim.port(), "public", 2'000'000, 1};
    first.requestId = 601;
    first.oid = std::string(board::kStatusRecord);
    BoardRequest second = first;
    second.station.retries = 0;
    second.requestId = 602;
    second.oid = std::string(board::kSysName);

    ASSERT_EQ(session.Send(first), SendStatus::Accepted);
    ASSERT_EQ(session.Send(second), SendStatus::Accepted);
    EXPECT_EQ(session.OpenSessionCount(), 2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers.size() == 2; }, 20000));
    EXPECT_EQ(timeOuts.size(), 0);
    QList<int> ids;
    for (const auto& args : answers) {
        const auto answer = args.at(0).value<BoardResponse>();
        ids << answer.requestId;
        EXPECT_EQ(answer.errorStatus, 0);
        if (answer.requestId == 601) {
            EXPECT_EQ(answer.oid, board::kStatusRecord);
            EXPECT_EQ(answer.syntax, kSyntaxOctetString);
            EXPECT_GE(answer.value.count('|'), 59);
        } else {
            EXPECT_EQ(answer.oid, board::kSysName);
        }
    }
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (QList<int>{601, 602}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.OpenSessionCount() == 1; }, 5000));

    // Identifiers that are not dotted numbers never reach the wire.
    BoardRequest bad = first;
    bad.oid = "1.3.6.1.2.1.1.5.";
    EXPECT_EQ(session.Send(bad), SendStatus::BadIdentifier);
}

}  // namespace
}  // namespace volnar
