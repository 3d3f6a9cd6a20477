// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/send_button.h"

#include <QAbstractButton>
#include <QDialog>

#include "core/message_service.h"
#include "link/board_commands.h"

namespace volnar {

void SendFromDialog(QDialog* dialog, QAbstractButton* button, BoardOperation* operation,
                    MessageService& messages, bool cancelWhenClosed) {
    const QString text = button->text();
    button->setEnabled(false);
    button->setText(QObject::tr("Sending..."));
    if (cancelWhenClosed) {
        QObject::connect(dialog, &QDialog::finished, operation, &BoardOperation::Cancel);
    }
    QObject::connect(operation, &BoardOperation::Ended, dialog,
                     [dialog, button, operation, text, &messages](OperationEnding ending) {
                         operation->deleteLater();
                         button->setText(text);
                         button->setEnabled(true);
                         if (ending == OperationEnding::Done) {
                             dialog->accept();
                         } else if (const QString unreported = UnreportedText(*operation);
                                    !unreported.isEmpty()) {
                             messages.ShowError(unreported);
                         }
                     });
}

}  // namespace volnar
