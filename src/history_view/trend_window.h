// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTimeZone>
#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "history/trend_series.h"
#include "history/trend_view.h"

class QCPAxis;
class QCPGraph;
class QCPItemStraightLine;
class QCPItemText;
class QCPTextElement;
class QCheckBox;
class QCustomPlot;
class QLabel;
class QPushButton;

namespace volnar {

class TrendPlotMarks;
struct TriggerLine;

// The trend plot: chosen channels of a station's history against time,
// live. Volts, amperes and temperature each have their own axis; a gap
// (answers lost, polling stopped) breaks the line and is shaded as an
// outage, a setting of the wall clock is a marked line across the plot, and
// each plotted channel's enabled trigger levels are dashed lines. Samples are placed by the steady
// clock and labelled with the wall time of their own clock readings, in one
// time zone named on the axis, the cursor's text included. Mouse: drag to
// pan, wheel to zoom; keys (from anywhere in the window): Left and Right pan,
// + and - zoom, End follows the latest sample again (TrendView sets the
// limits), Shift+Left and Shift+Right move the crosshair a sample; the
// From–to button (Alt+F) asks for a range of date and time. The
// crosshair follows the pointer and lists every plotted series at the
// sample under it; the legend gives each series' last, minimum and maximum
// over the view.
class TrendWindow final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TrendWindow)

public:
    static constexpr std::int64_t kRangesS[] = {5 * 60, 60 * 60, 24 * 60 * 60};

    // Shows `history`, which must outlive the window or be replaced first
    // with ShowHistory.
    explicit TrendWindow(const SampleHistory& history, QWidget* parent = nullptr);
    ~TrendWindow() override;

    // Another history (another station's): its latest samples, followed.
    void ShowHistory(const SampleHistory& history);
    // The zone of every time shown (the system's by default).
    void SetTimeZone(const QTimeZone& zone);
    // Shows the last `seconds` and follows new samples.
    void SetRange(std::int64_t seconds);
    // Shows [fromMs, toMs] of steady time, within TrendView's limits, and
    // stops following.
    void SetView(std::int64_t fromMs, std::int64_t toMs);
    // Shows what was labelled [fromWallMs, toWallMs] (SteadySpanOfWall);
    // false, changing nothing, when that is no range.
    bool SetWallRange(std::int64_t fromWallMs, std::int64_t toWallMs);
    // The From–to button: a dialog of the range, opened on the view.
    void AskRange();
    void SetSeriesShown(int series, bool shown);
    // Draws the history again (new samples, another view).
    void Redraw();
    // The text under the cursor at plot coordinate `plotS`.
    QString ValueText(double plotS) const;
    // Writes the plot as shown to a PNG file, or the samples in view of the
    // plotted series to a CSV file; why not, when it could not be written.
    QString ExportPng(const QString& path);
    QString ExportCsv(const QString& path) const;
    // Puts the crosshair on the sample nearest `steadyMs`.
    void SetCrosshair(std::int64_t steadyMs);
    // The crosshair's text (its time and every plotted series), empty when
    // it is not on the plot.
    QString CrosshairText() const;
    QString NoticeText() const;
    const TrendView& View() const { return m_view; }
    // The plot coordinate of a steady time: the wall time of the latest
    // sample's clocks, in seconds.
    double PlotSeconds(std::int64_t steadyMs) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildPlot();
    void BuildKeys();
    void AskAndExport(bool png);
    void StepCrosshair(int samples);
    void DrawCrosshair();
    void UpdateLegend(TimeSpan shown);
    QCPAxis* AxisOf(int series) const;
    void OnRangeDragged();
    void UpdateNames();
    void DrawSeries(TimeSpan shown);
    void ScaleValueAxes(const std::vector<TriggerLine>& triggers);
    void DrawMarks(TimeSpan shown, const std::vector<TriggerLine>& triggers);
    std::int64_t PlotOffsetMs() const;
    QString TickText(double plotS) const;

    const SampleHistory* m_history;
    TrendView m_view;
    QTimeZone m_zone;
    QCustomPlot* m_plot = nullptr;
    QCPAxis* m_tempAxis = nullptr;
    QLabel* m_cursor = nullptr;
    QLabel* m_notice = nullptr;
    QLabel* m_liveState = nullptr;
    QPushButton* m_liveButton = nullptr;
    QCPTextElement* m_title = nullptr;
    QCPItemStraightLine* m_crossLine = nullptr;
    QCPItemText* m_crossText = nullptr;
    std::optional<std::int64_t> m_crossMs;  // steady time of the crosshair
    std::array<QCPGraph*, kTrendSeriesCount> m_graphs{};
    std::array<QCheckBox*, kTrendSeriesCount> m_boxes{};
    std::unique_ptr<TrendPlotMarks> m_marks;
    bool m_redrawing = false;
    bool m_redrawQueued = false;
};

}  // namespace volnar
