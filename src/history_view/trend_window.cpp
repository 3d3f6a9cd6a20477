// SPDX-License-Identifier: GPL-3.0-or-later
#include "history_view/trend_window.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QShortcut>
#include <QVBoxLayout>
#include "history/history_clock.h"
#include "history/trend_marks.h"
#include "history_view/custom_plot.h"
#include "history_view/trend_plot_marks.h"
#include "history_view/trend_range_dialog.h"

#include <cmath>
#include <functional>

namespace volnar {
namespace {

// Each at least 3:1 against the white plot, as lines and as the boxes' text.
const std::array<QColor, kTrendSeriesCount> kColours = {
    QColor(0x1f77b4), QColor(0xd62728), QColor(0x2ca02c), QColor(0x9467bd), QColor(0xc85a00),
    QColor(0x8c564b), QColor(0xb8338f), QColor(0x0f7f8c), QColor(0x666666), QColor(0x7a7a00)};

// QCustomPlot's date ticker picks the ticks; the labels are the window's, so
// that a tick before a clock setting says the time the clock said then, in
// the window's zone.
class ClockTicker final : public QCPAxisTickerDateTime {
public:
    explicit ClockTicker(std::function<QString(double)> label) : m_label(std::move(label)) {}

protected:
    QString getTickLabel(double tick, const QLocale&, QChar, int) override { return m_label(tick); }

private:
    std::function<QString(double)> m_label;
};

// "Europe/Berlin"; an offset for a zone without a name.
QString ZoneName(const QTimeZone& zone) {
    const QString id = QString::fromUtf8(zone.id());
    return id.isEmpty() ? zone.displayName(QTimeZone::GenericTime, QTimeZone::OffsetName) : id;
}

}  // namespace

TrendWindow::TrendWindow(const SampleHistory& history, QWidget* parent)
    : QWidget(parent, Qt::Window), m_history(&history), m_zone(QTimeZone::systemTimeZone()) {
    setObjectName(QStringLiteral("trendWindow"));
    setWindowTitle(tr("Trend"));
    resize(1000, 600);
    auto* layout = new QVBoxLayout(this);

    auto* ranges = new QHBoxLayout;
    const std::array<QString, 3> rangeNames = {tr("&5 min"), tr("&1 h"), tr("&24 h")};
    for (std::size_t n = 0; n < rangeNames.size(); ++n) {
        auto* button = new QPushButton(rangeNames[n]);
        button->setObjectName(QStringLiteral("range%1Button").arg(kRangesS[n]));
        const std::int64_t seconds = kRangesS[n];
        connect(button, &QPushButton::clicked, this, [this, seconds] { SetRange(seconds); });
        ranges->addWidget(button);
    }
    auto* fromTo = new QPushButton(tr("&From–to…"));
    fromTo->setObjectName(QStringLiteral("rangeFromToButton"));
    fromTo->setToolTip(tr("Show a range of date and time"));
    connect(fromTo, &QPushButton::clicked, this, &TrendWindow::AskRange);
    ranges->addWidget(fromTo);
    m_liveState = new QLabel;
    m_liveState->setObjectName(QStringLiteral("trendLiveState"));
    ranges->addWidget(m_liveState);
    m_liveButton = new QPushButton(tr("&Live"));
    m_liveButton->setObjectName(QStringLiteral("liveButton"));
    m_liveButton->setToolTip(tr("Follow the latest sample again (End)"));
    connect(m_liveButton, &QPushButton::clicked, this, [this] {
        m_view.Follow(m_view.SpanMs());
        Redraw();
    });
    ranges->addWidget(m_liveButton);
    for (const bool png : {true, false}) {
        auto* button = new QPushButton(png ? tr("Export &PNG…") : tr("Export CS&V…"));
        button->setObjectName(png ? QStringLiteral("exportPngButton")
                                  : QStringLiteral("exportCsvButton"));
        connect(button, &QPushButton::clicked, this, [this, png] { AskAndExport(png); });
        ranges->addWidget(button);
    }
    ranges->addStretch(1);
    m_notice = new QLabel;
    m_notice->setObjectName(QStringLiteral("trendNotice"));
    ranges->addWidget(m_notice);
    layout->addLayout(ranges);

    auto* boxes = new QHBoxLayout;
    for (int s = 0; s < kTrendSeriesCount; ++s) {
        auto* box = new QCheckBox;
        box->setObjectName(QStringLiteral("series%1Box").arg(s + 1));
        box->setChecked(s == 0);
        QPalette palette = box->palette();
        palette.setColor(QPalette::WindowText, kColours[static_cast<std::size_t>(s)]);
        box->setPalette(palette);
        connect(box, &QCheckBox::toggled, this, [this, s](bool on) { SetSeriesShown(s, on); });
        boxes->addWidget(box);
        m_boxes[static_cast<std::size_t>(s)] = box;
    }
    boxes->addStretch(1);
    layout->addLayout(boxes);

    BuildPlot();
    layout->addWidget(m_plot, 1);

    m_cursor = new QLabel;
    m_cursor->setObjectName(QStringLiteral("trendCursor"));
    m_cursor->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_cursor);
    setFocusPolicy(Qt::StrongFocus);
    BuildKeys();
    SetTimeZone(m_zone);
}

