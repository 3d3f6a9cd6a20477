#pragma once

#include <QDialog>
#include <QStringList>
#include <QTimer>
#include <memory>

#include "scripts/script_record.h"

namespace Ui {
class ScriptListDialog;
}

namespace volnar {
class BoardLink;
class MessageService;
namespace grid {
class MyRAGrid;
struct GridNotification;
}  // namespace grid
}  // namespace volnar

namespace volnar::scripts {

// "VOLN Scripts": the station's scripts, one grid row each, read with a
// GETNEXT walk of the scripts table while the dialog is open. Execute and
// delete are asked first and sent from here; edit, the two Add buttons and
// Refresh close the list and ask for the next screen through signals (the
// navigator opens it). Nothing is updated in place: every change is followed
// by a fresh list.
class ScriptListDialog final : public QDialog {
    Q_OBJECT

public:
    ScriptListDialog(BoardLink& link, MessageService& messages, QWidget* parent = nullptr);
    ~ScriptListDialog() override;

    // Sends the first GETNEXT of the walk; rows arrive while the list is open.
    void StartWalk();
    bool IsWalking() const { return m_walking; }
    int RowsRead() const { return m_rowsRead; }
    QString WalkStatusText() const;
    grid::MyRAGrid& Grid() const;

Q_SIGNALS:
    // The list has closed; the navigator opens the editor.
    void EditorRequested(volnar::scripts::EditorMode mode,
                         const volnar::scripts::WorkingRecord& record);
    // The list has closed; the navigator opens a fresh one.
    void RefreshRequested();

private:
    void SetUpGrid();
    void AddScriptRow(const QStringList& cells);
    void HandleGridNotification(grid::GridNotification* notification);
    void ExecuteOrDelete(bool execute, const QString& id);
    QStringList RowCells(int row) const;
    void AnswerCounted(int received);
    void CheckWalkEnd(int received);
    void EndWalk(bool complete);
    void ShowWalkStatus();
    void RequestEditor(EditorMode mode, const WorkingRecord& record);

    std::unique_ptr<Ui::ScriptListDialog> m_ui;
    BoardLink& m_link;
    MessageService& m_messages;
    QTimer m_statusTimer;
    bool m_walking = false;
    bool m_walkComplete = false;
    bool m_answerLost = false;
    int m_rowsRead = 0;
    // The last answer counted by the link that no row or status receiver
    // has claimed yet (0: none).
    int m_unclaimedAnswer = 0;

    Q_DISABLE_COPY_MOVE(ScriptListDialog)
};

}  // namespace volnar::scripts
