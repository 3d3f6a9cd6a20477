// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include "core/result.h"
#include "directory/station_csv.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace volnar {

// "Import Stations": what an import of one file will do, row by row (the
// stations it adds, the duplicates it skips, the rows it refuses, each with
// its line), and the operator's go-ahead. Import asks for the write
// (ImportConfirmed); while the directory has not answered the buttons are
// off, the title says so and Escape does nothing. Finished shows how it
// ended: the dialog closes when the stations went in, and stays with the
// reason (nothing was added) when they did not.
class StationImportDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StationImportDialog)

public:
    StationImportDialog(const StationImportPlan& plan, const QString& fileName,
                        QWidget* parent = nullptr);
    ~StationImportDialog() override;

    void Finished(const Result<int>& added);
    QPushButton* ImportButton() const { return m_import; }
    QListWidget* Rows() const { return m_rows; }
    QString Outcome() const;

    void reject() override;

Q_SIGNALS:
    void ImportConfirmed();

private:
    void ShowWaiting(bool waiting);

    QLabel* m_summary = nullptr;
    QLabel* m_outcome = nullptr;
    QListWidget* m_rows = nullptr;
    QPushButton* m_import = nullptr;
    QPushButton* m_cancel = nullptr;
    QString m_title;
    bool m_canImport = false;
    bool m_waiting = false;
};

}  // namespace volnar
