// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/database_options_dialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

#include "app/database_location.h"
#include "ui_database_options_dialog.h"

namespace volnar {

DatabaseOptionsDialog::DatabaseOptionsDialog(const QString& location, const QString& inUse,
                                             QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::DatabaseOptionsDialog>()) {
    m_ui->setupUi(this);
    m_ui->locationEdit->setText(location);
    m_ui->locationEdit->setFocus();
    m_ui->inUseEdit->setText(inUse);
    m_ui->inUseEdit->setCursorPosition(0);
    UpdateOk();
    connect(m_ui->locationEdit, &QLineEdit::textChanged, this, &DatabaseOptionsDialog::UpdateOk);
    connect(m_ui->browseButton, &QPushButton::clicked, this, &DatabaseOptionsDialog::Browse);
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &DatabaseOptionsDialog::Store);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

DatabaseOptionsDialog::~DatabaseOptionsDialog() = default;

QString DatabaseOptionsDialog::Location() const {
    return m_ui->locationEdit->text();
}

QString DatabaseOptionsDialog::ChooseFileWithDialog(QWidget* owner, const QString& current) {
    return QFileDialog::getOpenFileName(owner, tr("Find the VOLN.MDB file"),
                                        QFileInfo(current).absolutePath(),
                                        tr("All Files (*);;Text Files (*.txt)"));
}

void DatabaseOptionsDialog::UpdateOk() {
    m_ui->buttonBox->button(QDialogButtonBox::Ok)->setEnabled(!Location().trimmed().isEmpty());
}

void DatabaseOptionsDialog::Browse() {
    // Owned by this dialog, so the keyboard comes back here when it closes.
    const QString chosen = m_chooseFile(this, Location());
    if (!chosen.isEmpty()) {
        m_ui->locationEdit->setText(chosen);
    }
}

void DatabaseOptionsDialog::Store() {
    if (Location().trimmed().isEmpty()) {
        return;  // an empty location names no database
    }
    StoreDatabaseLocation(Location());
    Q_EMIT LocationStored(Location());
    accept();
}

}  // namespace volnar
