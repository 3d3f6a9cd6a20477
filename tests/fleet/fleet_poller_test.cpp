// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/status_panel.h"
#include "fleet/fleet_poller.h"
#include "link/board_objects.h"
#include "support/recording_transport.h"
#include "support/status_fields.h"

namespace volnar {
namespace {

StationRecord Station(const char* address, const char* port = "161", const char* timeout = "2",
                      const char* retries = "1") {
    return {.IPADDRESS = QString::fromLatin1(address),
            .PASSWORD = QStringLiteral("public"),
            .COMMENT = QStringLiteral("site ") + QString::fromLatin1(address),
            .DEFAULT = QStringLiteral("NO"),
            .PORT = QString::fromLatin1(port),
            .TIMEOUT = QString::fromLatin1(timeout),
            .RETRIES = QString::fromLatin1(retries)};
}

TEST(FleetState, FromTheAgeOfTheLastAnswer) {
    struct Case {
        std::optional<qint64> ageMs;
        FleetState state;
    };
    // Period 10 s, time-out 2 s.
    const std::vector<Case> cases = {
        {.ageMs = std::nullopt, .state = FleetState::Silent},
        {.ageMs = 0, .state = FleetState::Answering},
        {.ageMs = 12'000, .state = FleetState::Answering},
        {.ageMs = 12'001, .state = FleetState::Late},
        {.ageMs = 32'000, .state = FleetState::Late},
        {.ageMs = 32'001, .state = FleetState::Silent},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StateForAge(c.ageMs, 10'000, 2'000), c.state) << c.ageMs.value_or(-1);
    }
}

TEST(FleetSettings, ReadAsTheLinkReadsThemAndTheTemplateIsNeverPolled) {
    struct Case {
        StationRecord record;
        bool polled;
        qint64 timeoutMicroseconds = 0;
        int retries = 0;
        quint16 port = 0;
    };
    const std::vector<Case> cases = {
        // clang-format off
        {.record = Station("127.0.1.1", "1161", "2", "1"), .polled = true, .timeoutMicroseconds = 1'280'000, .retries = 1, .port = 1161},
        {.record = Station(" 127.0.1.2 ", "161", "", "-3"), .polled = true, .port = 161},
        // Out of the dialogs' ranges: clamped, never resent for ever.
        {.record = Station("127.0.1.3", "161", "100", "10"), .polled = true, .timeoutMicroseconds = 64'000'000, .retries = 10, .port = 161},
        {.record = Station("127.0.1.3", "161", "101", "2000000000"), .polled = true, .timeoutMicroseconds = 64'000'000, .retries = 10, .port = 161},
        {.record = Station("127.0.1.3", "161", "-5", "11"), .polled = true, .retries = 10, .port = 161},
        {.record = Station("10.10.10.10"), .polled = false},
        {.record = Station("127.0.1.300"), .polled = false},
        {.record = Station("station.example"), .polled = false},
        {.record = Station("127.0.1.1", "0"), .polled = false},
        {.record = Station("127.0.1.1", "65536"), .polled = false},
        {.record = Station("127.0.1.1", "x"), .polled = false},
        // clang-format on
    };
    for (const Case& c : cases) {
        const auto settings = FleetSettingsFor(c.record);
        ASSERT_EQ(settings.has_value(), c.polled) << qPrintable(c.record.IPADDRESS);
        if (settings) {
            EXPECT_EQ(settings->timeoutMicroseconds, c.timeoutMicroseconds);
            EXPECT_EQ(settings->retries, c.retries);
            EXPECT_EQ(settings->port, c.port);
            EXPECT_EQ(settings->community, QByteArray("public"));
        }
    }
}

std::string StatusRecord(const std::string& name, const std::string& reading1) {
    testing::StatusFields record;
    record.Reading(1) = reading1;
    record.RelayState(2) = "1";
    record.StationName() = name;
    return record.Join();
}

struct Fleet {
    std::vector<RecordingTransport*> transports;
    FleetPoller poller{nullptr, [this] {
                           auto transport = std::make_unique<RecordingTransport>();
                           transports.push_back(transport.get());
                           return transport;
                       }};
};

TEST(FleetPoller, RoutesEachAnswerToItsRowAndNeverStops) {
    Fleet fleet;
    fleet.poller.SetStations({Station("127.0.1.1"), Station("10.10.10.10"), Station("127.0.1.2"),
                              Station("127.0.1.3"), Station("bogus")});
    ASSERT_EQ(fleet.poller.RowCount(), 3);
    ASSERT_EQ(fleet.transports.size(), 3u);
    fleet.poller.PollAll();
    for (RecordingTransport* transport : fleet.transports) {
        ASSERT_EQ(transport->requests.size(), 1u);
        EXPECT_EQ(transport->requests[0].type, PduType::Get);
        EXPECT_EQ(transport->requests[0].oid, board::kStatusRecord);
    }
    // Each station's ids start at random: not the client's 501, not each other's.
    EXPECT_NE(fleet.transports[0]->requests[0].requestId,
              fleet.transports[1]->requests[0].requestId);
    const auto answer = [&](int row, int errorStatus, const std::string& record) {
        BoardResponse response;
        response.requestId =
            fleet.transports[static_cast<std::size_t>(row)]->requests.back().requestId;
        response.errorStatus = errorStatus;
        response.oid = std::string(board::kStatusRecord);
        response.syntax = kSyntaxOctetString;
        response.value = QByteArray::fromStdString(record);
        Q_EMIT fleet.transports[static_cast<std::size_t>(row)]->ResponseReceived(response);
    };
    answer(0, 0, StatusRecord("North \"1\"", "1.23456"));
    answer(1, 5, "");
    Q_EMIT fleet.transports[2]->TimedOut(fleet.transports[2]->requests.back().requestId);
    Q_EMIT fleet.transports[2]->TimedOut(999);  // no request of this row: ignored

    struct Expect {
        quint64 received, lost, refused;
        FleetState state;
    };
    const std::vector<Expect> expected = {
        {.received = 1, .lost = 0, .refused = 0, .state = FleetState::Answering},
        {.received = 0, .lost = 0, .refused = 1, .state = FleetState::Answering},
        {.received = 0, .lost = 1, .refused = 0, .state = FleetState::Silent},
    };
    for (int row = 0; row < 3; ++row) {
        const auto& e = expected[static_cast<std::size_t>(row)];
        EXPECT_EQ(fleet.poller.Row(row).counters.received, e.received) << row;
        EXPECT_EQ(fleet.poller.Row(row).counters.lost, e.lost) << row;
        EXPECT_EQ(fleet.poller.Row(row).counters.refused, e.refused) << row;
        EXPECT_EQ(fleet.poller.StateOf(row), e.state) << row;
    }
    EXPECT_EQ(fleet.poller.Row(0).readings->AdcValue(1), QStringLiteral(" 1.23"));
    EXPECT_EQ(fleet.poller.Row(0).readings->RelayState(2), 1);

    // A row still waiting misses the next round; the others are asked again.
    fleet.transports[1]->nextStatus = SendStatus::SendFailed;
    answer(0, 0, StatusRecord("x", "0"));  // stale id: already answered, ignored
    fleet.poller.PollAll();
    EXPECT_EQ(fleet.transports[0]->requests.size(), 2u);
    EXPECT_EQ(fleet.poller.Row(1).counters.lost, 1u);
    EXPECT_EQ(fleet.poller.Totals().missed, 0u);
    fleet.poller.PollAll();
    EXPECT_EQ(fleet.poller.Row(0).counters.missed, 1u);
    EXPECT_EQ(fleet.poller.Row(0).readings->StationName(), QStringLiteral("North \"1\""));

    // No socket for a station (out of descriptors): a counted row state.
    fleet.transports[1]->nextStatus = SendStatus::SessionFailed;
    fleet.poller.PollAll();
    EXPECT_EQ(fleet.poller.Row(1).counters.noSocket, 1u);
    EXPECT_EQ(fleet.poller.StateOf(1), FleetState::NoSocket);
    EXPECT_EQ(FleetStateText(FleetState::NoSocket), QStringLiteral("no socket"));
}

// A relay switched from the main window that the station does not follow
// within three answers is the row's alarm, beside its channels', until an
// answer reports the state asked; a directory read again keeps the ask.
TEST(FleetPoller, ARelayTheStationDidNotSwitchIsAnAlarmUntilItDoes) {
    Fleet fleet;
    fleet.poller.SetStations({Station("127.0.1.1"), Station("127.0.1.2")});
    StationTriggers triggers;
    triggers.fill(ChannelTriggers{});
    triggers[0] = ChannelTriggers{.high = 1.0, .low = std::nullopt};
    const auto answer = [&](const char* relay2, const char* reading1) {
        fleet.poller.PollAll();
        testing::StatusFields record;
        record.Reading(1) = reading1;
        record.RelayState(2) = relay2;
        BoardResponse response;
        response.requestId = fleet.transports[0]->requests.back().requestId;
        response.oid = std::string(board::kStatusRecord);
        response.syntax = kSyntaxOctetString;
        response.value = QByteArray::fromStdString(record.Join());
        Q_EMIT fleet.transports[0]->ResponseReceived(response);
        const FleetRow& row = fleet.poller.Row(0);
        return AlarmText(AlarmsOf(row.readings->Record(), triggers, row.relays), triggers,
                         row.relays);
    };
    fleet.poller.ExpectRelay(QStringLiteral("127.0.1.9"), 2, 0);  // no such row: nothing
    EXPECT_EQ(answer("1", "0.5"), QStringLiteral("none"));
    fleet.poller.ExpectRelay(QStringLiteral("127.0.1.1"), 2, 0);
    EXPECT_EQ(fleet.poller.Row(1).relays.StatusOf(2), RelayConfirmation::Status::None);
    EXPECT_EQ(answer("1", "0.5"), QStringLiteral("none"));
    EXPECT_EQ(answer("1", "0.5"), QStringLiteral("none"));
    fleet.poller.SetStations({Station("127.0.1.1"), Station("127.0.1.2")});
    EXPECT_EQ(answer("1", "2"), QStringLiteral("input 1 high, relay 2: station still reports ON"));
    EXPECT_EQ(answer("1", "0.5"), QStringLiteral("relay 2: station still reports ON"));
    EXPECT_EQ(answer("0", "0.5"), QStringLiteral("none"));
    EXPECT_EQ(answer("1", "0.5"), QStringLiteral("none")) << "a later change is the station's own";

    // A trigger changed from the ADC dialog counts at once for its row.
    fleet.poller.SetTriggers(QStringLiteral("127.0.1.1"), 1,
                             ChannelTriggers{.high = std::nullopt, .low = 0.75});
    fleet.poller.SetTriggers(QStringLiteral("127.0.1.1"), 9,
                             ChannelTriggers{.high = 0.1, .low = std::nullopt});
    triggers = fleet.poller.Row(0).triggers;
    EXPECT_EQ(answer("1", "0.5"), QStringLiteral("input 1 low"));
    EXPECT_FALSE(fleet.poller.Row(1).triggers[0].has_value());
}

// 127.0.1.01 is 127.0.1.1 again: polled once, counted as a duplicate;
// another port is another station. Read again, the stations still in the
// directory keep their counters, readings and transport.
TEST(FleetPoller, ADuplicateRowIsPolledOnceAndAReadAgainKeepsTheStations) {
    Fleet fleet;
    fleet.poller.SetStations({Station("127.0.1.1"), Station("127.0.1.2"), Station("127.0.1.01"),
                              Station("127.0.1.2", "1161")});
    ASSERT_EQ(fleet.poller.RowCount(), 3);
    EXPECT_EQ(fleet.poller.DuplicateRows(), 1);
    fleet.poller.PollAll();
    BoardResponse response;
    response.requestId = fleet.transports[0]->requests.back().requestId;
    response.oid = std::string(board::kStatusRecord);
    response.syntax = kSyntaxOctetString;
    response.value = QByteArray::fromStdString(StatusRecord("North", "1"));
    Q_EMIT fleet.transports[0]->ResponseReceived(response);
    Q_EMIT fleet.transports[1]->TimedOut(fleet.transports[1]->requests.back().requestId);

    fleet.poller.SetStations({Station("127.0.1.2"), Station("127.0.1.9"), Station("127.0.1.01")});
    ASSERT_EQ(fleet.poller.RowCount(), 3);
    EXPECT_EQ(fleet.poller.DuplicateRows(), 0);
    EXPECT_EQ(fleet.poller.Row(0).counters.lost, 1u);
    EXPECT_EQ(fleet.poller.Row(1).counters.received + fleet.poller.Row(1).counters.lost, 0u);
    EXPECT_EQ(fleet.poller.Row(2).counters.received, 1u);
    EXPECT_EQ(fleet.poller.Row(2).readings->StationName(), QStringLiteral("North"));
    EXPECT_EQ(fleet.transports.size(), 4u);  // one new transport, for 127.0.1.9
}

}  // namespace
}  // namespace volnar
