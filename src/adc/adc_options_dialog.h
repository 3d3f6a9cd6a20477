// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>

#include "adc/adc_settings.h"
#include "link/board_commands.h"
#include "link/dispatch_rules.h"

class QLineEdit;
class QListWidget;
class QPushButton;

namespace Ui {
class AdcOptionsDialog;
}

namespace volnar {

class BoardLink;
class MessageService;
class StatusPanel;

// "ADC n Options": one analogue channel's mode, shunt ratings, precision,
// adjustment, name, notes and its two triggers with their actions. Opening
// starts the dialog's own ADC options data load (alerts walk, scripts walk,
// channel record); the controls fill in as the answers arrive, and OK stays
// disabled until that load has ended with the record, so that an upload
// never replaces the station's settings with the dialog's defaults. A load
// that stops says why. Name and notes are written at once by their Set
// buttons; OK checks the rest and writes it as one settings record, and the
// dialog closes once the station has taken it (it stays open, as it was, on
// a refusal or no answer). Closing gives up whatever is in flight.
//
// Deleted on close; the main window opens it with open(), window-modal.
// The link's signals reach only this dialog while it is open.
class AdcOptionsDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AdcOptionsDialog)

public:
    // channel 1-8 (anything else is taken as 1).
    AdcOptionsDialog(int channel, BoardLink& link, const StatusPanel& panel,
                     MessageService& messages, QWidget* parent = nullptr);
    ~AdcOptionsDialog() override;

    int Channel() const { return m_channel; }
    // True from opening until the channel record has been shown.
    bool IsLoading() const { return m_loading; }

    // What the upload would read from the dialog now.
    adc::SettingsForm Form() const;

    // The once-a-second refresh of the "as of" clock and the reading (public
    // for tests; the dialog's timer calls it).
    void Tick();

    // The sound of a dropped key (QApplication::beep by default).
    void SetBeep(std::function<void()> beep) { m_beep = std::move(beep); }

    void done(int result) override;

Q_SIGNALS:
    // An Alerts or Scripts button: the main window closes this dialog and
    // opens the list.
    void AlertsRequested();
    void ScriptsRequested();
    // The channel's triggers as the station holds them: read by the load, or
    // taken by an upload.
    void TriggersKnown(int channel, const QString& highValue, bool highEnabled,
                       const QString& lowValue, bool lowEnabled);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The constructor's steps, in order.
    void AlignNormalGroups();
    void SetUpControls();
    void ConnectActionsLists();
    void ConnectButtons();
    void StartLoad();
    void ShowChannel();

    void ApplyMode(bool ammeter);
    void AddPoolItem(bool alert, int id, const QString& text);
    void ApplyChannelRecord(const AdcChannelRecord& record);
    void ShowLoading();
    // Until the channel's record has come, the controls it fills are empty
    // and off, and so is every button that sends: nothing made up is shown
    // or can overwrite the station's settings.
    void EnableRecordControls(bool loaded);
    void LoadEnded(OperationEnding ending);
    void LoadStopped(const QString& why);
    // Disables `button` until the operation ends; `done` runs on success.
    void Track(BoardOperation* operation, QPushButton* button, std::function<void()> done);
    void Add(std::size_t list);
    void Remove(std::size_t list);
    void SetName();
    void SetNotes();
    void Upload();

    std::unique_ptr<Ui::AdcOptionsDialog> m_ui;
    int m_channel;
    BoardLink& m_link;
    const StatusPanel& m_panel;
    MessageService& m_messages;
    // The notes as the station sent them: sent back byte for byte when the
    // operator leaves them as shown.
    QString m_stationNotes;
    QTimer m_clock;
    std::function<void()> m_beep;
    BoardOperation* m_load = nullptr;
    bool m_loading = true;
    bool m_uploading = false;
    int m_alertCount = 0;
    int m_scriptCount = 0;
    // Indexed by adc::ActionsList: the pool and the actions list of each of
    // the eight lists, and their buttons.
    std::array<QListWidget*, adc::kActionsListCount> m_pools{};
    std::array<QListWidget*, adc::kActionsListCount> m_actions{};
    std::array<QPushButton*, adc::kActionsListCount> m_addButtons{};
    std::array<QPushButton*, adc::kActionsListCount> m_removeButtons{};
    // The filtered edits and their filters.
    std::array<std::pair<QLineEdit*, adc::KeyFilter>, 6> m_filtered{};
};

}  // namespace volnar
