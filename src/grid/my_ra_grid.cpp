// SPDX-License-Identifier: GPL-3.0-or-later
#include "grid/my_ra_grid.h"

#include <QDateEdit>
#include <QFocusEvent>
#include <QHeaderView>
#include <QListWidget>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "grid/grid_view.h"

// The grid's structure: columns and their header, rows, the current cell,
// cell values, colours and sorting. Cell texts, editors and the editing steps
// are in my_ra_grid_editing.cpp.
namespace volnar::grid {

MyRAGrid::MyRAGrid(QWidget* parent) : QWidget(parent) {
    m_background = palette().color(QPalette::Base);
    m_textColour = palette().color(QPalette::Text);
    m_model = new GridModel(*this);
    m_view = new GridView(*this, this);
    m_view->setModel(m_model);
    m_view->setItemDelegate(new GridDelegate(*this, m_view));
    m_view->verticalHeader()->setDefaultSectionSize(m_rowHeight);
    m_view->horizontalHeader()->setFixedHeight(m_headerHeight);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    setFocusProxy(m_view);
    setFocusPolicy(Qt::StrongFocus);

    m_flushTimer.setSingleShot(true);
    connect(&m_flushTimer, &QTimer::timeout, this, &MyRAGrid::FlushRows);
    QHeaderView* header = m_view->horizontalHeader();
    connect(header, &QHeaderView::sectionPressed, this, &MyRAGrid::HeaderPressed);
    connect(header, &QHeaderView::sectionClicked, this, &MyRAGrid::HeaderClicked);
    connect(header, &QHeaderView::sectionResized, this,
            [this](int section, int, int newSize) { HeaderResized(section, newSize); });
    SetGridStyle(m_style);
}

MyRAGrid::~MyRAGrid() {
    // Callers' editors are theirs: hand them back rather than delete them.
    for (ColumnState& state : m_columns) {
        if (!state.ownsEditor && state.editor != nullptr) {
            state.editor->hide();
            state.editor->removeEventFilter(this);
            state.editor->setParent(nullptr);
        }
    }
    // The view goes first: it must not ask for headers or cells of a store
    // that is already gone.
    m_flushTimer.stop();
    m_activeEditor = nullptr;
    delete m_view;
    m_view = nullptr;
}

QWidget* MyRAGrid::Body() const {
    return m_view;
}

void MyRAGrid::SetGridStyle(int style) {
    m_style = style;
    m_view->horizontalHeader()->setSectionResizeMode(
        (style & kNoColumnSizing) != 0 ? QHeaderView::Fixed : QHeaderView::Interactive);
    m_view->viewport()->update();
}

bool MyRAGrid::Notify(GridNotification& notification) {
    Q_EMIT Notified(&notification);
    return !notification.cancel;
}

void MyRAGrid::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    m_view->setFocus(event->reason());
}

int MyRAGrid::AddColumn(const GridColumn& column) {
    if (!m_store.CanAddColumns()) {
        return -1;
    }
    FlushRows();
    const int index = m_store.ColumnCount();
    m_model->BeginColumns(index, index);
    m_store.AddColumn(column.type, column.textMax);
    ColumnState state;
    state.column = column;
    state.column.headerState = 0;
    m_columns.push_back(std::move(state));
    m_model->EndColumns();
    CreateEditor(m_columns.back());
    SetColumnWidth(index, column.width);
    return index;
}

std::optional<GridColumn> MyRAGrid::Column(int column) const {
    if (!m_store.IsColumn(column)) {
        return std::nullopt;
    }
    const ColumnState& state = m_columns[static_cast<std::size_t>(column)];
    GridColumn copy = state.column;
    copy.editor = state.editor;
    return copy;
}

int MyRAGrid::AddRow(std::span<const GridValue> cells) {
    const int row = m_store.AddRow(cells);
    if (row >= 0) {
        ScheduleFlush();
    }
    return row;
}

