// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory_view/station_dialogs.h"

#include <QEvent>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include "ui_delete_station_dialog.h"
#include "ui_station_dialog.h"

namespace volnar {

namespace {

// The title while the directory works.
QString WaitingTitle(const QString& title, bool waiting) {
    return waiting ? title + QObject::tr(" - waiting for the directory") : title;
}

}  // namespace

StationDialog::StationDialog(StationDialogMode mode, StationEditor& editor,
                             const StationRecord& chosen, MessageService& messages, QWidget* parent)
    : StationDialog(mode, *new DirectStationWrites(editor), chosen, messages, parent) {
    m_ownWrites.reset(&m_writes);
}

StationDialog::StationDialog(StationDialogMode mode, StationWrites& writes,
                             const StationRecord& chosen, MessageService& messages, QWidget* parent)
    : QDialog(parent),
      m_ui(std::make_unique<Ui::StationDialog>()),
      m_mode(mode),
      m_writes(writes),
      m_messages(messages) {
    m_ui->setupUi(this);
    // Numbers only, at most what the table holds.
    auto* digits =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
    for (QLineEdit* edit : {m_ui->portEdit, m_ui->timeoutEdit, m_ui->retriesEdit}) {
        edit->setValidator(digits);
    }
    if (mode == StationDialogMode::Edit) {
        m_opened = chosen;
        setWindowTitle(tr("Edit IP"));
        m_ui->addressEdit->SetAddress(chosen.IPADDRESS);
        m_ui->passwordEdit->setText(chosen.PASSWORD);
        m_ui->commentEdit->setText(chosen.COMMENT);
        m_ui->portEdit->setText(chosen.PORT);
        m_ui->timeoutEdit->setText(chosen.TIMEOUT);
        m_ui->retriesEdit->setText(chosen.RETRIES);
    } else {
        m_ui->portEdit->setText(QStringLiteral("161"));
        m_ui->timeoutEdit->setText(QStringLiteral("5"));
        m_ui->retriesEdit->setText(QStringLiteral("2"));
    }
    m_ui->addressEdit->setFocus();

    connect(m_ui->addressEdit, &Ipv4Edit::FocusEntered, this,
            [this] { MarkLabel(m_ui->addressLabel); });
    for (QLineEdit* edit : {m_ui->passwordEdit, m_ui->commentEdit, m_ui->portEdit,
                            m_ui->timeoutEdit, m_ui->retriesEdit}) {
        edit->installEventFilter(this);
    }
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &StationDialog::Submit);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

StationDialog::~StationDialog() = default;

StationForm StationDialog::Form() const {
    return {m_opened,
            m_ui->addressEdit->FilledFields(),
            m_ui->addressEdit->Address(),
            m_ui->passwordEdit->text(),
            m_ui->commentEdit->text(),
            m_ui->portEdit->text(),
            m_ui->timeoutEdit->text(),
            m_ui->retriesEdit->text()};
}

QLabel* StationDialog::MarkedLabel() const {
    return m_marked;
}

bool StationDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        const std::pair<QObject*, QLabel*> fields[] = {{m_ui->passwordEdit, m_ui->passwordLabel},
                                                       {m_ui->commentEdit, m_ui->commentLabel},
                                                       {m_ui->portEdit, m_ui->portLabel},
                                                       {m_ui->timeoutEdit, m_ui->timeoutLabel},
                                                       {m_ui->retriesEdit, m_ui->retriesLabel}};
        for (const auto& [edit, label] : fields) {
            if (watched == edit) {
                MarkLabel(label);
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void StationDialog::MarkLabel(QLabel* label) {
    if (m_marked == label) {
        return;
    }
    if (m_marked) {
        m_marked->setStyleSheet(QString());
    }
    m_marked = label;
    m_marked->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0);"));
}

void StationDialog::Submit() {
    ShowWaiting(true);
    m_writes.Submit(m_mode, Form(), this,
                    [this](const Result<void>& written, StationFormField problem) {
                        ShowWaiting(false);
                        if (written) {
                            if (m_mode == StationDialogMode::Edit) {
                                m_messages.ShowPlain(QString::fromLatin1(kStationUpdated));
                            }
                            accept();
                            return;
                        }
                        m_messages.ShowFailure(written.failure());
                        FocusProblem(problem);
                    });
}

void StationDialog::ShowWaiting(bool waiting) {
    if (waiting && !m_waiting) {
        m_title = windowTitle();
    }
    m_waiting = waiting;
    m_ui->buttonBox->setEnabled(!waiting);
    setWindowTitle(WaitingTitle(m_title, waiting));
}

void StationDialog::reject() {
    if (!m_waiting) {
        QDialog::reject();
    }
}

void StationDialog::FocusProblem(StationFormField problem) {
    // The keyboard goes back to the field to correct.
    QLineEdit* edit = nullptr;
    switch (problem) {
        case StationFormField::Address:
            edit = m_ui->addressEdit->Field(0);
            break;
        case StationFormField::Password:
            edit = m_ui->passwordEdit;
            break;
        case StationFormField::Port:
            edit = m_ui->portEdit;
            break;
        case StationFormField::Timeout:
            edit = m_ui->timeoutEdit;
            break;
        case StationFormField::Retries:
            edit = m_ui->retriesEdit;
            break;
        case StationFormField::None:
            break;
    }
    if (edit) {
        edit->setFocus(Qt::OtherFocusReason);
        edit->selectAll();
    }
}

DeleteStationDialog::DeleteStationDialog(StationEditor& editor, StationDirectory& directory,
                                         MessageService& messages, QWidget* parent)
    : DeleteStationDialog(*new DirectStationWrites(editor, &directory), messages, parent) {
    m_ownWrites.reset(&m_writes);
}

DeleteStationDialog::DeleteStationDialog(StationWrites& writes, MessageService& messages,
                                         QWidget* parent)
    : QDialog(parent),
      m_ui(std::make_unique<Ui::DeleteStationDialog>()),
      m_writes(writes),
      m_messages(messages) {
    m_ui->setupUi(this);
    // No inline completion: what the operator typed is what gets deleted.
    m_ui->addressCombo->setCompleter(nullptr);
    Fill();
    connect(m_ui->deleteButton, &QPushButton::clicked, this, &DeleteStationDialog::Delete);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

DeleteStationDialog::~DeleteStationDialog() = default;

void DeleteStationDialog::Fill(const QString& typed, bool keepTyped) {
    m_writes.LoadAddressList(this, [this, typed, keepTyped](const Result<AddressList>& read) {
        if (!read) {
            m_messages.ShowFailure(read.failure());
            return;
        }
        const AddressList& list = *read;
        m_ui->addressCombo->clear();
        m_ui->addressCombo->addItems(list.addresses);
        const int index = static_cast<int>(list.addresses.indexOf(list.defaultAddress));
        m_ui->addressCombo->setCurrentIndex(list.defaultAddress.isEmpty() ? -1 : index);
        if (list.defaultAddress.isEmpty()) {
            m_ui->addressCombo->setEditText(QString());
        }
        if (keepTyped) {
            m_ui->addressCombo->setEditText(typed);
        }
    });
}

void DeleteStationDialog::Delete() {
    const QString typed = m_ui->addressCombo->currentText();
    ShowWaiting(true);
    // Refused, not there, or the operator said No: the dialog stays with
    // the typed text and the list read afresh.
    const auto keep = [this, typed](const std::optional<Failure>& failure) {
        ShowWaiting(false);
        if (failure) {
            m_messages.ShowFailure(*failure);
        }
        Fill(typed, true);
    };
    m_writes.CheckDelete(typed, this, [this, keep](const Result<StationRecord>& row) {
        if (!row) {
            keep(row.failure());
            return;
        }
        if (!m_messages.AskYesNo(DeleteQuestion(*row))) {
            keep(std::nullopt);
            return;
        }
        m_writes.Delete(row->IPADDRESS, this, [this, keep](const Result<void>& deleted) {
            if (!deleted) {
                keep(deleted.failure());
                return;
            }
            ShowWaiting(false);
            m_messages.ShowPlain(QString::fromLatin1(kStationDeleted));
            accept();
        });
    });
}

void DeleteStationDialog::ShowWaiting(bool waiting) {
    if (waiting && !m_waiting) {
        m_title = windowTitle();
    }
    m_waiting = waiting;
    m_ui->deleteButton->setEnabled(!waiting);
    m_ui->cancelButton->setEnabled(!waiting);
    setWindowTitle(WaitingTitle(m_title, waiting));
}

void DeleteStationDialog::reject() {
    if (!m_waiting) {
        QDialog::reject();
    }
}

}  // namespace volnar
