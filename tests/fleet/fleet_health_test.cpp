// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QSettings>

#include <string>
#include <vector>

#include "core/status_panel.h"
#include "fleet/fleet_health.h"
#include "fleet/fleet_poller.h"
#include "link/board_objects.h"
#include "support/recording_transport.h"
#include "support/status_fields.h"

namespace volnar {
namespace {

constexpr qint64 kMinute = 60'000;

TEST(LossWindow, CountsTheRequestsEndedInTheLastHour) {
    struct Event {
        qint64 atMs;
        bool lost;
    };
    struct Case {
        const char* what;
        std::vector<Event> events;
        qint64 nowMs;
        std::optional<double> percent;
        const char* text;
    };
    const std::vector<Case> cases = {
        // clang-format off
        {.what = "nothing ended", .events = {}, .nowMs = 0, .percent = std::nullopt, .text = ""},
        {.what = "one of four lost", .events = {{0, false}, {1'000, true}, {kMinute, false}, {2 * kMinute, false}}, .nowMs = 2 * kMinute, .percent = 25.0, .text = "25 %"},
        {.what = "one of 40 lost", .events = {{0, true}}, .nowMs = 59 * kMinute, .percent = 100.0, .text = "100 %"},
        // The first minute drops out once an hour has passed.
        {.what = "an hour later", .events = {{0, true}, {30 * kMinute, false}}, .nowMs = 60 * kMinute, .percent = 0.0, .text = "0 %"},
        // A bucket reused an hour later starts again (same slot, new minute).
        {.what = "slot reused", .events = {{0, true}, {60 * kMinute, false}, {60 * kMinute + 1, false}}, .nowMs = 60 * kMinute + 2, .percent = 0.0, .text = "0 %"},
        {.what = "all gone", .events = {{0, true}}, .nowMs = 200 * kMinute, .percent = std::nullopt, .text = ""},
        // clang-format on
    };
    for (const Case& c : cases) {
        LossWindow window;
        for (const Event& e : c.events) {
            window.Add(e.atMs, e.lost);
        }
        EXPECT_EQ(window.LossPercent(c.nowMs), c.percent) << c.what;
        EXPECT_EQ(LossText(window.LossPercent(c.nowMs)), QString::fromUtf8(c.text)) << c.what;
    }
    // A rare loss still shows: 1 of 40.
    LossWindow rare;
    for (int k = 0; k < 40; ++k) {
        rare.Add(k * 1000, k == 0);
    }
    EXPECT_EQ(LossText(rare.LossPercent(40'000)), QStringLiteral("2.5 %"));
}

// Channel 1 reads 1.25 V (two decimals) unless a case says otherwise.
TEST(FleetAlarms, AChannelPastAnEnabledTrigger) {
    struct Case {
        const char* settings;  // channel 1's configuration record
        const char* reading;
        std::vector<ChannelAlarm> alarms;
        const char* text;
    };
    const std::vector<Case> cases = {
        // clang-format off
        {.settings = "1|Bank|n|1.2000|0.5000|1|1|", .reading = "1.25", .alarms = {{.channel = 1, .high = true}}, .text = "input 1 high"},
        {.settings = "1|Bank|n|1.2000|0.5000|0|1|", .reading = "1.25", .alarms = {}, .text = "none"},
        {.settings = "1|Bank|n|2.0000|1.3000|1|1|", .reading = "1.25", .alarms = {{.channel = 1, .high = false}}, .text = "input 1 low"},
        {.settings = "1|Bank|n|2.0000|1.3000|1|0|", .reading = "1.25", .alarms = {}, .text = "none"},
        // At the level is not past it; compared as shown (1.254 shows 1.25).
        {.settings = "1|Bank|n|1.25|0|1|0|", .reading = "1.254", .alarms = {}, .text = "none"},
        {.settings = "1|Bank|n|1.25|0|1|0|", .reading = "1.256", .alarms = {{.channel = 1, .high = true}}, .text = "input 1 high"},
        // Any non-zero flag is on; a level that is no number is no trigger.
        {.settings = "1|Bank|n|1.0|0|7|0|", .reading = "1.25", .alarms = {{.channel = 1, .high = true}}, .text = "input 1 high"},
        {.settings = "1|Bank|n|abc|0|1|0|", .reading = "1.25", .alarms = {}, .text = "none"},
        {.settings = "", .reading = "1.25", .alarms = {}, .text = "none"},
        // A reading that is no number is past nothing.
        {.settings = "1|Bank|n|1.0|0|1|0|", .reading = "x", .alarms = {}, .text = "none"},
        // clang-format on
    };
    for (const Case& c : cases) {
        testing::StatusFields fields;
        fields.Reading(1) = c.reading;
        fields.Reading(5) = "9";  // past channel 5's high trigger when it is known
        StatusPanel panel;
        panel.ShowStatusRecord(fields.Join());
        StationTriggers triggers;
        triggers.fill(ChannelTriggers{});
        triggers[0] = TriggersOfChannelRecord(c.settings);
        const RelayConfirmation relays;
        const StationAlarms alarms = AlarmsOf(panel.Record(), triggers, relays);
        EXPECT_EQ(alarms.channels, c.alarms) << c.settings << " / " << c.reading;
        EXPECT_EQ(AlarmText(alarms, triggers, relays), QString::fromLatin1(c.text)) << c.settings;
        // Not read yet: no verdict, not "none"; another channel's alarm adds.
        triggers[4].reset();
        EXPECT_EQ(AlarmText(AlarmsOf(panel.Record(), triggers, relays), triggers, relays).isEmpty(),
                  c.alarms.empty())
            << c.settings;
        triggers[4] = ChannelTriggers{.high = 8.5, .low = std::nullopt};
        EXPECT_EQ(AlarmsOf(panel.Record(), triggers).back(),
                  (ChannelAlarm{.channel = 5, .high = true}));
    }
}

TEST(SilenceNotices, ToldOnceWhenAWatchedStationThatAnsweredGoesSilent) {
    const auto look = [](const char* address, bool silent, bool watched = true,
                         bool answered = true) {
        return SilenceLook{.address = QString::fromLatin1(address),
                           .watched = watched,
                           .answeredOnce = answered,
                           .silent = silent};
    };
    struct Step {
        std::vector<SilenceLook> stations;
        std::vector<QString> told;
    };
    const QString a = QStringLiteral("127.0.1.1");
    const QString c = QStringLiteral("127.0.1.3");
    const std::vector<Step> steps = {
        // Silent when first seen (the window opened on it): not news.
        {.stations = {look("127.0.1.1", false), look("127.0.1.2", true), look("127.0.1.3", false)},
         .told = {}},
        {.stations = {look("127.0.1.1", true), look("127.0.1.2", true), look("127.0.1.3", false)},
         .told = {a}},
        // Still silent: told once per spell.
        {.stations = {look("127.0.1.1", true), look("127.0.1.2", true), look("127.0.1.3", false)},
         .told = {}},
        // Back, then silent again with another: both told.
        {.stations = {look("127.0.1.1", false), look("127.0.1.3", false)}, .told = {}},
        {.stations = {look("127.0.1.1", true), look("127.0.1.3", true)}, .told = {a, c}},
        // Unwatched, or never answered: never told.
        {.stations = {look("127.0.1.1", false, false), look("127.0.1.4", false, true, false)},
         .told = {}},
        {.stations = {look("127.0.1.1", true, false), look("127.0.1.4", true, true, false)},
         .told = {}},
    };
    SilenceNotices notices;
    for (std::size_t k = 0; k < steps.size(); ++k) {
        EXPECT_EQ(notices.Update(steps[k].stations), steps[k].told) << "step " << k;
    }
    struct Text {
        int count;
        const char* text;
    };
    for (const Text& t : {Text{.count = 1, .text = "127.0.1.1 went silent"},
                          Text{.count = 2, .text = "2 stations went silent: 127.0.1.1, 127.0.1.2"},
                          Text{.count = 7,
                          .text = "7 stations went silent: 127.0.1.1, 127.0.1.2, 127.0.1.3, "
                                  "127.0.1.4, 127.0.1.5, …"}}) {
        std::vector<QString> addresses;
        for (int k = 1; k <= t.count; ++k) {
            addresses.push_back(QStringLiteral("127.0.1.%1").arg(k));
        }
        EXPECT_EQ(SilenceNoticeText(addresses), QString::fromUtf8(t.text));
    }
}

TEST(FleetSettings, TheOperatorsChoicesByCanonicalAddress) {
    QSettings().remove(QStringLiteral("fleet"));
    EXPECT_FALSE(FleetSettings::PollNoteRead());
    EXPECT_FALSE(FleetSettings::NotifySilence());
    FleetSettings::SetWatched(QStringLiteral("127.0.3.01"), false);
    FleetSettings::SetWatched(QStringLiteral(" 127.0.3.2"), false);
    FleetSettings::SetWatched(QStringLiteral("station.example"), false);
    FleetSettings::SetWatched(QStringLiteral("127.0.3.002"), true);
    EXPECT_EQ(FleetSettings::Unwatched(), QSet<QString>{QStringLiteral("127.0.3.1")});
    FleetSettings::SetPollNoteRead();
    FleetSettings::SetNotifySilence(true);
    EXPECT_TRUE(FleetSettings::PollNoteRead());
    EXPECT_TRUE(FleetSettings::NotifySilence());

    // The note counts what will be polled.
    struct Note {
        int watched, unwatched, period;
        const char* part;
    };
    for (const Note& n :
         {Note{.watched = 12,
         .unwatched = 0,
         .period = 10,
         .part = "each of the 12 watched stations every 10 s"},
          Note{
              .watched = 1, .unwatched = 1, .period = 5, .part = "the 1 watched station every 5 s"},
          Note{.watched = 3,
          .unwatched = 1,
          .period = 5,
          .part = "1 station not watched is not polled"},
          Note{.watched = 3,
          .unwatched = 4,
          .period = 5,
          .part = "4 stations not watched are not polled"}}) {
        const QString text = PollNoteText(n.watched, n.unwatched, n.period);
        EXPECT_TRUE(text.contains(QString::fromLatin1(n.part))) << qPrintable(text);
        EXPECT_EQ(text.contains(QStringLiteral("not watched")), n.unwatched > 0)
            << qPrintable(text);
    }
    QSettings().remove(QStringLiteral("fleet"));
}

// An unwatched row is kept and not polled; an answered station's trigger
// levels are read channel by channel; its losses are counted.
TEST(FleetPoller, UnwatchedRowsAreNotPolledAndTriggersAreReadAfterAnAnswer) {
    std::vector<RecordingTransport*> transports;
    FleetPoller poller{nullptr, [&transports] {
                           auto transport = std::make_unique<RecordingTransport>();
                           transports.push_back(transport.get());
                           return transport;
                       }};
    poller.SetReadsTriggers(true);
    poller.SetUnwatched({QStringLiteral("127.0.1.2")});
    std::vector<StationRecord> records;
    for (const char* address : {"127.0.1.1", "127.0.1.02"}) {
        records.push_back({.IPADDRESS = QString::fromLatin1(address),
                           .PASSWORD = QStringLiteral("public"),
                           .COMMENT = {},
                           .DEFAULT = QStringLiteral("NO"),
                           .PORT = QStringLiteral("161"),
                           .TIMEOUT = QStringLiteral("1"),
                           .RETRIES = QStringLiteral("0")});
    }
    poller.SetStations(records);
    ASSERT_EQ(poller.RowCount(), 2);
    poller.PollAll();
    EXPECT_EQ(transports[1]->requests.size(), 0u);
    EXPECT_EQ(poller.StateOf(1), FleetState::Unwatched);
    EXPECT_EQ(poller.WatchedCount(), 1);

    RecordingTransport& first = *transports[0];
    const auto answer = [&first, &poller](std::string_view oid, const std::string& value) {
        BoardResponse response;
        response.requestId = first.requests.back().requestId;
        response.oid = std::string(oid);
        response.syntax = kSyntaxOctetString;
        response.value = QByteArray::fromStdString(value);
        Q_EMIT first.ResponseReceived(response);
    };
    testing::StatusFields fields;
    fields.Reading(3) = "30";
    answer(board::kStatusRecord, fields.Join());
    for (int n = 1; n <= kChannelCount; ++n) {
        ASSERT_EQ(first.requests.size(), static_cast<std::size_t>(1 + n));
        EXPECT_EQ(first.requests.back().oid, board::kChannelRecord[static_cast<std::size_t>(n)]);
        // The answer of another object is no level: channel 2 stays unknown
        // and the read goes no further until the next refresh.
        if (n == 2) {
            answer(board::kChannelRecord[1], "2|x|y|1.5|0|1|0|");
            break;
        }
        answer(board::kChannelRecord[static_cast<std::size_t>(n)], "1|x|y|20|0|1|0|");
    }
    EXPECT_EQ(first.requests.size(), 3u);
    EXPECT_TRUE(poller.Row(0).triggers[0].has_value());
    EXPECT_FALSE(poller.Row(0).triggers[1].has_value());
    // Another poll: the status is asked again, the levels are not (read
    // once per refresh).
    poller.PollAll();
    Q_EMIT first.TimedOut(first.requests.back().requestId);
    EXPECT_EQ(first.requests.size(), 4u);
    EXPECT_EQ(poller.Row(0).loss.LossPercent(poller.NowMs()), 50.0);
    // Watched again: polled at the next round.
    poller.SetUnwatched({});
    poller.PollAll();
    EXPECT_EQ(transports[1]->requests.size(), 1u);
}

}  // namespace
}  // namespace volnar
