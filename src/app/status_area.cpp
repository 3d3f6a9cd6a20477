// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/status_area.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace volnar {
namespace {

// A text that may be left out: it takes only the room left over, and shows
// nothing rather than a part of itself.
class OptionalLabel final : public QLabel {
public:
    using QLabel::QLabel;
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

protected:
    void paintEvent(QPaintEvent* event) override {
        if (fontMetrics().horizontalAdvance(text()) <= contentsRect().width()) {
            QLabel::paintEvent(event);
        }
    }
};

constexpr int kGapPx = 12;  // between two texts of a row

QLabel* Named(QLabel* label, const char* objectName) {
    label->setObjectName(QLatin1String(objectName));
    return label;
}

}  // namespace

StatusArea::StatusArea(QWidget* parent)
    : QWidget(parent),
      m_state(Named(new QLabel, "statusState")),
      m_message(Named(new QLabel, "statusMessage")),
      m_health(Named(new QLabel, "statusHealth")),
      m_directory(Named(new QLabel, "statusDirectory")),
      m_recording(Named(new QLabel, "statusRecording")),
      m_ticker(Named(new OptionalLabel, "statusTicker")) {
    m_directory->setStyleSheet(QStringLiteral("color: rgb(192, 0, 0);"));
    m_ticker->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* connection = new QHBoxLayout;
    connection->addWidget(Named(new QLabel(tr("STATUS:")), "statusLabel"));
    connection->addWidget(m_state);
    connection->addWidget(m_message);
    connection->addStretch(1);
    connection->addWidget(m_health);
    auto* watch = new QHBoxLayout;
    watch->addWidget(m_directory);
    watch->addWidget(m_recording);
    watch->addWidget(m_ticker, 1);
    for (QHBoxLayout* row : {connection, watch}) {
        row->setSpacing(kGapPx);
    }
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(0);
    rows->addLayout(connection);
    rows->addLayout(watch);
}

int StatusArea::NeededWidthPx() const {
    constexpr int kGripPx = 24;
    // A text set before the window is shown leaves the layouts' sizes stale.
    for (QLayout* layout : findChildren<QLayout*>()) {
        layout->invalidate();
    }
    return minimumSizeHint().width() + kGripPx;
}

}  // namespace volnar
