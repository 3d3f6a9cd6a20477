// SPDX-License-Identifier: GPL-3.0-or-later
#include "adc/adc_options_dialog.h"

#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QTextDocument>

#include "core/message_service.h"
#include "core/station_text.h"
#include "core/status_panel.h"
#include "link/board_commands.h"
#include "link/board_link.h"
#include "ui_adc_options_dialog.h"

namespace volnar {

namespace {

constexpr int kIdRole = Qt::UserRole;

using adc::ActionsList;

constexpr std::size_t Index(ActionsList list) {
    return static_cast<std::size_t>(list);
}

constexpr bool IsAlertList(std::size_t list) {
    const auto kind = static_cast<ActionsList>(list);
    return kind == ActionsList::HighAlerts || kind == ActionsList::HighNormalAlerts ||
           kind == ActionsList::LowAlerts || kind == ActionsList::LowNormalAlerts;
}

QListWidgetItem* CopyItem(const QListWidgetItem& item) {
    auto* copy = new QListWidgetItem(item.text());
    copy->setData(kIdRole, item.data(kIdRole));
    return copy;
}

std::vector<AdcListItem> Entries(const QListWidget& list) {
    std::vector<AdcListItem> entries;
    entries.reserve(static_cast<std::size_t>(list.count()));
    for (int row = 0; row < list.count(); ++row) {
        const QListWidgetItem* item = list.item(row);
        entries.push_back({item->data(kIdRole).toInt(), item->text()});
    }
    return entries;
}

// A key that the line edit would insert as text (the same test the edit
// makes): printable text unless only Ctrl or Ctrl+Shift is held, and
// formatting characters always. Shortcuts and control keys pass unfiltered.
bool IsTypedCharacter(const QKeyEvent& key) {
    const QString text = key.text();
    if (text.isEmpty()) {
        return false;
    }
    const QChar first = text.at(0);
    if (first.category() == QChar::Other_Format) {
        return true;
    }
    const Qt::KeyboardModifiers modifiers = key.modifiers();
    if (modifiers == Qt::ControlModifier ||
        modifiers == (Qt::ControlModifier | Qt::ShiftModifier)) {
        return false;
    }
    return first.isPrint();
}

}  // namespace

AdcOptionsDialog::AdcOptionsDialog(int channel, BoardLink& link, const StatusPanel& panel,
                                   MessageService& messages, QWidget* parent)
    : QDialog(parent),
      m_ui(std::make_unique<Ui::AdcOptionsDialog>()),
      m_channel(channel >= 1 && channel <= adc::kChannelCount ? channel : 1),
      m_link(link),
      m_panel(panel),
      m_messages(messages),
      m_beep([] { QApplication::beep(); }) {
    m_ui->setupUi(this);
    AlignNormalGroups();
    setAttribute(Qt::WA_DeleteOnClose);
    SetUpControls();
    ConnectActionsLists();
    ConnectButtons();
    Tick();
    StartLoad();
    ShowChannel();
}

void AdcOptionsDialog::AlignNormalGroups() {
    // The Normal Trigger groups have no trigger line; their empty first row
    // takes its height so that the pools and actions lists line up.
    // (An empty row gets no spacing below it, so the row takes that too.)
    for (auto [normal, trigger] : {std::pair{m_ui->highNormalLayout, m_ui->highTriggerLayout},
                                   std::pair{m_ui->lowNormalLayout, m_ui->lowTriggerLayout}}) {
        normal->setRowMinimumHeight(
            0, trigger->sizeHint().height() + std::max(0, normal->verticalSpacing()));
    }
}

void AdcOptionsDialog::SetUpControls() {
    m_pools = {m_ui->highAlertPool,        m_ui->highNormalAlertPool, m_ui->highScriptPool,
               m_ui->highNormalScriptPool, m_ui->lowAlertPool,        m_ui->lowNormalAlertPool,
               m_ui->lowScriptPool,        m_ui->lowNormalScriptPool};
    m_actions = {m_ui->highAlertActions,  m_ui->highNormalAlertActions,
                 m_ui->highScriptActions, m_ui->highNormalScriptActions,
                 m_ui->lowAlertActions,   m_ui->lowNormalAlertActions,
                 m_ui->lowScriptActions,  m_ui->lowNormalScriptActions};
    m_addButtons = {m_ui->highAlertAddButton,  m_ui->highNormalAlertAddButton,
                    m_ui->highScriptAddButton, m_ui->highNormalScriptAddButton,
                    m_ui->lowAlertAddButton,   m_ui->lowNormalAlertAddButton,
                    m_ui->lowScriptAddButton,  m_ui->lowNormalScriptAddButton};
    m_removeButtons = {m_ui->highAlertRemoveButton,  m_ui->highNormalAlertRemoveButton,
                       m_ui->highScriptRemoveButton, m_ui->highNormalScriptRemoveButton,
                       m_ui->lowAlertRemoveButton,   m_ui->lowNormalAlertRemoveButton,
                       m_ui->lowScriptRemoveButton,  m_ui->lowNormalScriptRemoveButton};
    m_filtered = {{{m_ui->ampRatingEdit, adc::KeyFilter::ShuntRating},
                   {m_ui->millivoltRatingEdit, adc::KeyFilter::ShuntRating},
                   {m_ui->precisionEdit, adc::KeyFilter::Precision},
                   {m_ui->adjustmentEdit, adc::KeyFilter::DecimalNumber},
                   {m_ui->highValueEdit, adc::KeyFilter::DecimalNumber},
                   {m_ui->lowValueEdit, adc::KeyFilter::DecimalNumber}}};

    // Both flap-time combos offer the 144 texts and start at "Continous".
    const QStringList flapTexts = adc::FlapTimeTexts();
    for (QComboBox* combo : {m_ui->highFlapCombo, m_ui->lowFlapCombo}) {
        combo->addItems(flapTexts);
        combo->setCurrentIndex(0);
    }
    for (const auto& [edit, filter] : m_filtered) {
        edit->installEventFilter(this);
    }
}

void AdcOptionsDialog::ConnectActionsLists() {
    for (std::size_t list = 0; list < adc::kActionsListCount; ++list) {
        connect(m_addButtons[list], &QPushButton::clicked, this, [this, list] { Add(list); });
        connect(m_removeButtons[list], &QPushButton::clicked, this, [this, list] { Remove(list); });
        connect(m_pools[list], &QListWidget::itemDoubleClicked, this,
                [this, list](QListWidgetItem* item) { m_actions[list]->addItem(CopyItem(*item)); });
        connect(m_actions[list], &QListWidget::itemDoubleClicked, this,
                [this, list](QListWidgetItem* item) {
                    delete m_actions[list]->takeItem(m_actions[list]->row(item));
                });
    }
}

void AdcOptionsDialog::ConnectButtons() {
    for (QPushButton* button : {m_ui->highAlertsButton, m_ui->highNormalAlertsButton,
                                m_ui->lowAlertsButton, m_ui->lowNormalAlertsButton}) {
        connect(button, &QPushButton::clicked, this, &AdcOptionsDialog::AlertsRequested);
    }
    for (QPushButton* button : {m_ui->highScriptsButton, m_ui->highNormalScriptsButton,
                                m_ui->lowScriptsButton, m_ui->lowNormalScriptsButton}) {
        connect(button, &QPushButton::clicked, this, &AdcOptionsDialog::ScriptsRequested);
    }
    connect(m_ui->voltmeterRadio, &QRadioButton::clicked, this, [this] { ApplyMode(false); });
    connect(m_ui->ampmeterRadio, &QRadioButton::clicked, this, [this] { ApplyMode(true); });
    // Arrow keys move the check between the radios without a click.
    connect(m_ui->voltmeterRadio, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked) {
            ApplyMode(false);
        }
    });
    connect(m_ui->ampmeterRadio, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked) {
            ApplyMode(true);
        }
    });
    connect(m_ui->setNameButton, &QPushButton::clicked, this, &AdcOptionsDialog::SetName);
    connect(m_ui->setNotesButton, &QPushButton::clicked, this, &AdcOptionsDialog::SetNotes);
    connect(m_ui->okButton, &QPushButton::clicked, this, &AdcOptionsDialog::Upload);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void AdcOptionsDialog::StartLoad() {
    // The data load, this dialog's own: the alerts, then the scripts, then
    // this channel's record.
    EnableRecordControls(false);
    ShowLoading();
    m_load = commands::LoadChannelOptions(m_link, this, m_channel);
    connect(
        m_load, &BoardOperation::PoolItemReceived, this,
        [this](bool alert, const AdcListItem& item) { AddPoolItem(alert, item.id, item.text); });
    connect(m_load, &BoardOperation::Ended, this, &AdcOptionsDialog::LoadEnded);
}

