// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "grid/my_ra_grid.h"
#include "link/board_commands.h"
#include "lists/table_rows.h"

class QHBoxLayout;
class QLabel;
class QPushButton;

namespace volnar {

class BoardLink;
class MessageService;

// One column of a station table list.
struct TableListColumn {
    const char* header;
    int width;  // 0 hides the column
    grid::GridAlign cellAlign;
    grid::ColumnType type;
};

// The columns every station table list has, then `details` hidden ones.
std::vector<TableListColumn> ListColumns(int details);

// What makes a list of the station's scripts or alerts: everything that
// differs between the two is data.
struct TableListSettings {
    QString title;
    QIcon icon;
    BoardTable table = BoardTable::Scripts;  // the table walked, executed from, deleted from
    QString noun;                            // "Script": "Execute Script Number 3 ?"
    QString plural;                          // "scripts": "Reading scripts from the station..."
    int details = 0;              // hidden columns after the images: the row's fields 5 onward
    QList<QPixmap> actionImages;  // execute, delete, edit
    struct AddButton {
        QString text;
        QPixmap picture;
        QString objectName;
    };
    std::array<AddButton, 2> addButtons;
    // Whether a listed row can be opened for editing; when not, the edit
    // image does nothing and the list stays open.
    std::function<bool(const ListRow& row)> canEdit;
};

// A list of one of the station's tables, one grid row per table row, read
// by the list's own walk: closing the list ends it, and no row of it reaches
// another list. Execute and delete are asked first and sent from here; the
// list closes once the station has confirmed (its notice brings a fresh
// list) and stays when it did not. Edit, the Add buttons and Refresh close
// the list and ask for the next screen through signals.
// Every field is kept whole, so what is executed, deleted or edited is
// exactly what the station listed.
class TableListDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TableListDialog)

public:
    TableListDialog(TableListSettings settings, BoardLink& link, MessageService& messages,
                    QWidget* parent = nullptr);
    ~TableListDialog() override;

    // Sends the first GETNEXT of the walk; rows arrive while the list is open.
    void StartWalk();
    bool IsWalking() const { return m_walking; }
    int RowsRead() const { return m_rowsRead; }
    QString WalkStatusText() const;
    grid::MyRAGrid& Grid() const { return *m_grid; }
    QStringList RowCells(int row) const;
    ListRow Row(int row) const { return ListRowOfCells(RowCells(row)); }

    // The image activation of a row (the grid's image notification calls it).
    void ActivateImage(int row, int image);

Q_SIGNALS:
    // The list has closed; the screens open the editor.
    void AddRequested(int button);
    void EditRequested(const volnar::ListRow& row);
    // The list has closed; the screens open a fresh one.
    void RefreshRequested();

private:
    void SetUpGrid();
    QHBoxLayout* MakeButtons();
    void AddRow(const QStringList& fields);
    void WalkEnded(OperationEnding ending);
    void ShowWalkStatus();
    void ExecuteOrDelete(bool execute, const QString& id);

    TableListSettings m_settings;
    BoardLink& m_link;
    MessageService& m_messages;
    grid::MyRAGrid* m_grid;
    QLabel* m_status;
    QTimer m_statusTimer;  // the count follows the rows a few times a second
    QPointer<BoardOperation> m_walk;
    QPointer<BoardOperation> m_action;  // execute or delete in flight
    bool m_walking = false;
    bool m_walkComplete = false;
    QString m_walkText;  // why the walk stopped
    int m_rowsRead = 0;
};

// Shows a list or editor screen: window-modal, deleted on close.
void ShowScreen(QDialog* dialog);

// The station's number of a row as an INTEGER value: decimal digits only,
// small enough to travel unchanged; nullopt otherwise.
std::optional<std::int32_t> RowNumber(const QString& id);

}  // namespace volnar
