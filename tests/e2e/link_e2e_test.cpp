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
#include "support/qt_print.h"
#include "support/recording_message_service.h"
#include "support/simulator_link.h"
#include "support/snmp_datagram.h"

namespace volnar {
namespace {

using ::volnar::testing::WaitFor;

class LinkE2E : public testing::SimulatorLinkTest {
protected:
    // Starts the simulator and a link whose directory holds it as 127.0.0.1.
    void Begin(QStringList simArgs, QString timeout = QStringLiteral("10"),
               QString retries = QStringLiteral("2")) {
        StartSimulatorAndLink(std::move(simArgs), QStringLiteral("s3cret"), std::move(timeout),
                              std::move(retries));
    }

    QList<QJsonObject> Requests() const { return sim->Requests(); }
};

// Real time-outs from net-snmp count as lost and the next status GET follows;
// the stop after thirty in a row is the dispatcher's (unit tests).
TEST_F(LinkE2E, DroppedRequestsCountAsLostAndPollingGoesOn) {
    Begin({QStringLiteral("--drop"), QStringLiteral("1")}, QStringLiteral("1"),
          QStringLiteral("0"));
    link->Start();
    ASSERT_TRUE(WaitFor([&] { return link->LostCount() >= 2; }));
    EXPECT_TRUE(messages.boxes.empty());
    EXPECT_EQ(link->ReceivedCount(), 0);
    ASSERT_TRUE(WaitFor([&] { return Requests().size() >= 2; }));
    EXPECT_EQ(Requests()[0][QStringLiteral("request_id")].toInt(), 501);
    EXPECT_EQ(Requests()[1][QStringLiteral("request_id")].toInt(), 502);
}

// A station directory row with no time-out of its own (the template's row has
// NULL) leaves net-snmp's default: requests wait for the station's answer.
TEST_F(LinkE2E, AnEmptyNullOrZeroTimeOutWaitsAsLongAsNetSnmpsDefault) {
    Begin({QStringLiteral("--delay"), QStringLiteral("300")}, QString(), QStringLiteral("2"));
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
    for (const QJsonObject& line : Requests()) {
        ids << line[QStringLiteral("request_id")].toInt();
    }
    EXPECT_EQ(ids.count(501), 3) << "once per START";
    EXPECT_EQ(ids.count(502), 3);
    EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();
}

TEST_F(LinkE2E, ScriptExecuteRequestsWithOneRoutingIdWaitForEachOther) {
    Begin({QStringLiteral("--scripts"), QStringLiteral("2"), QStringLiteral("--delay"),
           QStringLiteral("150")});
    ASSERT_TRUE(link->StartSnmpSession());
    QSignalSpy notices(link.get(), &BoardLink::NoticeRequested);
    QObject screen;
    commands::ExecuteRow(*link, &screen, BoardTable::Scripts, 1);
    commands::ExecuteRow(*link, &screen, BoardTable::Scripts, 2);
    EXPECT_EQ(link->SentCount(), 2);
    ASSERT_TRUE(session);
    EXPECT_EQ(session->WaitingCount(), 1);
    ASSERT_TRUE(WaitFor([&] { return notices.size() == 2; }));
    EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();
    EXPECT_EQ(notices[0].at(0).toInt(), 6);
    EXPECT_EQ(notices[1].at(0).toInt(), 6);
    const QList<QJsonObject> requests = Requests();
    EXPECT_EQ(session->WaitingCount(), 0);
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests[0][QStringLiteral("request_id")].toInt(), 423);
    EXPECT_EQ(requests[0][QStringLiteral("value")].toInt(), 1);
    EXPECT_EQ(requests[1][QStringLiteral("value")].toInt(), 2);
}

// Everything a stranger on the network can send to the client's port while it
// polls the simulator: requests, a trap and answers from another address or
// port, with the right and the wrong community, for the id in flight and
// others. None of it is an answer.
TEST_F(LinkE2E, RogueDatagramsWhilePollingNeverReachTheWindowOrTheCounters) {
    // Slow answers keep each status request in flight while the forgeries
    // for its id arrive.
    Begin({QStringLiteral("--delay"), QStringLiteral("300")});
    QSignalSpy records(link.get(), &BoardLink::StatusRecordReceived);
    QSignalSpy notices(link.get(), &BoardLink::NoticeRequested);
    link->Start();
    ASSERT_TRUE(WaitFor([&] { return link->ReceivedCount() >= 2; }));
    ASSERT_TRUE(session);
    const std::uint16_t client = session->LocalPort();
    ASSERT_NE(client, 0);

    using namespace testing;
    const LoopbackSender stranger("127.0.0.2");
    const LoopbackSender neighbour("127.0.0.1");  // the station's address, another port
    ASSERT_TRUE(stranger.Ok() && neighbour.Ok());
    const std::string status(board::kStatusRecord);
    std::string forged = "FORGED-NAME";
    for (int field = 1; field < 60; ++field) {
        forged += "|1";
    }
    int sent = 0;
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(WaitFor([&] { return link->SentCount() > link->ReceivedCount(); }));
        const int id = link->LastRequestId();  // the status request in flight
        const struct {
            int pdu;
            const char* community;
            int requestId;
            int errorStatus;
        } kinds[] = {
            {.pdu = kGet,
             .community = "s3cret",
             .requestId = routing::kScriptExecute,
             .errorStatus = 0},
            {.pdu = kGetNext, .community = "s3cret", .requestId = id, .errorStatus = 0},
            {.pdu = kSet, .community = "s3cret", .requestId = id, .errorStatus = 0},
            {.pdu = kTrap, .community = "s3cret", .requestId = 1, .errorStatus = 0},
            {.pdu = kResponse, .community = "s3cret", .requestId = id, .errorStatus = 0},
            {.pdu = kResponse, .community = "s3cret", .requestId = id, .errorStatus = 5},
            {.pdu = kResponse, .community = "s3cret", .requestId = id + 1, .errorStatus = 0},
            {.pdu = kResponse, .community = "public", .requestId = id, .errorStatus = 0},
            {.pdu = kResponse, .community = "s3cret", .requestId = 777777, .errorStatus = 0},
        };
        for (const auto& kind : kinds) {
            for (const LoopbackSender* from : {&stranger, &neighbour}) {
                ASSERT_TRUE(from->SendTo(client, V1Message(kind.pdu, kind.community, kind.requestId,
                                                           status, forged, kind.errorStatus)));
                ++sent;
            }
        }
        ASSERT_TRUE(stranger.SendTo(client, "\x30\x03\x02\x01"));  // cut short
        ++sent;
        QTest::qWait(50);
    }
    ASSERT_TRUE(WaitFor([&] { return session->DroppedCount() >= sent; }));
    // Polling goes on undisturbed.
    const int received = link->ReceivedCount();
    ASSERT_TRUE(WaitFor([&] { return link->ReceivedCount() >= received + 2; }));