int MyRAGrid::AddRowTexts(const QStringList& texts) {
    const int row = m_store.AddRowTexts(
        std::span<const QString>(texts.constData(), static_cast<std::size_t>(texts.size())));
    if (row >= 0) {
        ScheduleFlush();
    }
    return row;
}

// Rows reach the view at once after a quiet spell, and at most every
// kPublishIntervalMs while they keep coming (a table walk adds one row per
// answer): the view then lays out and paints a few times a second instead of
// once per row.
void MyRAGrid::ScheduleFlush() {
    if (m_flushTimer.isActive()) {
        return;
    }
    const qint64 since = m_lastFlush.isValid() ? m_lastFlush.elapsed() : kPublishIntervalMs;
    m_flushTimer.start(static_cast<int>(std::max<qint64>(0, kPublishIntervalMs - since)));
}

// Tells the view about the rows added since the last time, in one step.
void MyRAGrid::FlushRows() {
    m_flushTimer.stop();
    if (m_model->Shown() < m_store.RowCount()) {
        m_model->Publish();
        SyncCurrentIndex();
        m_lastFlush.start();
    }
}

int MyRAGrid::InsertRow(int position, std::span<const GridValue> cells) {
    FlushRows();
    if (RowCount() >= kMaxRows || position < 0 || position > RowCount() ||
        !m_store.ReserveRow(cells)) {
        return -1;
    }
    m_model->BeginInsert(position);
    const int row = m_store.InsertRow(position, cells);
    m_model->EndInsert();
    return row;
}

void MyRAGrid::DeleteRow(int row) {
    FlushRows();
    if (!m_store.IsRow(row)) {
        return;
    }
    if (m_activeEditor != nullptr && m_editRow == row) {
        EndEdit(true);
    }
    m_model->BeginRemove(row);
    m_store.DeleteRow(row);
    m_model->EndRemove();
    if (m_currentRow >= RowCount() && RowCount() > 0) {
        m_currentRow = RowCount() - 1;
    }
    SyncCurrentIndex();
}

bool MyRAGrid::MoveRow(int from, int to) {
    FlushRows();
    if (!m_store.IsRow(from) || !m_store.IsRow(to)) {
        return false;
    }
    if (from == to) {
        return true;
    }
    const bool told = m_model->BeginMove(from, to);
    m_store.MoveRow(from, to);
    if (told) {
        m_model->EndMove();
    }
    return true;
}

void MyRAGrid::AddChoice(int column, const QString& text) {
    if (!m_store.IsColumn(column) || m_store.TypeOf(column) != ColumnType::ChoiceList) {
        return;
    }
    ColumnState& state = m_columns[static_cast<std::size_t>(column)];
    auto* list = qobject_cast<QListWidget*>(state.editor);
    const int position = static_cast<int>(state.choices.size());
    state.choices << text;
    if (list != nullptr) {
        auto* item = new QListWidgetItem(text);
        item->setData(Qt::UserRole, position);
        if (position < state.column.images.size()) {
            item->setIcon(QIcon(state.column.images[position]));
        }
        list->addItem(item);
    }
}

void MyRAGrid::ClearChoices(int column) {
    if (!m_store.IsColumn(column) || m_store.TypeOf(column) != ColumnType::ChoiceList) {
        return;
    }
    ColumnState& state = m_columns[static_cast<std::size_t>(column)];
    state.choices.clear();
    if (auto* list = qobject_cast<QListWidget*>(state.editor)) {
        list->clear();
    }
}

QStringList MyRAGrid::Choices(int column) const {
    if (!m_store.IsColumn(column)) {
        return {};
    }
    return m_columns[static_cast<std::size_t>(column)].choices;
}

