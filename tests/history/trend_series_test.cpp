// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>

#include "history/trend_marks.h"
#include "history/trend_series.h"
#include "history/trend_view.h"

namespace volnar {
namespace {

void ExpectCrosshairReadings(const SampleHistory& history) {
    // The crosshair reads the nearest sample, a gap as a gap.
    const struct {
        std::int64_t atMs;
        std::int64_t sampleMs;
        Gap gap;
        float value;  // of channel 3; NaN in a gap
    } crosshair[] = {
        {.atMs = 1'234'400, .sampleMs = 1'234'000, .gap = Gap::None, .value = 100},
        {.atMs = 7'776'600, .sampleMs = 7'777'000, .gap = Gap::None, .value = -100},
        {.atMs = 5'001'200, .sampleMs = 5'000'000, .gap = Gap::Lost, .value = NAN},  // one gap
        {.atMs = -50'000, .sampleMs = 0, .gap = Gap::None, .value = 0},
        {.atMs = 1LL << 50, .sampleMs = 9'999'000, .gap = Gap::None, .value = std::sin(33.33F)},
    };
    for (const auto& c : crosshair) {
        const CrosshairReading reading = ReadCrosshair(history, c.atMs);
        EXPECT_EQ(reading.steadyMs, c.sampleMs) << c.atMs;
        EXPECT_EQ(reading.wallMs, c.sampleMs) << c.atMs;
        EXPECT_EQ(reading.gap, c.gap) << c.atMs;
        if (std::isnan(c.value)) {
            EXPECT_TRUE(std::isnan(reading.values[2])) << c.atMs;
        } else {
            EXPECT_FLOAT_EQ(reading.values[2], c.value) << c.atMs;
            EXPECT_EQ(reading.values[0], 0.0F) << c.atMs;
        }
    }
}

TEST(TrendSeries, DecimationKeepsEveryExtremeAndNeverBridgesAGap) {
    // One sample a second for 10,000 s: a sine, spikes at 1234 s (up) and
    // 7777 s (down), answers lost at 5000-5002 s.
    SampleHistory history(20'000);
    for (std::int64_t t = 0; t < 10'000; ++t) {
        if (t >= 5000 && t <= 5002) {
            history.AppendGap({t * 1000, t * 1000}, Gap::Lost);
            continue;
        }
        const float value = t == 1234 ? 100.0F : t == 7777 ? -100.0F : std::sin(t / 300.0F);
        history.Append({.steadyMs = t * 1000, .wallMs = t * 1000, .readings = {0, 0, value}});
    }
    // The legend's figures: answered samples only, the gap skipped.
    const struct {
        std::int64_t from, to;
        int buckets;
        bool whole;
        float last, min, max;
        std::size_t count;
    } cases[] = {
        {.from = 0,
         .to = 9'999'000,
         .buckets = 400,
         .whole = false,
         .last = std::sin(9999 / 300.0F),
         .min = -100,
         .max = 100,
         .count = 9997},
        {.from = 0,
         .to = 9'999'000,
         .buckets = 7,
         .whole = false,
         .last = std::sin(9999 / 300.0F),
         .min = -100,
         .max = 100,
         .count = 9997},
        {.from = 4'990'000,
         .to = 5'010'000,
         .buckets = 400,
         .whole = true,
         .last = std::sin(5010 / 300.0F),
         .min = std::sin(5010 / 300.0F),
         .max = std::sin(4990 / 300.0F),
         .count = 18},
    };
    for (const auto& c : cases) {
        const auto points = DecimateMinMax(history, 2, c.from, c.to, c.buckets);
        double high = -1e9, low = 1e9;
        bool broken = false;
        for (std::size_t n = 0; n < points.size(); ++n) {
            if (n > 0) {
                ASSERT_LE(points[n - 1].timeS, points[n].timeS) << n;
            }
            if (std::isnan(points[n].value)) {
                broken = true;
                continue;
            }
            high = std::max(high, points[n].value);
            low = std::min(low, points[n].value);
            // No segment joins a point before the loss to one after it.
            if (n > 0 && !std::isnan(points[n - 1].value)) {
                EXPECT_FALSE(points[n - 1].timeS < 5000 && points[n].timeS > 5002) << n;
            }
        }
        EXPECT_TRUE(broken) << c.buckets;
        const SeriesStats stats = StatsOver(history, 2, c.from, c.to);
        EXPECT_EQ(stats.last, c.last) << c.from;
        EXPECT_EQ(stats.min, c.min) << c.from;
        EXPECT_EQ(stats.max, c.max) << c.from;
        EXPECT_EQ(stats.count, c.count) << c.from;
        if (c.whole) {
            EXPECT_EQ(points.size(), 19U);  // 18 answers and one gap
        } else {
            EXPECT_LE(points.size(), 3U * c.buckets);
            EXPECT_EQ(high, 100.0);
            EXPECT_EQ(low, -100.0);
        }
    }
    EXPECT_TRUE(std::isnan(StatsOver(history, 2, 5'000'000, 5'002'000).max));
    ExpectCrosshairReadings(history);
}

// Two hours at one sample a second; 90 minutes in, the wall clock is set
// back an hour. The last five minutes are still the last five minutes, and
// each stretch is labelled by the clock of its own samples.
TEST(TrendSeries, WindowsFollowTheSteadyClockAndLabelsTheWallClockOfTheirSamples) {
    constexpr std::int64_t kWall = 1'700'000'000'000;
    constexpr std::int64_t kStep = 5400 * 1000;
    constexpr std::int64_t kHour = 3600 * 1000;
    SampleHistory history(10'000);
    for (std::int64_t t = 0; t < 7200; ++t) {
        const std::int64_t steady = t * 1000;
        history.Append({.steadyMs = steady,
                        .wallMs = kWall + steady - (steady >= kStep ? kHour : 0),
                        .readings = {static_cast<float>(t)}});
    }
    const std::int64_t latest = history.Latest()->steadyMs;
    const auto points = DecimateMinMax(history, 0, latest - 5 * 60 * 1000, latest, 1000);
    ASSERT_EQ(points.size(), 301U);
    EXPECT_EQ(points.back().value, 7199.0);
    const struct {
        std::int64_t steadyMs, wallMs;
    } labels[] = {
        {.steadyMs = -5000, .wallMs = kWall - 5000},  // before the first sample
        {.steadyMs = kStep - 1, .wallMs = kWall + kStep - 1},
        {.steadyMs = kStep, .wallMs = kWall + kStep - kHour},
        {.steadyMs = latest + 60'000, .wallMs = kWall + latest + 60'000 - kHour},
    };
    for (const auto& label : labels) {
        EXPECT_EQ(WallMsAt(history, label.steadyMs, 0), label.wallMs) << label.steadyMs;
    }
    EXPECT_EQ(WallMsAt(SampleHistory(1), 5, 7), 12);
    const auto steps = ClockSteps(history, 0, latest, 8);
    ASSERT_EQ(steps.size(), 1U);
    EXPECT_EQ(steps[0].steadyMs, kStep);
    EXPECT_EQ(ClockStepText(steps[0].shiftMs), QStringLiteral("clock set back 1:00:00"));
    EXPECT_EQ(ClockStepText(150'000), QStringLiteral("clock set forward 0:02:30"));
    EXPECT_TRUE(ClockSteps(history, kStep + 1, latest, 8).empty());
    // A typed range of wall times: a label read twice (the clock set back)
    // means the later stretch, never one after the latest sample.
    const struct {
        std::int64_t fromWall, toWall;
        std::optional<TimeSpan> steady;
    } ranges[] = {
        {kWall + 1'000'000, kWall + 1'500'000, TimeSpan{1'000'000, 1'500'000}},
        {kWall + 2'000'000, kWall + 3'000'000, TimeSpan{5'600'000, 6'600'000}},  // read twice
        {kWall + 4'000'000, kWall + 9'000'000, TimeSpan{4'000'000, latest}},
        {kWall - 9'000'000, kWall + 500'000, TimeSpan{-9'000'000, 500'000}},
        {kWall + 3'000'000, kWall + 2'000'000, std::nullopt},  // inverted
        {kWall + 3'500'000, kWall + 3'500'000, std::nullopt},  // empty
    };
    for (const auto& r : ranges) {
        const auto span = SteadySpanOfWall(history, r.fromWall, r.toWall, 0);
        ASSERT_EQ(span.has_value(), r.steady.has_value()) << r.fromWall - kWall;
        if (span) {
            EXPECT_EQ(span->fromMs, r.steady->fromMs) << r.fromWall - kWall;
            EXPECT_EQ(span->toMs, r.steady->toMs) << r.fromWall - kWall;
            EXPECT_EQ(WallMsAt(history, span->fromMs, 0), r.fromWall) << r.fromWall - kWall;
        }
    }
    EXPECT_EQ(SteadySpanOfWall(SampleHistory(1), 10, 20, 7)->fromMs, 3);
    // The times typed, in Berlin: 23:30 CET is 22:30 UTC.
    const QTimeZone berlin("Europe/Berlin");
    constexpr std::int64_t kTyped = 1'700'001'000'000;
    EXPECT_EQ(WallTimeText(kTyped, berlin), QStringLiteral("2023-11-14 23:30:00"));
    const struct {
        const char* text;
        std::optional<std::int64_t> wallMs;
    } typed[] = {
        {"2023-11-14 23:30:00", kTyped},
        {" 2023-11-14T23:30 ", kTyped},
        {"2023-11-14 23:30:07", kTyped + 7000},
        {"2023-11-14 23:30:00.5", std::nullopt},
        {"23:30", std::nullopt},
        {"2023-02-30 10:00", std::nullopt},  // no such day
        {"2024-03-31 02:30", std::nullopt},  // the hour the clocks skip
    };
    for (const auto& t : typed) {
        EXPECT_EQ(ParseWallTime(QString::fromLatin1(t.text), berlin), t.wallMs) << t.text;
    }
}

// Answers 0-99 s, lost from 20 s until 25 s, not polled from 60 s until
// 70 s, lost again from 100 s on.
TEST(TrendMarks, OutagesSpanFromTheLastAnswerToTheNextAndLevelsComeFromEnabledTriggers) {
    SampleHistory history(200);
    for (std::int64_t t = 0; t <= 100; ++t) {
        const Gap gap = (t >= 20 && t < 25) || t == 100 ? Gap::Lost
                        : t >= 60 && t < 70             ? (t < 63 ? Gap::Lost : Gap::NotPolled)
                                                        : Gap::None;
        if (gap != Gap::None) {
            history.AppendGap({t * 1000, t * 1000}, gap);
        } else {
            history.Append({.steadyMs = t * 1000, .wallMs = t * 1000});
        }
    }
    using B = OutageBand;
    const B lost{19'000, 25'000, Gap::Lost, false};
    const B stopped{59'000, 70'000, Gap::NotPolled, false};
    const struct {
        std::int64_t from, to, least;
        std::size_t most;
        std::vector<OutageBand> bands;
    } cases[] = {
        {0, 150'000, 1, 9, {lost, stopped, {99'000, 150'000, Gap::Lost, true}}},
        {22'000,
         65'000,
         1,
         9,
         {{22'000, 25'000, Gap::Lost, false}, {59'000, 65'000, Gap::NotPolled, false}}},
        {21'000, 23'000, 1, 9, {{21'000, 23'000, Gap::Lost, false}}},  // inside an outage
        {0, 10'000, 1, 9, {}},
        {0, 150'000, 1, 1, {{99'000, 150'000, Gap::Lost, true}}},  // the latest only
        // Pixels of 20 s: each band widened to one, near ones joined.
        {0,
         100'000,
         20'000,
         9,
         {{12'000, 32'000, Gap::Lost, false}, {54'500, 100'000, Gap::NotPolled, true}}},
    };
    for (const auto& c : cases) {
        const auto bands = OutageBands(history, c.from, c.to, c.least, c.most);
        ASSERT_EQ(bands.size(), c.bands.size()) << c.from << "-" << c.to << "/" << c.least;
        for (std::size_t n = 0; n < bands.size(); ++n) {
            EXPECT_EQ(bands[n].fromMs, c.bands[n].fromMs) << c.from << " " << n;
            EXPECT_EQ(bands[n].toMs, c.bands[n].toMs) << c.from << " " << n;
            EXPECT_EQ(bands[n].why, c.bands[n].why) << c.from << " " << n;
            EXPECT_EQ(bands[n].open, c.bands[n].open) << c.from << " " << n;
        }
    }
    // Against the samples: nothing answered inside a band, an answer at each
    // closed end, and every gap inside one.
    const auto bands = OutageBands(history, 0, 100'000, 1, 9);
    for (std::size_t n = 0; n < history.Size(); ++n) {
        const HistorySample& s = history.At(n);
        const bool inside = std::any_of(bands.begin(), bands.end(), [&s](const B& b) {
            return s.steadyMs > b.fromMs && (s.steadyMs < b.toMs || b.open);
        });
        const bool atEnd = std::any_of(bands.begin(), bands.end(), [&s](const B& b) {
            return s.steadyMs == b.fromMs || (s.steadyMs == b.toMs && !b.open);
        });
        EXPECT_EQ(inside, s.IsGap()) << s.steadyMs;
        EXPECT_TRUE(!atEnd || !s.IsGap()) << s.steadyMs;
    }
    // Losses go on after 100 s: the outage stays one gap, and a live view
    // moves on with them, its open band reaching the view's end.
    TrendView live(30'000);
    const std::size_t samples = history.Size();
    for (const std::int64_t t : {100'000, 104'000, 112'000}) {
        history.AppendGap({t, t}, Gap::Lost);
        EXPECT_EQ(history.LatestMs(), t);
        const TimeSpan shown = live.Shown(history, 0);
        EXPECT_EQ(shown.toMs, t);
        const auto open = OutageBands(history, shown.fromMs, shown.toMs, 1, 9);
        ASSERT_FALSE(open.empty());
        EXPECT_EQ(open.back().toMs, t);
    }
    EXPECT_EQ(history.Size(), samples);
    history.Append({.steadyMs = 113'000, .wallMs = 113'000});
    EXPECT_EQ(live.Shown(history, 0).toMs, 113'000);
}

TEST(TrendMarks, LevelsOnlyOfEnabledTriggersWithANumberAndOnlyOfTheChannelsPlotted) {
    SampleHistory history(1);
    const struct {
        const char *high, *low;
        bool highOn, lowOn;
        std::optional<double> highLevel, lowLevel;
    } triggers[] = {
        {"13.5", "11", true, true, 13.5, 11.0},
        {"13.5", "11", false, true, std::nullopt, 11.0},
        {"-2.", ".5", true, true, -2.0, 0.5},
        {"ERROR", "", true, true, std::nullopt, std::nullopt},
        {" +1e3", "1.2.3", true, true, 1000.0, std::nullopt},
        {"1e5000", "5 ", true, true, std::nullopt, std::nullopt},
    };
    for (const auto& t : triggers) {
        const ChannelTriggers got =
            TriggersOf(QString::fromLatin1(t.high), t.highOn, QString::fromLatin1(t.low), t.lowOn);
        EXPECT_EQ(got.high, t.highLevel) << t.high;
        EXPECT_EQ(got.low, t.lowLevel) << t.low;
    }
    history.names[0] = QStringLiteral("Battery");
    history.units[0] = QStringLiteral("V");
    history.triggers[0] = TriggersOf(QStringLiteral("13.5"), true, QStringLiteral("11"), true);
    history.triggers[2] = TriggersOf(QStringLiteral("4"), false, QStringLiteral("0.25"), true);
    history.triggers[5] = TriggersOf(QStringLiteral("9"), true, QStringLiteral("1"), true);
    QStringList texts;
    for (const TriggerLine& line : TriggerLines(history, {kTrendCelsius, 2, 0})) {
        texts << QStringLiteral("%1:%2:%3").arg(line.series).arg(line.level).arg(line.text);
    }
    EXPECT_EQ(texts.join(QLatin1Char('|')).toStdString(),
              "2:0.25:Channel 3 low 0.25|0:13.5:Battery (V) high 13.5|0:11:Battery (V) low 11");
}

// Zoom and pan of a history from 1,000 s to 4,600 s, starting from the last
// five minutes followed.
TEST(TrendView, ZoomAndPanStopAtOneSampleAndAtTheWholeHistory) {
    SampleHistory history(4000);
    for (std::int64_t t = 1000; t <= 4600; ++t) {
        history.Append({.steadyMs = t * 1000, .wallMs = t * 1000});
    }
    using Step = std::function<void(TrendView&)>;
    const auto zoom = [&history](bool in) -> Step {
        return [&history, in](TrendView& v) { v.Zoom(in, history); };
    };
    const auto pan = [&history](int tenths) -> Step {
        return [&history, tenths](TrendView& v) { v.Pan(tenths, history); };
    };
    const auto show = [&history](std::int64_t from, std::int64_t to) -> Step {
        return [&history, from, to](TrendView& v) { v.Show({from, to}, history); };
    };
    constexpr std::int64_t kFar = TrendView::kLongestMs * 4;
    const struct {
        const char* name;
        Step step;
        int times;
        std::int64_t spanMs;
        std::optional<std::int64_t> toMs;  // none: anywhere in the history
        bool following;                    // a view up to the latest sample follows it
    } cases[] = {
        {"zoomed out far: the whole history", zoom(false), 80, 3'600'000, 4'600'000, true},
        {"zoomed in far: one sample period", zoom(true), 80, 1000, std::nullopt, false},
        {"panned back far: the oldest", pan(-1), 1000, 300'000, 1'300'000, false},
        {"panned on far: the latest", pan(3), 1000, 300'000, 4'600'000, true},
        {"a stretch beyond any number: the whole history", show(-kFar, kFar), 1, 3'600'000,
         4'600'000, true},
        {"an inverted stretch: one period about its middle", show(2'000'000, 1'000'000), 1, 1000,
         1'500'500, false},
    };
    for (const auto& c : cases) {
        TrendView view;
        for (int n = 0; n < c.times; ++n) {
            c.step(view);
        }
        const TimeSpan shown = view.Shown(history, 0);
        EXPECT_EQ(shown.LengthMs(), c.spanMs) << c.name;
        EXPECT_EQ(shown.toMs, c.toMs.value_or(shown.toMs)) << c.name;
        EXPECT_TRUE(shown.fromMs >= 1'000'000 && shown.toMs <= 4'600'000) << c.name;
        EXPECT_EQ(view.Following(), c.following) << c.name;
    }
    // After the 24 h button, a shorter history still zooms out to 24 h.
    TrendView day(24 * 3600 * 1000);
    day.Zoom(false, history);
    EXPECT_EQ(day.SpanMs(), 24 * 3600 * 1000);
    EXPECT_EQ(TrendView::MsOfSeconds(1e300), TrendView::kLongestMs * 1000);
}

}  // namespace
}  // namespace volnar
