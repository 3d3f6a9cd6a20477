// SPDX-License-Identifier: GPL-3.0-or-later
#include "grid/grid_view.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStyle>

#include "grid/my_ra_grid.h"

namespace volnar::grid {

namespace {

Qt::Alignment AlignmentOf(GridAlign align) {
    switch (align) {
        case GridAlign::Center:
            return Qt::AlignHCenter | Qt::AlignVCenter;
        case GridAlign::Right:
            return Qt::AlignRight | Qt::AlignVCenter;
        case GridAlign::Left:
            break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

QColor ColourOf(std::int32_t rgb, const QColor& fallback) {
    if (rgb == kGridColour) {
        return fallback;
    }
    return QColor::fromRgb(static_cast<QRgb>(rgb) | 0xFF000000u);
}

bool HasButtonPart(ColumnType type) {
    return type == ColumnType::ChoiceList || type == ColumnType::Button ||
           type == ColumnType::TextWithButton;
}

}  // namespace

GridModel::GridModel(MyRAGrid& grid) : QAbstractTableModel(&grid), m_grid(grid) {}

int GridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_shown;
}

int GridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_grid.ColumnCount();
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_shown) {
        return {};
    }
    // The tool tip shows a cell whole when its column is too narrow for it.
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole || role == Qt::ToolTipRole) {
        const QString text = m_grid.CellText(index.row(), index.column());
        // A picture cell is an action: a screen reader names it by its
        // column and the row's first cell ("Edit 3").
        if (role == Qt::AccessibleTextRole && text.isEmpty() &&
            m_grid.m_columns[static_cast<std::size_t>(index.column())].column.type ==
                ColumnType::Image) {
            return QStringLiteral("%1 %2").arg(
                m_grid.m_columns[static_cast<std::size_t>(index.column())].column.headerText,
                m_grid.CellText(index.row(), 0));
        }
        return text;
    }
    if (role == Qt::TextAlignmentRole) {
        return static_cast<int>(AlignmentOf(
            m_grid.m_columns[static_cast<std::size_t>(index.column())].column.cellAlign));
    }
    return {};
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= m_grid.ColumnCount()) {
        return {};
    }
    const GridColumn& column = m_grid.m_columns[static_cast<std::size_t>(section)].column;
    if (role == Qt::DisplayRole) {
        return column.headerText;
    }
    if (role == Qt::TextAlignmentRole) {
        return static_cast<int>(AlignmentOf(column.headerAlign));
    }
    return {};
}

void GridModel::Publish() {
    const int rows = m_grid.m_store.RowCount();
    if (rows > m_shown) {
        beginInsertRows({}, m_shown, rows - 1);
        m_shown = rows;
        endInsertRows();
    }
}

void GridModel::BeginInsert(int row) {
    beginInsertRows({}, row, row);
}

void GridModel::EndInsert() {
    ++m_shown;
    endInsertRows();
}

void GridModel::BeginRemove(int row) {
    beginRemoveRows({}, row, row);
}

void GridModel::EndRemove() {
    --m_shown;
    endRemoveRows();
}

bool GridModel::BeginMove(int from, int to) {
    // Qt counts the destination before the move: moving down lands before
    // the row after `to`.
    return beginMoveRows({}, from, from, {}, to > from ? to + 1 : to);
}

void GridModel::EndMove() {
    endMoveRows();
}

void GridModel::BeginReset() {
    beginResetModel();
}

void GridModel::EndReset() {
    m_shown = m_grid.m_store.RowCount();
    endResetModel();
}

void GridModel::BeginLayout() {
    Q_EMIT layoutAboutToBeChanged();
}

void GridModel::EndLayout() {
    Q_EMIT layoutChanged();
}

void GridModel::BeginColumns(int first, int last) {
    beginInsertColumns({}, first, last);
}

void GridModel::EndColumns() {
    endInsertColumns();
}

void GridModel::HeaderChanged(int column) {
    Q_EMIT headerDataChanged(Qt::Horizontal, column, column);
}

void GridModel::CellChanged(int row, int column) {
    if (row < m_shown) {
        const QModelIndex at = index(row, column);
        Q_EMIT dataChanged(at, at);
    }
}

GridDelegate::GridDelegate(MyRAGrid& grid, QObject* parent)
    : QStyledItemDelegate(parent), m_grid(grid) {}

QSize GridDelegate::sizeHint(const QStyleOptionViewItem& /*option*/,
                             const QModelIndex& index) const {
    return {m_grid.ColumnWidth(index.column()), m_grid.RowHeight()};
}

