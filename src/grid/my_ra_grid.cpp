#include "grid/my_ra_grid.h"

#include <QApplication>
#include <QDate>
#include <QDateEdit>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QKeySequenceEdit>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QTime>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "grid/grid_view.h"

namespace volnar::grid {

namespace {

const QDate kDayZero(1601, 1, 1);
constexpr int kTextEditorLimit = 511;
constexpr int kNumberEditorLimit = 11;

}  // namespace

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

void MyRAGrid::CreateEditor(ColumnState& state) {
    QWidget* viewport = m_view->viewport();
    const GridColumn& column = state.column;
    QWidget* editor = nullptr;
    switch (column.type) {
        case ColumnType::Text:
        case ColumnType::TextWithButton:
        case ColumnType::Number: {
            auto* line = new QLineEdit(viewport);
            const bool number = column.type == ColumnType::Number;
            const int cap = number ? kNumberEditorLimit : kTextEditorLimit;
            line->setMaxLength(column.textMax <= 0 || column.textMax > cap ? cap : column.textMax);
            if (number) {
                line->setAlignment(Qt::AlignRight);
            }
            line->setFrame(false);
            editor = line;
            break;
        }
        case ColumnType::ChoiceList: {
            auto* list = new QListWidget(viewport);
            list->setWindowFlag(Qt::Popup);
            list->setSortingEnabled(true);
            editor = list;
            break;
        }
        case ColumnType::HotKey:
            editor = new QKeySequenceEdit(viewport);
            break;
        case ColumnType::Date: {
            auto* date = new QDateEdit(viewport);
            date->setMinimumDate(kDayZero);
            if (!column.format.isEmpty()) {
                date->setDisplayFormat(column.format);
            }
            editor = date;
            break;
        }
        case ColumnType::Time: {
            auto* time = new QTimeEdit(viewport);
            time->setDisplayFormat(column.format.isEmpty() ? QStringLiteral("HH:mm:ss")
                                                           : column.format);
            editor = time;
            break;
        }
        case ColumnType::User:
            if (column.editor != nullptr) {
                editor = column.editor.data();
                editor->setParent(viewport);
                state.editor = editor;
                state.ownsEditor = false;
                editor->hide();
                editor->installEventFilter(this);
            }
            return;
        case ColumnType::CheckBox:
        case ColumnType::Button:
        case ColumnType::Image:
            return;
    }
    editor->hide();
    editor->installEventFilter(this);
    state.editor = editor;
    state.ownsEditor = true;
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

QString MyRAGrid::CellText(int row, int column) const {
    if (!m_store.IsRow(row) || !m_store.IsColumn(column)) {
        return {};
    }
    const ColumnState& state = m_columns[static_cast<std::size_t>(column)];
    const std::int32_t number = m_store.CellNumber(row, column);
    switch (state.column.type) {
        case ColumnType::Text:
        case ColumnType::Button:
        case ColumnType::TextWithButton: {
            const std::string_view bytes = m_store.CellBytes(row, column);
            return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
        }
        case ColumnType::User: {
            if (state.column.textMax <= 0) {
                const std::string_view bytes = m_store.CellBytes(row, column);
                return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
            }
            const QByteArray block = m_store.Cell(row, column).bytes;
            const qsizetype end = block.indexOf('\0');
            return QString::fromLatin1(block.left(end < 0 ? block.size() : end));
        }
        case ColumnType::Number:
            return QString::number(number);
        case ColumnType::CheckBox:
            return (number & 1) != 0 ? QStringLiteral("1") : QStringLiteral("0");
        case ColumnType::ChoiceList:
            return number >= 0 && number < state.choices.size() ? state.choices[number] : QString();
        case ColumnType::HotKey:
            return number == 0 ? QString()
                               : QKeySequence(QKeyCombination::fromCombined(number))
                                     .toString(QKeySequence::NativeText);
        case ColumnType::Image:
            return {};
        case ColumnType::Date: {
            const QDate date = kDayZero.addDays(number);
            return state.column.format.isEmpty() ? date.toString(Qt::ISODate)
                                                 : date.toString(state.column.format);
        }
        case ColumnType::Time: {
            const QTime time = QTime(0, 0).addSecs(number);
            return time.toString(state.column.format.isEmpty() ? QStringLiteral("HH:mm:ss")
                                                               : state.column.format);
        }
    }
    return {};
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

bool MyRAGrid::IsButtonPart(int row, int column, const QPoint& viewportPos) const {
    const ColumnType type = m_store.TypeOf(column);
    if (type != ColumnType::ChoiceList && type != ColumnType::Button &&
        type != ColumnType::TextWithButton) {
        return false;
    }
    const QRect rect = m_view->visualRect(m_model->index(row, column));
    return viewportPos.x() > rect.right() - rect.height() && rect.contains(viewportPos);
}

void MyRAGrid::BeginEdit(int column, int row) {
    BeginEditAt(column, row, false);
}

void MyRAGrid::BeginEditAt(int column, int row, bool buttonPart) {
    if (m_activeEditor != nullptr) {
        EndEdit(false);
    }
    if (!m_store.IsColumn(column) || !m_store.IsRow(row)) {
        return;
    }
    if ((column != m_currentColumn || row != m_currentRow) && !SetCurrentCell(column, row)) {
        return;
    }
    Activate(m_currentRow, m_currentColumn, buttonPart);
}

void MyRAGrid::Activate(int row, int column, bool buttonPart) {
    ColumnState& state = m_columns[static_cast<std::size_t>(column)];
    GridValue value = m_store.Cell(row, column);
    GridNotification opening;
    opening.code = GridNotificationCode::EditorOpening;
    opening.column = column;
    opening.row = row;
    opening.editor = state.editor;
    opening.data = &value;
    if (!Notify(opening)) {
        return;
    }
    // A text-with-button cell edits its text, and its button part notifies.
    if (state.editor == nullptr ||
        (buttonPart && state.column.type == ColumnType::TextWithButton)) {
        ActivateWithoutEditor(row, column);
        return;
    }
    FlushRows();
    QRect rect = m_view->visualRect(m_model->index(row, column));
    m_activeEditor = state.editor;
    m_editRow = row;
    m_editColumn = column;
    LoadEditor(row, column);
    if (state.column.type == ColumnType::ChoiceList) {
        // The list drops down under the cell as a pop-up of its own.
        const QPoint below = m_view->viewport()->mapToGlobal(rect.bottomLeft());
        state.editor->setGeometry(below.x(), below.y(), std::max(rect.width(), 120),
                                  std::min(200, 20 + 18 * static_cast<int>(state.choices.size())));
    } else {
        state.editor->setGeometry(rect);
    }
    state.editor->show();
    state.editor->raise();
    state.editor->setFocus(Qt::OtherFocusReason);
}

void MyRAGrid::CommitActivated(int row, int column, GridValue& value) {
    GridNotification committing;
    committing.code = GridNotificationCode::EditCommitting;
    committing.column = column;
    committing.row = row;
    committing.data = &value;
    if (Notify(committing)) {
        SetCell(row, column, value);
    }
}

void MyRAGrid::ActivateWithoutEditor(int row, int column) {
    ColumnState& state = m_columns[static_cast<std::size_t>(column)];
    GridValue value = m_store.Cell(row, column);
    GridNotification n;
    n.column = column;
    n.row = row;
    n.data = &value;
    switch (state.column.type) {
        case ColumnType::CheckBox:
            n.code = GridNotificationCode::CheckActivated;
            if (Notify(n)) {
                value.number ^= 1;
                m_editRow = row;
                m_editColumn = column;
                CommitActivated(row, column, value);
            }
            return;
        case ColumnType::Image:
            n.code = GridNotificationCode::ImageActivated;
            n.scrollOffset = m_view->horizontalScrollBar()->value();
            Notify(n);  // the cancel flag means nothing here
            return;
        case ColumnType::Button:
        case ColumnType::TextWithButton: {
            n.code = GridNotificationCode::ButtonActivated;
            if (Notify(n)) {
                CommitActivated(row, column, value);
            }
            return;
        }
        default:
            return;
    }
}

void MyRAGrid::LoadEditor(int row, int column) {
    ColumnState& state = m_columns[static_cast<std::size_t>(column)];
    const std::int32_t number = m_store.CellNumber(row, column);
    switch (state.column.type) {
        case ColumnType::Text:
        case ColumnType::TextWithButton:
        case ColumnType::Number:
            static_cast<QLineEdit*>(state.editor)->setText(CellText(row, column));
            static_cast<QLineEdit*>(state.editor)->selectAll();
            break;
        case ColumnType::ChoiceList: {
            auto* list = static_cast<QListWidget*>(state.editor);
            for (int i = 0; i < list->count(); ++i) {
                if (list->item(i)->data(Qt::UserRole).toInt() == number) {
                    list->setCurrentRow(i);
                }
            }
            break;
        }
        case ColumnType::HotKey:
            static_cast<QKeySequenceEdit*>(state.editor)
                ->setKeySequence(number == 0 ? QKeySequence()
                                             : QKeySequence(QKeyCombination::fromCombined(number)));
            break;
        case ColumnType::Date:
            static_cast<QDateEdit*>(state.editor)->setDate(kDayZero.addDays(number));
            break;
        case ColumnType::Time:
            static_cast<QTimeEdit*>(state.editor)->setTime(QTime(0, 0).addSecs(number));
            break;
        default:
            break;  // a caller's editor loads itself on notification 7
    }
}

GridValue MyRAGrid::EditorValue(int column) const {
    const ColumnState& state = m_columns[static_cast<std::size_t>(column)];
    switch (state.column.type) {
        case ColumnType::Text:
        case ColumnType::TextWithButton:
            return GridValue::Text(
                static_cast<QLineEdit*>(state.editor)->text().left(kTextEditorLimit));
        case ColumnType::Number:
            return GridValue::Number(ParseNumber(static_cast<QLineEdit*>(state.editor)->text()));
        case ColumnType::ChoiceList: {
            const QListWidgetItem* item = static_cast<QListWidget*>(state.editor)->currentItem();
            return GridValue::Number(item == nullptr ? 0 : item->data(Qt::UserRole).toInt());
        }
        case ColumnType::HotKey: {
            const QKeySequence keys = static_cast<QKeySequenceEdit*>(state.editor)->keySequence();
            return GridValue::Number(keys.isEmpty() ? 0 : keys[0].toCombined());
        }
        case ColumnType::Date:
            return GridValue::Number(static_cast<std::int32_t>(
                kDayZero.daysTo(static_cast<QDateEdit*>(state.editor)->date())));
        case ColumnType::Time:
            return GridValue::Number(
                QTime(0, 0).secsTo(static_cast<QTimeEdit*>(state.editor)->time()));
        default:
            return m_store.Cell(m_editRow, column);  // a caller's editor writes the cell itself
    }
}

void MyRAGrid::EndEdit(bool cancel) {
    if (m_activeEditor == nullptr || m_ending) {
        return;
    }
    m_ending = true;
    QWidget* editor = m_activeEditor;
    const int row = m_editRow;
    const int column = m_editColumn;
    if (!cancel && m_store.IsRow(row) && m_store.IsColumn(column)) {
        GridValue value = EditorValue(column);
        GridNotification committing;
        committing.code = GridNotificationCode::EditCommitting;
        committing.column = column;
        committing.row = row;
        committing.editor = editor;
        committing.data = &value;
        if (Notify(committing)) {
            SetCell(row, column, value);
        }
    }
    m_activeEditor = nullptr;
    m_editRow = -1;
    m_editColumn = -1;
    const bool hadFocus = editor->hasFocus();
    editor->hide();
    if (hadFocus) {
        m_view->setFocus(Qt::OtherFocusReason);
    }
    m_ending = false;
}

bool MyRAGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_activeEditor) {
        return QWidget::eventFilter(watched, event);
    }
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) {
            EndEdit(true);
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            EndEdit(false);
            return true;
        }
    } else if (event->type() == QEvent::FocusOut) {
        // Leaving the editor commits, except into its own children (the
        // date editor's spin box, say).
        QWidget* focus = QApplication::focusWidget();
        if (focus == nullptr || !m_activeEditor->isAncestorOf(focus)) {
            QTimer::singleShot(0, this, [this, editor = QPointer<QWidget>(m_activeEditor)] {
                if (editor != nullptr && editor == m_activeEditor && !editor->hasFocus() &&
                    !editor->isAncestorOf(QApplication::focusWidget())) {
                    EndEdit(false);
                }
            });
        }
    } else if (event->type() == QEvent::Hide && m_columns.size() > 0) {
        // A pop-up list closed by a click elsewhere.
        if (watched->isWindowType() || qobject_cast<QListWidget*>(watched) != nullptr) {
            QTimer::singleShot(0, this, [this, editor = QPointer<QWidget>(m_activeEditor)] {
                if (editor != nullptr && editor == m_activeEditor) {
                    EndEdit(false);
                }
            });
        }
    }
    return QWidget::eventFilter(watched, event);
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
