// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <memory>

#include "alerts/alert_screens.h"
#include "app/main_window.h"
#include "app/notice_popup.h"
#include "app/qt_message_service.h"
#include "app/station_transfer.h"
#include "app/station_watch.h"
#include "app/status_bar_state.h"
#include "app/status_ticker.h"
#include "core/status_panel.h"
#include "directory/directory_worker.h"
#include "directory/station_directory.h"
#include "directory/station_form.h"
#include "history_view/trend_window.h"
#include "link/board_link.h"
#include "link/notice_queue.h"
#include "scripts/script_screens.h"

namespace volnar {

class FleetWindow;
class StationConfiguration;
class StationDialog;

struct StartupOptions {
    QString databaseOverride;     // --database: this run only
    QString connectAddress = {};  // --connect: choose and START once shown
    int year = 0;                 // 0: this year
    DirectoryTimings directoryTimings = {};
    QString recordPath = {};  // --record: CSV rows from the first answer on
};

// The status-bar text while the directory does not answer.
inline constexpr char kDirectoryNotAnswering[] = " Directory not answering";

// The program: start-up in order, the main window and every command it
// routes, the board link and its notices, closing. Owns every long-lived
// object; dialogs come and go.
class Application final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Application)

public:
    // `messages` defaults to message boxes owned by the main window; tests
    // pass a recorder. `transports` defaults to net-snmp sessions.
    explicit Application(const StartupOptions& options, MessageService* messages = nullptr,
                         TransportFactory transports = {});
    ~Application() override;

    // Shows the main window; with --connect, chooses the station and presses
    // START once the window is on screen.
    void Show();

    MainWindow& Window() { return *m_window; }
    BoardLink& Link() { return *m_link; }
    // The program reaches the directory only through its worker thread.
    // Directory() is a second, direct connection on the calling thread for
    // tests and tools, opened on first use (and not after closing).
    DirectoryWorker& Worker() { return *m_worker; }
    StationDirectory& Directory();
    StatusPanel& Panel() { return m_panel; }
    StationWatch& Watch() { return *m_watch; }
    NoticeQueue& Notices() { return m_notices; }
    MessageService& Messages() { return m_messages; }
    const StatusBarState& StatusBar() const { return m_statusBar; }
    ListNavigator& Alerts() { return *m_alerts; }
    ListNavigator& Scripts() { return *m_scripts; }
    StationTransfer& Transfer() { return *m_transfer; }
    StationConfiguration& Configuration() { return *m_configuration; }
    const QString& DatabaseLocation() const { return m_location; }
    // The station the chooser names (its address, without the comment).
    const QString& ChosenAddress() const { return m_chosen; }
    const QString& AboutTextShown() const { return m_aboutText; }

    // The chooser reloaded from the directory when it answers; left as it was
    // when the table could not be read.
    void LoadStationList();
    // Chooses the entry of `address` (or types it) and presses START; before
    // the first station list has come, once it has.
    void ConnectTo(const QString& address);

    // The dialogs of the main window's commands (public for tests and the
    // screenshots).
    void OpenStationDialog(StationDialogMode mode);
    void OpenDeleteStationDialog();
    void OpenRelayDialog(int relay);
    void OpenStationNameDialog();
    void OpenAdcDialog(int channel);
    void OpenScriptsList();
    void OpenAlertsList();
    // Opens `dialog` over the window the operator is in: modal, deleted when
    // it closes, the keyboard given back to where it was when it finishes;
    // then DialogOpened.
    void ShowDialog(QDialog* dialog);
    // The trend plot window (one at a time; raised when already open).
    TrendWindow* OpenTrendWindow();

Q_SIGNALS:
    void AboutBoxOpened(QDialog* box);
    // Every dialog the application opens, once it is open.
    void DialogOpened(QDialog* dialog);
    void NoticePopupOpened(volnar::NoticePopup* popup);

private:
    // Wire connects the window's requests, the link's readouts and the
    // directory worker's answers, one step each.
    void Wire();
    void WireWindow();
    void WireLink();
    void WireDirectory();
    void OpenFleetWindow();
    void OnStart();
    void OnExit();
    void OnClosing();
    void OnSetDefault();
    void OnPlaceholder();
    // Add IP / Edit IP: the station written is the chosen one once the
    // chooser has been reloaded.
    void ShowStationDialog(StationDialog* dialog);
    void OnAbout();
    void OnDatabaseOptions();
    void OnNoticeShown(const QString& text);
    void OnNoticeHidden();
    // The link's station lookup: the row read at the last successful lookup,
    // and a fresh read asked of the worker for the next request.
    StationLookupAnswer CachedStation(const QString& address);
    void OnStationLookedUp(const QString& address, const LookupResult& result);
    void OnStationListAnswered();
    // The chooser's entry of `address`, or the address typed in.
    void Choose(const QString& address);

    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<QtMessageService> m_ownMessages;
    MessageService& m_messages;
    StationDirectory m_directory;
    std::unique_ptr<DirectoryWorker> m_worker;
    std::unique_ptr<WorkerStationWrites> m_stationWrites;
    QPointer<QObject> m_editLookup;            // owns Edit IP's read of its row while it waits
    QHash<QString, StationRecord> m_stations;  // by address, as last read
    QSet<QString> m_missing;                   // not in the table at their last lookup
    QSet<QString> m_lookingUp;
    bool m_closed = false;
    bool m_listAnswered = false;  // the first station list came (or failed)
    QString m_connectWhenListed;
    QString m_chooseWhenListed;  // the station a dialog just added or edited
    QString m_chosen;            // the chooser's station, as it last changed
    StatusPanel m_panel;
    StatusBarState m_statusBar;
    std::unique_ptr<BoardLink> m_link;
    std::unique_ptr<StationWatch> m_watch;
    NoticeQueue m_notices;
    std::unique_ptr<ListNavigator> m_alerts;
    std::unique_ptr<ListNavigator> m_scripts;
    std::unique_ptr<StationTransfer> m_transfer;
    std::unique_ptr<StationConfiguration> m_configuration;
    StatusTicker m_ticker;
    QPointer<NoticePopup> m_popup;
    QPointer<TrendWindow> m_trend;
    QPointer<FleetWindow> m_fleet;  // made when first opened
    QString m_location;
    QString m_aboutText;
    QString m_connectAddress;
};

}  // namespace volnar