// One cell being painted: where, in which text colour, and how aligned.
struct GridDelegate::CellPainting {
    QPainter* painter;
    const QStyleOptionViewItem& option;
    int row;
    int column;
    QRect rect;     // the whole cell
    QRect content;  // inside the margins, left of a button part
    QColor text;
    Qt::Alignment align;
};

void GridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
    painter->save();
    CellPainting cell{painter,
                      option,
                      index.row(),
                      index.column(),
                      option.rect,
                      option.rect.adjusted(2, 0, -2, 0),
                      PaintBackground(painter, option, index.row()),
                      index.data(Qt::TextAlignmentRole).value<Qt::Alignment>()};
    painter->setPen(cell.text);
    PaintButtonPart(cell);
    switch (ColumnOf(cell).type) {
        case ColumnType::CheckBox:
            PaintCheckBox(cell);
            break;
        case ColumnType::Image:
            PaintImage(cell);
            break;
        case ColumnType::User:
            PaintUserCell(cell);
            break;
        case ColumnType::ChoiceList:
            PaintChoice(cell);
            break;
        default:
            PaintElidedText(cell, m_grid.CellText(cell.row, cell.column));
            break;
    }
    PaintLines(cell);
    painter->restore();
}

const GridColumn& GridDelegate::ColumnOf(const CellPainting& cell) const {
    return m_grid.m_columns[static_cast<std::size_t>(cell.column)].column;
}

// The row's background (the highlight on the current row); the text colour
// that goes with it.
QColor GridDelegate::PaintBackground(QPainter* painter, const QStyleOptionViewItem& option,
                                     int row) const {
    const RowColours colours = m_grid.m_store.Colours(row);
    QColor background = ColourOf(colours.background, m_grid.BackgroundColour());
    QColor text = ColourOf(colours.text, m_grid.TextColour());
    if ((m_grid.GridStyle() & MyRAGrid::kNoRowHighlight) == 0 && row == m_grid.CurrentRow()) {
        background = option.palette.color(QPalette::Highlight);
        text = option.palette.color(QPalette::HighlightedText);
    }
    painter->fillRect(option.rect, background);
    return text;
}

// A square push button at the right of choice and button cells, when the
// cell is wider than high; the content keeps to its left.
void GridDelegate::PaintButtonPart(CellPainting& cell) const {
    const ColumnType type = ColumnOf(cell).type;
    const QRect& rect = cell.rect;
    if (!HasButtonPart(type) || rect.width() <= rect.height()) {
        return;
    }
    const QRect button(rect.right() - rect.height() + 1, rect.top(), rect.height(), rect.height());
    cell.content.setRight(button.left() - 2);
    QStyleOptionButton buttonOption;
    buttonOption.rect = button.adjusted(1, 1, -1, -1);
    buttonOption.state = QStyle::State_Enabled | QStyle::State_Raised;
    buttonOption.text =
        type == ColumnType::ChoiceList ? QStringLiteral("v") : QStringLiteral("...");
    QApplication::style()->drawControl(QStyle::CE_PushButton, &buttonOption, cell.painter);
    cell.painter->setPen(cell.text);
}

void GridDelegate::PaintCheckBox(const CellPainting& cell) const {
    QStyleOptionButton check;
    const int size = std::min(13, cell.rect.height() - 2);
    check.rect = QStyle::alignedRect(Qt::LeftToRight, cell.align, QSize(size, size), cell.content);
    const bool on = (m_grid.m_store.CellNumber(cell.row, cell.column) & 1) != 0;
    check.state = QStyle::State_Enabled | (on ? QStyle::State_On : QStyle::State_Off);
    QApplication::style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &check, cell.painter);
}

void GridDelegate::PaintImage(const CellPainting& cell) const {
    const QList<QPixmap>& images = ColumnOf(cell).images;
    const int image = m_grid.m_store.CellNumber(cell.row, cell.column);
    if (image < 0 || image >= images.size()) {
        return;
    }
    const QPixmap& pixmap = images[image];
    cell.painter->drawPixmap(
        QStyle::alignedRect(Qt::LeftToRight, cell.align, pixmap.deviceIndependentSize().toSize(),
                            cell.content),
        pixmap);
}

