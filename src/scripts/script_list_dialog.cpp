#include "scripts/script_list_dialog.h"

#include <QTimer>
#include <limits>

#include "grid/my_ra_grid.h"
#include "link/board_link.h"
#include "link/board_objects.h"
#include "scripts/script_pictures.h"
#include "ui_script_list_dialog.h"

namespace volnar::scripts {

namespace {

using grid::ColumnType;
using grid::GridAlign;
using grid::GridColumn;

struct ListColumn {
    const char* header;
    int width;
    GridAlign cellAlign;
    ColumnType type;
};

// Every text column keeps its field whole (a type-9 column without a fixed
// size holds text of any length): the grid shows what fits and hands the
// rest on intact to execute, delete and edit.
constexpr ListColumn kColumns[kListColumnCount] = {
    {"ID", 35, GridAlign::Center, ColumnType::User},
    {"Type", 75, GridAlign::Center, ColumnType::User},
    {"Name", 150, GridAlign::Left, ColumnType::User},
    {"Description", 281, GridAlign::Left, ColumnType::User},
    {"Edit", 50, GridAlign::Center, ColumnType::Image},
    {"Delete", 50, GridAlign::Center, ColumnType::Image},
    {"Execute", 50, GridAlign::Center, ColumnType::Image},
    {"", 0, GridAlign::Left, ColumnType::User},  // the commands, hidden
};

// The station's script number as an INTEGER value: decimal digits only, and
// small enough to travel unchanged.
std::optional<std::int32_t> ScriptNumber(const QString& id) {
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

}  // namespace

ScriptListDialog::ScriptListDialog(BoardLink& link, MessageService& messages, QWidget* parent)
    : QDialog(parent),
      m_ui(std::make_unique<Ui::ScriptListDialog>()),
      m_link(link),
      m_messages(messages) {
    m_ui->setupUi(this);
    setWindowIcon(QIcon(RelayScriptPicture()));
    m_ui->relayPicture->setPixmap(RelayScriptPicture());
    m_ui->ioPicture->setPixmap(IoScriptPicture());
    SetUpGrid();
    m_statusTimer.setSingleShot(true);
    m_statusTimer.setInterval(grid::MyRAGrid::kPublishIntervalMs);
    connect(&m_statusTimer, &QTimer::timeout, this, &ScriptListDialog::ShowWalkStatus);

    connect(m_ui->addRelayScriptButton, &QPushButton::clicked, this,
            [this] { RequestEditor(EditorMode::NewRelay, {}); });
    connect(m_ui->addIoScriptButton, &QPushButton::clicked, this,
            [this] { RequestEditor(EditorMode::NewIo, {}); });
    connect(m_ui->refreshButton, &QPushButton::clicked, this, [this] {
        close();
        Q_EMIT RefreshRequested();
    });
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::close);

