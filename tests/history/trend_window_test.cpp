// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "history/trend_marks.h"
#include "history_view/custom_plot.h"
#include "history_view/trend_range_dialog.h"
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

// Shown and active, as the operator opens it: keys go where the focus is.
void Open(TrendWindow& window) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

void Press(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), mods);
}

// The marks drawn, by plot seconds from `at`'s origin, sorted: bands, their
// and the clock's labels, and trigger lines ("line 3000 #1f77b4").
QStringList MarksOf(const QCustomPlot& plot, const std::function<double(double)>& at) {
    const double origin = at(0);
    QStringList marks;
    for (int n = 0; n < plot.itemCount(); ++n) {
        QCPAbstractItem* item = plot.item(n);
        if (!item->visible() || item->layer()->name() == QStringLiteral("crosshair")) {
            continue;
        }
        if (auto* text = qobject_cast<QCPItemText*>(item)) {
            marks << text->text();
        } else if (auto* line = qobject_cast<QCPItemStraightLine*>(item);
                   line->point1->typeY() == QCPItemPosition::ptPlotCoords) {
            EXPECT_EQ(line->pen().style(), Qt::DashLine);
            EXPECT_EQ(line->point1->valueAxis(), line->point2->valueAxis());
            marks << QStringLiteral("line %1 %2")
                         .arg(line->point1->coords().y())
                         .arg(line->pen().color().name());
        }
    }
    // The bands: the filled graphs after the series, a NaN after each.
    for (int g = kTrendSeriesCount; g < plot.graphCount(); ++g) {
        const auto& data = *plot.graph(g)->data();
        for (int n = 0; n + 1 < data.size(); n += 3) {
            marks << QStringLiteral("band %1-%2 %3")
                         .arg(std::lround(data.at(n)->key - origin))
                         .arg(std::lround(data.at(n + 1)->key - origin))
                         .arg(plot.graph(g)->brush().color().red() == 0x80
                                  ? QStringLiteral("not polled")
                                  : QStringLiteral("no answer"));
        }
    }
    marks.sort();
    return marks;
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
    // The clock setting marked; the outage from the last answer (12 s) to
    // the next but one (20 s), the lone answer at 14 s being no line.
    const QStringList marks = MarksOf(plot, at);
    EXPECT_TRUE(marks.contains(QStringLiteral("band 12-20 not polled")))
        << marks.join(',').toStdString();
    EXPECT_TRUE(marks.contains(QStringLiteral("clock set back 1:00:00")));
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
    Open(window);
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
                 Press(Qt::Key_Minus);
             }
         },
         first, last},
        {"+ held",
         [&] {
             for (int n = 0; n < 60; ++n) {
                 Press(Qt::Key_Plus);
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

// Lines 2 pixels wide at least; °F dashed beside a solid °C.
void ExpectLegibleLines(const QCustomPlot& plot) {
    for (int s = 0; s < kTrendSeriesCount; ++s) {
        EXPECT_GE(plot.graph(s)->pen().widthF(), 2.0) << s;
    }
    EXPECT_NE(plot.graph(kTrendCelsius)->pen().style(),
              plot.graph(kTrendFahrenheit)->pen().style());
    // Every colour at least 3:1 against the white plot (WCAG's relative
    // luminance).
    const auto luminance = [](const QColor& c) {
        double sum = 0;
        for (const auto& [part, weight] :
             {std::pair{c.redF(), 0.2126}, {c.greenF(), 0.7152}, {c.blueF(), 0.0722}}) {
            sum +=
                weight * (part <= 0.03928 ? part / 12.92 : std::pow((part + 0.055) / 1.055, 2.4));
        }
        return sum;
    };
    for (int s = 0; s < kTrendSeriesCount; ++s) {
        EXPECT_GE(1.05 / (luminance(plot.graph(s)->pen().color()) + 0.05), 3.0) << s;
    }
}

void ExpectExports(TrendWindow& window, SampleHistory& history) {
    const QCustomPlot& plot = PlotOf(window);
    // Exported: the plot as drawn; the samples in view by the recording's
    // rules, a name that would run as a formula neutralised.
    QTemporaryDir dir;
    history.names[0] = QStringLiteral("=HYPERLINK(\"x\")");
    window.SetView(kSteady + 10'000, kSteady + 12'000);
    ASSERT_EQ(window.ExportPng(dir.filePath(QStringLiteral("view.png"))), QString());
    EXPECT_EQ(QImage(dir.filePath(QStringLiteral("view.png"))).size(),
              plot.size() * plot.devicePixelRatioF());
    ASSERT_EQ(window.ExportCsv(dir.filePath(QStringLiteral("view.csv"))), QString());
    QFile csv(dir.filePath(QStringLiteral("view.csv")));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(csv.readAll()).toStdString(),
              QByteArray("time (UTC),\"'=HYPERLINK(\"\"x\"\") (V)\",°C,°F,gap\r\n"
                         "2023-11-14T22:13:30.000Z,10.25,0,0,\r\n"
                         "2023-11-14T22:13:31.000Z,11.25,0,0,\r\n"
                         "2023-11-14T22:13:32.000Z,12.25,0,0,\r\n")
                  .toStdString());
    EXPECT_TRUE(window.ExportCsv(QStringLiteral("/nonexistent/view.csv"))
                    .contains(QStringLiteral("/nonexistent/view.csv")));
}

// Opened and used by keyboard alone: the first key counts, moving away
// pauses, End or the Live button (or panning back to the end) follows again;
// the crosshair and the legend read the samples of the view.
TEST(TrendWindow, KeysCountFromOpeningAndCrosshairAndLegendReadTheView) {
    SampleHistory history(4000);
    for (std::int64_t t = 0; t <= 3600; ++t) {
        AppendAt(history, t);
    }
    history.station = QStringLiteral("127.0.0.5");
    history.names[0] = QStringLiteral("Battery");
    history.units[0] = QStringLiteral("V");
    TrendWindow window(history);
    window.SetSeriesShown(kTrendFahrenheit, true);
    Open(window);
    QCustomPlot& plot = PlotOf(window);
    auto* state = window.findChild<QLabel*>(QStringLiteral("trendLiveState"));
    auto* live = window.findChild<QPushButton*>(QStringLiteral("liveButton"));
    const double last = window.PlotSeconds(kSteady + 3'600'000);
    EXPECT_TRUE(window.windowTitle().contains(QStringLiteral("127.0.0.5")));
    EXPECT_DOUBLE_EQ(plot.xAxis->range().upper, last);
    const struct {
        const char* name;
        std::function<void()> act;
        bool live;
        double upper;  // NaN: before the latest sample
    } steps[] = {
        {"first Left", [&] { Press(Qt::Key_Left); }, false, last - 30},
        {"Right back to the end", [&] { Press(Qt::Key_Right); }, true, last},
        {"zoomed in", [&] { Press(Qt::Key_Plus); }, false, NAN},
        {"End", [&] { Press(Qt::Key_End); }, true, last},
        {"dragged",
         [&] {
             plot.xAxis->moveRange(-100);
             QCoreApplication::processEvents();
         },
         false, last - 100},
        {"Live button", [&] { live->click(); }, true, last},
    };
    for (const auto& step : steps) {
        step.act();
        EXPECT_EQ(state->text(), step.live ? QStringLiteral("live") : QStringLiteral("paused"))
            << step.name;
        EXPECT_EQ(live->isEnabled(), !step.live) << step.name;
        if (std::isnan(step.upper)) {
            EXPECT_LT(plot.xAxis->range().upper, last) << step.name;
        } else {
            EXPECT_DOUBLE_EQ(plot.xAxis->range().upper, step.upper) << step.name;
        }
    }
    // The crosshair: put by the pointer, moved a sample by Shift+arrows,
    // every plotted series listed; it stays on its sample when the view moves.
    const double at = window.PlotSeconds(kSteady + 3'500'000);
    QTest::mouseMove(&plot, QPoint(static_cast<int>(plot.xAxis->coordToPixel(at)),
                                   plot.axisRect()->center().y()));
    EXPECT_TRUE(window.CrosshairText().contains(QStringLiteral("Battery (V) = 3500.25")))
        << window.CrosshairText().toStdString();
    Press(Qt::Key_Right, Qt::ShiftModifier);
    Press(Qt::Key_Right, Qt::ShiftModifier);
    Press(Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_TRUE(window.CrosshairText().contains(QStringLiteral("Battery (V) = 3501.25")));
    EXPECT_TRUE(window.CrosshairText().contains(QStringLiteral("°F = 0.00")));
    Press(Qt::Key_Minus);
    EXPECT_TRUE(window.CrosshairText().contains(QStringLiteral("Battery (V) = 3501.25")));
    // The line below the plot follows it, not only the pointer.
    EXPECT_TRUE(window.findChild<QLabel*>(QStringLiteral("trendCursor"))
                    ->text()
                    .endsWith(QStringLiteral("Battery (V) = 3501.25  °F = 0.00")));
    // The legend: the plotted series, each with its figures over the view.
    window.SetView(kSteady + 1'000'000, kSteady + 2'000'000);
    ASSERT_EQ(plot.legend->itemCount(), 2);
    EXPECT_EQ(plot.graph(0)->name(),
              QStringLiteral("Battery (V)   last 2000.25   min 1000.25   max 2000.25"));
    window.SetSeriesShown(kTrendCelsius, true);
    ExpectLegibleLines(plot);
    ExpectExports(window, history);
}

}  // namespace
}  // namespace volnar

namespace volnar {
namespace {

// An hour with answers lost at 1000-1009 s and polling stopped at
// 2000-2599 s; the battery's and the radio's triggers enabled, a channel
// not plotted with one too. Then a range typed in the From–to dialog.
TEST(TrendWindow, OutagesShadedTriggerLevelsDashedAndAFreeRangeTypedByKeys) {
    SampleHistory history(4000);
    for (std::int64_t t = 0; t <= 3600; ++t) {
        if (t >= 1000 && t < 1010) {
            AppendGapAt(history, t, Gap::Lost);
        } else if (t >= 2000 && t < 2600) {
            AppendGapAt(history, t, Gap::NotPolled);
        } else {
            AppendAt(history, t);
        }
    }
    history.names = {QStringLiteral("Battery"), {}, {}, {}, {}, {}, QStringLiteral("Radio")};
    history.units = {QStringLiteral("V"), {}, {}, {}, {}, {}, QStringLiteral("A")};
    history.triggers[0] = TriggersOf(QStringLiteral("3000"), true, QStringLiteral("500"), true);
    history.triggers[1] = TriggersOf(QStringLiteral("10"), true, QStringLiteral("2"), true);
    history.triggers[6] = TriggersOf(QStringLiteral("5"), true, QStringLiteral("1"), false);
    TrendWindow window(history);
    window.resize(1000, 600);
    window.SetTimeZone(QTimeZone::utc());
    window.SetSeriesShown(6, true);
    window.SetRange(3600);
    Open(window);
    QCustomPlot& plot = PlotOf(window);
    const auto at = [&window](double t) {
        return window.PlotSeconds(kSteady + std::llround(t * 1000));
    };
    EXPECT_EQ(MarksOf(plot, at).join(QLatin1Char('|')).toStdString(),
              "Battery (V) high 3000|Battery (V) low 500|Radio (A) high 5|"
              "band 1999-2600 not polled|band 999-1010 no answer|line 3000 #1f77b4|"
              "line 5 #b8338f|line 500 #1f77b4|not polled 0:10:01");  // 11 s: no room
    // The radio reads 0 A: its axis reaches up to the level all the same.
    EXPECT_GT(plot.yAxis2->range().upper, 5.0);
    window.SetSeriesShown(6, false);
    EXPECT_FALSE(MarksOf(plot, at).join(QLatin1Char('|')).contains(QStringLiteral("Radio")));

    // 2023-11-14 22:13:20 UTC is 0 s: 22:30:00-22:40:00 is 1000-1600 s.
    const struct {
        const char *from, *to;
        bool taken;
        double lower, upper;  // seconds
    } typed[] = {
        {"2023-11-14 22:30:00", "2023-11-14 22:40:00", true, 1000, 1600},
        {"2023-11-14 22:40:00", "2023-11-14 22:30:00", false, 1000, 1600},  // inverted
        {"2023-11-14 22:40", "22:50", false, 1000, 1600},                   // no date
        {" 2023-11-14T23:00", "2023-11-15 09:00:00", true, 2800, 3600},     // up to the latest
    };
    for (const auto& r : typed) {
        window.activateWindow();  // offscreen, closing a dialog activates nothing
        ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &window; }));
        Press(Qt::Key_F, Qt::AltModifier);  // the button clicks a moment later
        TrendRangeDialog* dialog = nullptr;
        ASSERT_TRUE(QTest::qWaitFor([&] {
            return (dialog = window.findChild<TrendRangeDialog*>());
        })) << r.from;
        ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == dialog; }));
        // Each field's text selected as the focus comes to it.
        QTest::keyClicks(QApplication::focusWidget(), QString::fromLatin1(r.from));
        Press(Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), QString::fromLatin1(r.to));
        Press(Qt::Key_Return);
        if (!r.taken) {
            EXPECT_TRUE(dialog->isVisible()) << r.from;
            Press(Qt::Key_Escape);
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return !window.findChild<TrendRangeDialog*>(); }))
            << r.from;
        EXPECT_DOUBLE_EQ(plot.xAxis->range().lower, at(r.lower)) << r.from;
        EXPECT_DOUBLE_EQ(plot.xAxis->range().upper, at(r.upper)) << r.from;
    }
}

}  // namespace
}  // namespace volnar
