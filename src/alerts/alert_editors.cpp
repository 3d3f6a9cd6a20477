// SPDX-License-Identifier: GPL-3.0-or-later
#include "alerts/alert_editors.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTextDocument>

#include "core/message_service.h"
#include "core/station_text.h"
#include "link/board_commands.h"
#include "link/board_link.h"
#include "screens/send_button.h"
#include "ui_email_alert_dialog.h"
#include "ui_sms_alert_dialog.h"

namespace volnar {
namespace {

// Sends a checked upload from `editor`, which keeps everything typed until
// the station has taken the alert: OK is disabled while it is in flight, the
// editor closes on the answer and stays open on a refusal, a time-out or a
// failed send. A refused check shows its message and sends nothing.
void SendAlert(QDialog* editor, QDialogButtonBox* buttons, AlertEditorMode mode,
               const Result<QByteArray>& upload, BoardLink& link, MessageService& messages) {
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    if (!ok->isEnabled()) {
        return;  // already sending
    }
    if (!upload) {
        messages.ShowError(upload.error());
        return;
    }
    SendFromDialog(editor, ok,
                   commands::UploadAlert(link, editor, mode == AlertEditorMode::New, *upload),
                   messages);
}

}  // namespace

EmailAlertDialog::EmailAlertDialog(AlertEditorMode mode, const AlertWorkingRecord& alert,
                                   BoardLink& link, MessageService& messages, QWidget* parent)
    : QDialog(parent),
      m_ui(std::make_unique<Ui::EmailAlertDialog>()),
      m_mode(mode),
      m_id(alert.id),
      m_link(link),
      m_messages(messages) {
    m_ui->setupUi(this);
    if (mode == AlertEditorMode::Edit) {
        setWindowTitle(tr("EDIT Email Alert"));
        const EmailAlertForm form = EmailFormFrom(alert);
        m_listed = form;
        m_ui->nameEdit->setText(form.name);
        m_ui->descriptionEdit->setText(form.description);
        m_ui->fromEdit->setText(form.from);
        m_ui->smtpServerEdit->setText(form.smtpServer);
        m_ui->toEdit->setText(form.to);
        m_ui->subjectEdit->setText(form.subject);
        m_ui->messageEdit->setPlainText(EditableLines(form.text));
    } else {
        setWindowTitle(tr("ADD New Email Alert"));
    }
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &EmailAlertDialog::Submit);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

EmailAlertDialog::~EmailAlertDialog() = default;

EmailAlertForm EmailAlertDialog::Form() const {
    return {m_ui->nameEdit->text(),
            m_ui->descriptionEdit->text(),
            m_ui->fromEdit->text(),
            m_ui->smtpServerEdit->text(),
            m_ui->toEdit->text(),
            m_ui->subjectEdit->text(),
            m_ui->messageEdit->document()->toRawText()};
}

void EmailAlertDialog::Submit() {
    SendAlert(this, m_ui->buttonBox, m_mode, BuildEmailAlert(m_mode, m_id, Form(), m_listed),
              m_link, m_messages);
}

SmsAlertDialog::SmsAlertDialog(AlertEditorMode mode, const AlertWorkingRecord& alert,
                               BoardLink& link, MessageService& messages, QWidget* parent)
    : QDialog(parent),
      m_ui(std::make_unique<Ui::SmsAlertDialog>()),
      m_mode(mode),
      m_id(alert.id),
      m_link(link),
      m_messages(messages) {
    m_ui->setupUi(this);
    m_ui->hintLabel->hide();
    if (mode == AlertEditorMode::Edit) {
        setWindowTitle(tr("EDIT SMS Alert"));
        const SmsAlertForm form = SmsFormFrom(alert);
        m_listed = form;
        m_ui->descriptionEdit->setText(form.description);
        m_ui->phoneEdit->setText(form.phoneNumber);
        m_ui->modemCombo->setEditText(form.modem);
        m_ui->messageEdit->setPlainText(EditableLines(form.message));
    } else {
        setWindowTitle(tr("ADD New SMS Alert"));
        m_ui->modemCombo->setEditText(QString::fromLatin1(kChooseModemPlaceholder));
    }
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &SmsAlertDialog::Submit);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // The dialog's own modem walk fills the chooser while it is open.
    BoardOperation* modems = commands::WalkTable(m_link, this, BoardTable::Modems);
    connect(modems, &BoardOperation::RowReceived, this,
            [this](const QStringList& fields) { AddModem(fields.value(1)); });
}

SmsAlertDialog::~SmsAlertDialog() = default;

void SmsAlertDialog::AddModem(const QString& modem) {
    // Adding the first entry would replace the chooser's text; the text the
    // operator sees (the alert's own modem, the placeholder, or what was
    // typed) stays, and becomes the selected entry when it is this modem.
    const QString shown = m_ui->modemCombo->currentText();
    m_ui->modemCombo->addItem(modem);
    const int index = m_ui->modemCombo->findText(shown);
    if (index >= 0) {
        m_ui->modemCombo->setCurrentIndex(index);
    } else {
        m_ui->modemCombo->setCurrentIndex(-1);
        m_ui->modemCombo->setEditText(shown);
    }
}

SmsAlertForm SmsAlertDialog::Form() const {
    return {m_ui->descriptionEdit->text(), m_ui->phoneEdit->text(), m_ui->modemCombo->currentText(),
            m_ui->messageEdit->document()->toRawText()};
}

QStringList SmsAlertDialog::Modems() const {
    QStringList modems;
    for (int i = 0; i < m_ui->modemCombo->count(); ++i) {
        modems << m_ui->modemCombo->itemText(i);
    }
    return modems;
}

void SmsAlertDialog::Submit() {
    SendAlert(this, m_ui->buttonBox, m_mode, BuildSmsAlert(m_mode, m_id, Form(), m_listed), m_link,
              m_messages);
}

}  // namespace volnar
