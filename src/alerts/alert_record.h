// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

#include "core/result.h"

namespace volnar {

// An alert as the list hands it to an editor: ID, type (lower case), name,
// description and the fifth to ninth fields of the listed record, each whole.
struct AlertWorkingRecord {
    QString id;
    QString type;
    QString name;
    QString description;
    QStringList fields;  // fields 5 to 9

    QString Field(int n) const { return fields.value(n - 5); }
};

enum class AlertEditorMode { New, Edit };

// Texts the editors show on a refused OK.
inline constexpr char kChooseModemPlaceholder[] = "Choose a Modem";

// One box of an editor: its label (named in the "|" refusal), the text typed,
// how many characters are uploaded, the message when it is empty, and
// whether it is a multi-line text (see StationLines).
struct AlertBox {
    const char* label;
    QString text;
    int limit;
    const char* emptyMessage;
    bool lines = false;
};

// The e-mail editor's seven boxes, in their check order. As an editor
// gives them, `text` is what its multi-line edit holds (any line break);
// as listed, each box is the station's text.
struct EmailAlertForm {
    QString name, description, from, smtpServer, to, subject, text;
};
// The SMS editor's four boxes, in their check order; `message` as `text`
// above.
struct SmsAlertForm {
    QString description, phoneNumber, modem, message;
};

// Checks the boxes in order (the first empty one, then any "|", which would
// split the record on the station, a character the station cannot store, or
// more characters than the box uploads) and builds the fourteen-field record
// with every box whole (or gives the refusal): "ID|EMAIL|name|description|from|smtp|to|subject|
// text|-|-|-|-|-|". `listed` is the alert as the station listed it (edit
// mode): a box left as listed goes back as it is, whatever its length, and
// the text's line breaks with it; a changed text goes out with CR LF.
Result<QByteArray> BuildEmailAlert(AlertEditorMode mode, const QString& id,
                                   const EmailAlertForm& form, const EmailAlertForm& listed = {});
// "ID|SMS|description|phone|modem|message|-|-|-|-|-|-|-|-|". The chooser's
// placeholder counts as no modem, unless it is the listed alert's own.
Result<QByteArray> BuildSmsAlert(AlertEditorMode mode, const QString& id, const SmsAlertForm& form,
                                 const SmsAlertForm& listed = {});

// The editors' forms filled from a listed alert.
EmailAlertForm EmailFormFrom(const AlertWorkingRecord& alert);
SmsAlertForm SmsFormFrom(const AlertWorkingRecord& alert);

}  // namespace volnar
