#include "alerts/alert_screens.h"

#include <QPainter>

#include "alerts/alert_editors.h"
#include "core/text_rules.h"
#include "lists/list_pictures.h"

namespace volnar {
namespace {

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
    settings.details = 5;  // the fifth to ninth fields, hidden
    settings.actionImages = ListActionImages();
    settings.addButtons = {
        {{QStringLiteral("Add Email Alert"), AddPicture(false),
          QStringLiteral("addEmailAlertButton")},
         {QStringLiteral("Add SMS Alert"), AddPicture(true), QStringLiteral("addSmsAlertButton")}}};
    settings.canEdit = [](const ListRow& row) {
        const QString type = text::ToLowerAscii(row.type);
        return type == QLatin1String("email") || type == QLatin1String("sms");
    };
    return settings;
}

AlertWorkingRecord WorkingRecordOfAlertRow(const ListRow& row) {
    return {row.id, text::ToLowerAscii(row.type), row.name, row.description, row.details};
}

NavigatorSettings AlertNavigation() {
    NavigatorSettings settings;
    settings.list = AlertListSettings();
    settings.newEditor = [](const EditorContext& context, int button) -> QDialog* {
        if (button == 0) {
            return new EmailAlertDialog(AlertEditorMode::New, {}, context.link, context.messages,
                                        context.owner);
        }
        return new SmsAlertDialog(AlertEditorMode::New, {}, context.link, context.messages,
                                  context.owner);
    };
    settings.editEditor = [](const EditorContext& context, const ListRow& row) -> QDialog* {
        const AlertWorkingRecord alert = WorkingRecordOfAlertRow(row);
        if (alert.type == QLatin1String("email")) {
            return new EmailAlertDialog(AlertEditorMode::Edit, alert, context.link,
                                        context.messages, context.owner);
        }
        if (alert.type == QLatin1String("sms")) {
            return new SmsAlertDialog(AlertEditorMode::Edit, alert, context.link, context.messages,
                                      context.owner);
        }
        return nullptr;
    };
    return settings;
}

}  // namespace volnar
