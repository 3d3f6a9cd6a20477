// SPDX-License-Identifier: GPL-3.0-or-later
#include "lists/list_navigator.h"

#include <QDialog>
#include <QTimer>
#include <QWidget>

namespace volnar {

ListNavigator::ListNavigator(NavigatorSettings settings, BoardLink& link, MessageService& messages,
                             QWidget* owner)
    : m_settings(std::move(settings)), m_context{link, messages, owner} {}

ListNavigator::~ListNavigator() {
    // Dialogs still open belong to their owner window; close them so none
    // outlives the link it talks to, without a closing editor asking for a
    // new list now.
    CloseList();
    CloseEditor();
}

void ListNavigator::CloseList() {
    if (TableListDialog* list = m_list) {
        m_list = nullptr;
        disconnect(list, nullptr, this, nullptr);
        list->close();
    }
}

void ListNavigator::CloseEditor() {
    if (QDialog* editor = m_editor) {
        m_editor = nullptr;
        disconnect(editor, nullptr, this, nullptr);
        editor->close();
    }
}

void ListNavigator::OpenList() {
    if (m_editor && m_editor->isVisible()) {
        return;
    }
    CloseList();
    auto* list =
        new TableListDialog(m_settings.list(), m_context.link, m_context.messages, m_context.owner);
    m_list = list;
    // The list has closed itself before it asks: the next screen opens once
    // it has gone.
    connect(list, &TableListDialog::RefreshRequested, this, &ListNavigator::OpenList,
            Qt::QueuedConnection);
    connect(list, &TableListDialog::AddRequested, this, [this](int button) {
        if (m_settings.newEditor) {
            OpenEditor(m_settings.newEditor(m_context, button));
        }
    });
    connect(list, &TableListDialog::EditRequested, this, &ListNavigator::OpenEditorFor);
    ShowScreen(list);
    Q_EMIT ListOpened(list);
    list->StartWalk();
}

void ListNavigator::OpenEditorFor(const ListRow& row) {
    if (m_settings.editEditor) {
        OpenEditor(m_settings.editEditor(m_context, row));
    }
}

void ListNavigator::OpenEditor(QDialog* editor) {
    if (editor == nullptr) {
        return;
    }
    CloseEditor();
    CloseList();
    m_editor = editor;
    connect(editor, &QDialog::rejected, this, [this, editor] {
        if (m_editor == editor) {
            m_editor = nullptr;
        }
        QTimer::singleShot(0, this, &ListNavigator::OpenList);
    });
    connect(editor, &QDialog::accepted, this, [this, editor] {
        if (m_editor == editor) {
            m_editor = nullptr;
        }
    });
    ShowScreen(editor);
    Q_EMIT EditorOpened(editor);
}

}  // namespace volnar