bool MyRAGrid::SetCurrentCell(int column, int row) {
    if (!m_store.IsColumn(column) || !m_store.IsRow(row)) {
        return false;
    }
    GridNotification changing;
    changing.code = GridNotificationCode::CurrentCellChanging;
    changing.column = column;
    changing.row = row;
    if (!Notify(changing)) {
        return false;
    }
    // The owner may have redirected the move.
    if (!m_store.IsColumn(changing.column) || !m_store.IsRow(changing.row)) {
        return false;
    }
    if (m_activeEditor != nullptr) {
        EndEdit(false);
    }
    const int oldRow = m_currentRow;
    m_currentRow = changing.row;
    m_currentColumn = changing.column;
    SyncCurrentIndex();
    if (oldRow != m_currentRow && (m_style & kNoRowHighlight) == 0) {
        m_view->viewport()->update();
    }
    GridNotification changed;
    changed.code = GridNotificationCode::CurrentCellChanged;
    changed.column = m_currentColumn;
    changed.row = m_currentRow;
    Notify(changed);
    return true;
}

void MyRAGrid::SyncCurrentIndex() {
    if (m_view->selectionModel() == nullptr) {
        return;
    }
    const QModelIndex at = m_model->index(m_currentRow, m_currentColumn);
    if (at.isValid()) {
        m_view->selectionModel()->setCurrentIndex(at, QItemSelectionModel::NoUpdate);
    }
    m_view->viewport()->update();
}

bool MyRAGrid::SetCell(int row, int column, const GridValue& value) {
    if (!m_store.IsRow(row) || !m_store.IsColumn(column)) {
        return false;
    }
    GridValue copy = value;
    GridNotification writing;
    writing.code = GridNotificationCode::CellWriting;
    writing.column = column;
    writing.row = row;
    writing.data = &copy;
    if (!Notify(writing)) {
        return false;
    }
    if (!m_store.SetCell(row, column, copy)) {
        return false;  // out of storage: the cell keeps its value
    }
    m_model->CellChanged(row, column);
    GridNotification written;
    written.code = GridNotificationCode::CellWritten;
    written.column = column;
    written.row = row;
    written.data = &copy;
    Notify(written);
    return true;
}

std::int32_t MyRAGrid::ParseNumber(const QString& text) {
    return ParseGridNumber(text);
}

QRect MyRAGrid::CellRect(int row, int column) const {
    if (!m_store.IsRow(row) || !m_store.IsColumn(column)) {
        return {};
    }
    const_cast<MyRAGrid*>(this)->FlushRows();
    return m_view->visualRect(m_model->index(row, column));
}

void MyRAGrid::ScrollToCurrent() {
    FlushRows();
    const QModelIndex at = m_model->index(m_currentRow, m_currentColumn);
    if (at.isValid()) {
        m_view->scrollTo(at);
    }
}

void MyRAGrid::SetBackgroundColour(const QColor& colour) {
    m_background = colour;
    QPalette p = m_view->palette();
    p.setColor(QPalette::Base, colour);
    m_view->setPalette(p);
    m_view->viewport()->update();
}

void MyRAGrid::SetGridLineColour(const QColor& colour) {
    m_lineColour = colour;
    m_view->viewport()->update();
}

void MyRAGrid::SetTextColour(const QColor& colour) {
    m_textColour = colour;
    m_view->viewport()->update();
}

void MyRAGrid::SetRowColours(int row, RowColours colours) {
    if (m_store.SetColours(row, colours)) {
        m_view->viewport()->update();
    }
}

int MyRAGrid::ColumnWidth(int column) const {
    if (!m_store.IsColumn(column)) {
        return 0;
    }
    return m_columns[static_cast<std::size_t>(column)].column.width;
}

void MyRAGrid::SetColumnWidth(int column, int width) {
    if (!m_store.IsColumn(column)) {
        return;
    }
    width = std::max(0, width);
    m_columns[static_cast<std::size_t>(column)].column.width = width;
    // A zero-width column keeps its cells but is not shown.
    m_settingWidth = true;
    m_view->setColumnHidden(column, width == 0);
    if (width > 0) {
        m_view->setColumnWidth(column, width);
    }
    m_settingWidth = false;
    UpdateLefts();
}

void MyRAGrid::UpdateLefts() {
    int left = 0;
    for (ColumnState& state : m_columns) {
        state.column.left = left;
        left += state.column.width;
    }
}

