// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QMainWindow>
#include <array>
#include <optional>

#include "app/station_configuration.h"
#include "app/status_bar_state.h"
#include "directory/station_directory.h"

class QAction;
class QLineEdit;
class QPushButton;

namespace volnar {

class StatusArea;

class StatusPanel;

// Colour of a relay state label by its text: black for "==…", green for
// "ON…", red for "OF…"; none for anything else.
std::optional<QColor> RelayStateColor(const QString& text);

// The station chooser: an editable drop-down that says when its list is
// about to open (polling stops then; typing does not stop it).
class StationChooser final : public QComboBox {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StationChooser)

public:
    using QComboBox::QComboBox;
    void showPopup() override;

Q_SIGNALS:
    void PopupOpening();
};

// The main window: the station chooser, the panel's readouts, the packet
// counters, the status bar and the buttons. It shows what it is given and
// reports what the operator asked for; it decides nothing itself.
class MainWindow final : public QMainWindow {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)

public:
    static constexpr int kAdcCount = 8;
    static constexpr int kRelayCount = 4;

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;
    // At least as wide as the status texts need.
    QSize sizeHint() const override;

    // Fills the chooser in table order; the default entry becomes its text
    // (an empty text when there is none).
    void SetStationList(const StationList& list);
    // Empties the chooser and its text (after a failed reload it is left).
    void ClearStationList();
    QString ChooserText() const;
    void SetChooserText(const QString& text);
    StationChooser* Chooser() const { return m_chooser; }

    void ShowPanel(const StatusPanel& panel);
    // The status bar's texts (StatusBarState decides them) but the ticker.
    void ShowStatusTexts(const StatusBarTexts& texts);
    void SetTickerText(const QString& text);
    void SetCounters(int sent, int received, int lost);
    void SetStationControlsEnabled(bool enabled);
    void SetStartEnabled(bool enabled);
    void SetBuildNumber(const QString& text);

    // The controls the Tab key visits, in order (object names).
    static QStringList TabOrder();
    // The readouts greyed, with their age as tool tip, while the station is
    // silent.
    void SetReadoutsStale(bool stale, const QString& age);
    // Shown instead of the relay's state while a switch is not confirmed
    // ("pending", "station still reports OFF"); empty shows the state.
    void SetRelayNote(int relay, const QString& note);
    QString StatusHealthText() const { return m_statusHealth->text(); }
    QString StatusRecordingText() const { return m_statusRecording->text(); }
    bool ReadoutsStale() const { return m_readoutsStale; }
    QString RelayStateLabelText(int relay) const;

    // Status bar texts, for the tests and the screenshots.
    QString StatusStateText() const { return m_statusState->text(); }
    QString StatusMessageText() const { return m_statusMessage->text(); }
    QString StatusTickerText() const { return m_statusTicker->text(); }
    QString StatusDirectoryText() const { return m_statusDirectory->text(); }

Q_SIGNALS:
    void StartRequested();
    void StopRequested();
    void ExitRequested();   // the EXIT button: stop polling, then close
    void ChooserOpening();  // the drop-down list is about to show
    void AddIpRequested();
    void EditIpRequested();
    void DeleteIpRequested();
    void SetDefaultRequested();
    void DatabaseOptionsRequested();
    void FleetOverviewRequested();
    void AboutRequested();
    void RelayRequested(int relay);
    void AdcRequested(int channel);
    void ScriptsRequested();
    void AlertsRequested();
    void StationNameRequested();
    void PlaceholderRequested();
    void RecordRequested();  // File > Record to CSV…: start or stop
    void TrendRequested();   // the TREND button, File > Trend Plot…
    void ImportStationsRequested();
    void ExportStationsRequested();
    void Closing();  // the window is closing (File > Exit, the caption's close, EXIT)
    // File > Back Up Station…, Compare Station with File…, Restore Station
    // from File…
    void ConfigurationRequested(volnar::ConfigurationCommand command);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenus();
    void BuildStatusBar();
    // The window at least as wide as the status texts need.
    void FitStatusBar();
    QWidget* BuildChooserGroup();
    QWidget* BuildStationGroups();
    QWidget* BuildAdcGroup();
    QWidget* BuildRelayGroup();
    QWidget* BuildLowerGroups();
    QWidget* BuildButtonRow();
    void ColourRelayState(int relay);
    void SetTabOrder();
    void ShowRelayState(int relay);

    StationChooser* m_chooser = nullptr;
    QLineEdit* m_stationName = nullptr;
    QLineEdit* m_fahrenheit = nullptr;
    QLineEdit* m_celsius = nullptr;
    QLineEdit* m_uptime = nullptr;
    std::array<QLabel*, kAdcCount> m_adcNames{};
    std::array<QLineEdit*, kAdcCount> m_adcValues{};
    std::array<QLabel*, kAdcCount> m_adcUnits{};
    std::array<QLabel*, kRelayCount> m_relayStates{};
    std::array<QLabel*, kRelayCount> m_relayNames{};
    QLabel* m_sent = nullptr;
    QLabel* m_received = nullptr;
    QLabel* m_lost = nullptr;
    QLabel* m_buildNumber = nullptr;
    QPushButton* m_start = nullptr;
    // The 24 controls enabled by the station's first answer.
    std::vector<QWidget*> m_stationControls;
    StatusArea* m_statusArea = nullptr;
    QLabel* m_statusState = nullptr;
    QLabel* m_statusMessage = nullptr;
    QLabel* m_statusTicker = nullptr;
    QLabel* m_statusDirectory = nullptr;
    QLabel* m_statusHealth = nullptr;
    QLabel* m_statusRecording = nullptr;
    QAction* m_recordAction = nullptr;
    std::array<QString, kRelayCount> m_relayStateTexts;
    std::array<QString, kRelayCount> m_relayNotes;
    bool m_readoutsStale = false;
};

}  // namespace volnar
