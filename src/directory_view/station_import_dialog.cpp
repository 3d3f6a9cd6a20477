// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory_view/station_import_dialog.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace volnar {

StationImportDialog::StationImportDialog(const StationImportPlan& plan, const QString& fileName,
                                         QWidget* parent)
    : QDialog(parent), m_title(tr("Import Stations")) {
    setWindowTitle(m_title);
    setObjectName(QStringLiteral("stationImportDialog"));
    auto* layout = new QVBoxLayout(this);
    auto* file = new QLabel(tr("From %1").arg(QFileInfo(fileName).fileName()));
    file->setToolTip(fileName);
    layout->addWidget(file);
    m_summary = new QLabel(PlanSummary(plan));
    m_summary->setObjectName(QStringLiteral("importSummary"));
    m_summary->setWordWrap(true);
    layout->addWidget(m_summary);
    m_rows = new QListWidget;
    m_rows->setObjectName(QStringLiteral("importRows"));
    m_rows->setAccessibleName(tr("Rows of the file"));
    for (const QString& line : PlanDetails(plan)) {
        auto* item = new QListWidgetItem(line, m_rows);
        if (line.contains(QLatin1String(": refused: "))) {
            item->setForeground(Qt::darkRed);
        }
    }
    layout->addWidget(m_rows, 1);
    m_outcome = new QLabel;
    m_outcome->setObjectName(QStringLiteral("importOutcome"));
    m_outcome->setWordWrap(true);
    m_outcome->hide();
    layout->addWidget(m_outcome);

    auto* buttons = new QDialogButtonBox;
    m_canImport = plan.fileProblem.isEmpty() && !plan.add.empty();
    m_import = buttons->addButton(
        tr("&Import %1").arg(StationCount(static_cast<qsizetype>(plan.add.size()))),
        QDialogButtonBox::AcceptRole);
    m_import->setObjectName(QStringLiteral("importButton"));
    m_import->setEnabled(m_canImport);
    m_cancel = buttons->addButton(QDialogButtonBox::Cancel);
    layout->addWidget(buttons);
    connect(m_import, &QPushButton::clicked, this, [this] {
        ShowWaiting(true);
        Q_EMIT ImportConfirmed();
    });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    (m_canImport ? m_import : m_cancel)->setDefault(true);
    resize(560, 360);
}

StationImportDialog::~StationImportDialog() = default;

QString StationImportDialog::Outcome() const {
    return m_outcome->text();
}

void StationImportDialog::ShowWaiting(bool waiting) {
    m_waiting = waiting;
    setWindowTitle(waiting ? m_title + tr(" - waiting for the directory") : m_title);
    m_import->setEnabled(!waiting && m_canImport);
    m_cancel->setEnabled(!waiting);
}

void StationImportDialog::Finished(const Result<int>& added) {
    ShowWaiting(false);
    if (added) {
        accept();
        return;
    }
    m_outcome->setText(added.error() + tr(" Nothing was added."));
    m_outcome->show();
}

void StationImportDialog::reject() {
    if (!m_waiting) {
        QDialog::reject();
    }
}

}  // namespace volnar