void MyRAGrid::HeaderResized(int section, int newSize) {
    // Only the operator's drags count; hiding a column resizes it to 0.
    if (m_settingWidth || !m_store.IsColumn(section) || m_view->isColumnHidden(section) ||
        newSize <= 0) {
        return;
    }
    m_columns[static_cast<std::size_t>(section)].column.width = newSize;
    UpdateLefts();
}

void MyRAGrid::HeaderPressed(int section) {
    if (m_store.IsColumn(section)) {
        m_columns[static_cast<std::size_t>(section)].column.headerState |= 1;
    }
}

void MyRAGrid::HeaderClicked(int section) {
    if (!m_store.IsColumn(section)) {
        return;
    }
    m_columns[static_cast<std::size_t>(section)].column.headerState &= ~1;
    GridNotification n;
    n.code = GridNotificationCode::HeaderClicked;
    n.column = section;
    n.row = -1;
    n.editor = m_view->horizontalHeader();
    Notify(n);
}

void MyRAGrid::SetHeaderHeight(int height) {
    if (height <= 0) {
        return;
    }
    m_headerHeight = height;
    m_view->horizontalHeader()->setFixedHeight(height);
}

void MyRAGrid::SetRowHeight(int height) {
    if (height <= 0) {
        return;
    }
    m_rowHeight = height;
    m_view->verticalHeader()->setDefaultSectionSize(height);
}

QString MyRAGrid::HeaderText(int column) const {
    return m_store.IsColumn(column) ? m_columns[static_cast<std::size_t>(column)].column.headerText
                                    : QString();
}

void MyRAGrid::SetHeaderText(int column, const QString& text) {
    if (!m_store.IsColumn(column)) {
        return;
    }
    m_columns[static_cast<std::size_t>(column)].column.headerText = text;
    m_model->HeaderChanged(column);
}

QString MyRAGrid::Format(int column) const {
    return m_store.IsColumn(column) ? m_columns[static_cast<std::size_t>(column)].column.format
                                    : QString();
}

void MyRAGrid::SetFormat(int column, const QString& format) {
    if (!m_store.IsColumn(column)) {
        return;
    }
    ColumnState& state = m_columns[static_cast<std::size_t>(column)];
    state.column.format = format;
    if (auto* date = qobject_cast<QDateEdit*>(state.editor);
        date != nullptr && state.column.type == ColumnType::Date && !format.isEmpty()) {
        date->setDisplayFormat(format);
    } else if (auto* time = qobject_cast<QTimeEdit*>(state.editor);
               time != nullptr && !format.isEmpty()) {
        time->setDisplayFormat(format);
    }
    m_view->viewport()->update();
}

void MyRAGrid::ClearRows() {
    if (m_activeEditor != nullptr) {
        EndEdit(true);
    }
    m_flushTimer.stop();
    m_model->BeginReset();
    m_store.ClearRows();
    m_model->EndReset();
    m_currentRow = 0;
    m_currentColumn = 0;
}

void MyRAGrid::ClearAll() {
    ClearRows();
    m_model->BeginReset();
    for (ColumnState& state : m_columns) {
        if (state.editor == nullptr) {
            continue;
        }
        state.editor->removeEventFilter(this);
        if (state.ownsEditor) {
            delete state.editor;
        } else {
            state.editor->hide();
            state.editor->setParent(nullptr);
        }
    }
    m_columns.clear();
    m_store.ClearAll();
    m_model->EndReset();
}

void MyRAGrid::Sort(int column, int direction) {
    FlushRows();
    if (!m_store.IsColumn(column) || RowCount() < 2) {
        return;
    }
    if (m_activeEditor != nullptr) {
        EndEdit(false);
    }
    int& headerState = m_columns[static_cast<std::size_t>(column)].column.headerState;
    bool descending = direction == 1;
    if (direction != 0 && direction != 1) {
        descending = (headerState & 2) == 0;
    }
    m_model->BeginLayout();
    m_store.Sort(column, descending);
    m_model->EndLayout();
    headerState = descending ? (headerState | 2) : (headerState & ~2);
    m_view->viewport()->update();
}

}  // namespace volnar::grid
