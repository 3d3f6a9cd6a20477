#pragma once

#include <QWidget>
#include <array>
#include <cstdint>

#include "history/trend_series.h"
#include "history/trend_view.h"

class QCPAxis;
class QCPGraph;
class QCheckBox;
class QCustomPlot;
class QLabel;

namespace volnar {

// The trend plot: chosen channels of the station's history against time,
// live. Volts, amperes and temperature each have their own axis; a lost
// answer breaks the line. Mouse: drag to pan, wheel to zoom; keys: Left and
// Right pan, + and - zoom, End follows the latest sample again (TrendView sets
// the limits).
class TrendWindow final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TrendWindow)

public:
    static constexpr std::int64_t kRangesS[] = {5 * 60, 60 * 60, 24 * 60 * 60};

    explicit TrendWindow(const SampleHistory& history, QWidget* parent = nullptr);
    ~TrendWindow() override;

    // Shows the last `seconds` and follows new samples.
    void SetRange(std::int64_t seconds);
    // Shows [fromMs, toMs], within TrendView's limits, and stops following.
    void SetView(std::int64_t fromMs, std::int64_t toMs);
    void SetSeriesShown(int series, bool shown);
    // Draws the history again (new samples, another view).
    void Redraw();
    // A new history began: the plot says so.
    void OnHistoryRestarted();
    // The text under the cursor for plot time `timeS`.
    QString ValueText(double timeS) const;
    QString NoticeText() const;
    const TrendView& View() const { return m_view; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QCPAxis* AxisOf(int series) const;
    void OnRangeDragged();
    void UpdateNames();

    const SampleHistory& m_history;
    QCustomPlot* m_plot = nullptr;
    QCPAxis* m_tempAxis = nullptr;
    QLabel* m_cursor = nullptr;
    QLabel* m_notice = nullptr;
    std::array<QCPGraph*, kTrendSeriesCount> m_graphs{};
    std::array<QCheckBox*, kTrendSeriesCount> m_boxes{};
    TrendView m_view;
    bool m_redrawing = false;
};

}  // namespace volnar