TrendWindow::~TrendWindow() = default;

void TrendWindow::BuildPlot() {
    m_plot = new QCustomPlot;
    m_plot->setObjectName(QStringLiteral("trendPlot"));
    m_plot->setNoAntialiasingOnDrag(true);
    // Two-pixel lines drawn as segments rather than one stroked polyline: a
    // day without a gap otherwise took three times as long.
    m_plot->setPlottingHint(QCP::phFastPolylines, true);
    m_plot->setFocusPolicy(Qt::NoFocus);
    m_plot->xAxis->setTicker(
        QSharedPointer<ClockTicker>::create([this](double tick) { return TickText(tick); }));
    m_plot->yAxis->setLabel(tr("Volts (V)"));
    m_plot->yAxis2->setLabel(tr("Amperes (A)"));
    m_plot->yAxis2->setVisible(true);
    m_tempAxis = m_plot->axisRect()->addAxis(QCPAxis::atRight);
    m_tempAxis->setLabel(tr("Temperature (°C, °F)"));
    m_plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    m_plot->axisRect()->setRangeDrag(Qt::Horizontal);
    m_plot->axisRect()->setRangeZoom(Qt::Horizontal);
    for (int s = 0; s < kTrendSeriesCount; ++s) {
        QCPGraph* graph = m_plot->addGraph(m_plot->xAxis, AxisOf(s));
        // Two-pixel lines without antialiasing (scaled with the screen): a
        // day of eight channels redraws in a few milliseconds. °F is dashed
        // to tell it from °C by more than its colour.
        graph->setPen(QPen(kColours[static_cast<std::size_t>(s)], 2,
                           s == kTrendFahrenheit ? Qt::DashLine : Qt::SolidLine));
        graph->setAntialiased(false);
        graph->setAdaptiveSampling(false);  // decimated already, extremes kept
        graph->setVisible(s == 0);
        m_graphs[static_cast<std::size_t>(s)] = graph;
    }
    connect(m_plot->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
            [this](const QCPRange&) { OnRangeDragged(); });
    m_plot->plotLayout()->insertRow(0);
    m_title = new QCPTextElement(m_plot, QString(), QFont(font().family(), -1, QFont::Bold));
    m_plot->plotLayout()->addElement(0, 0, m_title);
    m_plot->legend->setVisible(true);
    m_plot->legend->setBrush(QColor(255, 255, 255, 230));
    m_plot->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignLeft);
    // The crosshair on a layer of its own: following the pointer redraws
    // only that layer, not a day of samples.
    m_marks = std::make_unique<TrendPlotMarks>(*m_plot);
    // What is drawn depends on the plot's width (a bucket and the narrowest
    // band a pixel, a band's label only where it fits): drawn again once a
    // resize has settled.
    m_plot->installEventFilter(this);
    m_plot->addLayer(QStringLiteral("crosshair"));
    m_plot->layer(QStringLiteral("crosshair"))->setMode(QCPLayer::lmBuffered);
    m_crossLine = new QCPItemStraightLine(m_plot);
    m_crossLine->setLayer(QStringLiteral("crosshair"));
    m_crossLine->setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
    m_crossLine->point1->setTypeY(QCPItemPosition::ptAxisRectRatio);
    m_crossLine->point2->setTypeY(QCPItemPosition::ptAxisRectRatio);
    m_crossText = new QCPItemText(m_plot);
    m_crossText->setLayer(QStringLiteral("crosshair"));
    m_crossText->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
    m_crossText->setTextAlignment(Qt::AlignLeft);
    m_crossText->setPadding(QMargins(4, 3, 4, 3));
    m_crossText->setBrush(QColor(255, 255, 224, 235));
    m_crossText->setPen(QPen(Qt::gray));
    connect(m_plot, &QCustomPlot::mouseMove, this, [this](QMouseEvent* event) {
        const double plotS = m_plot->xAxis->pixelToCoord(event->position().x());
        if (m_history->Size() != 0) {
            m_crossMs = TrendView::MsOfSeconds(plotS) - PlotOffsetMs();
            DrawCrosshair();
            m_plot->layer(QStringLiteral("crosshair"))->replot();
        }
    });
}

