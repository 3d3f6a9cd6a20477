// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <functional>
#include <memory>

class QLabel;
class QPushButton;

namespace Ui {
class RelayDialog;
}

namespace volnar {

class BoardLink;
class BoardOperation;
class MessageService;
class StatusPanel;

// Longest relay name and notes the station keeps.
inline constexpr int kRelayNameMaxLength = 19;
inline constexpr int kRelayNotesMaxLength = 511;

// "Relay n Control": switch relay n on or off or pulse it, and edit its name
// and notes. Each action is one command of the dialog's own; the name and
// notes stay as typed until the station's echo replaces them, and a refused
// or unanswered update is said below the notes.
class RelayDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RelayDialog)

public:
    // Sends the GET of the relay's notes at once.
    RelayDialog(int relay, BoardLink& link, const StatusPanel& panel, MessageService& messages,
                QWidget* parent = nullptr);
    ~RelayDialog() override;

    int Relay() const { return m_relay; }

Q_SIGNALS:
    // Scripts: this dialog has closed; the script list should open.
    void ScriptsRequested();
    // A switch of the relay to `state` (0 off, 1 on) was sent.
    void SwitchSent(int relay, int state);

private:
    void DoRelayAction();
    void UpdateName();
    void UpdateNotes();
    void Refresh();
    void LimitNotes();
    // Notes as the station sent them, shown with their line breaks.
    void ShowStationNotes(const QString& notes);
    // The station's notes have come (a read or an update's echo): shown in
    // the edit unless the operator has typed there since the edit was last
    // filled; then the typed text stays and the station's is shown below it,
    // with a button to take it.
    void StationNotesArrived(const QString& notes);
    // Shows `button` as sending until the operation ends; `done` takes the
    // station's echo.
    void Track(BoardOperation* operation, QPushButton* button, const QString& sending,
               std::function<void(const QString& echo)> done);

    std::unique_ptr<Ui::RelayDialog> m_ui;
    QLabel* m_status = nullptr;
    int m_relay;
    BoardLink& m_link;
    MessageService& m_messages;
    // The notes as the station last sent them: sent back byte for byte when
    // the operator leaves them as shown.
    QString m_stationNotes;
    QString m_shownNotes;    // the edit's text as the dialog last filled it
    QString m_arrivedNotes;  // the station's, kept beside what was typed
    QLabel* m_stationNotesLabel = nullptr;
    QPushButton* m_useStationNotes = nullptr;
};

}  // namespace volnar
