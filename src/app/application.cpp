// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/application.h"
#include "fleet/fleet_poller.h"
#include "fleet_view/fleet_window.h"

#include <QDate>
#include <QDialog>
#include <QTimer>
#include <QWindow>
#include <utility>

#include "adc/adc_options_dialog.h"
#include "app/about_box.h"
#include "app/about_text.h"
#include "app/database_location.h"
#include "app/database_options_dialog.h"
#include "app/focus_return.h"
#include "app/mnemonic_keys.h"
#include "app/station_configuration.h"
#include "directory_view/station_dialogs.h"
#include "history/trend_marks.h"
#include "relays/relay_dialog.h"
#include "station_name/station_name_dialog.h"

namespace volnar {
namespace {

constexpr char kPlaceholder[] = "Place Holder !";

// A window beside the main window rather than over it: Qt blocks a window
// whose transient parent a window-modal dialog blocks, so without this every
// station dialog (modal to the main window) would block it too.
void Beside(QWidget* window) {
    if (QWindow* handle = window->windowHandle()) {
        handle->setTransientParent(nullptr);
    }
}

}  // namespace

Application::Application(const StartupOptions& options, MessageService* messages,
                         TransportFactory transports)
    : m_window(std::make_unique<MainWindow>()),
      m_ownMessages(messages ? nullptr : std::make_unique<QtMessageService>(m_window.get())),
      m_messages(messages ? *messages : *m_ownMessages),
      m_worker(std::make_unique<DirectoryWorker>(options.directoryTimings)),
      m_stationWrites(std::make_unique<WorkerStationWrites>(*m_worker)),
      m_connectAddress(options.connectAddress) {
    // The link looks the chosen station's row up for every request and never
    // waits for the directory.
    m_link = std::make_unique<BoardLink>(
        [this](const QString& address) { return CachedStation(address); }, std::move(transports));
    m_alerts =
        std::make_unique<ListNavigator>(AlertNavigation(), *m_link, m_messages, m_window.get());
    m_scripts = std::make_unique<ListNavigator>(scripts::ScriptNavigation(), *m_link, m_messages,
                                                m_window.get());
    m_transfer = std::make_unique<StationTransfer>(*m_window, *m_worker, m_messages,
                                                   [this](QDialog* d) { ShowDialog(d); });
    KeepMnemonicsOut(m_window->Chooser());
    Wire();
    // After Wire: the watch reads the panel once it shows each answer.
    m_watch = std::make_unique<StationWatch>(
        *m_link, m_panel, *m_window, m_statusBar, m_messages, [this] { return m_chosen; },
        [this] { OnStart(); });
    if (!options.connectAddress.isEmpty()) {
        m_watch->SetRestartsByItself(true);
    }
    if (!options.recordPath.isEmpty()) {
        m_watch->RecordEveryConnection(options.recordPath);
    }
    connect(m_window.get(), &MainWindow::TrendRequested, this, [this] { OpenTrendWindow(); });
    connect(m_window.get(), &MainWindow::ImportStationsRequested, m_transfer.get(),
            &StationTransfer::ChooseImportFile);
    connect(m_window.get(), &MainWindow::ExportStationsRequested, m_transfer.get(),
            &StationTransfer::ChooseExportFile);
    m_configuration = std::make_unique<StationConfiguration>(*this);

    // Start-up, in order: the idle status bar and the ticker, the database
    // location (key and template), the directory, the chooser, the year, the
    // build number.
    m_statusBar.SetLinkState(StateText(ConnectionState::NotConnected));
    m_statusBar.SetLinkMessage(StateMessageText(ConnectionState::NotConnected));
    m_window->SetTickerText(StatusTicker::CreditLine());
    m_ticker.Start();
    const StartupLocation startup = PrepareDatabaseLocation(options.databaseOverride);
    m_location = startup.location;
    m_worker->Connect(m_location);
    LoadStationList();
    const int year = options.year > 0 ? options.year : QDate::currentDate().year();
    m_aboutText = AboutText(year);
    m_ticker.SetYear(year);
    m_window->SetBuildNumber(BuildNumberText(VOLNAR_VERSION_TEXT));
}

Application::~Application() {
    // The dialogs go before the link and the panel they use.
    m_scripts.reset();
    m_alerts.reset();
    delete m_trend.data();
    m_watch.reset();
    qDeleteAll(m_window->findChildren<QDialog*>(Qt::FindDirectChildrenOnly));
    m_link->StopPolling();
    m_directory.DisconnectDatabase();
}

StationDirectory& Application::Directory() {
    if (!m_closed && !m_directory.IsConnected()) {
        if (const Result<void> opened = m_directory.ConnectDatabase(m_location); !opened) {
            m_messages.ShowFailure(opened.failure());
        }
    }
    return m_directory;
}

StationLookupAnswer Application::CachedStation(const QString& address) {
    if (!m_lookingUp.contains(address)) {
        m_lookingUp.insert(address);
        m_worker->LookupStation(address);
    }
    const auto found = m_stations.constFind(address);
    if (found != m_stations.constEnd()) {
        return std::optional(*found);
    }
    // Only a station the directory said it does not hold is missing; until
    // it has answered at all, the link waits (a station chosen a moment ago,
    // a directory locked or restarting).
    return m_missing.contains(address) ? StationLookupAnswer() : StationLookupAnswer::Waiting();
}

void Application::OnStationLookedUp(const QString& address, const LookupResult& result) {
    m_lookingUp.remove(address);
    switch (result.status) {
        case LookupStatus::Found:
            m_stations.insert(address, result.record);
            m_missing.remove(address);
            break;
        case LookupStatus::NotFound:
            m_stations.remove(address);
            m_missing.insert(address);
            break;
        case LookupStatus::Failed:
            break;  // the last row read stays in use
    }
    m_link->RetryWaitingRequest();
}

void Application::Wire() {
    WireWindow();
    WireLink();
    WireDirectory();
}

void Application::WireWindow() {
    MainWindow* w = m_window.get();
    BoardLink* link = m_link.get();
    connect(w, &MainWindow::StartRequested, this, &Application::OnStart);
    connect(w, &MainWindow::StopRequested, link, &BoardLink::StopPolling);
    connect(w, &MainWindow::ExitRequested, this, &Application::OnExit);
    connect(w, &MainWindow::ChooserOpening, link, &BoardLink::StopPolling);
    // Another station chosen (arrow keys, the wheel, the fleet overview, typing)
    // ends what the link was doing for the one before.
    connect(w->Chooser(), &QComboBox::currentTextChanged, this, [this](const QString& text) {
        m_chosen = ChosenStation(text);
        m_link->ChooseStation(text);
    });
    connect(w, &MainWindow::Closing, this, &Application::OnClosing);
    connect(w, &MainWindow::SetDefaultRequested, this, &Application::OnSetDefault);
    connect(w, &MainWindow::PlaceholderRequested, this, &Application::OnPlaceholder);
    connect(w, &MainWindow::AboutRequested, this, &Application::OnAbout);
    connect(w, &MainWindow::DatabaseOptionsRequested, this, &Application::OnDatabaseOptions);
    connect(w, &MainWindow::FleetOverviewRequested, this, &Application::OpenFleetWindow);
    connect(w, &MainWindow::AddIpRequested, this,
            [this] { OpenStationDialog(StationDialogMode::Add); });
    connect(w, &MainWindow::EditIpRequested, this,
            [this] { OpenStationDialog(StationDialogMode::Edit); });
    connect(w, &MainWindow::DeleteIpRequested, this, &Application::OpenDeleteStationDialog);
    connect(w, &MainWindow::RelayRequested, this, &Application::OpenRelayDialog);
    connect(w, &MainWindow::StationNameRequested, this, &Application::OpenStationNameDialog);
    connect(w, &MainWindow::ScriptsRequested, this, &Application::OpenScriptsList);
    connect(&m_notices, &NoticeQueue::ReopenScriptsList, this, &Application::OpenScriptsList);
    connect(w, &MainWindow::AlertsRequested, this, &Application::OpenAlertsList);
    connect(&m_notices, &NoticeQueue::ReopenAlertsList, this, &Application::OpenAlertsList);
    connect(w, &MainWindow::AdcRequested, this, &Application::OpenAdcDialog);
}

void Application::OpenFleetWindow() {
    // One fleet window, a child of the main window; its rows come from
    // the directory each time it is shown.
    if (!m_fleet) {
        auto* fleet = new FleetWindow(m_window.get());
        m_fleet = fleet;
        connect(fleet, &FleetWindow::RefreshRequested, m_worker.get(),
                &DirectoryWorker::LoadStationRecords);
        connect(m_worker.get(), &DirectoryWorker::StationRecordsLoaded, fleet,
                &FleetWindow::SetStations);
        connect(m_worker.get(), &DirectoryWorker::StationRecordsFailed, fleet,
                [this](const Failure& failure) { m_messages.ShowFailure(failure); });
        connect(fleet, &FleetWindow::CopyRequested, m_configuration.get(),
                [this, fleet](const QStringList& selected) {
                    m_configuration->CopyToStations(selected, fleet);
                });
        connect(fleet, &FleetWindow::StationChosen, this, [this](const QString& address) {
            Choose(address);
            m_window->activateWindow();
        });
        connect(fleet, &FleetWindow::TrendRequested, this, [this](const QString& address) {
            Choose(address);
            OpenTrendWindow();
        });
        connect(fleet, &FleetWindow::StartRequested, this, [this](const QString& address) {
            ConnectTo(address);
            m_window->activateWindow();
        });
    }
    m_fleet->show();
    Beside(m_fleet);
    m_fleet->raise();
}

void Application::WireLink() {
    MainWindow* w = m_window.get();
    BoardLink* link = m_link.get();
    connect(&m_statusBar, &StatusBarState::Changed, w, &MainWindow::ShowStatusTexts);
    connect(link, &BoardLink::StateTextChanged, &m_statusBar, &StatusBarState::SetLinkState);
    connect(link, &BoardLink::MessageTextChanged, &m_statusBar, &StatusBarState::SetLinkMessage);
    connect(link, &BoardLink::StartEnabledChanged, w, &MainWindow::SetStartEnabled);
    connect(link, &BoardLink::StationControlsEnabled, w, &MainWindow::SetStationControlsEnabled);
    connect(link, &BoardLink::ReadoutsReset, &m_panel, &StatusPanel::ResetReadouts);
    connect(link, &BoardLink::CountersChanged, w, &MainWindow::SetCounters);
    connect(link, &BoardLink::StatusRecordReceived, &m_panel, [this](const QByteArray& record) {
        m_panel.ShowStatusRecord(
            std::string_view(record.constData(), static_cast<std::size_t>(record.size())));
    });
    connect(&m_panel, &StatusPanel::Changed, w, [this] { m_window->ShowPanel(m_panel); });
    connect(link, &BoardLink::NoticeRequested, &m_notices, &NoticeQueue::ShowNotice);
    connect(&m_notices, &NoticeQueue::NoticeShown, this, &Application::OnNoticeShown);
    connect(&m_notices, &NoticeQueue::NoticeHidden, this, &Application::OnNoticeHidden);
    connect(&m_ticker, &StatusTicker::TextChanged, w, &MainWindow::SetTickerText);
}

void Application::WireDirectory() {
    DirectoryWorker* worker = m_worker.get();
    connect(worker, &DirectoryWorker::StationListLoaded, this, [this](const StationList& list) {
        // A list that comes while a station is in use leaves it chosen: the
        // link reads the chooser for every request.
        const QString chosen = m_window->ChooserText();
        const bool inUse = m_link->State() != ConnectionState::NotConnected;
        m_window->SetStationList(list);
        if (!m_chooseWhenListed.isEmpty()) {
            Choose(std::exchange(m_chooseWhenListed, QString()));
        } else if (inUse) {
            Choose(chosen);
        }
        OnStationListAnswered();
    });
    connect(worker, &DirectoryWorker::StationListFailed, this,
            [this](const Failure& failure, bool loud) {
                if (loud) {
                    m_messages.ShowFailure(failure);
                }
                OnStationListAnswered();
            });
    connect(worker, &DirectoryWorker::Connected, this, [this](const Result<void>& opened) {
        if (!opened) {
            m_messages.ShowFailure(opened.failure());
        }
    });
    connect(worker, &DirectoryWorker::StationLookedUp, this, &Application::OnStationLookedUp);
    connect(worker, &DirectoryWorker::AnsweringChanged, this, [this](bool answering) {
        m_statusBar.SetDirectory(answering ? QString()
                                           : QString::fromLatin1(kDirectoryNotAnswering));
    });
    // A chooser left empty by a directory that was not there at start-up is
    // filled when it comes back; one in use is left alone.
    connect(worker, &DirectoryWorker::Reconnected, this, [this, worker] {
        if (m_window->Chooser()->count() == 0) {
            worker->LoadStationList(false);
        }
    });
    connect(worker, &DirectoryWorker::DefaultStationSet, this, [this](const Result<void>& set) {
        if (!set) {
            m_messages.ShowFailure(set.failure(), MessageIcon::Error);
            return;
        }
        m_messages.ShowPlain(QString::fromLatin1(kDefaultSet));
        LoadStationList();
    });
    // A station added, changed or deleted is read afresh before it is polled
    // again.
    connect(worker, &DirectoryWorker::StationsChanged, this, [this] {
        m_stations.clear();
        m_missing.clear();
        LoadStationList();
    });
}

void Application::Show() {
    m_window->show();
    if (!m_connectAddress.isEmpty()) {
        // After the window is on screen, as an operator would press it.
        QTimer::singleShot(0, this, [this] { ConnectTo(m_connectAddress); });
    }
}

void Application::LoadStationList() {
    m_worker->LoadStationList();
}

void Application::OnStationListAnswered() {
    m_listAnswered = true;
    if (!m_connectWhenListed.isEmpty()) {
        ConnectTo(std::exchange(m_connectWhenListed, QString()));
    }
}

void Application::ConnectTo(const QString& address) {
    if (!m_listAnswered) {
        // The chooser is filled when the directory answers; choose then.
        m_connectWhenListed = address;
        return;
    }
    Choose(address);
    OnStart();
}

void Application::Choose(const QString& address) {
    const QString wanted = ChosenStation(address);
    for (int i = 0; i < m_window->Chooser()->count(); ++i) {
        if (ChosenStation(m_window->Chooser()->itemText(i)) == wanted) {
            m_window->Chooser()->setCurrentIndex(i);
            return;
        }
    }
    m_window->SetChooserText(address);
}

void Application::OnStart() {
    // A station whose row has not come yet is polled once the directory
    // answers; the link says meanwhile that it waits for the directory.
    m_link->Start();
}

void Application::OnExit() {
    m_link->StopPolling();
    m_window->close();
}

void Application::OnClosing() {
    // The session closes without waiting for anything in flight; the
    // directory closes with the window.
    m_link->StopPolling();
    m_worker->Disconnect();
    m_directory.DisconnectDatabase();
    m_closed = true;
}

void Application::OnSetDefault() {
    m_worker->SetDefaultStation(m_chosen);
}

void Application::OnPlaceholder() {
    m_messages.Show(MessageIcon::None, QString::fromLatin1(kPlaceholder), MessageButtons::Ok,
                    QString::fromLatin1(kPlaceholder));
}

void Application::ShowDialog(QDialog* dialog) {
    ReturnFocusWhenFinished(dialog);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();  // window-modal: the fleet and trend windows stay usable
    Q_EMIT DialogOpened(dialog);
}

void Application::OpenStationDialog(StationDialogMode mode) {
    if (mode == StationDialogMode::Edit && m_editLookup) {
        return;  // this press's dialog opens when the row comes
    }
    // The station dialogs change the directory the link reads: polling stops
    // before they open.
    m_link->StopPolling();
    if (mode == StationDialogMode::Add) {
        delete m_editLookup.data();  // the operator went on: Edit IP no longer opens
        ShowStationDialog(
            new StationDialog(mode, *m_stationWrites, {}, m_messages, m_window.get()));
        return;
    }
    // Edit opens filled with the chosen station's row once the directory has
    // read it (empty when it could not). The read is this press's own: only
    // its answer opens the dialog.
    m_editLookup = new QObject(this);
    m_worker->LookupStation(m_chosen, m_editLookup, [this](const LookupResult& result) {
        delete m_editLookup.data();
        ShowStationDialog(new StationDialog(StationDialogMode::Edit, *m_stationWrites,
                                            result.record, m_messages, m_window.get()));
    });
}

void Application::ShowStationDialog(StationDialog* dialog) {
    connect(dialog, &QDialog::accepted, this,
            [this, dialog] { m_chooseWhenListed = dialog->Form().address; });
    ShowDialog(dialog);
}

void Application::OpenDeleteStationDialog() {
    m_link->StopPolling();
    delete m_editLookup.data();
    ShowDialog(new DeleteStationDialog(*m_stationWrites, m_messages, m_window.get()));
}

void Application::OpenRelayDialog(int relay) {
    auto* dialog = new RelayDialog(relay, *m_link, m_panel, m_messages, m_window.get());
    connect(dialog, &RelayDialog::ScriptsRequested, this, &Application::OpenScriptsList);
    connect(dialog, &RelayDialog::SwitchSent, m_watch.get(), &StationWatch::ExpectRelay);
    // The fleet overview, when open, watches the switch on the station's row.
    connect(dialog, &RelayDialog::SwitchSent, this,
            [this, address = ChosenAddress()](int switched, int state) {
                if (m_fleet) {
                    m_fleet->Poller().ExpectRelay(address, switched, state);
                }
            });
    ShowDialog(dialog);
}

void Application::OpenScriptsList() {
    // Taken before the list opens: the window it is opened over gets the
    // keyboard back when it closes.
    const FocusReturn before;
    m_scripts->OpenList();
    ReturnFocusWhenFinished(m_scripts->List(), before);
}

void Application::OpenAlertsList() {
    const FocusReturn before;
    m_alerts->OpenList();
    ReturnFocusWhenFinished(m_alerts->List(), before);
}

void Application::OpenAdcDialog(int channel) {
    auto* dialog = new AdcOptionsDialog(channel, *m_link, m_panel, m_messages, m_window.get());
    connect(dialog, &AdcOptionsDialog::AlertsRequested, this, [this, dialog] {
        dialog->close();
        OpenAlertsList();
    });
    connect(dialog, &AdcOptionsDialog::ScriptsRequested, this, [this, dialog] {
        dialog->close();
        OpenScriptsList();
    });
    // The plot's dashed trigger lines: the levels each time the station's
    // record is read or written.
    connect(dialog, &AdcOptionsDialog::TriggersKnown, m_watch.get(),
            [this, address = ChosenAddress()](int n, const QString& high, bool highOn,
                                              const QString& low, bool lowOn) {
                const ChannelTriggers triggers = TriggersOf(high, highOn, low, lowOn);
                m_watch->SetTriggers(n, triggers);
                // The fleet's alarm follows a trigger changed here at once,
                // not at its next read of the levels.
                if (m_fleet) {
                    m_fleet->Poller().SetTriggers(address, n, triggers);
                }
            });
    ShowDialog(dialog);
}

TrendWindow* Application::OpenTrendWindow() {
    if (!m_trend) {
        m_trend = new TrendWindow(m_watch->History(), m_window.get());
        m_trend->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_watch.get(), &StationWatch::SampleAdded, m_trend.data(), &TrendWindow::Redraw);
        // Directly: the window never draws a history the watch has left.
        connect(m_watch.get(), &StationWatch::HistoryChanged, m_trend.data(),
                [this] { m_trend->ShowHistory(m_watch->History()); });
    }
    m_trend->show();
    Beside(m_trend);
    m_trend->raise();
    m_trend->activateWindow();
    return m_trend;
}

void Application::OpenStationNameDialog() {
    ShowDialog(new StationNameDialog(m_panel.StationName(), *m_link, m_messages, m_window.get()));
}

void Application::OnAbout() {
    auto* box = new AboutBox(m_aboutText, m_window.get());
    ShowDialog(box);
    Q_EMIT AboutBoxOpened(box);
}

void Application::OnDatabaseOptions() {
    ShowDialog(new DatabaseOptionsDialog(ReadDatabaseLocation(), m_location, m_window.get()));
}

void Application::OnNoticeShown(const QString& text) {
    // Over the dialog that asked for the change; the keyboard goes back
    // there when the notice has gone.
    auto* popup = new NoticePopup(text, OwnerForNewWindow(m_window.get()));
    ReturnFocusWhenFinished(popup);
    m_popup = popup;
    popup->open();
    Q_EMIT NoticePopupOpened(popup);
}

void Application::OnNoticeHidden() {
    if (m_popup) {
        m_popup->Expire();
    }
}

}  // namespace volnar