bool TrendWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_plot && event->type() == QEvent::Resize && !m_redrawQueued) {
        m_redrawQueued = true;
        QTimer::singleShot(0, this, [this] {
            m_redrawQueued = false;
            Redraw();
        });
    }
    return QWidget::eventFilter(watched, event);
}

void TrendWindow::BuildKeys() {
    // Shortcuts of the window rather than its own key handling: the keys
    // work whichever button or box has the focus, from the moment it opens.
    const auto bind = [this](const QKeySequence& keys, auto act) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, act] {
            act();
            Redraw();
        });
    };
    bind(QKeySequence(Qt::Key_Left), [this] { m_view.Pan(-1, *m_history); });
    bind(QKeySequence(Qt::Key_Right), [this] { m_view.Pan(1, *m_history); });
    for (const int key : {int(Qt::Key_Plus), int(Qt::Key_Equal)}) {
        bind(QKeySequence(key), [this] { m_view.Zoom(true, *m_history); });
    }
    bind(QKeySequence(Qt::Key_Minus), [this] { m_view.Zoom(false, *m_history); });
    bind(QKeySequence(Qt::Key_End), [this] { m_view.Follow(m_view.SpanMs()); });
    bind(QKeySequence(Qt::SHIFT | Qt::Key_Left), [this] { StepCrosshair(-1); });
    bind(QKeySequence(Qt::SHIFT | Qt::Key_Right), [this] { StepCrosshair(1); });
}

void TrendWindow::StepCrosshair(int samples) {
    if (m_history->Size() == 0) {
        return;
    }
    const TimeSpan shown = m_view.Shown(*m_history, 0);
    if (!m_crossMs || *m_crossMs < shown.fromMs || *m_crossMs > shown.toMs) {
        // From the middle of the view.
        m_crossMs = shown.fromMs + shown.LengthMs() / 2;
        samples = 0;
    }
    const auto index = static_cast<std::int64_t>(Nearest(*m_history, *m_crossMs)) + samples;
    const auto last = static_cast<std::int64_t>(m_history->Size()) - 1;
    m_crossMs =
        m_history->At(static_cast<std::size_t>(std::clamp<std::int64_t>(index, 0, last))).steadyMs;
    if (*m_crossMs < shown.fromMs || *m_crossMs > shown.toMs) {
        // Moved off the view: the view goes along.
        const std::int64_t shift =
            *m_crossMs < shown.fromMs ? *m_crossMs - shown.fromMs : *m_crossMs - shown.toMs;
        m_view.Show({shown.fromMs + shift, shown.toMs + shift}, *m_history);
    }
}

void TrendWindow::AskAndExport(bool png) {
    const QString path = QFileDialog::getSaveFileName(
        this, png ? tr("Export the plot") : tr("Export the samples in view"),
        png ? QStringLiteral("trend.png") : QStringLiteral("trend.csv"),
        png ? tr("PNG images (*.png)") : tr("CSV files (*.csv)"));
    if (path.isEmpty()) {
        return;
    }
    const QString why = png ? ExportPng(path) : ExportCsv(path);
    if (!why.isEmpty()) {
        QMessageBox::warning(this, tr("Export"), why);
    }
}

QString TrendWindow::ExportPng(const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !m_plot->toPixmap().save(&file, "PNG") ||
        !file.commit()) {
        return tr("Could not write %1: %2").arg(path, file.errorString());
    }
    return {};
}

QString TrendWindow::ExportCsv(const QString& path) const {
    std::vector<int> series;
    for (int s = 0; s < kTrendSeriesCount; ++s) {
        if (m_graphs[static_cast<std::size_t>(s)]->visible()) {
            series.push_back(s);
        }
    }
    const TimeSpan shown = m_view.Shown(*m_history, SystemClockReading().steadyMs);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(TrendCsv(*m_history, series, shown.fromMs, shown.toMs)) < 0 || !file.commit()) {
        return tr("Could not write %1: %2").arg(path, file.errorString());
    }
    return {};
}

