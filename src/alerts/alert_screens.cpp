// SPDX-License-Identifier: GPL-3.0-or-later
#include "alerts/alert_screens.h"

#include "alerts/alert_editors.h"
#include "core/text_rules.h"
#include "lists/list_pictures.h"
#include "resources/icon_files.h"

namespace volnar {

TableListSettings AlertListSettings() {
    TableListSettings settings;
    settings.title = QStringLiteral("Create Alerts");
    settings.icon = IconFile(u"alert-email");
    settings.table = BoardTable::Alerts;
    settings.noun = QStringLiteral("Alert");
    settings.plural = QStringLiteral("alerts");
    settings.details = 5;  // the fifth to ninth fields, hidden
    settings.actionImages = ListActionImages();
    settings.addButtons = {{{QStringLiteral("Add Email Alert"), PixmapFile(u"alert-email"),
                             QStringLiteral("addEmailAlertButton")},
                            {QStringLiteral("Add SMS Alert"), PixmapFile(u"alert-sms"),
                             QStringLiteral("addSmsAlertButton")}}};
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
    settings.list = AlertListSettings;
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
