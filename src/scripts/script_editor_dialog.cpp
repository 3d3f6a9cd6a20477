// SPDX-License-Identifier: GPL-3.0-or-later
#include "scripts/script_editor_dialog.h"

#include <QKeyEvent>
#include <QTextDocument>

#include "core/message_service.h"
#include "link/board_commands.h"
#include "link/board_link.h"
#include "screens/send_button.h"
#include "scripts/script_pictures.h"
#include "ui_script_editor_dialog.h"

namespace volnar::scripts {

ScriptEditorDialog::ScriptEditorDialog(EditorMode mode, WorkingRecord working, BoardLink& link,
                                       MessageService& messages, QWidget* parent)
    : QDialog(parent),
      m_ui(std::make_unique<Ui::ScriptEditorDialog>()),
      m_mode(mode),
      m_working(std::move(working)),
      m_link(link),
      m_messages(messages) {
    m_ui->setupUi(this);
    setWindowTitle(EditorTitle(mode));
    const ScriptKind kind = KindOf(mode);
    setWindowIcon(QIcon(kind == ScriptKind::Relay ? RelayScriptPicture() : IoScriptPicture()));
    m_ui->availableList->addItems(CommandTexts(kind));
    if (!IsNewScript(mode)) {
        m_ui->nameEdit->setText(m_working.name);
        m_ui->notesEdit->setPlainText(NotesForDisplay(m_working.notes));
        m_ui->idLabel->setText(m_working.id);
        m_ui->selectedList->addItems(DecodeCommands(kind, m_working.codes));
    }

    connect(m_ui->addButton, &QPushButton::clicked, this, &ScriptEditorDialog::AddSelectedCommand);
    connect(m_ui->removeButton, &QPushButton::clicked, this,
            &ScriptEditorDialog::RemoveSelectedCommand);
    connect(m_ui->availableList, &QListWidget::itemDoubleClicked, this,
            &ScriptEditorDialog::AddSelectedCommand);
    connect(m_ui->selectedList, &QListWidget::itemDoubleClicked, this,
            &ScriptEditorDialog::RemoveSelectedCommand);
    connect(m_ui->uploadButton, &QPushButton::clicked, this, &ScriptEditorDialog::Upload);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    // Enter adds from the available list, Enter or Delete removes from the
    // selected one.
    m_ui->availableList->installEventFilter(this);
    m_ui->selectedList->installEventFilter(this);
    m_ui->nameEdit->setFocus();
}

ScriptEditorDialog::~ScriptEditorDialog() = default;

QStringList ScriptEditorDialog::SelectedCommands() const {
    QStringList commands;
    for (int i = 0; i < m_ui->selectedList->count(); ++i) {
        commands << m_ui->selectedList->item(i)->text();
    }
    return commands;
}

void ScriptEditorDialog::AddSelectedCommand() {
    const QListWidgetItem* item = m_ui->availableList->currentItem();
    if (item == nullptr || !item->isSelected()) {
        return;
    }
    m_ui->selectedList->addItem(item->text());
    m_ui->selectedList->scrollToBottom();
}

void ScriptEditorDialog::RemoveSelectedCommand() {
    const int row = m_ui->selectedList->currentRow();
    QListWidgetItem* item = m_ui->selectedList->currentItem();
    if (item == nullptr || !item->isSelected()) {
        return;
    }
    delete m_ui->selectedList->takeItem(row);
}

void ScriptEditorDialog::Upload() {
    if (!m_ui->uploadButton->isEnabled()) {
        return;  // already sending
    }
    const Result<QByteArray> record = CheckAndBuildRecord(
        m_mode, m_working,
        {m_ui->nameEdit->text(), m_ui->notesEdit->document()->toRawText(), SelectedCommands()});
    if (!record) {
        m_messages.ShowError(record.error());
        return;
    }
    // Everything typed stays until the station has taken the script: the
    // dialog closes on its answer and stays open on a refusal, a time-out or
    // a failed send (the link's box or the time-out's says which).
    SendFromDialog(this, m_ui->uploadButton,
                   commands::UploadScript(m_link, this, IsNewScript(m_mode), *record), m_messages);
}

bool ScriptEditorDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
        if (watched == m_ui->availableList && enter) {
            AddSelectedCommand();
            return true;
        }
        if (watched == m_ui->selectedList && (enter || key == Qt::Key_Delete)) {
            RemoveSelectedCommand();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace volnar::scripts
