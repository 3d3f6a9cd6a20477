// SPDX-License-Identifier: GPL-3.0-or-later
#include "history_view/trend_plot_marks.h"

#include <QFontMetrics>

#include "history_view/custom_plot.h"

#include <algorithm>

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
        m_lines.push_back(new QCPItemStraightLine(&m_plot));
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
    while (m_bands.size() < bands.size()) {
        auto* band = new QCPItemRect(&m_plot);
        band->setLayer(kOutageLayer);
        band->setPen(Qt::NoPen);
        band->setSelectable(false);
        m_bands.push_back(band);
    }
    for (std::size_t n = 0; n < m_bands.size(); ++n) {
        QCPItemRect* rect = m_bands[n];
        rect->setVisible(n < bands.size());
        if (n >= bands.size()) {
            continue;
        }
        const OutageBand& band = bands[n];
        const double from = plotSeconds(band.fromMs);
        const double to = plotSeconds(band.toMs);
        const bool lost = band.why == Gap::Lost;
        rect->setBrush(lost ? kLostFill : kNotPolledFill);
        AcrossThePlot(rect->topLeft, from, 0);
        AcrossThePlot(rect->bottomRight, to, 1);
        // Its label at the foot of the band, when the band has room for it.
        QCPItemText* label = NextLabel();
        label->setText(OutageText(band));
        const double width = m_plot.xAxis->coordToPixel(to) - m_plot.xAxis->coordToPixel(from);
        if (width < QFontMetrics(label->font()).horizontalAdvance(label->text()) + 8) {
            label->setVisible(false);
            continue;
        }
        AcrossThePlot(label->position, from, 1);
        label->setPositionAlignment(Qt::AlignLeft | Qt::AlignBottom);
        label->setColor(lost ? kLostText : kNotPolledText);
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
