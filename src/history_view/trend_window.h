#pragma once

#include <QTimeZone>
#include <QWidget>
#include <array>
#include <cstdint>
#include <vector>

#include "history/trend_series.h"
#include "history/trend_view.h"

class QCPAbstractItem;
class QCPAxis;
class QCPGraph;
class QCheckBox;
class QCustomPlot;
class QLabel;

namespace volnar {

// The trend plot: chosen channels of a station's history against time,
// live. Volts, amperes and temperature each have their own axis; a gap
// (answers lost, polling stopped) breaks the line, and a setting of the wall
// clock is a marked line across the plot. Samples are placed by the steady
// clock and labelled with the wall time of their own clock readings, in one
// time zone named on the axis, the cursor's text included. Mouse: drag to
// pan, wheel to zoom; keys: Left and Right pan, + and - zoom, End follows the
// latest sample again (TrendView sets the limits).
class TrendWindow final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TrendWindow)

public:
    static constexpr std::int64_t kRangesS[] = {5 * 60, 60 * 60, 24 * 60 * 60};
    // Clock settings marked in one view at most (a clock set every second
    // must not cost a line per sample).
    static constexpr std::size_t kMostClockMarks = 32;

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
    void SetSeriesShown(int series, bool shown);
    // Draws the history again (new samples, another view).
    void Redraw();
    // The text under the cursor at plot coordinate `plotS`.
    QString ValueText(double plotS) const;
    QString NoticeText() const;
    const TrendView& View() const { return m_view; }
    // The plot coordinate of a steady time: the wall time of the latest
    // sample's clocks, in seconds.
    double PlotSeconds(std::int64_t steadyMs) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildPlot();
    QCPAxis* AxisOf(int series) const;
    void OnRangeDragged();
    void UpdateNames();
    void DrawSeries(TimeSpan shown);
    void ScaleValueAxes();
    void MarkClockSteps(TimeSpan shown);
    std::int64_t PlotOffsetMs() const;
    QString TickText(double plotS) const;

    const SampleHistory* m_history;
    TrendView m_view;
    QTimeZone m_zone;
    QCustomPlot* m_plot = nullptr;
    QCPAxis* m_tempAxis = nullptr;
    QLabel* m_cursor = nullptr;
    QLabel* m_notice = nullptr;
    std::array<QCPGraph*, kTrendSeriesCount> m_graphs{};
    std::array<QCheckBox*, kTrendSeriesCount> m_boxes{};
    std::vector<QCPAbstractItem*> m_marks;
    bool m_redrawing = false;
};

}  // namespace volnar
