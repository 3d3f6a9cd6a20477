#include "app/database_options_dialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QPushButton>

#include "app/database_location.h"
#include "ui_database_options_dialog.h"

namespace volnar {

DatabaseOptionsDialog::DatabaseOptionsDialog(const QString& location, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::DatabaseOptionsDialog>()) {
    m_ui->setupUi(this);
    m_ui->locationEdit->setText(location);
    m_ui->locationEdit->setFocus();
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

void DatabaseOptionsDialog::Browse() {
    const QString chosen = m_chooseFile(parentWidget() ? parentWidget() : this, Location());
    if (!chosen.isEmpty()) {
        m_ui->locationEdit->setText(chosen);
    }
}

void DatabaseOptionsDialog::Store() {
    StoreDatabaseLocation(Location());
    Q_EMIT LocationStored(Location());
    accept();
}

}  // namespace volnar
