// SPDX-License-Identifier: GPL-3.0-or-later
#include "station_config_view/configuration_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace volnar {

QString ResultMark(bool done) {
    return done ? QStringLiteral("\u2713 ") : QStringLiteral("\u2717 ");
}

ConfigurationDialog::ConfigurationDialog(const QString& title, QWidget* parent)
    : QDialog(parent),
      m_heading(new QLabel(this)),
      m_lines(new QListWidget(this)),
      m_progress(new QProgressBar(this)),
      m_summary(new QLabel(this)),
      m_confirm(new QPushButton(this)),
      m_close(new QPushButton(tr("&Close"), this)),
      m_buttons(new QDialogButtonBox(this)) {
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose);
    m_heading->setWordWrap(true);
    m_heading->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_lines->setAccessibleName(tr("Changes"));
    m_lines->setMinimumSize(560, 260);
    m_progress->setAccessibleName(tr("Progress"));
    m_progress->hide();
    m_summary->setWordWrap(true);
    m_confirm->setAccessibleName(tr("Confirm"));
    // Joins the buttons when there is something to confirm: a button box
    // shows every button it lays out, hidden or not.
    m_confirm->hide();
    m_buttons->addButton(m_close, QDialogButtonBox::RejectRole);
    connect(m_confirm, &QPushButton::clicked, this, [this] {
        m_confirm->setEnabled(false);
        Q_EMIT Confirmed();
    });
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_heading);
    layout->addWidget(m_lines, 1);
    layout->addWidget(m_progress);
    layout->addWidget(m_summary);
    layout->addWidget(m_buttons);
}

void ConfigurationDialog::SetHeading(const QString& text) {
    m_heading->setText(text);
}

void ConfigurationDialog::SetLines(const QStringList& lines) {
    m_lines->clear();
    m_lines->addItems(lines);
}

void ConfigurationDialog::AskToConfirm(const QString& buttonText) {
    m_confirm->setText(buttonText);
    m_confirm->setEnabled(true);
    m_buttons->addButton(m_confirm, QDialogButtonBox::AcceptRole);
    m_confirm->show();
    m_confirm->setDefault(true);
    layout()->activate();
}

void ConfigurationDialog::MarkLine(const QString& text, bool done, const QString& why) {
    QListWidgetItem* line = nullptr;
    for (int i = 0; i < m_lines->count() && line == nullptr; ++i) {
        if (m_lines->item(i)->text() == text) {
            line = m_lines->item(i);
        }
    }
    if (line == nullptr) {
        line = new QListWidgetItem(text, m_lines);
    }
    QString shown = ResultMark(done) + text;
    if (!why.isEmpty()) {
        shown += QStringLiteral(": ") + why;
    }
    line->setText(shown);
    if (!done) {
        line->setForeground(Qt::darkRed);
    }
    m_lines->scrollToItem(line);
}

void ConfigurationDialog::SetProgress(int done, int total) {
    m_progress->setRange(0, total);
    m_progress->setValue(done);
    m_progress->show();
}

void ConfigurationDialog::SetSummary(const QString& text) {
    m_summary->setText(text);
}

QStringList ConfigurationDialog::Lines() const {
    QStringList lines;
    for (int i = 0; i < m_lines->count(); ++i) {
        lines << m_lines->item(i)->text();
    }
    return lines;
}

QString ConfigurationDialog::Summary() const {
    return m_summary->text();
}

}  // namespace volnar
