// SPDX-License-Identifier: GPL-3.0-or-later
// Redraw time of the trend plot: 8 channels x 86,400 samples (24 h at one
// sample a second, with a lost answer every ten minutes), drawn into an
// offscreen 1200 x 700 window with the crosshair, the legend, the trigger
// levels and the outage bands on. `--screenshot FILE` also saves the
// window (a few channels, the last hour, crosshair and legend) as FILE.
#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "history/trend_marks.h"
#include "history/trend_series.h"
#include "history_view/custom_plot.h"
#include "history_view/trend_window.h"

#ifdef VOLNAR_BENCH_QT_CHARTS
#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QValueAxis>
#endif

namespace {

constexpr int kRuns = 10;
constexpr std::int64_t kStartMs = 1'700'000'000'000;

void Fill(volnar::SampleHistory& history, bool marks = true) {
    for (std::size_t n = 0; n < history.Capacity(); ++n) {
        const auto t = static_cast<std::int64_t>(n);
        if (marks && n % 600 == 300) {
            history.AppendGap({t * 1000, kStartMs + t * 1000}, volnar::Gap::Lost);
            continue;
        }
        volnar::HistorySample s;
        s.steadyMs = t * 1000;
        s.wallMs = kStartMs + t * 1000;
        for (int c = 0; c < 8; ++c) {
            s.readings[static_cast<std::size_t>(c)] =
                12.0F + static_cast<float>(c) +
                std::sin(static_cast<float>(t) / (200.0F + 50.0F * c)) +
                static_cast<float>((t * 7919 + c * 104729) % 1000) / 5000.0F;
        }
        s.celsius = 20.0F + std::sin(static_cast<float>(t) / 5000.0F);
        s.fahrenheit = s.celsius * 9.0F / 5.0F + 32.0F;
        history.Append(s);
    }
    for (int c = 0; c < 8; ++c) {
        history.names[static_cast<std::size_t>(c)] = QStringLiteral("Input %1").arg(c + 1);
        history.units[static_cast<std::size_t>(c)] =
            c < 6 ? QStringLiteral("V") : QStringLiteral("A");
        // Both triggers of every channel enabled: 16 dashed lines.
        if (marks) {
            history.triggers[static_cast<std::size_t>(c)] = {.high = 13.6 + c, .low = 11.4 + c};
        }
    }
}

// QCustomPlot given every sample (its own adaptive sampling on), for
// comparison with the decimated redraw.
double QCustomPlotUndecimatedMs(const volnar::SampleHistory& history, int runs) {
    QCustomPlot plot;
    plot.resize(1200, 700);
    plot.show();
    for (int c = 0; c < 8; ++c) {
        plot.addGraph();
    }
    QPixmap pixmap(plot.size());
    QElapsedTimer timer;
    double total = 0;
    for (int run = 0; run < runs; ++run) {
        timer.start();
        for (int c = 0; c < 8; ++c) {
            QVector<QCPGraphData> data;
            data.reserve(static_cast<qsizetype>(history.Size()));
            for (std::size_t n = 0; n < history.Size(); ++n) {
                const auto& s = history.At(n);
                data.append(QCPGraphData(
                    static_cast<double>(s.wallMs) / 1000.0,
                    s.IsGap() ? std::nan("") : s.readings[static_cast<std::size_t>(c)]));
            }
            plot.graph(c)->data()->set(data, true);
        }
        plot.rescaleAxes();
        plot.replot();
        plot.render(&pixmap);
        total += static_cast<double>(timer.nsecsElapsed()) / 1e6;
    }
    return total / runs;
}

#ifdef VOLNAR_BENCH_QT_CHARTS
// Qt Charts draws no gap inside a series: every stretch between losses is a
// series of its own.
double QtChartsRedrawMs(const volnar::SampleHistory& history, bool decimate, int runs) {
    auto* chartOwned = new QChart;  // the view owns it
    QChartView view(chartOwned);
    QChart& chart = *chartOwned;
    view.resize(1200, 700);
    view.show();
    auto* x = new QValueAxis;
    auto* y = new QValueAxis;
    chart.addAxis(x, Qt::AlignBottom);
    chart.addAxis(y, Qt::AlignLeft);
    chart.legend()->hide();
    const std::int64_t to = history.Latest()->steadyMs;
    const std::int64_t from = to - 24LL * 3600 * 1000;
    QPixmap pixmap(view.size());
    QElapsedTimer timer;
    double total = 0;
    for (int run = 0; run < runs; ++run) {
        timer.start();
        chart.removeAllSeries();
        for (int c = 0; c < 8; ++c) {
            std::vector<volnar::TrendPoint> points;
            if (decimate) {
                points = volnar::DecimateMinMax(history, c, from, to, 1100);
            } else {
                for (std::size_t n = 0; n < history.Size(); ++n) {
                    const auto& s = history.At(n);
                    points.push_back(
                        {static_cast<double>(s.steadyMs) / 1000.0,
                         s.IsGap() ? std::nan("") : s.readings[static_cast<std::size_t>(c)]});
                }
            }
            QList<QPointF> segment;
            const auto flush = [&] {
                if (segment.isEmpty())
                    return;
                auto* series = new QLineSeries;
                series->setUseOpenGL(false);
                series->replace(segment);
                chart.addSeries(series);
                series->attachAxis(x);
                series->attachAxis(y);
                segment.clear();
            };
            for (const auto& p : points) {
                if (std::isnan(p.value)) {
                    flush();
                } else {
                    segment.append(QPointF(p.timeS, p.value));
                }
            }
            flush();
        }
        x->setRange(static_cast<double>(from) / 1000.0, static_cast<double>(to) / 1000.0);
        y->setRange(10, 22);
        view.QWidget::render(&pixmap);
        total += static_cast<double>(timer.nsecsElapsed()) / 1e6;
    }
    return total / runs;
}
#endif

// How long the eight channels' min-max decimation of the day takes, and the
// points it leaves.
void PrintDecimation(const volnar::SampleHistory& history) {
    QElapsedTimer timer;
    timer.start();
    std::size_t points = 0;
    for (int c = 0; c < 8; ++c) {
        points += volnar::DecimateMinMax(history, c, history.At(0).steadyMs,
                                         history.Latest()->steadyMs, 1100)
                      .size();
    }
    std::printf("decimate_8x86400_ms=%.1f\n", static_cast<double>(timer.nsecsElapsed()) / 1e6);
    std::printf("points_drawn=%zu\n", points);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    volnar::SampleHistory history;
    Fill(history);

    // The same day without a lost answer and without trigger levels: what
    // the bands and the dashed lines cost, measured turn about with the
    // day itself so that the load of a shared machine falls on both.
    volnar::SampleHistory plain;
    Fill(plain, false);
    volnar::TrendWindow window(history);
    volnar::TrendWindow plainWindow(plain);
    for (volnar::TrendWindow* w : {&window, &plainWindow}) {
        w->resize(1200, 700);
        w->show();
        for (int s = 0; s < 8; ++s) {
            w->SetSeriesShown(s, true);
        }
        w->SetRange(24 * 3600);
        w->SetCrosshair(history.Latest()->steadyMs - 3600 * 1000);
    }
    QApplication::processEvents();
    QPixmap pixmap(window.size());
    QElapsedTimer timer;
    const auto redrawMs = [&timer, &pixmap](volnar::TrendWindow& w) {
        timer.start();
        w.Redraw();
        w.render(&pixmap);
        return static_cast<double>(timer.nsecsElapsed()) / 1e6;
    };
    double total = 0;
    double least = 1e9;  // the quietest run, on a machine shared with others
    double leastPlain = 1e9;
    for (int run = 0; run < kRuns; ++run) {
        const double ms = redrawMs(window);
        total += ms;
        least = std::min(least, ms);
        leastPlain = std::min(leastPlain, redrawMs(plainWindow));
    }
    const double qcustomplot = total / kRuns;

    PrintDecimation(history);
    // --redraw-only: the plot's own figures, without the comparisons (for a
    // profile of the redraw).
    const QStringList args = QApplication::arguments();
    if (!args.contains(QStringLiteral("--redraw-only"))) {
        std::printf("qcustomplot_undecimated_redraw_ms=%.1f\n",
                    QCustomPlotUndecimatedMs(history, 3));
#ifdef VOLNAR_BENCH_QT_CHARTS
        std::printf("qtcharts_decimated_redraw_ms=%.1f\n", QtChartsRedrawMs(history, true, kRuns));
        std::printf("qtcharts_undecimated_redraw_ms=%.1f\n", QtChartsRedrawMs(history, false, 2));
#endif
    }
    std::printf("outage_bands=%zu\n", volnar::OutageBands(history, history.At(0).steadyMs,
                                                          history.Latest()->steadyMs, 1, 1000)
                                          .size());
    std::printf("redraw_ms=%.1f\n", qcustomplot);
    std::printf("redraw_min_ms=%.1f\n", least);
    std::printf("redraw_without_outages_and_triggers_min_ms=%.1f\n", leastPlain);
    std::fflush(stdout);
    if (const auto at = args.indexOf(QStringLiteral("--screenshot"));
        at > 0 && at + 1 < args.size()) {
        for (int s = 0; s < volnar::kTrendSeriesCount; ++s) {
            window.SetSeriesShown(s, s == 0 || s == 6 || s >= volnar::kTrendCelsius);
        }
        history.station = QStringLiteral("127.0.0.1");
        window.resize(1100, 620);
        window.SetRange(3600);
        window.SetCrosshair(history.Latest()->steadyMs - 1500 * 1000);
        QApplication::processEvents();
        return window.grab().save(args[at + 1]) ? 0 : 1;
    }
    return 0;
}
