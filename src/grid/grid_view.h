// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractTableModel>
#include <QStyledItemDelegate>
#include <QTableView>

// The grid's inner pieces: the model over its store, the delegate that paints
// cells by type, and the body view that turns mouse and keys into grid
// operations. Only MyRAGrid uses them.
namespace volnar::grid {

class MyRAGrid;
struct GridColumn;

// A cell's text on the one line a row has: each line break (CR LF, CR or LF)
// shown as a return mark, so that a text of several lines is not drawn
// clipped above and below the row. The cell keeps its text; the tool tip
// shows it as written.
QString ShownOnOneLine(const QString& text);

class GridModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit GridModel(MyRAGrid& grid);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Rows the view has been told about; the store may hold more until the
    // next Publish.
    int Shown() const { return m_shown; }
    void Publish();
    void BeginInsert(int row);
    void EndInsert();
    void BeginRemove(int row);
    void EndRemove();
    bool BeginMove(int from, int to);
    void EndMove();
    void BeginReset();
    void EndReset();
    void BeginLayout();
    void EndLayout();
    void BeginColumns(int first, int last);
    void EndColumns();
    void HeaderChanged(int column);
    void CellChanged(int row, int column);

private:
    MyRAGrid& m_grid;
    int m_shown = 0;

    Q_DISABLE_COPY_MOVE(GridModel)
};

class GridDelegate final : public QStyledItemDelegate {
    Q_OBJECT

public:
    GridDelegate(MyRAGrid& grid, QObject* parent);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    struct CellPainting;

    const GridColumn& ColumnOf(const CellPainting& cell) const;
    QColor PaintBackground(QPainter* painter, const QStyleOptionViewItem& option, int row) const;
    void PaintButtonPart(CellPainting& cell) const;
    void PaintCheckBox(const CellPainting& cell) const;
    void PaintImage(const CellPainting& cell) const;
    void PaintUserCell(const CellPainting& cell) const;
    void PaintChoice(const CellPainting& cell) const;
    void PaintElidedText(const CellPainting& cell, const QString& text) const;
    void PaintLines(const CellPainting& cell) const;

    MyRAGrid& m_grid;

    Q_DISABLE_COPY_MOVE(GridDelegate)
};

class GridView final : public QTableView {
    Q_OBJECT

public:
    GridView(MyRAGrid& grid, QWidget* parent);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void paintEvent(QPaintEvent* event) override;

private:
    MyRAGrid& m_grid;
    bool m_pressOnCurrent = false;

    Q_DISABLE_COPY_MOVE(GridView)
};

}  // namespace volnar::grid