    EXPECT_EQ(session->DroppedCount(), sent);
    EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();
    EXPECT_TRUE(notices.isEmpty());
    for (const auto& args : records) {
        EXPECT_FALSE(args.at(0).toByteArray().startsWith("FORGED"));
    }
    EXPECT_EQ(link->ReceivedCount(), records.size());
    EXPECT_GE(link->SentCount(), link->ReceivedCount());
    EXPECT_EQ(link->LostCount(), 0);
    EXPECT_EQ(link->State(), ConnectionState::Connected);
}

// From the station's own address and port (the test plays the station), a
// Response still needs the community and an id in flight, and a refused one
// leaves the request waiting for the real answer.
TEST(LinkSessionE2E, FromTheStationsOwnPortOnlyItsAnswerForTheRequestInFlightCounts) {
    using namespace testing;
    const LoopbackSender station("127.0.0.1");
    ASSERT_TRUE(station.Ok());
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
    const std::string rogues[] = {
        V1Message(kResponse, "public", 501, name, "wrong community"),
        V1Message(kResponse, "", 501, name, "no community"),
        V1Message(kResponse, "s3cret", 502, name, "unknown id"),
        V1Message(kGet, "s3cret", 501, name, "a request"),
        V1Message(kTrap, "s3cret", 501, name, "a trap"),
    };
    for (const std::string& rogue : rogues) {
        ASSERT_TRUE(station.SendTo(client, rogue));
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
