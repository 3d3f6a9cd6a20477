// SPDX-License-Identifier: GPL-3.0-or-later
#include "history_view/trend_range_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "history/trend_marks.h"

namespace volnar {

TrendRangeDialog::TrendRangeDialog(std::int64_t fromWallMs, std::int64_t toWallMs,
                                   const QTimeZone& zone, QWidget* parent)
    : QDialog(parent), m_zone(zone) {
    setObjectName(QStringLiteral("trendRangeDialog"));
    setWindowTitle(tr("Time range"));
    auto* form = new QFormLayout;
    const QString zoneName = QString::fromUtf8(zone.id());
    for (const bool from : {true, false}) {
        auto* edit = new QLineEdit(WallTimeText(from ? fromWallMs : toWallMs, zone));
        edit->setObjectName(from ? QStringLiteral("rangeFromEdit") : QStringLiteral("rangeToEdit"));
        edit->setPlaceholderText(QStringLiteral("yyyy-mm-dd hh:mm:ss"));
        edit->setAccessibleName(from ? tr("From (%1)").arg(zoneName) : tr("To (%1)").arg(zoneName));
        connect(edit, &QLineEdit::textChanged, this, [this] { Check(); });
        form->addRow(from ? tr("&From:") : tr("&To:"), edit);
        (from ? m_from : m_to) = edit;
    }
    m_why = new QLabel;
    m_why->setObjectName(QStringLiteral("rangeWhy"));
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Date and time in %1:").arg(zoneName)));
    layout->addLayout(form);
    layout->addWidget(m_why);
    layout->addWidget(m_buttons);
    m_from->selectAll();
    m_from->setFocus();
    Check();
}

TrendRangeDialog::~TrendRangeDialog() = default;

std::optional<std::int64_t> TrendRangeDialog::FromWallMs() const {
    return ParseWallTime(m_from->text(), m_zone);
}

std::optional<std::int64_t> TrendRangeDialog::ToWallMs() const {
    return ParseWallTime(m_to->text(), m_zone);
}

void TrendRangeDialog::Check() {
    const std::optional<std::int64_t> from = FromWallMs();
    const std::optional<std::int64_t> to = ToWallMs();
    m_why->setText(!from || !to   ? tr("Type a date and time as 2026-12-07 14:30:00.")
                   : *to <= *from ? tr("The end must be after the start.")
                                  : QString());
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(m_why->text().isEmpty());
}

}  // namespace volnar
