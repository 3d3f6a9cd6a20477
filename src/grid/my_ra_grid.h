// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QElapsedTimer>
#include <QList>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <optional>
#include <span>
#include <vector>

#include "grid/grid_store.h"

namespace volnar::grid {

class GridModel;
class GridView;

enum class GridAlign : int { Left = 0, Center = 1, Right = 2 };

// A column as the caller describes it to AddColumn and gets it back from
// Column(). `left` is computed by the grid; `headerState` is the grid's own
// (bit 0 while the header is pressed, bit 1 the last sort order).
struct GridColumn {
    int width = 0;  // pixels; 0 keeps the column but hides it
    QString headerText;
    GridAlign headerAlign = GridAlign::Left;
    GridAlign cellAlign = GridAlign::Left;
    ColumnType type = ColumnType::Text;
    // Editor text limit (types 0, 1, 10), or the fixed block size (type 9).
    int textMax = 0;
    QString format;         // date or time format; empty for the default
    QList<QPixmap> images;  // types 3 and 6
    int headerState = 0;
    int left = 0;
    // Type 9: the caller's own editor (re-parented to the grid), or null.
    // Other types: the editor the grid made, filled in by Column().
    QPointer<QWidget> editor;
    qintptr userValue = 0;
};

enum class GridNotificationCode : int {
    HeaderClicked = 1,
    ButtonActivated = 2,
    CheckActivated = 3,
    ImageActivated = 4,
    CurrentCellChanging = 5,
    CurrentCellChanged = 6,
    EditorOpening = 7,
    EditCommitting = 8,
    CellWriting = 9,
    CellWritten = 10,
    UserCellDrawing = 11,
};

// What the grid tells its owner. A receiver may set `cancel` to refuse the
// step where the code allows it, change `data` (button text, the text of a
// user cell about to be drawn) and, for code 5, change `column` and `row`.
struct GridNotification {
    GridNotificationCode code = GridNotificationCode::HeaderClicked;
    int column = 0;
    int row = 0;
    QWidget* editor = nullptr;
    GridValue* data = nullptr;
    int scrollOffset = 0;  // code 4: the horizontal scroll offset
    bool cancel = false;
};

// The grid of typed columns used by the script and alert lists: a header,
// one row per record, an in-place editor per column, and notifications to
// its owner. Rows live in a GridStore; the view shows them through a model
// that publishes appended rows in batches, so adding thousands of rows one
// at a time costs little more than storing them.
class MyRAGrid final : public QWidget {
    Q_OBJECT

public:
    // Style bits.
    static constexpr int kNoRowHighlight = 0x01;
    static constexpr int kNoFocusMark = 0x02;
    static constexpr int kHorizontalLines = 0x04;
    static constexpr int kVerticalLines = 0x08;
    static constexpr int kGridFrame = 0x10;
    static constexpr int kNoColumnSizing = 0x20;
    // What the script and alert lists use.
    static constexpr int kListStyle = 0x2D;
    static constexpr int kDefaultHeight = 18;
    // While rows keep arriving, the view hears of them this often.
    static constexpr int kPublishIntervalMs = 100;

    explicit MyRAGrid(QWidget* parent = nullptr);
    ~MyRAGrid() override;

    int GridStyle() const { return m_style; }
    void SetGridStyle(int style);

    // Columns can be added only while no row has been stored (-1 otherwise).
    int AddColumn(const GridColumn& column);
    std::optional<GridColumn> Column(int column) const;
    int ColumnCount() const { return m_store.ColumnCount(); }
    int RowCount() const { return m_store.RowCount(); }

    // -1 when the grid already holds 65,536 rows.
    int AddRow(std::span<const GridValue> cells);
    // A row from texts: text columns take the text, fixed blocks its bytes,
    // number-like columns its decimal value.
    int AddRowTexts(const QStringList& texts);
    int InsertRow(int position, std::span<const GridValue> cells);
    void DeleteRow(int row);
    bool MoveRow(int from, int to);

    // Type-3 choices; an item's data is its position when it was added.
    void AddChoice(int column, const QString& text);
    void ClearChoices(int column);
    QStringList Choices(int column) const;

    int CurrentRow() const { return m_currentRow; }
    int CurrentColumn() const { return m_currentColumn; }
    // With notifications 5 and 6; false when out of range or refused.
    bool SetCurrentCell(int column, int row);
    void SetCurrentColumn(int column) { SetCurrentCell(column, m_currentRow); }
    void SetCurrentRow(int row) { SetCurrentCell(m_currentColumn, row); }

