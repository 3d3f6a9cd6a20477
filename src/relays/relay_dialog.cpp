// SPDX-License-Identifier: GPL-3.0-or-later
#include "relays/relay_dialog.h"

#include <QLabel>
#include <QPushButton>
#include <QTextDocument>

#include "core/message_service.h"
#include "core/station_text.h"
#include "core/status_panel.h"
#include "link/board_commands.h"
#include "link/board_link.h"
#include "ui_relay_dialog.h"

namespace volnar {

RelayDialog::RelayDialog(int relay, BoardLink& link, const StatusPanel& panel,
                         MessageService& messages, QWidget* parent)
    : QDialog(parent),
      m_ui(std::make_unique<Ui::RelayDialog>()),
      m_relay(relay),
      m_link(link),
      m_messages(messages) {
    m_ui->setupUi(this);
    setWindowTitle(tr("Relay %1 Control").arg(relay));
    m_ui->notesGroup->setTitle(tr("Relay %1 Notes").arg(relay));
    m_ui->nameGroup->setTitle(tr("Relay %1 Name").arg(relay));
    m_ui->nameEdit->setText(panel.RelayName(relay));  // whole: a longer name is refused on send
    (panel.RelayState(relay) != 0 ? m_ui->onRadio : m_ui->offRadio)->setChecked(true);

    connect(m_ui->pulseSlider, &QSlider::valueChanged, m_ui->pulseLabel,
            [this](int seconds) { m_ui->pulseLabel->setText(QString::number(seconds)); });
    connect(m_ui->doActionButton, &QPushButton::clicked, this, &RelayDialog::DoRelayAction);
    connect(m_ui->updateNameButton, &QPushButton::clicked, this, &RelayDialog::UpdateName);
    connect(m_ui->updateNotesButton, &QPushButton::clicked, this, &RelayDialog::UpdateNotes);
    connect(m_ui->refreshButton, &QPushButton::clicked, this, &RelayDialog::Refresh);
    connect(m_ui->closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->scriptsButton, &QPushButton::clicked, this, [this] {
        reject();
        Q_EMIT ScriptsRequested();
    });
    connect(m_ui->notesEdit, &QPlainTextEdit::textChanged, this, &RelayDialog::LimitNotes);

    // Enter never switches the relay: no button is the default, and Enter in
    // the name updates the name. (The notes take Enter as a line break.)
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    connect(m_ui->nameEdit, &QLineEdit::returnPressed, this, &RelayDialog::UpdateName);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("relayStatusLabel"));
    m_status->setWordWrap(true);
    m_ui->rightColumn->addWidget(m_status);
    m_stationNotesLabel = new QLabel(this);
    m_stationNotesLabel->setObjectName(QStringLiteral("stationNotesLabel"));
    m_stationNotesLabel->setWordWrap(true);
    m_stationNotesLabel->setTextFormat(Qt::PlainText);
    m_stationNotesLabel->hide();
    m_useStationNotes = new QPushButton(tr("&Use the Station's Notes"), this);
    m_useStationNotes->setObjectName(QStringLiteral("useStationNotesButton"));
    m_useStationNotes->setAutoDefault(false);
    m_useStationNotes->hide();
    m_ui->notesLayout->insertWidget(1, m_stationNotesLabel);
    m_ui->notesLayout->insertWidget(2, m_useStationNotes);
    connect(m_useStationNotes, &QPushButton::clicked, this,
            [this] { ShowStationNotes(m_arrivedNotes); });
    Refresh();
}

RelayDialog::~RelayDialog() = default;

void RelayDialog::DoRelayAction() {
    // Exactly one SET per press, then the dialog closes.
    if (m_ui->onRadio->isChecked()) {
        commands::SwitchRelay(m_link, this, m_relay, true);
        Q_EMIT SwitchSent(m_relay, 1);
    } else if (m_ui->offRadio->isChecked()) {
        commands::SwitchRelay(m_link, this, m_relay, false);
        Q_EMIT SwitchSent(m_relay, 0);
    } else {
        commands::PulseRelay(m_link, this, m_relay, m_ui->pulseSlider->value());
    }
    accept();
}

