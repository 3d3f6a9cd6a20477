#include "alerts/alert_screens.h"

#include <QPainter>
#include <QTimer>

#include "alerts/alert_editors.h"
#include "link/board_link.h"
#include "lists/list_pictures.h"
#include "lists/table_list_dialog.h"

namespace volnar {
namespace {

constexpr int kTypeColumn = 1;
constexpr int kFirstHiddenColumn = 7;

QString LowerAscii(QString text) {
    for (QChar& c : text) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) {
            c = QChar(c.unicode() + ('a' - 'A'));
        }
    }
    return text;
}

// An envelope or a telephone with a green plus, beside the two Add buttons.
QPixmap AddPicture(bool telephone) {
    QPixmap pixmap(40, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(70, 70, 70), 1.5));
    if (telephone) {
        p.setBrush(QColor(60, 60, 70));
        p.drawRoundedRect(QRectF(6, 2, 14, 28), 3, 3);
        p.setBrush(QColor(170, 210, 240));
        p.drawRect(QRectF(8.5, 6, 9, 10));
    } else {
        p.setBrush(Qt::white);
        p.drawRect(QRectF(2, 8, 24, 17));
        p.drawLine(QPointF(2, 8), QPointF(14, 18));
        p.drawLine(QPointF(26, 8), QPointF(14, 18));
    }
    p.setPen(QPen(QColor(0, 160, 0), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(32, 14), QPointF(32, 26));
    p.drawLine(QPointF(26, 20), QPointF(38, 20));
    return pixmap;
}

}  // namespace

TableListSettings AlertListSettings() {
    TableListSettings settings;
    settings.title = QStringLiteral("Create Alerts");
    settings.icon = QIcon(AddPicture(false));
    settings.table = BoardTable::Alerts;
    settings.noun = QStringLiteral("Alert");
    settings.plural = QStringLiteral("alerts");
    settings.columns = ListColumns(5);  // the fifth to ninth fields, hidden
    settings.actionImages = ListActionImages();
    settings.addButtons = {
        {{QStringLiteral("Add Email Alert"), AddPicture(false),
          QStringLiteral("addEmailAlertButton")},
         {QStringLiteral("Add SMS Alert"), AddPicture(true), QStringLiteral("addSmsAlertButton")}}};
    settings.canEdit = [](const QStringList& cells) {
        const QString type = LowerAscii(cells.value(kTypeColumn));
        return type == QLatin1String("email") || type == QLatin1String("sms");
    };
    return settings;
}

AlertWorkingRecord WorkingRecordOfAlertRow(const QStringList& cells) {
    return {cells.value(0), LowerAscii(cells.value(kTypeColumn)), cells.value(2), cells.value(3),
            cells.mid(kFirstHiddenColumn, 5)};
}

AlertScreens::AlertScreens(BoardLink& link, MessageService& messages, QWidget* owner)
    : m_link(link), m_messages(messages), m_owner(owner) {}

AlertScreens::~AlertScreens() {
    // Dialogs still open belong to their owner window; close them so none
    // outlives the link it talks to, without a closing editor asking for a
    // new list now.
    for (QDialog* dialog : {static_cast<QDialog*>(m_list.data()), m_editor.data()}) {
        if (dialog) {
            disconnect(dialog, nullptr, this, nullptr);
            dialog->close();
        }
    }
}

TableListDialog* AlertScreens::List() const {
    return m_list;
}

void AlertScreens::OpenList() {
    if (m_editor) {
        return;
    }
    if (m_list) {
        m_list->close();
    }
    auto* list = new TableListDialog(AlertListSettings(), m_link, m_messages, m_owner);
    m_list = list;
    connect(list, &TableListDialog::RefreshRequested, this, &AlertScreens::OpenList,
            Qt::QueuedConnection);
    connect(list, &TableListDialog::AddRequested, this, [this](int button) {
        if (button == 0) {
            OpenEmailEditor(AlertEditorMode::New, {});
        } else {
            OpenSmsEditor(AlertEditorMode::New, {});
        }
    });
    connect(list, &TableListDialog::EditRequested, this, [this](const QStringList& cells) {
        const AlertWorkingRecord alert = WorkingRecordOfAlertRow(cells);
        if (alert.type == QLatin1String("email")) {
            OpenEmailEditor(AlertEditorMode::Edit, alert);
        } else {
            OpenSmsEditor(AlertEditorMode::Edit, alert);
        }
    });
    ShowScreen(list);
    list->StartWalk();
    Q_EMIT ListOpened(list);
}

void AlertScreens::BackToList() {
    // The editor is closing; the list opens once it has gone.
    m_editor = nullptr;
    QTimer::singleShot(0, this, &AlertScreens::OpenList);
}

void AlertScreens::OpenEmailEditor(AlertEditorMode mode, const AlertWorkingRecord& alert) {
    auto* editor = new EmailAlertDialog(mode, alert, m_link, m_messages, m_owner);
    connect(editor, &EmailAlertDialog::Cancelled, this, &AlertScreens::BackToList);
    m_editor = editor;
    ShowScreen(editor);
    Q_EMIT EditorOpened(editor);
}

void AlertScreens::OpenSmsEditor(AlertEditorMode mode, const AlertWorkingRecord& alert) {
    auto* editor = new SmsAlertDialog(mode, alert, m_link, m_messages, m_owner);
    connect(editor, &SmsAlertDialog::Cancelled, this, &AlertScreens::BackToList);
    m_editor = editor;
    ShowScreen(editor);
    Q_EMIT EditorOpened(editor);
}

}  // namespace volnar
