// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QRect>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "history/trend_marks.h"
#include "history/trend_series.h"

class QCPAxis;
class QCPGraph;
class QCPItemStraightLine;
class QCPItemText;
class QCustomPlot;

namespace volnar {

// What the trend plot marks besides its lines: the outages shaded (two
// filled graphs behind the lines, on a layer of their own), the settings of the wall clock as
// dashed lines across, and the enabled trigger levels of the plotted
// channels as dashed lines in the channel's colour. The items are kept and
// reused from one redraw to the next, so a day's redraw makes none.
class TrendPlotMarks final {
public:
    // At most this many of each in one view.
    static constexpr std::size_t kMostBands = 256;
    static constexpr std::size_t kMostClockMarks = 32;

    explicit TrendPlotMarks(QCustomPlot& plot);

    struct Marks {
        std::vector<OutageBand> bands;
        std::vector<ClockStep> steps;
        std::vector<TriggerLine> triggers;
    };
    // Draws `marks`; `plotSeconds` places a steady time, `axisOf` gives a
    // series' value axis and `colourOf` its colour.
    void Draw(const Marks& marks, const std::function<double(std::int64_t)>& plotSeconds,
              const std::function<QCPAxis*(int)>& axisOf,
              const std::function<QColor(int)>& colourOf);

private:
    QCPItemText* NextLabel();
    QCPItemStraightLine* NextLine();
    void DrawBands(const std::vector<OutageBand>& bands,
                   const std::function<double(std::int64_t)>& plotSeconds);
    void DrawTriggers(const std::vector<TriggerLine>& triggers,
                      const std::function<QCPAxis*(int)>& axisOf,
                      const std::function<QColor(int)>& colourOf);

    QCustomPlot& m_plot;
    std::vector<QCPGraph*> m_bands;  // no answer, not polled
    std::vector<QCPItemStraightLine*> m_lines;
    std::vector<QCPItemText*> m_labels;
    std::size_t m_labelsUsed = 0;
    std::size_t m_linesUsed = 0;
    std::vector<QRect> m_taken;  // where the labels drawn stand, in pixels
};

}  // namespace volnar
