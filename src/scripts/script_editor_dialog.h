// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <memory>

#include "scripts/script_record.h"

namespace Ui {
class ScriptEditorDialog;
}

namespace volnar {
class BoardLink;
class MessageService;
}  // namespace volnar

namespace volnar::scripts {

// The script editor: a new relay or I/O script, or an existing one from the
// list. The operator builds the "Selected Commands" list from the mode's
// command set, and "Upload Script" checks and sends the whole record; the
// editor keeps everything while the upload is in flight (Upload disabled)
// and closes Accepted on the station's answer, which brings the notice and a
// new list. A refused or unanswered upload leaves it open as it was. Cancel,
// the close box or Escape end it Rejected (the navigator then opens a fresh
// list) and give up an upload in flight.
class ScriptEditorDialog final : public QDialog {
    Q_OBJECT

public:
    ScriptEditorDialog(EditorMode mode, WorkingRecord working, BoardLink& link,
                       MessageService& messages, QWidget* parent = nullptr);
    ~ScriptEditorDialog() override;

    EditorMode Mode() const { return m_mode; }
    QStringList SelectedCommands() const;
    // The operator's actions, for the buttons and for tests.
    void AddSelectedCommand();
    void RemoveSelectedCommand();
    void Upload();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<Ui::ScriptEditorDialog> m_ui;
    EditorMode m_mode;
    WorkingRecord m_working;
    BoardLink& m_link;
    MessageService& m_messages;

    Q_DISABLE_COPY_MOVE(ScriptEditorDialog)
};

}  // namespace volnar::scripts