void AdcOptionsDialog::ShowChannel() {
    setWindowTitle(adc::DialogTitle(m_channel));
    m_ui->nameEdit->setText(m_panel.AdcName(m_channel));  // whole: a longer name is refused
    m_ui->readingLabel->setText(adc::Cut(m_panel.AdcValue(m_channel), adc::kReadingShown));

    m_clock.setInterval(1000);
    connect(&m_clock, &QTimer::timeout, this, &AdcOptionsDialog::Tick);
    m_clock.start();

    if (m_panel.Record().Channel(m_channel).unit == Unit::Volts) {
        m_ui->voltmeterRadio->setChecked(true);
    } else {
        m_ui->ampmeterRadio->setChecked(true);
    }
    m_ui->voltmeterRadio->setFocus();
}

AdcOptionsDialog::~AdcOptionsDialog() = default;

void AdcOptionsDialog::done(int result) {
    m_clock.stop();
    // Whatever is still in flight is given up: nothing of it reaches this
    // dialog or another one.
    for (BoardOperation* operation : findChildren<BoardOperation*>()) {
        disconnect(operation, nullptr, this, nullptr);
        operation->Cancel();
    }
    QDialog::done(result);
}

void AdcOptionsDialog::LoadEnded(OperationEnding ending) {
    if (ending == OperationEnding::Done) {
        const AdcChannelRecord& record = m_load->ChannelRecord();
        ApplyChannelRecord(record);
        Q_EMIT TriggersKnown(m_channel, record.highValue, record.highEnabled, record.lowValue,
                             record.lowEnabled);
    } else {
        LoadStopped(m_load->Text());
    }
}

