// SPDX-License-Identifier: GPL-3.0-or-later
#include "lists/table_list_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <limits>

#include "core/message_service.h"
#include "link/board_link.h"

namespace volnar {

std::vector<TableListColumn> ListColumns(int details) {
    // In ListColumn order.
    using grid::ColumnType;
    using grid::GridAlign;
    // Every text column keeps its field whole (a type-9 column without a
    // fixed size holds text of any length): the grid shows what fits, and
    // execute, delete and edit get the field intact.
    std::vector<TableListColumn> columns = {
        {"ID", 35, GridAlign::Center, ColumnType::User},
        {"Type", 75, GridAlign::Center, ColumnType::User},
        {"Name", 150, GridAlign::Left, ColumnType::User},
        {"Description", 281, GridAlign::Left, ColumnType::User},
        {"Edit", 50, GridAlign::Center, ColumnType::Image},
        {"Delete", 50, GridAlign::Center, ColumnType::Image},
        {"Execute", 50, GridAlign::Center, ColumnType::Image},
    };
    columns.insert(columns.end(), static_cast<std::size_t>(details),
                   {"", 0, GridAlign::Left, ColumnType::User});
    return columns;
}

void ShowScreen(QDialog* dialog) {
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

std::optional<std::int32_t> RowNumber(const QString& id) {
    if (id.isEmpty() || id.size() > 10) {
        return std::nullopt;
    }
    qint64 value = 0;
    for (const QChar c : id) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return std::nullopt;
        }
        value = value * 10 + (c.unicode() - u'0');
    }
    if (value > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

TableListDialog::TableListDialog(TableListSettings settings, BoardLink& link,
                                 MessageService& messages, QWidget* parent)
    : QDialog(parent),
      m_settings(std::move(settings)),
      m_link(link),
      m_messages(messages),
      m_grid(new grid::MyRAGrid(this)),
      m_status(new QLabel(this)) {
    setWindowTitle(m_settings.title);
    setWindowIcon(m_settings.icon);
    resize(720, 420);
    m_status->setObjectName(QStringLiteral("walkStatusLabel"));
    // Repainting the count for every row would cost more than reading it:
    // while rows keep coming it is shown at the pace the grid shows them.
    m_statusTimer.setSingleShot(true);
    m_statusTimer.setInterval(grid::MyRAGrid::kPublishIntervalMs);
    connect(&m_statusTimer, &QTimer::timeout, this, &TableListDialog::ShowWalkStatus);
    SetUpGrid();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_grid, 1);
    layout->addWidget(m_status);
    layout->addLayout(MakeButtons());
    m_grid->setFocus();
}

void TableListDialog::SetUpGrid() {
    grid::MyRAGrid& g = *m_grid;
    g.setObjectName(QStringLiteral("listGrid"));
    g.setMinimumSize(600, 240);
    g.setFocusPolicy(Qt::StrongFocus);
    // Screen readers name the table by the list's title.
    if (auto* view = g.findChild<QTableView*>()) {
        view->setAccessibleName(m_settings.title);
    }
    g.SetGridStyle(grid::MyRAGrid::kListStyle);
    g.SetBackgroundColour(QColor(255, 255, 255));
    g.SetGridLineColour(QColor(128, 128, 128));
    g.SetTextColour(QColor(0, 0, 128));
    g.SetRowHeight(20);
    for (const TableListColumn& c : ListColumns(m_settings.details)) {
        grid::GridColumn column;
        column.width = c.width;
        column.headerText = QString::fromLatin1(c.header);
        column.headerAlign = grid::GridAlign::Center;
        column.cellAlign = c.cellAlign;
        column.type = c.type;
        column.textMax = 0;  // every field whole
        if (c.type == grid::ColumnType::Image) {
            column.images = m_settings.actionImages;
        }
        g.AddColumn(column);
    }
    connect(&g, &grid::MyRAGrid::Notified, this, [this](grid::GridNotification* notification) {
        if (notification->code == grid::GridNotificationCode::ImageActivated &&
            notification->data != nullptr) {
            ActivateImage(m_grid->CurrentRow(), notification->data->number);
        }
    });
}

QHBoxLayout* TableListDialog::MakeButtons() {
    auto* buttons = new QHBoxLayout;
    for (int i = 0; i < 2; ++i) {
        const TableListSettings::AddButton& add =
            m_settings.addButtons[static_cast<std::size_t>(i)];
        auto* column = new QVBoxLayout;
        auto* picture = new QLabel(this);
        picture->setPixmap(add.picture);
        picture->setAlignment(Qt::AlignCenter);
        auto* button = new QPushButton(add.text, this);
        button->setObjectName(add.objectName);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, i] {
            close();
            Q_EMIT AddRequested(i);
        });
        column->addWidget(picture);
        column->addWidget(button);
        buttons->addLayout(column);
    }
    buttons->addStretch(1);
    auto* refresh = new QPushButton(tr("&Refresh"), this);
    refresh->setObjectName(QStringLiteral("refreshButton"));
    refresh->setAutoDefault(false);
    auto* cancel = new QPushButton(tr("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setDefault(true);
    buttons->addWidget(refresh, 0, Qt::AlignBottom);
    buttons->addWidget(cancel, 0, Qt::AlignBottom);
    connect(refresh, &QPushButton::clicked, this, [this] {
        close();
        Q_EMIT RefreshRequested();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::close);
    return buttons;
}

TableListDialog::~TableListDialog() = default;

void TableListDialog::StartWalk() {
    if (BoardOperation* old = m_walk) {
        // Given up: no further row of it reaches this list.
        disconnect(old, nullptr, this, nullptr);
        old->Cancel();
        old->deleteLater();
    }
    m_walking = true;
    m_walkComplete = false;
    m_walkText.clear();
    ShowWalkStatus();
    m_walk = commands::WalkTable(m_link, this, m_settings.table);
    connect(m_walk, &BoardOperation::RowReceived, this, &TableListDialog::AddRow);
    connect(m_walk, &BoardOperation::Ended, this, &TableListDialog::WalkEnded);
}

void TableListDialog::AddRow(const QStringList& fields) {
    if (!m_walking ||
        m_grid->AddRowTexts(ListCells(ListRowOfFields(fields, m_settings.details))) < 0) {
        return;  // the grid is full
    }
    ++m_rowsRead;
    if (!m_statusTimer.isActive()) {
        m_statusTimer.start();
    }
}

void TableListDialog::WalkEnded(OperationEnding ending) {
    if (sender() != m_walk.data()) {
        return;  // an earlier walk, given up
    }
    m_walking = false;
    m_walkComplete = ending == OperationEnding::Done;
    m_walkText = m_walkComplete ? QString() : m_walk->Text();
    ShowWalkStatus();
}

QString TableListDialog::WalkStatusText() const {
    if (m_walking) {
        return tr("Reading %1 from the station... %2 read").arg(m_settings.plural).arg(m_rowsRead);
    }
    if (!m_walkComplete) {
        const QString stopped =
            tr("Reading stopped after %1 %2: press Refresh to read the list again")
                .arg(m_rowsRead)
                .arg(m_settings.plural);
        return m_walkText.isEmpty()
                   ? stopped
                   : stopped + QStringLiteral(" (") + m_walkText + QLatin1Char(')');
    }
    if (m_rowsRead == 0) {
        return tr("No %1 on the station").arg(m_settings.plural);
    }
    return tr("%1 %2")
        .arg(m_rowsRead)
        .arg(m_rowsRead == 1 ? m_settings.noun.toLower() : m_settings.plural);
}

void TableListDialog::ShowWalkStatus() {
    m_statusTimer.stop();
    m_status->setText(WalkStatusText());
}

QStringList TableListDialog::RowCells(int row) const {
    QStringList cells;
    const int columns = static_cast<int>(ListColumn::Details) + m_settings.details;
    for (int column = 0; column < columns; ++column) {
        cells << m_grid->CellText(row, column);
    }
    return cells;
}

void TableListDialog::ActivateImage(int row, int image) {
    if (row < 0 || row >= m_grid->RowCount()) {
        return;
    }
    const QString id = m_grid->CellText(row, static_cast<int>(ListColumn::Id));
    switch (image) {
        case kExecuteImage:
            ExecuteOrDelete(true, id);
            return;
        case kDeleteImage:
            ExecuteOrDelete(false, id);
            return;
        case kEditImage: {
            const ListRow listed = Row(row);
            if (m_settings.canEdit && m_settings.canEdit(listed)) {
                close();
                Q_EMIT EditRequested(listed);
            }
            return;
        }
        default:
            return;
    }
}

void TableListDialog::ExecuteOrDelete(bool execute, const QString& id) {
    // A number the station could not get back unchanged is never sent.
    const std::optional<std::int32_t> number = RowNumber(id);
    if (!number) {
        m_messages.ShowError(m_settings.noun + QStringLiteral(" Number ") + id +
                             QStringLiteral(" is not a number the station can take !"));
        return;
    }
    const QString question = (execute ? QStringLiteral("Execute ") : QStringLiteral("Delete ")) +
                             m_settings.noun + QStringLiteral(" Number ") + id +
                             QStringLiteral(" ?");
    if (m_action || !m_messages.Show(MessageIcon::None, question, MessageButtons::YesNo)) {
        return;  // one at a time
    }
    m_action = execute ? commands::ExecuteRow(m_link, this, m_settings.table, *number)
                       : commands::DeleteRow(m_link, this, m_settings.table, *number);
    m_status->setText(
        (execute ? tr("Executing %1 %2...") : tr("Deleting %1 %2...")).arg(m_settings.noun, id));
    connect(m_action, &BoardOperation::Ended, this, [this](OperationEnding ending) {
        BoardOperation* action = m_action;
        m_action = nullptr;
        action->deleteLater();
        if (ending == OperationEnding::Done) {
            close();  // the notice follows, then a fresh list where there is one
            return;
        }
        ShowWalkStatus();
        if (const QString text = UnreportedText(*action); !text.isEmpty()) {
            m_messages.ShowError(text);
        }
        if (ending == OperationEnding::Unknown) {
            // Done or not, the station's own list says which: read afresh.
            close();
            Q_EMIT RefreshRequested();
        }
    });
}

}  // namespace volnar
