#pragma once

#include <QObject>
#include <QPointer>

#include "alerts/alert_record.h"

class QDialog;
class QWidget;

namespace volnar {

class BoardLink;
class MessageService;
class TableListDialog;
struct TableListSettings;

// The alert list as the station table list shows it: twelve columns, five
// of them hidden (the fifth to ninth fields, kept whole for the editors).
TableListSettings AlertListSettings();

// The editors' working record from a listed row.
AlertWorkingRecord WorkingRecordOfAlertRow(const QStringList& cells);

// Moves between the alert screens: the list, the two editors, and back.
// Each dialog is made when it is shown (application-modal, owned by
// `owner`) and deleted when it closes.
class AlertScreens final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AlertScreens)

public:
    AlertScreens(BoardLink& link, MessageService& messages, QWidget* owner);
    ~AlertScreens() override;

    // A fresh list and its walk: the Alerts buttons, the re-opening after a
    // confirmed change, Refresh and a cancelled editor. While an editor is
    // open nothing happens: leaving it brings a fresh list anyway.
    void OpenList();
    void OpenEmailEditor(AlertEditorMode mode, const AlertWorkingRecord& alert);
    void OpenSmsEditor(AlertEditorMode mode, const AlertWorkingRecord& alert);

    TableListDialog* List() const;
    QDialog* Editor() const { return m_editor; }

Q_SIGNALS:
    void ListOpened(volnar::TableListDialog* list);
    void EditorOpened(QDialog* editor);

private:
    void BackToList();

    BoardLink& m_link;
    MessageService& m_messages;
    QPointer<QWidget> m_owner;
    QPointer<TableListDialog> m_list;
    QPointer<QDialog> m_editor;
};

}  // namespace volnar
