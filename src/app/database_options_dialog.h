// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <functional>
#include <memory>

namespace Ui {
class DatabaseOptionsDialog;
}

namespace volnar {

// "DataBase Options": shows the stored database location and the one in use
// now, and stores a new one at once on OK; it says that the open connection
// keeps its database until the next start. An empty location cannot be
// stored.
class DatabaseOptionsDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DatabaseOptionsDialog)

public:
    // Asks the operator for a file; returns an empty text when cancelled.
    using FileChooser = std::function<QString(QWidget* owner, const QString& current)>;

    DatabaseOptionsDialog(const QString& location, const QString& inUse, QWidget* parent = nullptr);
    ~DatabaseOptionsDialog() override;

    void SetFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }
    QString Location() const;

    static QString ChooseFileWithDialog(QWidget* owner, const QString& current);

Q_SIGNALS:
    void LocationStored(const QString& location);

private:
    void Browse();
    void Store();
    void UpdateOk();

    std::unique_ptr<Ui::DatabaseOptionsDialog> m_ui;
    FileChooser m_chooseFile = &DatabaseOptionsDialog::ChooseFileWithDialog;
};

}  // namespace volnar