void AdcOptionsDialog::Tick() {
    m_ui->asOfLabel->setText(adc::AsOfText(QDateTime::currentDateTime()));
    m_ui->readingLabel->setText(adc::Cut(m_panel.AdcValue(m_channel), adc::kReadingShown));
}

void AdcOptionsDialog::ApplyMode(bool ammeter) {
    for (QWidget* control : {static_cast<QWidget*>(m_ui->ampRatingEdit),
                             static_cast<QWidget*>(m_ui->millivoltRatingEdit),
                             static_cast<QWidget*>(m_ui->ampRatingLabel),
                             static_cast<QWidget*>(m_ui->millivoltRatingLabel)}) {
        control->setEnabled(ammeter);
    }
    if (ammeter) {
        m_ui->ampRatingEdit->setText(m_panel.ShuntAmpRating(m_channel));
        m_ui->millivoltRatingEdit->setText(m_panel.ShuntMillivoltRating(m_channel));
    }
}

void AdcOptionsDialog::AddPoolItem(bool alert, int id, const QString& text) {
    for (std::size_t list = 0; list < adc::kActionsListCount; ++list) {
        if (IsAlertList(list) != alert) {
            continue;
        }
        QListWidget* pool = m_pools[list];
        auto* item = new QListWidgetItem(text);
        item->setData(kIdRole, id);
        pool->addItem(item);
    }
    ++(alert ? m_alertCount : m_scriptCount);
    ShowLoading();
}