void RelayDialog::Track(BoardOperation* operation, QPushButton* button, const QString& sending,
                        std::function<void(const QString& echo)> done) {
    // The edit keeps what was typed until the station has echoed it.
    const QString text = button->text();
    button->setEnabled(false);
    button->setText(sending);
    connect(operation, &BoardOperation::Ended, this,
            [this, operation, button, text, done = std::move(done)](OperationEnding ending) {
                button->setText(text);
                button->setEnabled(true);
                if (ending == OperationEnding::Done) {
                    m_status->clear();
                    done(operation->Echo());
                } else if (!operation->Text().isEmpty()) {
                    m_status->setText(operation->Text());
                }
                operation->deleteLater();
            });
}

void RelayDialog::UpdateName() {
    if (!m_ui->updateNameButton->isEnabled()) {
        return;  // already sending
    }
    const QString name = m_ui->nameEdit->text();
    if (const auto refusal =
            CheckStationText({tr("Relay %1 Name").arg(m_relay), kRelayNameMaxLength, true}, name)) {
        m_messages.ShowError(*refusal);
        return;
    }
    Track(commands::SetRelayName(m_link, this, m_relay, name), m_ui->updateNameButton,
          tr("Sending..."), [this](const QString& echo) { m_ui->nameEdit->setText(echo); });
}

void RelayDialog::UpdateNotes() {
    if (!m_ui->updateNotesButton->isEnabled()) {
        return;  // already sending
    }
    const QString notes = StationLines(m_ui->notesEdit->document()->toRawText(), m_stationNotes);
    if (const auto refusal = CheckStationText(
            {tr("Relay %1 Notes").arg(m_relay), kRelayNotesMaxLength, false}, notes)) {
        m_messages.ShowError(*refusal);
        return;
    }
    Track(commands::SetRelayNotes(m_link, this, m_relay, notes), m_ui->updateNotesButton,
          tr("Sending..."), [this](const QString& echo) { StationNotesArrived(echo); });
}

void RelayDialog::Refresh() {
    // Refresh asks for the station's notes in place of what the edit holds
    // now; only what is typed while the answer is on its way is kept.
    m_shownNotes = m_ui->notesEdit->toPlainText();
    Track(commands::ReadRelayNotes(m_link, this, m_relay), m_ui->refreshButton,
          m_ui->refreshButton->text(), [this](const QString& echo) { StationNotesArrived(echo); });
}

void RelayDialog::ShowStationNotes(const QString& notes) {
    m_stationNotes = notes;
    m_ui->notesEdit->setPlainText(EditableLines(notes));
    m_shownNotes = m_ui->notesEdit->toPlainText();
    m_stationNotesLabel->hide();
    m_useStationNotes->hide();
}

void RelayDialog::StationNotesArrived(const QString& notes) {
    const QString typed = m_ui->notesEdit->toPlainText();
    if (typed == m_shownNotes || typed == EditableLines(notes)) {
        ShowStationNotes(notes);
        return;
    }
    m_arrivedNotes = notes;
    m_stationNotesLabel->setText(tr("Your text is kept. The station's notes: %1")
                                     .arg(notes.isEmpty() ? tr("(none)") : EditableLines(notes)));
    m_stationNotesLabel->show();
    m_useStationNotes->show();
}

void RelayDialog::LimitNotes() {
    // Typing or pasting past what the station keeps is cut here, where the
    // operator sees it, rather than silently on the way out.
    const QString text = m_ui->notesEdit->toPlainText();
    if (text.size() > kRelayNotesMaxLength) {
        QTextCursor cursor = m_ui->notesEdit->textCursor();
        const int position = cursor.position();
        m_ui->notesEdit->setPlainText(text.left(kRelayNotesMaxLength));
        cursor = m_ui->notesEdit->textCursor();
        cursor.setPosition(std::min(position, kRelayNotesMaxLength));
        m_ui->notesEdit->setTextCursor(cursor);
    }
}

}  // namespace volnar
