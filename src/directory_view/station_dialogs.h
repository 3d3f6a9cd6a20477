// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <functional>
#include <memory>

#include "core/message_service.h"
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
// While the directory has not answered, its buttons are off, its title says
// that it is waiting, and Escape or closing the window does nothing: the
// write goes on, so the dialog stays to show how it ended.
class StationDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StationDialog)

public:
    // Edit mode fills the fields from the chosen station's row.
    StationDialog(StationDialogMode mode, StationWrites& writes, const StationRecord& chosen,
                  MessageService& messages, QWidget* parent = nullptr);
    StationDialog(StationDialogMode mode, StationEditor& editor, const StationRecord& chosen,
                  MessageService& messages, QWidget* parent = nullptr);
    ~StationDialog() override;

    StationForm Form() const;
    // The label drawn red, for tests.
    QLabel* MarkedLabel() const;

    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Submit();
    void ShowWaiting(bool waiting);
    // The keyboard goes back to the field a refusal is about.
    void FocusProblem(StationFormField problem);
    void MarkLabel(QLabel* label);

    std::unique_ptr<StationWrites> m_ownWrites;
    std::unique_ptr<Ui::StationDialog> m_ui;
    StationDialogMode m_mode;
    StationRecord m_opened;  // Edit: the row as it was read
    QString m_title;
    StationWrites& m_writes;
    MessageService& m_messages;
    QLabel* m_marked = nullptr;
    bool m_waiting = false;
};

// "Delete IP": the bare addresses of the table, the default preselected.
// Like Add/Edit IP, it stays while its delete is in flight.
class DeleteStationDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DeleteStationDialog)

public:
    DeleteStationDialog(StationWrites& writes, MessageService& messages, QWidget* parent = nullptr);
    DeleteStationDialog(StationEditor& editor, StationDirectory& directory,
                        MessageService& messages, QWidget* parent = nullptr);
    ~DeleteStationDialog() override;

    void reject() override;

private:
    void Fill(const QString& typed = QString(), bool keepTyped = false);
    void Delete();
    void ShowWaiting(bool waiting);

    std::unique_ptr<StationWrites> m_ownWrites;
    std::unique_ptr<Ui::DeleteStationDialog> m_ui;
    StationWrites& m_writes;
    MessageService& m_messages;
    QString m_title;
    bool m_waiting = false;
};

}  // namespace volnar