void AdcOptionsDialog::ApplyChannelRecord(const AdcChannelRecord& record) {
    if (record.channel != m_channel) {
        return;
    }
    // Every value whole, as the station holds it: what would not fit is
    // refused when it is sent, never cut on the way in.
    m_stationNotes = record.notes;
    m_ui->notesEdit->setPlainText(EditableLines(record.notes));
    m_ui->highValueEdit->setText(record.highValue);
    m_ui->lowValueEdit->setText(record.lowValue);
    m_ui->highEnabledCheck->setChecked(record.highEnabled);
    m_ui->lowEnabledCheck->setChecked(record.lowEnabled);
    const adc::IdLists ids = {
        record.highAlerts, record.highNormalAlerts, record.highScripts, record.highNormalScripts,
        record.lowAlerts,  record.lowNormalAlerts,  record.lowScripts,  record.lowNormalScripts};
    for (std::size_t list = 0; list < adc::kActionsListCount; ++list) {
        m_actions[list]->clear();
        for (const AdcListItem& item : CopyIdListItems(ids[list], Entries(*m_pools[list]))) {
            auto* copy = new QListWidgetItem(item.text);
            copy->setData(kIdRole, item.id);
            m_actions[list]->addItem(copy);
        }
    }
    // A record without a flap time leaves the first, "Continous".
    m_ui->highFlapCombo->setCurrentIndex(0);
    m_ui->lowFlapCombo->setCurrentIndex(0);
    if (record.highFlapText) {
        m_ui->highFlapCombo->setCurrentText(*record.highFlapText);
    }
    if (record.lowFlapText) {
        m_ui->lowFlapCombo->setCurrentText(*record.lowFlapText);
    }
    m_ui->adjustmentEdit->setText(record.adjustment);
    m_ui->precisionEdit->setText(record.precision);
    m_loading = false;
    EnableRecordControls(true);
    ShowLoading();
}

void AdcOptionsDialog::EnableRecordControls(bool loaded) {
    if (!loaded) {
        for (QLineEdit* edit :
             {m_ui->highValueEdit, m_ui->lowValueEdit, m_ui->adjustmentEdit, m_ui->precisionEdit}) {
            edit->clear();
        }
        m_ui->notesEdit->clear();
        m_ui->highEnabledCheck->setChecked(false);
        m_ui->lowEnabledCheck->setChecked(false);
        m_ui->highFlapCombo->setCurrentIndex(-1);
        m_ui->lowFlapCombo->setCurrentIndex(-1);
    }
    QList<QWidget*> controls = {m_ui->highValueEdit,   m_ui->lowValueEdit,  m_ui->adjustmentEdit,
                                m_ui->precisionEdit,   m_ui->notesEdit,     m_ui->highEnabledCheck,
                                m_ui->lowEnabledCheck, m_ui->highFlapCombo, m_ui->lowFlapCombo,
                                m_ui->setNotesButton,  m_ui->setNameButton};
    for (std::size_t list = 0; list < adc::kActionsListCount; ++list) {
        controls << m_pools[list] << m_actions[list] << m_addButtons[list] << m_removeButtons[list];
    }
    for (QWidget* control : controls) {
        control->setEnabled(loaded);
    }
}

void AdcOptionsDialog::ShowLoading() {
    m_ui->okButton->setEnabled(!m_loading && !m_uploading);
    if (!m_loading) {
        m_ui->loadingLabel->clear();
        return;
    }
    m_ui->loadingLabel->setText(tr("Loading from the station: %1 alerts, %2 scripts...")
                                    .arg(m_alertCount)
                                    .arg(m_scriptCount));
}

void AdcOptionsDialog::LoadStopped(const QString& why) {
    if (m_loading) {
        m_ui->loadingLabel->setText(
            tr("Loading stopped: the channel's settings did not arrive, so none are shown and "
               "nothing can be sent; close and open the dialog to load them again.") +
            (why.isEmpty() ? QString() : QLatin1Char(' ') + why));
    }
}

void AdcOptionsDialog::Track(BoardOperation* operation, QPushButton* button,
                             std::function<void()> done) {
    // The controls keep what was typed; the button waits for the answer.
    button->setEnabled(false);
    connect(operation, &BoardOperation::Ended, this,
            [this, operation, button, done = std::move(done)](OperationEnding ending) {
                operation->deleteLater();
                button->setEnabled(true);
                if (ending == OperationEnding::Done) {
                    if (done) {
                        done();
                    }
                } else if (const QString text = UnreportedText(*operation); !text.isEmpty()) {
                    m_messages.ShowError(text);
                }
            });
}

