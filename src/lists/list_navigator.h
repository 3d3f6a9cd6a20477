// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

#include "lists/table_list_dialog.h"

class QDialog;
class QWidget;

namespace volnar {

class BoardLink;
class MessageService;

// What an editor is made with: the link it sends through, the service that
// shows its boxes, and the window that owns it.
struct EditorContext {
    BoardLink& link;
    MessageService& messages;
    QWidget* owner;
};

// What makes the screens of one station table (scripts or alerts): its list,
// and the editors its two Add buttons and its edit image open. Everything
// that differs between the tables is here.
struct NavigatorSettings {
    // The list's settings, made each time the list opens: its pictures are
    // drawn then, not while the client starts.
    std::function<TableListSettings()> list;
    // The editor an Add button (0 or 1) opens.
    std::function<QDialog*(const EditorContext&, int button)> newEditor;
    // The editor of a listed row the list's canEdit has taken; nullptr opens
    // nothing.
    std::function<QDialog*(const EditorContext&, const ListRow& row)> editEditor;
};

// Moves between the screens of a station table: the list, an editor, and
// back. Each dialog is made when it is shown (window-modal, owned by
// `owner`) and deleted when it closes; the dialogs never talk to each other,
// they ask for the next screen and this class opens it. A screen is opened
// only after the one asking has closed.
class ListNavigator final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ListNavigator)

public:
    ListNavigator(NavigatorSettings settings, BoardLink& link, MessageService& messages,
                  QWidget* owner);
    ~ListNavigator() override;

    // Opens a fresh list and starts its walk: the list buttons, the
    // re-opening after a confirmed change, Refresh and a cancelled editor.
    // A list that is already open is closed first. While an editor is open
    // nothing happens: leaving the editor brings a fresh list anyway.
    void OpenList();
    // Shows `editor` (made by the settings' factories) in place of the list
    // and any other editor. Cancel brings a fresh list; an accepted editor
    // waits for the station's notice, which re-opens the list.
    void OpenEditor(QDialog* editor);

    TableListDialog* List() const { return m_list; }
    QDialog* Editor() const { return m_editor; }

Q_SIGNALS:
    // The list is shown; its walk starts right after.
    void ListOpened(volnar::TableListDialog* list);
    void EditorOpened(QDialog* editor);

private:
    void CloseList();
    void CloseEditor();
    void OpenEditorFor(const ListRow& row);

    NavigatorSettings m_settings;
    EditorContext m_context;
    QPointer<TableListDialog> m_list;
    QPointer<QDialog> m_editor;
};

}  // namespace volnar
