#include "relays/relay_dialog.h"

#include <QPushButton>
#include <QTextDocument>

#include "link/board_link.h"
#include "link/board_objects.h"
#include "panel/message_service.h"
#include "panel/station_text.h"
#include "panel/status_panel.h"
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

    // The station's echoes reach this dialog only while it is open, and only
    // for its own relay.
    connect(&m_link, &BoardLink::RelayNotesReceived, this, [this](int k, const QString& notes) {
        if (k == m_relay) {
            m_stationNotes = notes;
            m_ui->notesEdit->setPlainText(EditableLines(notes));
        }
    });
    connect(&m_link, &BoardLink::RelayNameReceived, this, [this](int k, const QString& name) {
        if (k == m_relay) {
            m_ui->nameEdit->setText(name);
        }
    });
    Refresh();
}

RelayDialog::~RelayDialog() = default;

void RelayDialog::DoRelayAction() {
    // Exactly one SET per press, then the dialog closes.
    if (m_ui->onRadio->isChecked()) {
        if (m_link.SendBoardRequest(board::kRelaySwitch[m_relay], PduType::Set,
                                    RequestValue::Integer(1))) {
            Q_EMIT SwitchSent(m_relay, 1);
        }
    } else if (m_ui->offRadio->isChecked()) {
        if (m_link.SendBoardRequest(board::kRelaySwitch[m_relay], PduType::Set,
                                    RequestValue::Integer(0))) {
            Q_EMIT SwitchSent(m_relay, 0);
        }
    } else {
        m_link.SendBoardRequest(board::kRelayPulse[m_relay], PduType::Set,
                                RequestValue::Integer(m_ui->pulseSlider->value()));
    }
    accept();
}

void RelayDialog::UpdateName() {
    const QString name = m_ui->nameEdit->text();
    if (const auto refusal =
            CheckStationText({tr("Relay %1 Name").arg(m_relay), kRelayNameMaxLength, true}, name)) {
        m_messages.ShowError(*refusal);
        return;
    }
    m_link.SendBoardRequest(board::kRelayName[m_relay], PduType::Set,
                            RequestValue::Text(StationBytes(name)));
}

void RelayDialog::UpdateNotes() {
    const QString notes =
        StationLines(m_ui->notesEdit->document()->toRawText(), m_stationNotes, u"\n");
    if (const auto refusal = CheckStationText(
            {tr("Relay %1 Notes").arg(m_relay), kRelayNotesMaxLength, false}, notes)) {
        m_messages.ShowError(*refusal);
        return;
    }
    // The notes come back in the station's echo, with the notice.
    m_ui->notesEdit->clear();
    m_link.SetRelayNotesPending(m_relay);
    m_link.SendBoardRequest(board::kRelayNotes[m_relay], PduType::Set,
                            RequestValue::Text(StationBytes(notes)));
}

void RelayDialog::Refresh() {
    m_link.SendBoardRequest(board::kRelayNotes[m_relay], PduType::Get);
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
