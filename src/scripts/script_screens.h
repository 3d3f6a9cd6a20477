#pragma once

#include <QObject>
#include <QPointer>

#include "lists/table_list_dialog.h"
#include "scripts/script_editor_dialog.h"
#include "scripts/script_record.h"

class QWidget;

namespace volnar {
class BoardLink;
class MessageService;
}  // namespace volnar

namespace volnar::scripts {

// The script list as the station table list shows it ("VOLN Scripts"):
// ID, Type, Name, Description, the Edit, Delete and Execute images, and the
// commands in a hidden column, every field whole.
TableListSettings ScriptListSettings();

// Moves between the script screens: the list, the editor, and back. Each
// dialog is made when it is shown (application-modal, owned by `owner`) and
// deleted when it closes; the dialogs never talk to each other, they ask for
// the next screen and this class opens it.
class ScriptScreens final : public QObject {
    Q_OBJECT

public:
    ScriptScreens(BoardLink& link, MessageService& messages, QWidget* owner);
    ~ScriptScreens() override;

    // Opens a fresh list and starts its walk: the Scripts buttons, the
    // re-opening after a confirmed change, Refresh and a cancelled editor.
    // A list that is already open is closed first. While the editor is open
    // nothing happens: leaving the editor brings a fresh list anyway.
    void OpenList();
    // Opens the editor (the list's Add and edit actions come here).
    void OpenEditor(volnar::scripts::EditorMode mode, const volnar::scripts::WorkingRecord& record);

    TableListDialog* List() const { return m_list; }
    ScriptEditorDialog* Editor() const { return m_editor; }

Q_SIGNALS:
    void ListOpened(volnar::TableListDialog* list);
    void EditorOpened(volnar::scripts::ScriptEditorDialog* editor);

private:
    BoardLink& m_link;
    MessageService& m_messages;
    QPointer<QWidget> m_owner;
    QPointer<TableListDialog> m_list;
    QPointer<ScriptEditorDialog> m_editor;

    Q_DISABLE_COPY_MOVE(ScriptScreens)
};

}  // namespace volnar::scripts