    GridValue Cell(int row, int column) const { return m_store.Cell(row, column); }
    // With notifications 9 and 10; false when refused or out of range.
    bool SetCell(int row, int column, const GridValue& value);
    // The cell as the grid shows it.
    QString CellText(int row, int column) const;
    QRect CellRect(int row, int column) const;
    void ScrollToCurrent();

    QColor BackgroundColour() const { return m_background; }
    void SetBackgroundColour(const QColor& colour);
    QColor GridLineColour() const { return m_lineColour; }
    void SetGridLineColour(const QColor& colour);
    QColor TextColour() const { return m_textColour; }
    void SetTextColour(const QColor& colour);
    RowColours RowColoursOf(int row) const { return m_store.Colours(row); }
    void SetRowColours(int row, RowColours colours);

    // Makes the cell current and activates it (editor, toggle, notification).
    void BeginEdit(int column, int row);
    // Takes the active editor's value (unless cancelled), notification 8,
    // then SetCell; hides the editor.
    void EndEdit(bool cancel);
    QWidget* ActiveEditor() const { return m_activeEditor; }

    int ColumnWidth(int column) const;
    void SetColumnWidth(int column, int width);
    int HeaderHeight() const { return m_headerHeight; }
    void SetHeaderHeight(int height);
    int RowHeight() const { return m_rowHeight; }
    // 0 (or less) is ignored.
    void SetRowHeight(int height);
    QString HeaderText(int column) const;
    void SetHeaderText(int column, const QString& text);
    QString Format(int column) const;
    void SetFormat(int column, const QString& format);

    void ClearRows();
    void ClearAll();
    // Direction 0 ascending, 1 descending, anything else the reverse of the
    // order last used for that column.
    void Sort(int column, int direction);

    const GridStore& Store() const { return m_store; }
    // The body (the view) for keyboard focus and tests.
    QWidget* Body() const;

    // Plain decimal text to a signed integer: optional "-", then digits up to
    // the first other character (wrapping, never undefined).
    static std::int32_t ParseNumber(const QString& text);

Q_SIGNALS:
    void Notified(volnar::grid::GridNotification* notification);
    // Notification 11 was cancelled: the owner draws the cell itself.
    void UserCellPaintRequested(QPainter* painter, const QRect& rect, int row, int column,
                                const QString& text);

protected:
    void focusInEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class GridView;
    friend class GridDelegate;
    friend class GridModel;

    struct ColumnState {
        GridColumn column;
        QWidget* editor = nullptr;  // the grid's own or the caller's
        bool ownsEditor = false;
        QStringList choices;  // type 3, in the order added (data = position)
    };

    bool Notify(GridNotification& notification);
    // The committing notification of a cell changed without an editor, and
    // the change when it is not cancelled.
    void CommitActivated(int row, int column, GridValue& value);
    void CreateEditor(ColumnState& state);
    void LoadEditor(int row, int column);
    GridValue EditorValue(int column) const;
    void BeginEditAt(int column, int row, bool buttonPart);
    void Activate(int row, int column, bool buttonPart);
    void ActivateWithoutEditor(int row, int column);
    void SyncCurrentIndex();
    void FlushRows();
    void ScheduleFlush();
    void UpdateLefts();
    bool IsButtonPart(int row, int column, const QPoint& viewportPos) const;
    void HeaderPressed(int section);
    void HeaderClicked(int section);
    void HeaderResized(int section, int newSize);

    GridStore m_store;
    std::vector<ColumnState> m_columns;
    GridModel* m_model = nullptr;
    GridView* m_view = nullptr;
    QTimer m_flushTimer;
    QElapsedTimer m_lastFlush;
    int m_style = kHorizontalLines | kVerticalLines;
    int m_currentRow = 0;
    int m_currentColumn = 0;
    int m_headerHeight = kDefaultHeight;
    int m_rowHeight = kDefaultHeight;
    QColor m_background;
    QColor m_lineColour{192, 192, 192};
    QColor m_textColour;
    QWidget* m_activeEditor = nullptr;
    int m_editRow = -1;
    int m_editColumn = -1;
    bool m_ending = false;
    bool m_settingWidth = false;

    Q_DISABLE_COPY_MOVE(MyRAGrid)
};

}  // namespace volnar::grid
