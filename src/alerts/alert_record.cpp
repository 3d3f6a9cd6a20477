#include "alerts/alert_record.h"

#include <vector>

#include "link/board_request.h"

namespace volnar {
namespace {

AlertUpload Build(AlertEditorMode mode, const QString& id, const char* type,
                  const std::vector<AlertBox>& boxes, int fillers) {
    AlertUpload upload;
    QStringList fields{mode == AlertEditorMode::New ? QStringLiteral("0") : id,
                       QString::fromLatin1(type)};
    for (const AlertBox& box : boxes) {
        const QString taken = box.text.left(box.limit);
        if (taken.isEmpty()) {
            upload.refusal = QString::fromLatin1(box.emptyMessage);
            return upload;
        }
        if (taken.contains(QLatin1Char('|'))) {
            upload.refusal = QStringLiteral("The box \"%1\" must not contain \"|\"!")
                                 .arg(QString::fromLatin1(box.label));
            return upload;
        }
        fields << taken;
    }
    for (int i = 0; i < fillers; ++i) {
        fields << QStringLiteral("-");
    }
    upload.record = StationBytes(fields.join(QLatin1Char('|')) + QLatin1Char('|'));
    return upload;
}

}  // namespace

AlertUpload BuildEmailAlert(AlertEditorMode mode, const QString& id, const EmailAlertForm& form) {
    return Build(
        mode, id, "EMAIL",
        {{"Alert Name:", form.name, 49, "Enter a Name for this Alert!"},
         {"Alert Description:", form.description, 49, "Enter a Description for this Alert!"},
         {"From: (Email Address)", form.from, 49, "Enter the from Email Address!"},
         {"SMTP Server Address:", form.smtpServer, 49, "Enter the SMTP Server Address!"},
         {"To: (Email Address)", form.to, 254, "Enter the Recipient Email Address!"},
         {"Alert Subject:", form.subject, 99, "Enter the Subject for this Alert!"},
         {"Enter Alert Email to Send", form.text, 510, "Enter some text for this Alert!"}},
        5);
}

AlertUpload BuildSmsAlert(AlertEditorMode mode, const QString& id, const SmsAlertForm& form) {
    // The chooser's placeholder names no modem: it counts as an empty box.
    const QString modem =
        form.modem == QLatin1String(kChooseModemPlaceholder) ? QString() : form.modem;
    return Build(mode, id, "SMS",
                 {{"Description:", form.description, 49, "Enter a Name for this Alert!"},
                  {"Phone Number:", form.phoneNumber, 49, "Enter a valid Phone Number!"},
                  {"Choose Modem:", modem, 49, "Choose or Creat a Modem!"},
                  {"Enter Alert Message to Send", form.message, 149, "Enter some text to send!"}},
                 8);
}

EmailAlertForm EmailFormFrom(const AlertWorkingRecord& alert) {
    return {alert.name,     alert.description, alert.Field(5), alert.Field(6),
            alert.Field(7), alert.Field(8),    alert.Field(9)};
}

SmsAlertForm SmsFormFrom(const AlertWorkingRecord& alert) {
    return {alert.name, alert.description, alert.Field(5), alert.Field(6)};
}

}  // namespace volnar
