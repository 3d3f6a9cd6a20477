#pragma once

#include <QDialog>
#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "grid/my_ra_grid.h"

class QLabel;
class QPushButton;

namespace volnar {

class BoardLink;
class MessageService;

// Images of a list's action columns, as the rows name them.
inline constexpr int kExecuteImage = 0;
inline constexpr int kDeleteImage = 1;
inline constexpr int kEditImage = 2;

// One column of a station table list.
struct TableListColumn {
    const char* header;
    int width;  // 0 hides the column
    grid::GridAlign cellAlign;
    grid::ColumnType type;
};

// What makes a list of the station's scripts or alerts: everything that
// differs between the two is data.
struct TableListSettings {
    QString title;
    QIcon icon;
    std::string_view table;  // the table walked
    QString noun;            // "Script": "Execute Script Number 3 ?"
    QString plural;          // "scripts": "Reading scripts from the station..."
    std::string_view executeObject;
    int executeId = 0;
    std::string_view deleteObject;
    int deleteId = 0;
    std::vector<TableListColumn> columns;
    QList<QPixmap> actionImages;  // execute, delete, edit
    struct AddButton {
        QString text;
        QPixmap picture;
        QString objectName;
    };
    std::array<AddButton, 2> addButtons;
    // Whether a row (its cells in column order) can be opened for editing;
    // when not, the edit image does nothing and the list stays open.
    std::function<bool(const QStringList& cells)> canEdit;
};

// A list of one of the station's tables, one grid row per table row, read
// with a tracked GETNEXT walk while the dialog is open. Execute and delete
// are asked first and sent from here, then the list closes (the station's
// answer brings a notice and a fresh list); edit, the Add buttons and
// Refresh close the list and ask for the next screen through signals.
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

    // The image activation of a row (the grid's image notification calls it).
    void ActivateImage(int row, int image);

Q_SIGNALS:
    // The list has closed; the screens open the editor.
    void AddRequested(int button);
    void EditRequested(const QStringList& cells);
    // The list has closed; the screens open a fresh one.
    void RefreshRequested();

private:
    void AddRow(const QStringList& cells);
    void WalkEnded(const QString& table, bool complete);
    void ShowWalkStatus();
    void ExecuteOrDelete(bool execute, const QString& id);

    TableListSettings m_settings;
    BoardLink& m_link;
    MessageService& m_messages;
    grid::MyRAGrid* m_grid;
    QLabel* m_status;
    QTimer m_statusTimer;  // the count follows the rows a few times a second
    bool m_walking = false;
    bool m_walkComplete = false;
    int m_rowsRead = 0;
};

// The columns every station table list starts with (ID, Type, Name,
// Description and the Edit, Delete and Execute images), then `hidden`
// zero-width columns that keep the row's further fields for its editor.
std::vector<TableListColumn> ListColumns(int hidden);

// Shows a list or editor screen: application-modal, deleted on close.
void ShowScreen(QDialog* dialog);

// The station's number of a row as an INTEGER value: decimal digits only,
// small enough to travel unchanged; nullopt otherwise.
std::optional<std::int32_t> RowNumber(const QString& id);

}  // namespace volnar
