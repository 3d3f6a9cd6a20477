// SPDX-License-Identifier: GPL-3.0-or-later
#include "station_config_view/fleet_copy_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "station_config_view/configuration_dialog.h"

namespace volnar {

CopySourceDialog::CopySourceDialog(const QStringList& targets, const QStringList& stations,
                                   QWidget* parent)
    : QDialog(parent),
      m_fromStation(new QRadioButton(tr("From &station:"), this)),
      m_fromFile(new QRadioButton(tr("From &file:"), this)),
      m_stations(new QComboBox(this)),
      m_file(new QLineEdit(this)),
      m_copyName(
          new QCheckBox(tr("Copy the station &name too (every target gets the same name)"), this)),
      m_ok(new QPushButton(tr("&Read and plan"), this)) {
    setWindowTitle(tr("Copy configuration from"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* heading = new QLabel(
        tr("Copy a configuration to %n station(s): %1", nullptr, static_cast<int>(targets.size()))
            .arg(targets.join(QStringLiteral(", "))),
        this);
    heading->setWordWrap(true);
    m_stations->addItems(stations);
    m_stations->setAccessibleName(tr("Source station"));
    m_file->setAccessibleName(tr("Source file"));
    m_file->setPlaceholderText(tr("A station configuration (*.conf)"));
    auto* browse = new QPushButton(tr("&Browse…"), this);
    m_fromStation->setChecked(!stations.isEmpty());
    m_fromFile->setChecked(stations.isEmpty());
    m_fromStation->setEnabled(!stations.isEmpty());
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(m_file, 1);
    fileRow->addWidget(browse);
    auto* form = new QFormLayout;
    form->addRow(m_fromStation, m_stations);
    form->addRow(m_fromFile, fileRow);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    buttons->addButton(m_ok, QDialogButtonBox::AcceptRole);
    m_ok->setDefault(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addLayout(form);
    layout->addWidget(m_copyName);
    layout->addWidget(buttons);
    connect(browse, &QPushButton::clicked, this, [this] {
        auto* files = new QFileDialog(this, tr("Copy configuration from file"));
        files->setAttribute(Qt::WA_DeleteOnClose);
        files->setFileMode(QFileDialog::ExistingFile);
        files->setNameFilters({tr("Station configurations (*.conf)"), tr("All files (*)")});
        connect(files, &QFileDialog::fileSelected, this, &CopySourceDialog::ChooseFile);
        files->open();
    });
    connect(m_fromStation, &QRadioButton::toggled, this, &CopySourceDialog::Update);
    connect(m_file, &QLineEdit::textChanged, this, &CopySourceDialog::Update);
    connect(m_ok, &QPushButton::clicked, this, &CopySourceDialog::Accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    Update();
}

void CopySourceDialog::Update() {
    m_stations->setEnabled(m_fromStation->isChecked());
    m_ok->setEnabled(m_fromStation->isChecked() ? m_stations->count() > 0
                                                : !m_file->text().trimmed().isEmpty());
}

void CopySourceDialog::ChooseStation(const QString& address) {
    m_fromStation->setChecked(true);
    m_stations->setCurrentIndex(m_stations->findText(address));
}

void CopySourceDialog::ChooseFile(const QString& path) {
    m_fromFile->setChecked(true);
    m_file->setText(path);
}

void CopySourceDialog::SetCopyName(bool copy) {
    m_copyName->setChecked(copy);
}

void CopySourceDialog::Accept() {
    if (!m_ok->isEnabled()) {
        return;
    }
    const bool station = m_fromStation->isChecked();
    Q_EMIT SourceChosen(station ? m_stations->currentText() : QString(),
                        station ? QString() : m_file->text().trimmed(), m_copyName->isChecked());
    accept();
}

FleetCopyDialog::FleetCopyDialog(QWidget* parent)
    : QDialog(parent),
      m_heading(new QLabel(this)),
      m_tree(new QTreeWidget(this)),
      m_progress(new QProgressBar(this)),
      m_summary(new QLabel(this)),
      m_confirm(new QPushButton(this)),
      m_cancel(new QPushButton(tr("Ca&ncel"), this)),
      m_close(new QPushButton(tr("&Close"), this)) {
    setWindowTitle(tr("Copy Configuration"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_heading->setWordWrap(true);
    m_heading->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_tree->setColumnCount(2);
    m_tree->setHeaderLabels({tr("Station and change"), tr("State")});
    m_tree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_tree->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_tree->header()->setStretchLastSection(false);
    m_tree->setAccessibleName(tr("Stations and changes"));
    m_tree->setMinimumSize(640, 300);
    m_progress->setAccessibleName(tr("Progress"));
    m_progress->hide();
    m_summary->setWordWrap(true);
    m_confirm->setAccessibleName(tr("Confirm"));
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(m_confirm, QDialogButtonBox::AcceptRole);
    buttons->addButton(m_cancel, QDialogButtonBox::ActionRole);
    buttons->addButton(m_close, QDialogButtonBox::RejectRole);
    m_confirm->hide();  // shown when there is something to confirm
    m_cancel->hide();   // shown while sending
    connect(m_confirm, &QPushButton::clicked, this, [this] {
        m_confirm->setEnabled(false);
        Q_EMIT Confirmed();
    });
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_cancel->setEnabled(false);
        Q_EMIT CancelRequested();
    });
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_heading);
    layout->addWidget(m_tree, 1);
    layout->addWidget(m_progress);
    layout->addWidget(m_summary);
    layout->addWidget(buttons);
}

void FleetCopyDialog::SetHeading(const QString& text) {
    m_heading->setText(text);
}

void FleetCopyDialog::SetStations(const QStringList& addresses) {
    m_tree->clear();
    for (const QString& address : addresses) {
        new QTreeWidgetItem(m_tree, {address, QString()});
    }
}

void FleetCopyDialog::SetStationState(int station, const QString& text, bool failed) {
    QTreeWidgetItem* line = m_tree->topLevelItem(station);
    if (line == nullptr) {
        return;
    }
    line->setText(1, text);
    line->setForeground(1, failed ? QBrush(Qt::darkRed) : QBrush());
}

void FleetCopyDialog::SetChanges(int station, const QStringList& lines) {
    QTreeWidgetItem* parent = m_tree->topLevelItem(station);
    if (parent == nullptr) {
        return;
    }
    qDeleteAll(parent->takeChildren());
    for (const QString& text : lines) {
        new QTreeWidgetItem(parent, {text, QString()});
    }
    parent->setExpanded(true);
}

void FleetCopyDialog::MarkChange(int station, int item, const QString& text, bool done,
                                 const QString& why) {
    QTreeWidgetItem* parent = m_tree->topLevelItem(station);
    if (parent == nullptr) {
        return;
    }
    QTreeWidgetItem* line =
        item < parent->childCount() ? parent->child(item) : new QTreeWidgetItem(parent);
    line->setText(0, ResultMark(done) + text);
    line->setText(1, done ? tr("applied") : why);
    if (!done) {
        line->setForeground(0, Qt::darkRed);
        line->setForeground(1, Qt::darkRed);
    }
    m_tree->scrollToItem(line);
}

void FleetCopyDialog::AskToConfirm(const QString& buttonText) {
    m_confirm->setText(buttonText);
    m_confirm->setEnabled(true);
    m_confirm->show();
    m_confirm->setDefault(true);
    m_confirm->setFocus();
}

void FleetCopyDialog::reject() {
    if (!m_sending) {
        QDialog::reject();
    }
}

void FleetCopyDialog::SetSending(bool sending) {
    m_sending = sending;
    m_close->setEnabled(!sending);
    m_confirm->setVisible(!sending && m_confirm->isVisible() && m_confirm->isEnabled());
    m_cancel->setVisible(sending);
    m_cancel->setEnabled(sending);
}

void FleetCopyDialog::SetProgress(int done, int total) {
    m_progress->setRange(0, total);
    m_progress->setValue(done);
    m_progress->show();
}

void FleetCopyDialog::SetSummary(const QString& text) {
    m_summary->setText(text);
}

QString FleetCopyDialog::Heading() const {
    return m_heading->text();
}

QString FleetCopyDialog::Summary() const {
    return m_summary->text();
}

QStringList FleetCopyDialog::Lines() const {
    QStringList lines;
    for (int s = 0; s < m_tree->topLevelItemCount(); ++s) {
        const QTreeWidgetItem* station = m_tree->topLevelItem(s);
        lines << station->text(0) + QStringLiteral(": ") + station->text(1);
        for (int c = 0; c < station->childCount(); ++c) {
            const QString state = station->child(c)->text(1);
            lines << QStringLiteral("  ") + station->child(c)->text(0) +
                         (state.isEmpty() ? QString() : QStringLiteral(" [") + state + u']');
        }
    }
    return lines;
}

}  // namespace volnar
