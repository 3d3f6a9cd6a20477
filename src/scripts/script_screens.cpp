#include "scripts/script_screens.h"

#include <QWidget>

#include "scripts/script_editor_dialog.h"
#include "scripts/script_list_dialog.h"

namespace volnar::scripts {

namespace {

void ShowModal(QDialog* dialog) {
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->open();
}

}  // namespace

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
        ScriptListDialog* old = m_list;
        m_list = nullptr;
        disconnect(old, nullptr, this, nullptr);
        old->close();
    }
    auto* list = new ScriptListDialog(m_link, m_messages, m_owner);
    m_list = list;
    connect(list, &ScriptListDialog::RefreshRequested, this, &ScriptScreens::OpenList);
    connect(list, &ScriptListDialog::EditorRequested, this, &ScriptScreens::OpenEditor);
    ShowModal(list);
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
    ShowModal(editor);
    Q_EMIT EditorOpened(editor);
}

}  // namespace volnar::scripts
