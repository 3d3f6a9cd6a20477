// SPDX-License-Identifier: GPL-3.0-or-later
#include "alerts/alert_record.h"

#include <vector>

#include "core/station_text.h"
#include "link/board_request.h"

namespace volnar {
namespace {

// `listed` holds the boxes as the station listed them (empty for a new
// alert), in box order.
Result<QByteArray> Build(AlertEditorMode mode, const QString& id, const char* type,
                         const std::vector<AlertBox>& boxes, const QStringList& listed,
                         int fillers) {
    QStringList fields{mode == AlertEditorMode::New ? QStringLiteral("0") : id,
                       QString::fromLatin1(type)};
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        const AlertBox& box = boxes[i];
        const QString& shown = listed.value(static_cast<qsizetype>(i));
        const QString taken = box.lines ? StationLines(box.text, shown) : box.text;
        if (taken.isEmpty()) {
            return Failure{QString::fromLatin1(box.emptyMessage)};
        }
        if (taken.contains(QLatin1Char('|'))) {
            return Failure{QStringLiteral("The box \"%1\" must not contain \"|\"!")
                               .arg(QString::fromLatin1(box.label))};
        }
        const bool asListed = mode == AlertEditorMode::Edit && taken == shown;
        QString name = QString::fromLatin1(box.label);
        if (name.endsWith(QLatin1Char(':'))) {
            name.chop(1);
        }
        if (auto refusal = CheckStationText({name, asListed ? 0 : box.limit}, taken)) {
            return Failure{*refusal};
        }
        fields << taken;
    }
    for (int i = 0; i < fillers; ++i) {
        fields << QStringLiteral("-");
    }
    return StationBytes(fields.join(QLatin1Char('|')) + QLatin1Char('|'));
}

}  // namespace

Result<QByteArray> BuildEmailAlert(AlertEditorMode mode, const QString& id,
                                   const EmailAlertForm& form, const EmailAlertForm& listed) {
    return Build(
        mode, id, "EMAIL",
        {{"Alert Name:", form.name, 49, "Enter a Name for this Alert!"},
         {"Alert Description:", form.description, 49, "Enter a Description for this Alert!"},
         {"From: (Email Address)", form.from, 49, "Enter the from Email Address!"},
         {"SMTP Server Address:", form.smtpServer, 49, "Enter the SMTP Server Address!"},
         {"To: (Email Address)", form.to, 254, "Enter the Recipient Email Address!"},
         {"Alert Subject:", form.subject, 99, "Enter the Subject for this Alert!"},
         {"Enter Alert Email to Send", form.text, 510, "Enter some text for this Alert!", true}},
        {listed.name, listed.description, listed.from, listed.smtpServer, listed.to, listed.subject,
         listed.text},
        5);
}

Result<QByteArray> BuildSmsAlert(AlertEditorMode mode, const QString& id, const SmsAlertForm& form,
                                 const SmsAlertForm& listed) {
    // The chooser's placeholder names no modem: it counts as an empty box,
    // unless the station holds the alert so and it is saved unchanged.
    const bool ownModem = mode == AlertEditorMode::Edit && form.modem == listed.modem;
    const QString modem =
        form.modem == QLatin1String(kChooseModemPlaceholder) && !ownModem ? QString() : form.modem;
    return Build(
        mode, id, "SMS",
        {{"Description:", form.description, 49, "Enter a Name for this Alert!"},
         {"Phone Number:", form.phoneNumber, 49, "Enter a valid Phone Number!"},
         {"Choose Modem:", modem, 49, "Choose or Creat a Modem!"},
         {"Enter Alert Message to Send", form.message, 149, "Enter some text to send!", true}},
        {listed.description, listed.phoneNumber, listed.modem, listed.message}, 8);
}

EmailAlertForm EmailFormFrom(const AlertWorkingRecord& alert) {
    return {alert.name,     alert.description, alert.Field(5), alert.Field(6),
            alert.Field(7), alert.Field(8),    alert.Field(9)};
}

SmsAlertForm SmsFormFrom(const AlertWorkingRecord& alert) {
    return {alert.name, alert.description, alert.Field(5), alert.Field(6)};
}

}  // namespace volnar
