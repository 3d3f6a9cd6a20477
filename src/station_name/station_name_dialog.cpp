// SPDX-License-Identifier: GPL-3.0-or-later
#include "station_name/station_name_dialog.h"

#include <QPushButton>

#include "core/message_service.h"
#include "core/station_text.h"
#include "link/board_commands.h"
#include "link/board_link.h"
#include "screens/send_button.h"
#include "ui_station_name_dialog.h"

namespace volnar {

StationNameDialog::StationNameDialog(const QString& currentName, BoardLink& link,
                                     MessageService& messages, QWidget* parent)
    : QDialog(parent),
      m_ui(std::make_unique<Ui::StationNameDialog>()),
      m_link(link),
      m_messages(messages) {
    m_ui->setupUi(this);
    m_ui->nameEdit->setText(currentName);  // whole: a longer name is refused on OK
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &StationNameDialog::Submit);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

StationNameDialog::~StationNameDialog() = default;

void StationNameDialog::Submit() {
    const QString name = m_ui->nameEdit->text();
    if (name.isEmpty()) {
        m_messages.Show(MessageIcon::None, QString::fromLatin1(kZeroLengthRefused),
                        MessageButtons::Ok, QString());
        return;
    }
    // Refused before the question: a "|" would shift every later field of
    // the status record, and nothing is cut or replaced on the way out.
    if (const auto refusal =
            CheckStationText({tr("Station Name"), kStationNameMaxLength, true}, name)) {
        m_messages.ShowError(*refusal);
        return;
    }
    if (!m_messages.Show(MessageIcon::Question, QString::fromLatin1(kRenameQuestion),
                         MessageButtons::OkCancel, QString::fromLatin1(kRenameCaption))) {
        // Cancel in the question closes the dialog; nothing is sent.
        accept();
        return;
    }
    // The dialog stays open with the name until the station has taken it.
    // A rename the station was sent goes on when the dialog closes first:
    // its notice still says the station has taken the name.
    SendFromDialog(this, m_ui->buttonBox->button(QDialogButtonBox::Ok),
                   commands::RenameStation(m_link, this, name), m_messages,
                   /*cancelWhenClosed=*/false);
}

}  // namespace volnar
