// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QDate>
#include <QDateEdit>
#include <QKeyEvent>
#include <QKeySequence>
#include <QKeySequenceEdit>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QTime>
#include <QTimeEdit>
#include <QTimer>

#include "grid/grid_view.h"
#include "grid/my_ra_grid.h"

// What each column type means to the operator: the text a cell shows, the
// editor the grid makes for its column, loading that editor and reading it
// back; and the editing steps from activating a cell to committing its value.
namespace volnar::grid {

namespace {

const QDate kDayZero(1601, 1, 1);
constexpr int kTextEditorLimit = 511;
constexpr int kNumberEditorLimit = 11;

}  // namespace

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

}  // namespace volnar::grid