void TrendWindow::SetCrosshair(std::int64_t steadyMs) {
    m_crossMs = steadyMs;
    Redraw();
}

QString TrendWindow::CrosshairText() const {
    return m_crossText->visible() ? m_crossText->text() : QString();
}

void TrendWindow::DrawCrosshair() {
    const TimeSpan shown = m_view.Shown(*m_history, 0);
    const bool on = m_crossMs && m_history->Size() != 0 && *m_crossMs >= shown.fromMs &&
                    *m_crossMs <= shown.toMs;
    m_crossLine->setVisible(on);
    m_crossText->setVisible(on);
    if (!on) {
        m_cursor->clear();
        return;
    }
    const CrosshairReading reading = ReadCrosshair(*m_history, *m_crossMs);
    const double x = PlotSeconds(reading.steadyMs);
    // The line below the plot says the same, for a screen reader and to copy.
    m_cursor->setText(ValueText(x));
    m_crossLine->point1->setCoords(x, 0);
    m_crossLine->point2->setCoords(x, 1);
    QStringList lines{QDateTime::fromMSecsSinceEpoch(reading.wallMs, m_zone)
                          .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss t"))};
    if (reading.gap != Gap::None) {
        lines << (reading.gap == Gap::Lost ? tr("no answer") : tr("not polled"));
    } else {
        for (int s = 0; s < kTrendSeriesCount; ++s) {
            if (m_graphs[static_cast<std::size_t>(s)]->visible()) {
                const float value = reading.values[static_cast<std::size_t>(s)];
                lines << TrendSeriesName(*m_history, s) + QStringLiteral(" = ") +
                             (std::isnan(value) ? tr("ERROR") : QString::number(value, 'f', 2));
            }
        }
    }
    m_crossText->setText(lines.join(QLatin1Char('\n')));
    // Beside the line, on the side with room.
    const bool left = x > m_plot->xAxis->range().center();
    m_crossText->setPositionAlignment((left ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
    m_crossText->position->setCoords(x, 0.02);
}

void TrendWindow::UpdateLegend(TimeSpan shown) {
    const auto figure = [](float value) {
        return std::isnan(value) ? QStringLiteral("–") : QString::number(value, 'f', 2);
    };
    for (int s = 0; s < kTrendSeriesCount; ++s) {
        QCPGraph* graph = m_graphs[static_cast<std::size_t>(s)];
        if (!graph->visible()) {
            graph->removeFromLegend();
            continue;
        }
        const SeriesStats stats = StatsOver(*m_history, s, shown.fromMs, shown.toMs);
        graph->setName(tr("%1   last %2   min %3   max %4")
                           .arg(TrendSeriesName(*m_history, s), figure(stats.last),
                                figure(stats.min), figure(stats.max)));
        graph->addToLegend();
    }
}

QCPAxis* TrendWindow::AxisOf(int series) const {
    if (series >= HistorySample::kChannelCount) {
        return m_tempAxis;
    }
    return m_history->units[static_cast<std::size_t>(series)] == QStringLiteral("A")
               ? m_plot->yAxis2
               : m_plot->yAxis;
}

void TrendWindow::ShowHistory(const SampleHistory& history) {
    if (&history != m_history) {
        m_history = &history;
        m_view.Follow(m_view.SpanMs());
    }
    Redraw();
}

void TrendWindow::SetTimeZone(const QTimeZone& zone) {
    m_zone = zone.isValid() ? zone : QTimeZone::utc();
    // Ticks a day or more apart fall on this zone's midnights.
    m_plot->xAxis->ticker().staticCast<ClockTicker>()->setTimeZone(m_zone);
    m_plot->xAxis->setLabel(tr("Time (%1)").arg(ZoneName(m_zone)));
    Redraw();
}

void TrendWindow::SetRange(std::int64_t seconds) {
    m_view.Follow(TrendView::MsOfSeconds(static_cast<double>(seconds)));
    Redraw();
}

void TrendWindow::SetView(std::int64_t fromMs, std::int64_t toMs) {
    m_view.Show({fromMs, toMs}, *m_history);
    Redraw();
}

void TrendWindow::SetSeriesShown(int series, bool shown) {
    if (series < 0 || series >= kTrendSeriesCount) {
        return;
    }
    m_boxes[static_cast<std::size_t>(series)]->setChecked(shown);
    m_graphs[static_cast<std::size_t>(series)]->setVisible(shown);
    Redraw();
}

QString TrendWindow::NoticeText() const {
    return m_notice->text();
}

void TrendWindow::UpdateNames() {
    const QString& station = m_history->station;
    setWindowTitle(station.isEmpty() ? tr("Trend") : tr("Trend - %1").arg(station));
    m_notice->setText(station.isEmpty()        ? QString()
                      : m_history->Size() == 0 ? tr("Station %1: no answer yet").arg(station)
                                               : tr("Station %1").arg(station));
    m_title->setText(station.isEmpty() ? tr("Trend") : tr("Station %1").arg(station));
    const bool live = m_view.Following();
    m_liveState->setText(live ? tr("live") : tr("paused"));
    m_liveState->setAccessibleName(tr("Plot state: %1").arg(m_liveState->text()));
    m_liveButton->setEnabled(!live);
    for (int s = 0; s < kTrendSeriesCount; ++s) {
        m_boxes[static_cast<std::size_t>(s)]->setText(TrendSeriesName(*m_history, s));
        // A channel may change between volts and amperes.
        m_graphs[static_cast<std::size_t>(s)]->setValueAxis(AxisOf(s));
    }
}

std::int64_t TrendWindow::PlotOffsetMs() const {
    if (const HistorySample* latest = m_history->Latest()) {
        return latest->WallOffsetMs();
    }
    const ClockReading now = SystemClockReading();
    return now.wallMs - now.steadyMs;
}

double TrendWindow::PlotSeconds(std::int64_t steadyMs) const {
    return static_cast<double>(steadyMs + PlotOffsetMs()) / 1000.0;
}

void TrendWindow::Redraw() {
    m_redrawing = true;
    UpdateNames();
    const TimeSpan shown = m_view.Shown(*m_history, SystemClockReading().steadyMs);
    DrawSeries(shown);
    const double toS = PlotSeconds(shown.toMs);
    m_plot->xAxis->setRange(PlotSeconds(shown.fromMs), toS);
    // Ticks less than a day apart on the zone's whole hours and minutes (the
    // ticker counts them from the epoch, in UTC).
    const auto offsetS = m_zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(std::llround(toS)));
    m_plot->xAxis->ticker()->setTickOrigin(-static_cast<double>(offsetS));
    std::vector<int> plotted;
    for (int s = 0; s < kTrendSeriesCount; ++s) {
        if (m_graphs[static_cast<std::size_t>(s)]->visible()) {
            plotted.push_back(s);
        }
    }
    const std::vector<TriggerLine> triggers = TriggerLines(*m_history, plotted);
    ScaleValueAxes(triggers);
    DrawMarks(shown, triggers);
    UpdateLegend(shown);
    DrawCrosshair();
    m_plot->replot();
    m_redrawing = false;
}

void TrendWindow::DrawSeries(TimeSpan shown) {
    const double offsetS = static_cast<double>(PlotOffsetMs()) / 1000.0;
    const int buckets = std::max(1, m_plot->axisRect()->width());
    for (int s = 0; s < kTrendSeriesCount; ++s) {
        QCPGraph* graph = m_graphs[static_cast<std::size_t>(s)];
        if (!graph->visible()) {
            graph->data()->clear();
            continue;
        }
        const std::vector<TrendPoint> points =
            DecimateMinMax(*m_history, s, shown.fromMs, shown.toMs, buckets);
        QVector<QCPGraphData> drawn;
        drawn.reserve(static_cast<qsizetype>(points.size()));
        for (const TrendPoint& p : points) {
            drawn.append(QCPGraphData(p.timeS + offsetS, p.value));
        }
        graph->data()->set(drawn, true);
    }
}

void TrendWindow::ScaleValueAxes(const std::vector<TriggerLine>& triggers) {
    for (QCPAxis* axis : {m_plot->yAxis, m_plot->yAxis2, m_tempAxis}) {
        bool found = false;
        QCPRange range;
        const auto take = [&found, &range](QCPRange r) {
            range = found ? QCPRange(std::min(range.lower, r.lower), std::max(range.upper, r.upper))
                          : r;
            found = true;
        };
        for (QCPGraph* graph : m_graphs) {
            if (graph->visible() && graph->valueAxis() == axis) {
                bool ok = false;
                const QCPRange r = graph->getValueRange(ok);
                if (ok) {
                    take(r);
                }
            }
        }
        // The trigger levels in sight, even when the readings are far below.
        for (const TriggerLine& trigger : triggers) {
            if (AxisOf(trigger.series) == axis) {
                take(QCPRange(trigger.level, trigger.level));
            }
        }
        axis->setVisible(found || axis == m_plot->yAxis);
        if (found) {
            const double margin = std::max(0.05 * range.size(), 0.01);
            axis->setRange(range.lower - margin, range.upper + margin);
        }
    }
}

void TrendWindow::DrawMarks(TimeSpan shown, const std::vector<TriggerLine>& triggers) {
    // A pixel of the plot in steady time: the narrowest band drawn.
    const std::int64_t pixelMs = shown.LengthMs() / std::max(1, m_plot->axisRect()->width()) + 1;
    m_marks->Draw(
        {.bands =
             OutageBands(*m_history, shown.fromMs, shown.toMs, pixelMs, TrendPlotMarks::kMostBands),
         .steps = ClockSteps(*m_history, shown.fromMs, shown.toMs, TrendPlotMarks::kMostClockMarks),
         .triggers = triggers},
        [this](std::int64_t steadyMs) { return PlotSeconds(steadyMs); },
        [this](int series) { return AxisOf(series); },
        [](int series) { return kColours[static_cast<std::size_t>(series)]; });
}

bool TrendWindow::SetWallRange(std::int64_t fromWallMs, std::int64_t toWallMs) {
    const std::optional<TimeSpan> span =
        SteadySpanOfWall(*m_history, fromWallMs, toWallMs, PlotOffsetMs());
    if (!span) {
        return false;
    }
    SetView(span->fromMs, span->toMs);
    return true;
}

void TrendWindow::AskRange() {
    const TimeSpan shown = m_view.Shown(*m_history, SystemClockReading().steadyMs);
    const std::int64_t offset = PlotOffsetMs();
    auto* dialog = new TrendRangeDialog(WallMsAt(*m_history, shown.fromMs, offset),
                                        WallMsAt(*m_history, shown.toMs, offset), m_zone, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this,
            [this, dialog] { SetWallRange(*dialog->FromWallMs(), *dialog->ToWallMs()); });
    dialog->open();
}

QString TrendWindow::TickText(double plotS) const {
    const std::int64_t offset = PlotOffsetMs();
    const std::int64_t steady = TrendView::MsOfSeconds(plotS) - offset;
    return QDateTime::fromMSecsSinceEpoch(WallMsAt(*m_history, steady, offset), m_zone)
        .toString(QStringLiteral("HH:mm:ss\nyyyy-MM-dd"));
}

void TrendWindow::OnRangeDragged() {
    if (m_redrawing) {
        return;
    }
    const QCPRange range = m_plot->xAxis->range();
    const std::int64_t offset = PlotOffsetMs();
    const TimeSpan wanted{TrendView::MsOfSeconds(range.lower) - offset,
                          TrendView::MsOfSeconds(range.upper) - offset};
    // Redrawn once the event that moved the view is over.
    QTimer::singleShot(0, this, [this, wanted] { SetView(wanted.fromMs, wanted.toMs); });
}

QString TrendWindow::ValueText(double plotS) const {
    if (m_history->Size() == 0) {
        return {};
    }
    const HistorySample& sample =
        m_history->At(Nearest(*m_history, TrendView::MsOfSeconds(plotS) - PlotOffsetMs()));
    QString text = QDateTime::fromMSecsSinceEpoch(sample.wallMs, m_zone)
                       .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss t"));
    if (sample.gap == Gap::Lost) {
        return text + tr("  no answer");
    }
    if (sample.gap == Gap::NotPolled) {
        return text + tr("  not polled");
    }
    for (int s = 0; s < kTrendSeriesCount; ++s) {
        if (m_graphs[static_cast<std::size_t>(s)]->visible()) {
            const float value = TrendValue(sample, s);
            text += QStringLiteral("  ") + m_boxes[static_cast<std::size_t>(s)]->text() +
                    QStringLiteral(" = ") +
                    (std::isnan(value) ? tr("ERROR") : QString::number(value, 'f', 2));
        }
    }
    return text;
}

}  // namespace volnar
