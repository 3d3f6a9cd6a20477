#include <gtest/gtest.h>
#include <QTest>

#include "history_view/custom_plot.h"
#include "history_view/trend_window.h"
#include "support/qt_print.h"

namespace volnar {
namespace {

constexpr std::int64_t kWall = 1'700'000'000'000;  // 2023-11-14 22:13:20 UTC
constexpr std::int64_t kSteady = 5'000'000;        // the steady clock then

// A sample `t` seconds in, read by clocks `wallShiftS` off the wall clock.
void AppendAt(SampleHistory& history, std::int64_t t, std::int64_t wallShiftS = 0) {
    history.Append({.steadyMs = kSteady + t * 1000,
                    .wallMs = kWall + (t + wallShiftS) * 1000,
                    .readings = {static_cast<float>(t) + 0.25F}});
}

void AppendGapAt(SampleHistory& history, std::int64_t t, Gap why) {
    history.AppendGap({kSteady + t * 1000, kWall + t * 1000}, why);
}

QCustomPlot& PlotOf(const TrendWindow& window) {
    return *window.findChild<QCustomPlot*>(QStringLiteral("trendPlot"));
}

// The cursor names the nearest sample and why a gap is one; its time, the
// axis's ticks and the axis's name are in one zone; a clock setting is
// marked and the labels after it follow the clock set.
TEST(TrendWindow, CursorAndAxisTellOneTimeInTheZoneNamedAndMarkAClockSetting) {
    SampleHistory history(64);
    for (std::int64_t t : {10, 11, 12, 14, 20}) {
        AppendAt(history, t);
        if (t == 12 || t == 14) {
            AppendGapAt(history, t + 1, t == 12 ? Gap::Lost : Gap::NotPolled);
        }
    }
    AppendAt(history, 21, -3600);  // the clock set back an hour
    history.names[0] = QStringLiteral("Battery");
    history.units[0] = QStringLiteral("V");
    TrendWindow window(history);
    window.SetRange(60);
    const auto at = [&window](double t) {
        return window.PlotSeconds(kSteady + std::llround(t * 1000));
    };
    const struct {
        double t;
        const char* ends;
    } cursor[] = {
        {.t = 5.0, .ends = "Battery (V) = 10.25"},   // before the first
        {.t = 11.4, .ends = "Battery (V) = 11.25"},  // nearer the earlier
        {.t = 11.6, .ends = "Battery (V) = 12.25"},  // nearer the later
        {.t = 13.2, .ends = "no answer"},           {.t = 15.4, .ends = "not polled"},
        {.t = 99.0, .ends = "Battery (V) = 21.25"},  // after the last
    };
    for (const auto& c : cursor) {
        EXPECT_TRUE(window.ValueText(at(c.t)).endsWith(QString::fromLatin1(c.ends)))
            << c.t << ": " << window.ValueText(at(c.t)).toStdString();
    }
    const struct {
        const char* zone;
        const char* cursorAt20;  // the sample at 20 s, before the clock was set
        const char* cursorAt21;
    } zones[] = {
        {"Europe/Berlin", "2023-11-14 23:13:40 CET", "2023-11-14 22:13:41 CET"},
        {"America/St_Johns", "2023-11-14 18:43:40 NST", "2023-11-14 17:43:41 NST"},
        {"UTC", "2023-11-14 22:13:40 UTC", "2023-11-14 21:13:41 UTC"},
    };
    QCustomPlot& plot = PlotOf(window);
    for (const auto& z : zones) {
        const QTimeZone zone(z.zone);
        window.SetTimeZone(zone);
        EXPECT_EQ(plot.xAxis->label(),
                  QStringLiteral("Time (%1)").arg(QString::fromLatin1(z.zone)));
        EXPECT_TRUE(window.ValueText(at(20)).startsWith(QString::fromLatin1(z.cursorAt20)))
            << window.ValueText(at(20)).toStdString();
        EXPECT_TRUE(window.ValueText(at(21)).startsWith(QString::fromLatin1(z.cursorAt21)))
            << window.ValueText(at(21)).toStdString();
        // Each tick before the setting says the time the clock said then,
        // an hour later than the clock set says.
        const QVector<double> ticks = plot.xAxis->tickVector();
        const QVector<QString> labels = plot.xAxis->tickVectorLabels();
        ASSERT_GE(ticks.size(), 3);
        for (qsizetype n = 0; n < ticks.size(); ++n) {
            const double wallS = ticks[n] + (ticks[n] < at(21) ? 3600 : 0);
            EXPECT_EQ(labels[n], QDateTime::fromMSecsSinceEpoch(std::llround(wallS * 1000), zone)
                                     .toString(QStringLiteral("HH:mm:ss\nyyyy-MM-dd")))
                << z.zone << " " << ticks[n];
        }
        // A day's ticks fall on the zone's whole hours.
        window.SetRange(24 * 3600);
        for (const QString& label : plot.xAxis->tickVectorLabels()) {
            EXPECT_EQ(label.mid(2, 6), QStringLiteral(":00:00"))
                << z.zone << " " << label.toStdString();
        }
        window.SetRange(60);
    }
    ASSERT_EQ(plot.itemCount(), 2);
    auto* mark = qobject_cast<QCPItemText*>(plot.item(1));
    ASSERT_NE(mark, nullptr);
    EXPECT_EQ(mark->text(), QStringLiteral("clock set back 1:00:00"));
}

// Holding a zoom key or wheeling far stops at the whole history or at one
// sample period, and never overflows the view.
TEST(TrendWindow, ZoomKeysAndWheelStopAtTheHistoryAndAtOneSample) {
    SampleHistory history(4000);
    for (std::int64_t t = 0; t <= 3600; ++t) {
        AppendAt(history, t);
    }
    TrendWindow window(history);
    window.resize(800, 500);
    QCustomPlot& plot = PlotOf(window);
    const double first = window.PlotSeconds(kSteady);
    const double last = window.PlotSeconds(kSteady + 3'600'000);
    const struct {
        const char* name;
        std::function<void()> act;
        double lower, upper;  // NaN: anywhere within the history
    } cases[] = {
        {"- held",
         [&] {
             for (int n = 0; n < 60; ++n) {
                 QTest::keyClick(&window, Qt::Key_Minus);
             }
         },
         first, last},
        {"+ held",
         [&] {
             for (int n = 0; n < 60; ++n) {
                 QTest::keyClick(&window, Qt::Key_Plus);
             }
         },
         NAN, NAN},
        {"wheeled out beyond any number",
         [&] {
             plot.xAxis->setRange(-1e200, 1e200);
             QCoreApplication::processEvents();
         },
         first, last},
    };
    for (const auto& c : cases) {
        c.act();
        const QCPRange range = plot.xAxis->range();
        if (std::isnan(c.lower)) {
            EXPECT_DOUBLE_EQ(range.size(), 1.0) << c.name;
            EXPECT_TRUE(range.lower >= first && range.upper <= last) << c.name;
        } else {
            EXPECT_DOUBLE_EQ(range.lower, c.lower) << c.name;
            EXPECT_DOUBLE_EQ(range.upper, c.upper) << c.name;
        }
    }
}

}  // namespace
}  // namespace volnar
