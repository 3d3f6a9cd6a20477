#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class RelayDialog;
}

namespace volnar {

class BoardLink;
class MessageService;
class StatusPanel;

// Longest relay name and notes the station keeps.
inline constexpr int kRelayNameMaxLength = 19;
inline constexpr int kRelayNotesMaxLength = 511;

// "Relay n Control": switch relay n on or off or pulse it, and edit its name
// and notes. Each action is one request; the station's echoes of the name and
// notes come back through the link's signals while the dialog is open.
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

    std::unique_ptr<Ui::RelayDialog> m_ui;
    int m_relay;
    BoardLink& m_link;
    MessageService& m_messages;
    // The notes as the station last sent them: sent back byte for byte when
    // the operator leaves them as shown.
    QString m_stationNotes;
};

}  // namespace volnar
