#include "app/application.h"

#include <QDate>
#include <QDialog>
#include <QTimer>

#include "adc/adc_options_dialog.h"
#include "app/about_box.h"
#include "app/about_text.h"
#include "app/database_location.h"
#include "app/database_options_dialog.h"
#include "directory/station_dialogs.h"
#include "relays/relay_dialog.h"
#include "station/station_name_dialog.h"

namespace volnar {
namespace {

constexpr char kPlaceholder[] = "Place Holder !";

}  // namespace

Application::Application(const StartupOptions& options, MessageService* messages,
                         TransportFactory transports)
    : m_window(std::make_unique<MainWindow>()),
      m_ownMessages(messages ? nullptr : std::make_unique<QtMessageService>(m_window.get())),
      m_messages(messages ? *messages : *m_ownMessages),
      m_directory(m_messages),
      m_stationEditor(m_directory, m_messages, [this] { LoadStationList(); }),
      m_connectAddress(options.connectAddress) {
    // The link reads the chosen station afresh for every request.
    m_link = std::make_unique<BoardLink>(
        m_messages,
        [this](const QString& address) -> std::optional<StationRecord> {
            LookupResult found = m_directory.LookupStation(address);
            if (found.status != LookupStatus::Found) {
                return std::nullopt;
            }
            return std::move(found.record);
        },
        [this] { return m_window->ChooserText(); }, std::move(transports));
    m_alerts = std::make_unique<AlertScreens>(*m_link, m_messages, m_window.get());
    m_scripts = std::make_unique<scripts::ScriptScreens>(*m_link, m_messages, m_window.get());
    Wire();
    // After Wire: the watch reads the panel once it shows each answer.
    m_watch = std::make_unique<StationWatch>(
        *m_link, m_panel, *m_window, m_messages,
        [this] { return ChosenStation(m_window->ChooserText()); }, [this] { OnStart(); });
    if (!options.connectAddress.isEmpty()) {
        m_watch->SetRestartsByItself(true);
    }
    if (!options.recordPath.isEmpty()) {
        m_watch->RecordEveryConnection(options.recordPath);
    }
    connect(m_window.get(), &MainWindow::TrendRequested, this, [this] { OpenTrendWindow(); });

    // Start-up, in order: the idle status bar and the ticker, the database
    // location (key and template), the directory, the chooser, the year, the
    // build number.
    m_window->SetConnectionTexts(StateText(ConnectionState::NotConnected),
                                 StateMessageText(ConnectionState::NotConnected));
    m_window->SetTickerText(StatusTicker::CreditLine());
    m_ticker.Start();
    const StartupLocation startup = PrepareDatabaseLocation(options.databaseOverride);
    m_location = startup.location;
    m_directory.ConnectDatabase(m_location);
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

void Application::Wire() {
    MainWindow* w = m_window.get();
    BoardLink* link = m_link.get();
    connect(w, &MainWindow::StartRequested, this, &Application::OnStart);
    connect(w, &MainWindow::StopRequested, link, &BoardLink::StopPolling);
    connect(w, &MainWindow::ExitRequested, this, &Application::OnExit);
    connect(w, &MainWindow::ChooserOpening, link, &BoardLink::StopPolling);
    connect(w, &MainWindow::Closing, this, &Application::OnClosing);
    connect(w, &MainWindow::SetDefaultRequested, this, &Application::OnSetDefault);
    connect(w, &MainWindow::PlaceholderRequested, this, &Application::OnPlaceholder);
    connect(w, &MainWindow::AboutRequested, this, &Application::OnAbout);
    connect(w, &MainWindow::DatabaseOptionsRequested, this, &Application::OnDatabaseOptions);
    connect(w, &MainWindow::AddIpRequested, this,
            [this] { OpenStationDialog(StationDialogMode::Add); });
    connect(w, &MainWindow::EditIpRequested, this,
            [this] { OpenStationDialog(StationDialogMode::Edit); });
    connect(w, &MainWindow::DeleteIpRequested, this, &Application::OpenDeleteStationDialog);
    connect(w, &MainWindow::RelayRequested, this, &Application::OpenRelayDialog);
    connect(w, &MainWindow::StationNameRequested, this, &Application::OpenStationNameDialog);
    connect(w, &MainWindow::ScriptsRequested, m_scripts.get(), &scripts::ScriptScreens::OpenList);
    connect(&m_notices, &NoticeQueue::ReopenScriptsList, m_scripts.get(),
            &scripts::ScriptScreens::OpenList);
    connect(w, &MainWindow::AlertsRequested, m_alerts.get(), &AlertScreens::OpenList);
    connect(&m_notices, &NoticeQueue::ReopenAlertsList, m_alerts.get(), &AlertScreens::OpenList);
    connect(w, &MainWindow::AdcRequested, this, &Application::OpenAdcDialog);

    connect(link, &BoardLink::StateTextChanged, w,
            [w](const QString& text) { w->SetConnectionTexts(text, w->StatusMessageText()); });
    connect(link, &BoardLink::MessageTextChanged, w, &MainWindow::SetMessageText);
    connect(link, &BoardLink::StartEnabledChanged, w, &MainWindow::SetStartEnabled);
    connect(link, &BoardLink::StationControlsEnabled, w, &MainWindow::SetStationControlsEnabled);
    connect(link, &BoardLink::ReadoutsReset, &m_panel, &StatusPanel::ResetReadouts);
    auto counters = [w, link] {
        w->SetCounters(link->SentCount(), link->ReceivedCount(), link->LostCount());
    };
    connect(link, &BoardLink::SentCountChanged, w, counters);
    connect(link, &BoardLink::ReceivedCountChanged, w, counters);
    connect(link, &BoardLink::LostCountChanged, w, counters);
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

void Application::Show() {
    m_window->show();
    if (!m_connectAddress.isEmpty()) {
        // After the window is on screen, as an operator would press it.
        QTimer::singleShot(0, this, [this] { ConnectTo(m_connectAddress); });
    }
}

void Application::LoadStationList() {
    if (const auto list = m_directory.LoadStationList()) {
        m_window->SetStationList(*list);
    }
}

void Application::ConnectTo(const QString& address) {
    const QString wanted = ChosenStation(address);
    for (int i = 0; i < m_window->Chooser()->count(); ++i) {
        if (ChosenStation(m_window->Chooser()->itemText(i)) == wanted) {
            m_window->Chooser()->setCurrentIndex(i);
            OnStart();
            return;
        }
    }
    m_window->SetChooserText(address);
    OnStart();
}

void Application::OnStart() {
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
    m_directory.DisconnectDatabase();
}

void Application::OnSetDefault() {
    if (m_directory.SetDefaultStation(ChosenStation(m_window->ChooserText()))) {
        LoadStationList();
    }
}

void Application::OnPlaceholder() {
    m_messages.Show(MessageIcon::None, QString::fromLatin1(kPlaceholder), MessageButtons::Ok,
                    QString::fromLatin1(kPlaceholder));
}

void Application::ShowDialog(QDialog* dialog) {
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->open();
    Q_EMIT DialogOpened(dialog);
}

void Application::OpenStationDialog(StationDialogMode mode) {
    // The station dialogs change the directory the link reads: polling stops
    // before they open.
    m_link->StopPolling();
    StationRecord chosen;
    if (mode == StationDialogMode::Edit) {
        chosen = m_directory.LookupStation(ChosenStation(m_window->ChooserText())).record;
    }
    ShowDialog(new StationDialog(mode, m_stationEditor, chosen, m_window.get()));
}

void Application::OpenDeleteStationDialog() {
    m_link->StopPolling();
    ShowDialog(new DeleteStationDialog(m_stationEditor, m_directory, m_window.get()));
}

void Application::OpenRelayDialog(int relay) {
    auto* dialog = new RelayDialog(relay, *m_link, m_panel, m_messages, m_window.get());
    connect(dialog, &RelayDialog::ScriptsRequested, m_scripts.get(),
            &scripts::ScriptScreens::OpenList);
    connect(dialog, &RelayDialog::SwitchSent, m_watch.get(), &StationWatch::ExpectRelay);
    ShowDialog(dialog);
}

void Application::OpenAdcDialog(int channel) {
    auto* dialog = new AdcOptionsDialog(channel, *m_link, m_panel, m_messages, m_window.get());
    connect(dialog, &AdcOptionsDialog::AlertsRequested, this, [this, dialog] {
        dialog->close();
        m_alerts->OpenList();
    });
    connect(dialog, &AdcOptionsDialog::ScriptsRequested, this, [this, dialog] {
        dialog->close();
        m_scripts->OpenList();
    });
    ShowDialog(dialog);
}

TrendWindow* Application::OpenTrendWindow() {
    if (!m_trend) {
        m_trend = new TrendWindow(m_watch->History(), m_window.get());
        m_trend->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_watch.get(), &StationWatch::SampleAdded, m_trend.data(), &TrendWindow::Redraw);
        connect(m_watch.get(), &StationWatch::HistoryRestarted, m_trend.data(),
                &TrendWindow::OnHistoryRestarted);
    }
    m_trend->show();
    m_trend->raise();
    m_trend->activateWindow();
    return m_trend;
}

void Application::OpenStationNameDialog() {
    ShowDialog(new StationNameDialog(m_panel.StationName(), *m_link, m_messages, m_window.get()));
}

void Application::OnAbout() {
    auto* box = new AboutBox(m_aboutText, m_window.get());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    box->open();
    Q_EMIT AboutBoxOpened(box);
}

void Application::OnDatabaseOptions() {
    auto* dialog = new DatabaseOptionsDialog(ReadDatabaseLocation(), m_window.get());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->open();
}

void Application::OnNoticeShown(const QString& text) {
    auto* popup = new NoticePopup(text, m_window.get());
    popup->setWindowModality(Qt::ApplicationModal);
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
