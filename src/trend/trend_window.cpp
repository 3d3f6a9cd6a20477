#include "trend/trend_window.h"

#include <QCheckBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include "trend/custom_plot.h"

#include <cmath>

namespace volnar {
namespace {

const std::array<QColor, kTrendSeriesCount> kColours = {
    QColor(0x1f77b4), QColor(0xd62728), QColor(0x2ca02c), QColor(0x9467bd), QColor(0xff7f0e),
    QColor(0x8c564b), QColor(0xe377c2), QColor(0x17becf), QColor(0x7f7f7f), QColor(0xbcbd22)};

std::int64_t NowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

}  // namespace

TrendWindow::TrendWindow(const SampleHistory& history, QWidget* parent)
    : QWidget(parent, Qt::Window), m_history(history) {
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

    m_plot = new QCustomPlot;
    m_plot->setObjectName(QStringLiteral("trendPlot"));
    m_plot->setNoAntialiasingOnDrag(true);
    m_plot->setFocusPolicy(Qt::NoFocus);
    auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
    ticker->setDateTimeFormat(QStringLiteral("HH:mm:ss\nyyyy-MM-dd"));
    m_plot->xAxis->setTicker(ticker);
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
        // Cosmetic one-pixel lines without antialiasing: a day of eight
        // channels redraws in a few milliseconds.
        graph->setPen(QPen(kColours[static_cast<std::size_t>(s)], 0));
        graph->setAntialiased(false);
        graph->setAdaptiveSampling(false);  // decimated already, extremes kept
        graph->setVisible(s == 0);
        m_graphs[static_cast<std::size_t>(s)] = graph;
    }
    connect(m_plot->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
            [this](const QCPRange&) { OnRangeDragged(); });
    connect(m_plot, &QCustomPlot::mouseMove, this, [this](QMouseEvent* event) {
        m_cursor->setText(ValueText(m_plot->xAxis->pixelToCoord(event->position().x())));
    });
    layout->addWidget(m_plot, 1);

    m_cursor = new QLabel;
    m_cursor->setObjectName(QStringLiteral("trendCursor"));
    m_cursor->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_cursor);
    setFocusPolicy(Qt::StrongFocus);
    Redraw();
}

TrendWindow::~TrendWindow() = default;

QCPAxis* TrendWindow::AxisOf(int series) const {
    if (series >= HistorySample::kChannelCount) {
        return m_tempAxis;
    }
    return m_history.units[static_cast<std::size_t>(series)] == QStringLiteral("A") ? m_plot->yAxis2
                                                                                    : m_plot->yAxis;
}

void TrendWindow::SetRange(std::int64_t seconds) {
    m_view.Follow(TrendView::MsOfSeconds(static_cast<double>(seconds)));
    Redraw();
}

void TrendWindow::SetView(std::int64_t fromMs, std::int64_t toMs) {
    m_view.Show({fromMs, toMs}, m_history);
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

void TrendWindow::OnHistoryRestarted() {
    m_notice->setText(tr("A new history started (STOP or another station)."));
    Redraw();
}

QString TrendWindow::NoticeText() const {
    return m_notice->text();
}

void TrendWindow::UpdateNames() {
    for (int s = 0; s < kTrendSeriesCount; ++s) {
        QString name;
        if (s < HistorySample::kChannelCount) {
            const auto n = static_cast<std::size_t>(s);
            name = m_history.names[n].isEmpty() ? tr("Channel %1").arg(s + 1)
                                                : m_history.names[n] + QStringLiteral(" (") +
                                                      m_history.units[n] + QLatin1Char(')');
        } else {
            name = s == kTrendCelsius ? tr("°C") : tr("°F");
        }
        m_boxes[static_cast<std::size_t>(s)]->setText(name);
        m_graphs[static_cast<std::size_t>(s)]->setName(name);
        // A channel may change between volts and amperes.
        m_graphs[static_cast<std::size_t>(s)]->setValueAxis(AxisOf(s));
    }
}

void TrendWindow::Redraw() {
    m_redrawing = true;
    UpdateNames();
    const TimeSpan shown = m_view.Shown(m_history, NowMs());
    const std::int64_t fromMs = shown.fromMs;
    const int buckets = std::max(1, m_plot->axisRect()->width());
    for (int s = 0; s < kTrendSeriesCount; ++s) {
        QCPGraph* graph = m_graphs[static_cast<std::size_t>(s)];
        if (!graph->visible()) {
            graph->data()->clear();
            continue;
        }
        const std::vector<TrendPoint> points =
            DecimateMinMax(m_history, s, fromMs, shown.toMs, buckets);
        QVector<QCPGraphData> drawn;
        drawn.reserve(static_cast<qsizetype>(points.size()));
        for (const TrendPoint& p : points) {
            drawn.append(QCPGraphData(p.timeS, p.value));
        }
        graph->data()->set(drawn, true);
    }
    m_plot->xAxis->setRange(static_cast<double>(fromMs) / 1000.0,
                            static_cast<double>(shown.toMs) / 1000.0);
    for (QCPAxis* axis : {m_plot->yAxis, m_plot->yAxis2, m_tempAxis}) {
        bool found = false;
        QCPRange range;
        for (QCPGraph* graph : m_graphs) {
            if (graph->visible() && graph->valueAxis() == axis) {
                bool ok = false;
                const QCPRange r = graph->getValueRange(ok);
                if (ok) {
                    range = found ? QCPRange(std::min(range.lower, r.lower),
                                             std::max(range.upper, r.upper))
                                  : r;
                    found = true;
                }
            }
        }
        axis->setVisible(found || axis == m_plot->yAxis);
        if (found) {
            const double margin = std::max(0.05 * range.size(), 0.01);
            axis->setRange(range.lower - margin, range.upper + margin);
        }
    }
    m_plot->replot();
    m_redrawing = false;
}

void TrendWindow::OnRangeDragged() {
    if (m_redrawing) {
        return;
    }
    const QCPRange range = m_plot->xAxis->range();
    const std::int64_t from = TrendView::MsOfSeconds(range.lower);
    const std::int64_t to = TrendView::MsOfSeconds(range.upper);
    // Redrawn once the event that moved the view is over.
    QTimer::singleShot(0, this, [this, from, to] { SetView(from, to); });
}

QString TrendWindow::ValueText(double timeS) const {
    const auto timeMs = static_cast<std::int64_t>(timeS * 1000.0);
    std::size_t index = LowerBound(m_history, timeMs);
    if (m_history.Size() == 0) {
        return {};
    }
    if (index == m_history.Size() || (index > 0 && timeMs - m_history.At(index - 1).timeMs <
                                                       m_history.At(index).timeMs - timeMs)) {
        index = index == 0 ? 0 : index - 1;
    }
    const HistorySample& sample = m_history.At(index);
    QString text = QDateTime::fromMSecsSinceEpoch(sample.timeMs, Qt::UTC).toString(Qt::ISODate);
    if (sample.gap) {
        return text + tr("  no answer");
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

void TrendWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right:
            m_view.Pan(event->key() == Qt::Key_Left ? -1 : 1, m_history);
            break;
        case Qt::Key_Plus:
        case Qt::Key_Equal:
        case Qt::Key_Minus:
            m_view.Zoom(event->key() != Qt::Key_Minus, m_history);
            break;
        case Qt::Key_End:
            m_view.Follow(m_view.SpanMs());
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    Redraw();
}

}  // namespace volnar