    // The link's signals reach this list only while it exists.
    connect(&m_link, &BoardLink::ScriptRowReceived, this, &ScriptListDialog::AddScriptRow);
    connect(&m_link, &BoardLink::StatusRecordReceived, this, [this] { m_unclaimedAnswer = 0; });
    connect(&m_link, &BoardLink::ReceivedCountChanged, this, &ScriptListDialog::AnswerCounted);
    connect(&m_link, &BoardLink::LostCountChanged, this, [this](int lost) {
        if (m_walking && lost > 0) {
            m_answerLost = true;
            ShowWalkStatus();
        }
    });
    m_ui->scriptGrid->setFocus();
}

ScriptListDialog::~ScriptListDialog() = default;

grid::MyRAGrid& ScriptListDialog::Grid() const {
    return *m_ui->scriptGrid;
}

void ScriptListDialog::SetUpGrid() {
    grid::MyRAGrid& g = *m_ui->scriptGrid;
    g.SetGridStyle(grid::MyRAGrid::kListStyle);
    g.SetBackgroundColour(QColor(255, 255, 255));
    g.SetGridLineColour(QColor(128, 128, 128));
    g.SetTextColour(QColor(0, 0, 128));
    g.SetRowHeight(20);
    const QList<QPixmap> images = ActionImages();
    for (const ListColumn& c : kColumns) {
        GridColumn column;
        column.width = c.width;
        column.headerText = QString::fromLatin1(c.header);
        column.headerAlign = GridAlign::Center;
        column.cellAlign = c.cellAlign;
        column.type = c.type;
        column.textMax = 0;
        if (c.type == ColumnType::Image) {
            column.images = images;
        }
        g.AddColumn(column);
    }
    connect(&g, &grid::MyRAGrid::Notified, this, &ScriptListDialog::HandleGridNotification);
}

void ScriptListDialog::StartWalk() {
    m_walking = true;
    m_walkComplete = false;
    m_answerLost = false;
    m_unclaimedAnswer = 0;
    ShowWalkStatus();
    if (!m_link.SendBoardRequest(board::kScriptTable, PduType::GetNext)) {
        EndWalk(false);
    }
}

void ScriptListDialog::AddScriptRow(const QStringList& cells) {
    m_unclaimedAnswer = 0;
    if (m_ui->scriptGrid->AddRowTexts(cells) < 0) {
        return;  // the grid is full
    }
    ++m_rowsRead;
    if (!m_walking && m_walkComplete) {
        // An answer that was not ours looked like the end; the walk goes on.
        m_walking = true;
        m_walkComplete = false;
    }
    // The count is shown a few times a second, not once per row.
    if (!m_statusTimer.isActive()) {
        m_statusTimer.start();
    }
}

// The link counts every answer before routing it; an answer that neither
// brings a row nor a status record is the one past the table, which ends the
// walk. It is judged once its routing is over (the next turn of the event
// loop) or when the next answer is counted, whichever comes first.
void ScriptListDialog::AnswerCounted(int received) {
    if (!m_walking) {
        return;
    }
    if (received == 0) {
        EndWalk(false);  // the connection ended
        return;
    }
    if (m_unclaimedAnswer != 0) {
        EndWalk(true);
        return;
    }
    m_unclaimedAnswer = received;
    QTimer::singleShot(0, this, [this, received] { CheckWalkEnd(received); });
}

void ScriptListDialog::CheckWalkEnd(int received) {
    if (m_walking && m_unclaimedAnswer == received) {
        EndWalk(true);
    }
}

void ScriptListDialog::EndWalk(bool complete) {
    m_walking = false;
    m_walkComplete = complete;
    m_unclaimedAnswer = 0;
    ShowWalkStatus();
}

QString ScriptListDialog::WalkStatusText() const {
    if (m_walking) {
        QString text =
            QStringLiteral("Reading scripts from the station... %1 read").arg(m_rowsRead);
        if (m_answerLost) {
            text += QStringLiteral(
                " (an answer was lost: press Refresh if the list stays "
                "incomplete)");
        }
        return text;
    }
    if (!m_walkComplete) {
        return m_rowsRead == 1 ? QStringLiteral("Reading stopped after 1 script")
                               : QStringLiteral("Reading stopped after %1 scripts").arg(m_rowsRead);
    }
    if (m_rowsRead == 0) {
        return QStringLiteral("No scripts on the station");
    }
    return m_rowsRead == 1 ? QStringLiteral("1 script")
                           : QStringLiteral("%1 scripts").arg(m_rowsRead);
}

void ScriptListDialog::ShowWalkStatus() {
    m_statusTimer.stop();
    m_ui->walkStatusLabel->setText(WalkStatusText());
}

QStringList ScriptListDialog::RowCells(int row) const {
    QStringList cells;
    for (int column = 0; column < kListColumnCount; ++column) {
        cells << m_ui->scriptGrid->CellText(row, column);
    }
    return cells;
}

void ScriptListDialog::HandleGridNotification(grid::GridNotification* notification) {
    if (notification->code != grid::GridNotificationCode::ImageActivated ||
        notification->data == nullptr) {
        return;
    }
    const int row = m_ui->scriptGrid->CurrentRow();
    if (row < 0 || row >= m_ui->scriptGrid->RowCount()) {
        return;
    }
    const QString id = m_ui->scriptGrid->CellText(row, kIdColumn);
    switch (notification->data->number) {
        case kExecuteImage:
            ExecuteOrDelete(true, id);
            return;
        case kDeleteImage:
            ExecuteOrDelete(false, id);
            return;
        case kEditImage: {
            const WorkingRecord record = WorkingRecordOfRow(RowCells(row));
            if (const auto mode = EditModeOfType(record.type)) {
                RequestEditor(*mode, record);
            }
            return;
        }
        default:
            return;
    }
}

void ScriptListDialog::ExecuteOrDelete(bool execute, const QString& id) {
    // A number the station could not get back unchanged is never sent.
    const std::optional<std::int32_t> number = ScriptNumber(id);
    if (!number) {
        m_messages.ShowError(QStringLiteral("Script Number ") + id +
                             QStringLiteral(" is not a number the station can take !"));
        return;
    }
    if (!m_messages.Show(MessageIcon::None, execute ? ExecuteQuestion(id) : DeleteQuestion(id),
                         MessageButtons::YesNo)) {
        return;
    }
    m_link.SendBoardRequest(execute ? board::kScriptExecute : board::kScriptDelete, PduType::Set,
                            RequestValue::Integer(*number),
                            execute ? routing::kScriptExecute : routing::kScriptDelete);
    close();
}

void ScriptListDialog::RequestEditor(EditorMode mode, const WorkingRecord& record) {
    close();
    Q_EMIT EditorRequested(mode, record);
}

}  // namespace volnar::scripts