// The owner hears of the cell (notification 11) and may change its text, or
// cancel and draw the cell itself.
void GridDelegate::PaintUserCell(const CellPainting& cell) const {
    const GridColumn& column = ColumnOf(cell);
    GridValue value = m_grid.m_store.Cell(cell.row, cell.column);
    if (column.textMax > 0) {
        // A block shows as text up to its first NUL.
        const qsizetype end = value.bytes.indexOf('\0');
        value.bytes =
            QByteArray::fromRawData(value.bytes.constData(), end < 0 ? value.bytes.size() : end);
        value.bytes.detach();
    }
    GridNotification n;
    n.code = GridNotificationCode::UserCellDrawing;
    n.column = cell.column;
    n.row = cell.row;
    n.editor = m_grid.m_columns[static_cast<std::size_t>(cell.column)].editor;
    n.data = &value;
    m_grid.Notify(n);
    const QString shown = column.textMax > 0 ? QString::fromLatin1(value.bytes) : value.ToText();
    if (n.cancel) {
        Q_EMIT m_grid.UserCellPaintRequested(cell.painter, cell.rect, cell.row, cell.column, shown);
        cell.painter->setPen(cell.text);
    } else {
        PaintElidedText(cell, shown);
    }
}

// The choice's picture (when the column has one for it), then its text.
void GridDelegate::PaintChoice(const CellPainting& cell) const {
    const QList<QPixmap>& images = ColumnOf(cell).images;
    const int choice = m_grid.m_store.CellNumber(cell.row, cell.column);
    QRect content = cell.content;
    if (choice >= 0 && choice < images.size()) {
        const QPixmap& pixmap = images[choice];
        const QSize size = pixmap.deviceIndependentSize().toSize();
        cell.painter->drawPixmap(
            QRect(content.left(), content.top() + (content.height() - size.height()) / 2,
                  size.width(), size.height()),
            pixmap);
        content.setLeft(content.left() + size.width() + 2);
    }
    cell.painter->drawText(content, static_cast<int>(cell.align),
                           m_grid.CellText(cell.row, cell.column));
}

QString ShownOnOneLine(const QString& text) {
    if (!text.contains(u'\r') && !text.contains(u'\n')) {
        return text;
    }
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    return QString(text).replace(breaks, QStringLiteral(" \u21B5 "));
}

void GridDelegate::PaintElidedText(const CellPainting& cell, const QString& text) const {
    cell.painter->drawText(cell.content, static_cast<int>(cell.align),
                           cell.option.fontMetrics.elidedText(ShownOnOneLine(text), Qt::ElideRight,
                                                              cell.content.width()));
}

// Grid lines under and after the cell, and the focus mark on the current one.
void GridDelegate::PaintLines(const CellPainting& cell) const {
    const int style = m_grid.GridStyle();
    const QRect& rect = cell.rect;
    cell.painter->setPen(m_grid.GridLineColour());
    if ((style & MyRAGrid::kHorizontalLines) != 0) {
        cell.painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    }
    if ((style & MyRAGrid::kVerticalLines) != 0) {
        cell.painter->drawLine(rect.topRight(), rect.bottomRight());
    }
    if ((style & MyRAGrid::kNoFocusMark) == 0 && cell.row == m_grid.CurrentRow() &&
        cell.column == m_grid.CurrentColumn() &&
        (cell.option.state & QStyle::State_HasFocus) != 0) {
        cell.painter->setPen(QPen(cell.text, 1, Qt::DotLine));
        cell.painter->drawRect(rect.adjusted(1, 1, -2, -2));
    }
}

GridView::GridView(MyRAGrid& grid, QWidget* parent) : QTableView(parent), m_grid(grid) {
    setObjectName(QStringLiteral("gridBody"));
    setShowGrid(false);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setStretchLastSection(false);
}