void AdcOptionsDialog::Add(std::size_t list) {
    const QList<QListWidgetItem*> selected = m_pools[list]->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    m_actions[list]->addItem(CopyItem(*selected.front()));
}

void AdcOptionsDialog::Remove(std::size_t list) {
    const QList<QListWidgetItem*> selected = m_actions[list]->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    delete m_actions[list]->takeItem(m_actions[list]->row(selected.front()));
}

void AdcOptionsDialog::SetName() {
    const QString name = m_ui->nameEdit->text();
    if (name.isEmpty()) {
        m_messages.Show(MessageIcon::None, QString::fromLatin1(adc::kZeroLengthName));
        return;
    }
    if (const Result<void> checked = adc::CheckChannelName(m_channel, name); !checked) {
        m_messages.ShowError(checked.error());
        return;
    }
    Track(commands::SetChannelName(m_link, this, m_channel, name), m_ui->setNameButton, {});
}

void AdcOptionsDialog::SetNotes() {
    const QString notes = StationLines(m_ui->notesEdit->document()->toRawText(), m_stationNotes);
    if (const Result<void> checked = adc::CheckChannelNotes(m_channel, notes); !checked) {
        m_messages.ShowError(checked.error());
        return;
    }
    Track(commands::SetChannelNotes(m_link, this, m_channel, notes), m_ui->setNotesButton, {});
}

adc::SettingsForm AdcOptionsDialog::Form() const {
    adc::SettingsForm form;
    form.channel = m_channel;
    form.ammeter = m_ui->ampmeterRadio->isChecked();
    form.ampRating = m_ui->ampRatingEdit->text();
    form.millivoltRating = m_ui->millivoltRatingEdit->text();
    form.precision = m_ui->precisionEdit->text();
    form.adjustment = m_ui->adjustmentEdit->text();
    form.highFlapText = m_ui->highFlapCombo->currentText();
    form.lowFlapText = m_ui->lowFlapCombo->currentText();
    form.highEnabled = m_ui->highEnabledCheck->isChecked();
    form.lowEnabled = m_ui->lowEnabledCheck->isChecked();
    form.highValue = m_ui->highValueEdit->text();
    form.lowValue = m_ui->lowValueEdit->text();
    for (std::size_t list = 0; list < adc::kActionsListCount; ++list) {
        for (const AdcListItem& item : Entries(*m_actions[list])) {
            form.idLists[list].push_back(item.id);
        }
    }
    return form;
}

void AdcOptionsDialog::Upload() {
    if (m_loading || m_uploading) {
        return;
    }
    const adc::SettingsForm form = Form();
    const Result<QByteArray> record = adc::PlanUpload(form);
    if (!record) {
        // The check's own box: error icon, the platform's own caption.
        m_messages.Show(MessageIcon::Error, record.error(), MessageButtons::Ok, QString());
        return;
    }
    // The dialog stays as it is until the station has taken the settings;
    // it closes on the answer and stays open on a refusal or no answer.
    m_uploading = true;
    const QString okText = m_ui->okButton->text();
    m_ui->okButton->setText(tr("Sending..."));
    ShowLoading();
    BoardOperation* operation = commands::UploadChannelSettings(m_link, this, m_channel, *record);
    connect(operation, &BoardOperation::Ended, this, [this, okText, form](OperationEnding ending) {
        m_uploading = false;
        m_ui->okButton->setText(okText);
        ShowLoading();
        if (ending == OperationEnding::Done) {
            Q_EMIT TriggersKnown(m_channel, form.highValue, form.highEnabled, form.lowValue,
                                 form.lowEnabled);
            accept();
        }
    });
    Track(operation, m_ui->okButton, {});
}

bool AdcOptionsDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        for (const auto& [edit, filter] : m_filtered) {
            if (watched != edit) {
                continue;
            }
            const auto& key = static_cast<const QKeyEvent&>(*event);
            if (!IsTypedCharacter(key)) {
                return false;
            }
            for (const char32_t c : key.text().toUcs4()) {
                if (!adc::KeyFilterLets(filter, c)) {
                    m_beep();
                    return true;
                }
            }
            return false;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace volnar
