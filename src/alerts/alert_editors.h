// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <memory>

#include "alerts/alert_record.h"

namespace Ui {
class EmailAlertDialog;
class SmsAlertDialog;
}  // namespace Ui

namespace volnar {

class BoardLink;
class MessageService;

// "ADD New Email Alert" / "EDIT Email Alert": OK checks the boxes and sends
// the alert record; the dialog keeps what was typed until the station's
// answer, then closes (the notice and a fresh list follow), and stays open
// on a refusal or no answer. Cancel or the close box ends it Rejected.
class EmailAlertDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EmailAlertDialog)

public:
    EmailAlertDialog(AlertEditorMode mode, const AlertWorkingRecord& alert, BoardLink& link,
                     MessageService& messages, QWidget* parent = nullptr);
    ~EmailAlertDialog() override;

    EmailAlertForm Form() const;

private:
    void Submit();

    std::unique_ptr<Ui::EmailAlertDialog> m_ui;
    AlertEditorMode m_mode;
    QString m_id;
    EmailAlertForm m_listed;  // the alert as listed (edit mode): kept where unchanged
    BoardLink& m_link;
    MessageService& m_messages;
};

// "ADD New SMS Alert" / "EDIT SMS Alert". The modem chooser fills from the
// station's modem table while the dialog is open; in edit mode it shows the
// alert's own modem and selects it when the station lists it.
class SmsAlertDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SmsAlertDialog)

public:
    SmsAlertDialog(AlertEditorMode mode, const AlertWorkingRecord& alert, BoardLink& link,
                   MessageService& messages, QWidget* parent = nullptr);
    ~SmsAlertDialog() override;

    SmsAlertForm Form() const;
    QStringList Modems() const;

private:
    void Submit();
    void AddModem(const QString& modem);

    std::unique_ptr<Ui::SmsAlertDialog> m_ui;
    AlertEditorMode m_mode;
    QString m_id;
    SmsAlertForm m_listed;  // the alert as listed (edit mode): kept where unchanged
    BoardLink& m_link;
    MessageService& m_messages;
};

}  // namespace volnar