void GridView::mousePressEvent(QMouseEvent* event) {
    const QModelIndex at = indexAt(event->position().toPoint());
    if (!at.isValid() || event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    m_pressOnCurrent = at.row() == m_grid.CurrentRow() && at.column() == m_grid.CurrentColumn();
    if (!m_pressOnCurrent) {
        m_grid.SetCurrentCell(at.column(), at.row());
    }
    event->accept();
}

void GridView::mouseReleaseEvent(QMouseEvent* event) {
    const QModelIndex at = indexAt(event->position().toPoint());
    if (!at.isValid() || event->button() != Qt::LeftButton || at.row() != m_grid.CurrentRow() ||
        at.column() != m_grid.CurrentColumn()) {
        event->accept();
        return;
    }
    const ColumnType type = m_grid.m_store.TypeOf(at.column());
    if (m_grid.IsButtonPart(at.row(), at.column(), event->position().toPoint())) {
        m_grid.BeginEditAt(at.column(), at.row(), true);
    } else if (type == ColumnType::CheckBox && m_pressOnCurrent) {
        m_grid.BeginEdit(at.column(), at.row());
    }
    m_pressOnCurrent = false;
    event->accept();
}

void GridView::mouseDoubleClickEvent(QMouseEvent* event) {
    const QModelIndex at = indexAt(event->position().toPoint());
    if (!at.isValid() || event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    if (m_grid.m_store.TypeOf(at.column()) != ColumnType::ChoiceList) {
        m_grid.BeginEdit(at.column(), at.row());
    }
    event->accept();
}

void GridView::mouseMoveEvent(QMouseEvent* event) {
    // No drag selection: the grid has one current cell.
    event->accept();
}

void GridView::keyPressEvent(QKeyEvent* event) {
    const int rows = m_grid.RowCount();
    const int columns = m_grid.ColumnCount();
    if (rows == 0 || columns == 0) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    int row = m_grid.CurrentRow();
    int column = m_grid.CurrentColumn();
    const int page = std::max(1, viewport()->height() / std::max(1, m_grid.RowHeight()) - 1);
    // Hidden (zero-width) columns are stepped over.
    auto step = [&](int from, int direction) {
        for (int c = from + direction; c >= 0 && c < columns; c += direction) {
            if (m_grid.ColumnWidth(c) > 0) {
                return c;
            }
        }
        return from;
    };
    switch (event->key()) {
        case Qt::Key_Up:
            row = std::max(0, row - 1);
            break;
        case Qt::Key_Down:
            row = std::min(rows - 1, row + 1);
            break;
        case Qt::Key_Left:
            column = step(column, -1);
            break;
        case Qt::Key_Right:
            column = step(column, 1);
            break;
        case Qt::Key_PageUp:
            row = std::max(0, row - page);
            break;
        case Qt::Key_PageDown:
            row = std::min(rows - 1, row + page);
            break;
        case Qt::Key_Home:
            if ((event->modifiers() & Qt::ControlModifier) != 0) {
                row = 0;
            }
            column = step(-1, 1);
            break;
        case Qt::Key_End:
            if ((event->modifiers() & Qt::ControlModifier) != 0) {
                row = rows - 1;
            }
            column = step(columns, -1);
            break;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            event->ignore();
            return;
        default: {
            const QString typed = event->text();
            const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
            if (typed.isEmpty() || (!enter && !typed.at(0).isPrint())) {
                QAbstractScrollArea::keyPressEvent(event);
                return;
            }
            m_grid.BeginEdit(column, row);
            // The character goes on to the editor, Enter excepted.
            if (!enter && m_grid.ActiveEditor() != nullptr) {
                QKeyEvent forwarded(QEvent::KeyPress, event->key(), event->modifiers(), typed);
                QApplication::sendEvent(m_grid.ActiveEditor(), &forwarded);
            }
            event->accept();
            return;
        }
    }
    if (row != m_grid.CurrentRow() || column != m_grid.CurrentColumn()) {
        m_grid.SetCurrentCell(column, row);
        m_grid.ScrollToCurrent();
    }
    event->accept();
}

bool GridView::focusNextPrevChild(bool next) {
    // Tab leaves the grid for the next control of the dialog.
    return QWidget::focusNextPrevChild(next);
}

void GridView::paintEvent(QPaintEvent* event) {
    QTableView::paintEvent(event);
    if ((m_grid.GridStyle() & MyRAGrid::kGridFrame) == 0 || model() == nullptr) {
        return;
    }
    // The frame: a line under the last row and after the last column.
    QPainter painter(viewport());
    painter.setPen(m_grid.GridLineColour());
    const int rows = model()->rowCount();
    const int columns = model()->columnCount();
    const int bottom = rows > 0 ? rowViewportPosition(rows - 1) + rowHeight(rows - 1) - 1 : -1;
    int right = -1;
    for (int c = columns - 1; c >= 0; --c) {
        if (!isColumnHidden(c)) {
            right = columnViewportPosition(c) + columnWidth(c) - 1;
            break;
        }
    }
    if (bottom >= 0 && right >= 0) {
        painter.drawLine(0, bottom, right, bottom);
        painter.drawLine(right, 0, right, bottom);
    }
}

}  // namespace volnar::grid
