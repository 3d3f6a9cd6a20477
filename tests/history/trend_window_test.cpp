#include <gtest/gtest.h>
#include <QTest>

#include "trend/custom_plot.h"
#include "trend/trend_window.h"

namespace volnar {
namespace {

TEST(TrendWindow, ValueUnderTheCursorIsTheNearestSampleOrTheLoss) {
    SampleHistory history(16);
    for (std::int64_t t : {10, 11, 12, 14}) {
        history.Append({.timeMs = t * 1000, .readings = {static_cast<float>(t) + 0.25F}});
        if (t == 12) {
            history.AppendGap(13'000);
        }
    }
    history.names[0] = QStringLiteral("Battery");
    history.units[0] = QStringLiteral("V");
    TrendWindow window(history);
    const struct {
        double timeS;
        const char* ends;
    } cases[] = {
        {.timeS = 5.0, .ends = "Battery (V) = 10.25"},   // before the first
        {.timeS = 11.4, .ends = "Battery (V) = 11.25"},  // nearer the earlier
        {.timeS = 11.6, .ends = "Battery (V) = 12.25"},  // nearer the later
        {.timeS = 13.2, .ends = "no answer"},
        {.timeS = 99.0, .ends = "Battery (V) = 14.25"},  // after the last
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(window.ValueText(c.timeS).endsWith(QString::fromLatin1(c.ends)))
            << c.timeS << ": " << window.ValueText(c.timeS).toStdString();
    }
    EXPECT_TRUE(window.NoticeText().isEmpty());
    window.OnHistoryRestarted();
    EXPECT_TRUE(window.NoticeText().contains(QStringLiteral("new history")));
}

// Holding a zoom key or wheeling far stops at the whole history or at one
// sample period, and never overflows the view.
TEST(TrendWindow, ZoomKeysAndWheelStopAtTheHistoryAndAtOneSample) {
    SampleHistory history(4000);
    for (std::int64_t t = 0; t <= 3600; ++t) {
        history.Append({.timeMs = t * 1000});
    }
    TrendWindow window(history);
    window.resize(800, 500);
    QCustomPlot& plot = *window.findChild<QCustomPlot*>(QStringLiteral("trendPlot"));
    const double first = 0;
    const double last = 3600;
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
