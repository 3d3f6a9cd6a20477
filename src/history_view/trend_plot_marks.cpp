// SPDX-License-Identifier: GPL-3.0-or-later
#include "history_view/trend_plot_marks.h"

#include <QFontMetrics>

#include "history_view/custom_plot.h"

#include <algorithm>
#include <array>
#include <limits>

namespace volnar {
namespace {

const QString kOutageLayer = QStringLiteral("outages");
const QColor kClockMarkColour(0xb35900);
// Light enough behind the lines; the label's colour says the same darker.
const QColor kLostFill(0xd6, 0x27, 0x28, 40);
const QColor kNotPolledFill(0x80, 0x80, 0x80, 60);
const QColor kLostText(0x9b, 0x1c, 0x1c);
const QColor kNotPolledText(0x4d, 0x4d, 0x4d);

// x in plot coordinates, y from the top (0) to the bottom (1) of the plot.
void AcrossThePlot(QCPItemPosition* position, double x, double yRatio) {
    position->setTypeX(QCPItemPosition::ptPlotCoords);
    position->setTypeY(QCPItemPosition::ptAxisRectRatio);
    position->setCoords(x, yRatio);
}

}  // namespace

TrendPlotMarks::TrendPlotMarks(QCustomPlot& plot) : m_plot(plot) {
    // Above the grid, below the lines.
    m_plot.addLayer(kOutageLayer, m_plot.layer(QStringLiteral("main")), QCustomPlot::limBelow);
    // Two filled graphs rather than an item a band: a day's hundreds of
    // items cost more to draw than its lines.
    QCPAxis* height = m_plot.axisRect()->addAxis(QCPAxis::atLeft);
    height->setVisible(false);
    height->setRange(0, 1);
    for (const QColor& fill : {kLostFill, kNotPolledFill}) {
        QCPGraph* bands = m_plot.addGraph(m_plot.xAxis, height);
        bands->setLayer(kOutageLayer);
        bands->setPen(Qt::NoPen);
        bands->setAntialiased(false);
        bands->setAntialiasedFill(false);  // whole pixels: a day's bands cost little
        bands->setBrush(fill);
        bands->setSelectable(QCP::stNone);
        bands->removeFromLegend();
        m_bands.push_back(bands);
    }
}

QCPItemText* TrendPlotMarks::NextLabel() {
    if (m_labelsUsed == m_labels.size()) {
        auto* label = new QCPItemText(&m_plot);
        label->setPadding(QMargins(3, 2, 3, 2));
        m_labels.push_back(label);
    }
    QCPItemText* label = m_labels[m_labelsUsed++];
    label->setVisible(true);
    label->setBrush(Qt::NoBrush);
    return label;
}

QCPItemStraightLine* TrendPlotMarks::NextLine() {
    if (m_linesUsed == m_lines.size()) {
        auto* line = new QCPItemStraightLine(&m_plot);
        line->setAntialiased(false);  // straight across: whole pixels
        m_lines.push_back(line);
    }
    QCPItemStraightLine* line = m_lines[m_linesUsed++];
    line->setVisible(true);
    for (QCPItemPosition* end : {line->point1, line->point2}) {
        end->setAxes(m_plot.xAxis, m_plot.yAxis);
    }
    return line;
}

void TrendPlotMarks::Draw(const Marks& marks,
                          const std::function<double(std::int64_t)>& plotSeconds,
                          const std::function<QCPAxis*(int)>& axisOf,
                          const std::function<QColor(int)>& colourOf) {
    m_labelsUsed = 0;
    m_linesUsed = 0;
    m_taken.clear();
    DrawBands(marks.bands, plotSeconds);
    for (const ClockStep& step : marks.steps) {
        const double x = plotSeconds(step.steadyMs);
        QCPItemStraightLine* line = NextLine();
        line->setPen(QPen(kClockMarkColour, 1, Qt::DashLine));
        AcrossThePlot(line->point1, x, 0);
        AcrossThePlot(line->point2, x, 1);
        QCPItemText* text = NextLabel();
        AcrossThePlot(text->position, x, 0);
        text->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
        text->setColor(kClockMarkColour);
        text->setText(ClockStepText(step.shiftMs));
        // Where its text stands: no trigger's name covers it.
        const QFontMetrics metrics(text->font());
        m_taken.emplace_back(static_cast<int>(m_plot.xAxis->coordToPixel(x)),
                             m_plot.axisRect()->top(), metrics.horizontalAdvance(text->text()) + 8,
                             metrics.height() + 4);
    }
    DrawTriggers(marks.triggers, axisOf, colourOf);
    for (std::size_t n = m_labelsUsed; n < m_labels.size(); ++n) {
        m_labels[n]->setVisible(false);
    }
    for (std::size_t n = m_linesUsed; n < m_lines.size(); ++n) {
        m_lines[n]->setVisible(false);
    }
}

void TrendPlotMarks::DrawBands(const std::vector<OutageBand>& bands,
                               const std::function<double(std::int64_t)>& plotSeconds) {
    // Filled from the bottom (0) to the top (1) of their own hidden axis,
    // a NaN between two bands.
    std::array<QVector<QCPGraphData>, 2> filled;  // no answer, not polled
    const QFontMetrics metrics(m_plot.font());
    for (const OutageBand& band : bands) {
        const double from = plotSeconds(band.fromMs);
        const double to = plotSeconds(band.toMs);
        const bool lost = band.why == Gap::Lost;
        filled[lost ? 0 : 1] << QCPGraphData(from, 1) << QCPGraphData(to, 1)
                             << QCPGraphData(to, std::numeric_limits<double>::quiet_NaN());
        // Its label at the foot of the band, when the band has room for it
        // (the day's hundreds of narrow bands take none).
        const double width = m_plot.xAxis->coordToPixel(to) - m_plot.xAxis->coordToPixel(from);
        const QString text = OutageText(band);
        if (width < metrics.horizontalAdvance(text) + 8) {
            continue;
        }
        QCPItemText* label = NextLabel();
        label->setText(text);
        AcrossThePlot(label->position, from, 1);
        label->setPositionAlignment(Qt::AlignLeft | Qt::AlignBottom);
        label->setColor(lost ? kLostText : kNotPolledText);
    }
    for (std::size_t n = 0; n < filled.size(); ++n) {
        m_bands[n]->data()->set(filled[n], true);
    }
}

void TrendPlotMarks::DrawTriggers(const std::vector<TriggerLine>& triggers,
                                  const std::function<QCPAxis*(int)>& axisOf,
                                  const std::function<QColor(int)>& colourOf) {
    const QRect area = m_plot.axisRect()->rect();
    std::vector<QRect>& placed = m_taken;  // the labels so far, in pixels
    for (const TriggerLine& trigger : triggers) {
        QCPAxis* axis = axisOf(trigger.series);
        QCPItemStraightLine* line = NextLine();
        line->setPen(QPen(colourOf(trigger.series), 1, Qt::DashLine));
        for (QCPItemPosition* end : {line->point1, line->point2}) {
            end->setType(QCPItemPosition::ptPlotCoords);
            end->setAxes(m_plot.xAxis, axis);
        }
        line->point1->setCoords(m_plot.xAxis->range().lower, trigger.level);
        line->point2->setCoords(m_plot.xAxis->range().upper, trigger.level);
        // Its name at the right end, above a high level and below a low one;
        // to the left of the names it would cover (levels a pixel apart).
        QCPItemText* label = NextLabel();
        label->setText(trigger.text);
        const QFontMetrics metrics(label->font());
        const int y = static_cast<int>(axis->coordToPixel(trigger.level));
        QRect box(0, 0, metrics.horizontalAdvance(trigger.text) + 8, metrics.height() + 4);
        box.moveTopRight(QPoint(area.right(), trigger.high ? y - box.height() : y));
        for (bool moved = true; moved;) {
            moved = false;
            for (const QRect& other : placed) {
                if (box.intersects(other)) {
                    box.moveRight(other.left() - 4);
                    moved = true;
                }
            }
        }
        placed.push_back(box);
        label->position->setAxes(m_plot.xAxis, axis);
        label->position->setTypeX(QCPItemPosition::ptAxisRectRatio);
        label->position->setTypeY(QCPItemPosition::ptPlotCoords);
        label->position->setCoords(
            static_cast<double>(box.right() + 1 - area.left()) / std::max(1, area.width()),
            trigger.level);
        label->setPositionAlignment(Qt::AlignRight |
                                    (trigger.high ? Qt::AlignBottom : Qt::AlignTop));
        label->setColor(colourOf(trigger.series));
        label->setBrush(QColor(255, 255, 255, 200));
    }
}

}  // namespace volnar
