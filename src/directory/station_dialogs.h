#pragma once

#include <QDialog>
#include <memory>

#include "directory/station_form.h"

namespace Ui {
class StationDialog;
class DeleteStationDialog;
}  // namespace Ui

class QLabel;

namespace volnar {

// "Add IP" / "Edit IP": one dialog, two modes. The label of the field with
// the keyboard focus is drawn red. OK closes it only when the row was
// written; a refusal or a failed write keeps everything the operator typed.
class StationDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StationDialog)

public:
    // Edit mode fills the fields from the chosen station's row.
    StationDialog(StationDialogMode mode, StationEditor& editor, const StationRecord& chosen,
                  QWidget* parent = nullptr);
    ~StationDialog() override;

    StationForm Form() const;
    // The label drawn red, for tests.
    QLabel* MarkedLabel() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Submit();
    void MarkLabel(QLabel* label);

    std::unique_ptr<Ui::StationDialog> m_ui;
    StationDialogMode m_mode;
    QString m_editedAddress;
    StationEditor& m_editor;
    QLabel* m_marked = nullptr;
};

// "Delete IP": the bare addresses of the table, the default preselected.
class DeleteStationDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DeleteStationDialog)

public:
    DeleteStationDialog(StationEditor& editor, StationDirectory& directory,
                        QWidget* parent = nullptr);
    ~DeleteStationDialog() override;

private:
    void Fill();
    void Delete();

    std::unique_ptr<Ui::DeleteStationDialog> m_ui;
    StationEditor& m_editor;
    StationDirectory& m_directory;
};

}  // namespace volnar
