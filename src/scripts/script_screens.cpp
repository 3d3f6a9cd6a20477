#include "scripts/script_screens.h"

#include <QWidget>

#include "lists/list_pictures.h"
#include "scripts/script_pictures.h"

namespace volnar::scripts {

TableListSettings ScriptListSettings() {
    TableListSettings settings;
    settings.title = QStringLiteral("VOLN Scripts");
    settings.icon = QIcon(RelayScriptPicture());
    settings.table = BoardTable::Scripts;
    settings.noun = QStringLiteral("Script");
    settings.plural = QStringLiteral("scripts");
    settings.columns = ListColumns(1);  // the commands, hidden
    settings.actionImages = ListActionImages();
    settings.addButtons = {{{QStringLiteral("Add Relay Script"), RelayScriptPicture(),
                             QStringLiteral("addRelayScriptButton")},
                            {QStringLiteral("Add I/O Script"), IoScriptPicture(),
                             QStringLiteral("addIoScriptButton")}}};
    settings.canEdit = [](const QStringList& cells) {
        return EditModeOfType(WorkingRecordOfRow(cells).type).has_value();
    };
    return settings;
}

ScriptScreens::ScriptScreens(BoardLink& link, MessageService& messages, QWidget* owner)
    : m_link(link), m_messages(messages), m_owner(owner) {}

ScriptScreens::~ScriptScreens() {
    // Dialogs still open belong to their owner window; close them so none
    // outlives the link they talk to. They are cut off from this navigator
    // first: a closing editor must not open a new list now.
    if (m_list) {
        disconnect(m_list, nullptr, this, nullptr);
        m_list->close();
    }
    if (m_editor) {
        disconnect(m_editor, nullptr, this, nullptr);
        m_editor->close();
    }
}

void ScriptScreens::OpenList() {
    if (m_editor && m_editor->isVisible()) {
        return;
    }
    if (m_list) {
        TableListDialog* old = m_list;
        m_list = nullptr;
        disconnect(old, nullptr, this, nullptr);
        old->close();
    }
    auto* list = new TableListDialog(ScriptListSettings(), m_link, m_messages, m_owner);
    m_list = list;
    connect(list, &TableListDialog::RefreshRequested, this, &ScriptScreens::OpenList);
    connect(list, &TableListDialog::AddRequested, this, [this](int button) {
        OpenEditor(button == 0 ? EditorMode::NewRelay : EditorMode::NewIo, {});
    });
    connect(list, &TableListDialog::EditRequested, this, [this](const QStringList& cells) {
        const WorkingRecord record = WorkingRecordOfRow(cells);
        if (const auto mode = EditModeOfType(record.type)) {
            OpenEditor(*mode, record);
        }
    });
    ShowScreen(list);
    Q_EMIT ListOpened(list);
    list->StartWalk();
}

void ScriptScreens::OpenEditor(EditorMode mode, const WorkingRecord& record) {
    if (m_editor) {
        disconnect(m_editor, nullptr, this, nullptr);
        m_editor->close();
    }
    if (m_list) {
        disconnect(m_list, nullptr, this, nullptr);
        m_list->close();
        m_list = nullptr;
    }
    auto* editor = new ScriptEditorDialog(mode, record, m_link, m_messages, m_owner);
    m_editor = editor;
    // Cancel, the close box and Escape return to a fresh list; an upload
    // waits for the station's answer, which re-opens the list.
    connect(editor, &QDialog::rejected, this, [this, editor] {
        if (m_editor == editor) {
            m_editor = nullptr;
        }
        OpenList();
    });
    connect(editor, &QDialog::accepted, this, [this, editor] {
        if (m_editor == editor) {
            m_editor = nullptr;
        }
    });
    ShowScreen(editor);
    Q_EMIT EditorOpened(editor);
}

}  // namespace volnar::scripts
