// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/station_configuration.h"

#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QPointer>
#include <QSaveFile>
#include <memory>

#include "app/application.h"
#include "app/main_window.h"
#include "core/message_service.h"
#include "core/station_record.h"
#include "directory/directory_worker.h"
#include "link/board_link.h"
#include "station_config/config_link.h"
#include "station_config/fleet_copy_run.h"
#include "station_config_view/configuration_dialog.h"
#include "station_config_view/fleet_copy_dialog.h"

namespace volnar {

namespace {

using config::StationConfig;

QString Title(ConfigurationCommand command) {
    switch (command) {
        case ConfigurationCommand::BackUp:
            return QObject::tr("Back Up Station");
        case ConfigurationCommand::Compare:
            return QObject::tr("Compare Station with File");
        case ConfigurationCommand::Restore:
            break;
    }
    return QObject::tr("Restore Station from File");
}

// A link for one station, owned by the dialog; what runs on it is its
// child and goes first.
class StationSession final : public QObject {
public:
    StationSession(const StationRecord& record, QObject* parent)
        : QObject(parent), link(config::LinkForStation(record)) {}
    ~StationSession() override {
        qDeleteAll(children());
        link.reset();
    }
    std::unique_ptr<BoardLink> link;
};

Result<StationConfig> ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return Failure{file.errorString()};
    }
    return config::ParseConfigFile(file.readAll());
}

void ShowRestore(config::RestoreRun* run, ConfigurationDialog* dialog, const QString& path,
                 const QString& source, const QString& address) {
    const auto& plan = run->Report().plan;
    QStringList lines;
    for (const config::PlanItem& item : plan) {
        lines << item.text;
    }
    dialog->SetLines(lines);
    dialog->SetHeading(QObject::tr("Restore %1 (read from %2) to station %3: %n change(s).",
                                   nullptr, static_cast<int>(plan.size()))
                           .arg(path, source, address));
    if (plan.empty()) {
        dialog->SetSummary(QObject::tr("The station already holds this configuration."));
        return;
    }
    dialog->SetSummary(QObject::tr("Nothing has been sent yet."));
    dialog->SetProgress(0, static_cast<int>(plan.size()));  // the reads' bar becomes the sends'
    dialog->AskToConfirm(QObject::tr("&Restore to %1").arg(address));
    QObject::connect(dialog, &ConfigurationDialog::Confirmed, run, [run, dialog] {
        dialog->SetSummary(QObject::tr("Sending…"));
        run->Apply();
    });
    // The report's results are filled in when the run ends: the window
    // counts the items as they end.
    QObject::connect(run, &config::RestoreRun::ItemEnded, dialog,
                     [run, dialog, ended = 0](const config::ItemResult& result) mutable {
                         dialog->MarkLine(result.item.text, result.Done(), result.text);
                         ++ended;
                         dialog->SetProgress(
                             ended, std::max(ended, static_cast<int>(run->Report().plan.size())));
                     });
}

void ShowCopyPlan(config::FleetCopyRun* run, FleetCopyDialog* dialog) {
    const config::CopyBook& book = run->Book();
    int stations = 0;
    for (int i = 0; i < book.Count(); ++i) {
        QStringList lines;
        for (const config::PlanItem& item : book.Station(i).plan) {
            lines << item.text;
        }
        dialog->SetChanges(i, lines);
        stations += book.Station(i).state == config::CopyState::Planned;
    }
    if (stations == 0) {
        dialog->SetSummary(QObject::tr("Nothing to send: ") + config::CopySummary(book.Stations()));
        return;
    }
    dialog->SetSummary(QObject::tr("Nothing has been sent yet: %n change(s) to send.", nullptr,
                                   book.PlannedItems()));
    dialog->AskToConfirm(QObject::tr("&Copy to %n station(s)", nullptr, stations));
}

void ShowCopy(config::FleetCopyRun* run, FleetCopyDialog* dialog) {
    const config::CopyBook& book = run->Book();
    QObject::connect(run, &config::FleetCopyRun::StationChanged, dialog, [&book, dialog](int i) {
        const config::StationCopy& station = book.Station(i);
        const bool failed = station.state == config::CopyState::Unreachable ||
                            station.Applied() < static_cast<int>(station.results.size());
        dialog->SetStationState(i, config::StationSummary(station), failed);
    });
    QObject::connect(run, &config::FleetCopyRun::Planned, dialog,
                     [run, dialog] { ShowCopyPlan(run, dialog); });
    QObject::connect(dialog, &FleetCopyDialog::Confirmed, run, [run, dialog, &book] {
        dialog->SetSending(true);
        dialog->SetProgress(0, book.PlannedItems());
        dialog->SetSummary(QObject::tr("Sending…"));
        run->Apply();
    });
    QObject::connect(dialog, &FleetCopyDialog::CancelRequested, run, [run, dialog] {
        dialog->SetSummary(QObject::tr("Cancelling after the change on its way…"));
        run->Cancel();
    });
    QObject::connect(run, &config::FleetCopyRun::ItemEnded, dialog,
                     [&book, dialog](int i, const config::ItemResult& result) {
                         const int item = static_cast<int>(book.Station(i).results.size()) - 1;
                         dialog->MarkChange(i, item, result.item.text, result.Done(), result.text);
                         dialog->SetProgress(book.SentItems(),
                                             std::max(book.SentItems(), book.PlannedItems()));
                     });
    QObject::connect(run, &config::FleetCopyRun::Finished, dialog, [&book, dialog] {
        dialog->SetSending(false);
        dialog->SetSummary(config::CopySummary(book.Stations()));
    });
}

}  // namespace

void AddConfigurationActions(MainWindow& window, QMenu& file) {
    const struct {
        const char* text;
        const char* name;
        ConfigurationCommand command;
    } actions[] = {
        {"&Back Up Station…", "backUpAction", ConfigurationCommand::BackUp},
        {"&Compare Station with File…", "compareAction", ConfigurationCommand::Compare},
        {"Re&store Station from File…", "restoreAction", ConfigurationCommand::Restore},
    };
    file.addSeparator();
    for (const auto& entry : actions) {
        QAction* action = file.addAction(QObject::tr(entry.text));
        action->setObjectName(QString::fromLatin1(entry.name));
        const ConfigurationCommand command = entry.command;
        QObject::connect(action, &QAction::triggered, &window,
                         [&window, command] { Q_EMIT window.ConfigurationRequested(command); });
    }
}

StationConfiguration::StationConfiguration(Application& application) : m_application(application) {
    connect(&application.Window(), &MainWindow::ConfigurationRequested, this,
            &StationConfiguration::Request);
}

ConfigurationDialog* StationConfiguration::LastDialog() const {
    return m_last;
}

CopySourceDialog* StationConfiguration::LastSourceDialog() const {
    return m_lastSource;
}

FleetCopyDialog* StationConfiguration::LastCopyDialog() const {
    return m_lastCopy;
}

void StationConfiguration::CopyToStations(const QStringList& selected, QWidget* window) {
    QStringList targets = selected;
    targets.removeAll(QLatin1String(kProtectedAddress));  // never polled, never written
    if (targets.isEmpty()) {
        return;
    }
    auto* owner = new QObject(this);  // the answer goes nowhere once this is gone
    m_application.Worker().ReadStations(
        owner, [this, owner, parent = QPointer<QWidget>(window),
                targets](const Result<std::vector<StationRecord>>& rows) {
            owner->deleteLater();
            if (!rows) {
                m_application.Messages().ShowFailure(rows.failure());
                return;
            }
            QStringList sources;
            for (const StationRecord& row : *rows) {
                if (!targets.contains(row.IPADDRESS) &&
                    row.IPADDRESS != QLatin1String(kProtectedAddress)) {
                    sources << row.IPADDRESS;
                }
            }
            auto* choice = new CopySourceDialog(targets, sources,
                                                parent ? parent.data() : &m_application.Window());
            m_lastSource = choice;
            connect(choice, &CopySourceDialog::SourceChosen, this,
                    [this, targets, parent, records = *rows](const QString& station,
                                                             const QString& file, bool copyName) {
                        StartCopy(targets, records, station, file, copyName, parent);
                    });
            m_application.ShowDialog(choice);
        });
}

void StationConfiguration::StartCopy(const QStringList& targets,
                                     const std::vector<StationRecord>& records,
                                     const QString& station, const QString& file, bool copyName,
                                     QWidget* window) {
    std::vector<StationRecord> targetRecords;
    QStringList missing;
    for (const QString& address : targets) {
        const auto found = std::find_if(records.begin(), records.end(),
                                        [&](const auto& r) { return r.IPADDRESS == address; });
        if (found == records.end()) {
            missing << address;
        } else {
            targetRecords.push_back(*found);
        }
    }
    auto* dialog = new FleetCopyDialog(window != nullptr ? window : &m_application.Window());
    m_lastCopy = dialog;
    const QString source = station.isEmpty() ? file : tr("station %1").arg(station);
    QString heading = tr("Copy the configuration of %1 to %n station(s), %2.", nullptr,
                         static_cast<int>(targetRecords.size()))
                          .arg(source, copyName ? tr("the station name included")
                                                : tr("each keeping its own station name"));
    if (!missing.isEmpty()) {
        heading +=
            QLatin1Char(' ') +
            tr("Not in the directory, left out: %1.").arg(missing.join(QStringLiteral(", ")));
    }
    dialog->SetHeading(heading);
    QStringList addresses;
    for (const StationRecord& record : targetRecords) {
        addresses << record.IPADDRESS;
    }
    dialog->SetStations(addresses);
    dialog->SetSummary(tr("Reading %1…").arg(source));
    m_application.ShowDialog(dialog);
    const config::CopyOptions options{.stationName = copyName};
    const auto begin = [dialog, targetRecords, options](const Result<StationConfig>& read) {
        if (!read) {
            dialog->SetSummary(tr("The source cannot be used: %1").arg(read.error()));
            return;
        }
        auto* run = new config::FleetCopyRun(*read, targetRecords, options, dialog);
        ShowCopy(run, dialog);
        dialog->SetSummary(tr("Reading the stations…"));
        run->Plan();
    };
    if (station.isEmpty()) {
        begin(ReadFile(file));
        return;
    }
    const auto found = std::find_if(records.begin(), records.end(),
                                    [&](const auto& r) { return r.IPADDRESS == station; });
    if (found == records.end()) {
        begin(Failure{tr("%1 is not in the station directory").arg(station)});
        return;
    }
    auto* session = new StationSession(*found, dialog);
    auto* reader = new config::StationReader(*session->link, station, session);
    connect(reader, &config::StationReader::Finished, dialog, [reader, session, begin] {
        const Result<StationConfig> read = reader->Outcome();
        session->deleteLater();  // read once: its link is not needed again
        begin(read);
    });
    reader->ReadAll();
}

void StationConfiguration::Request(ConfigurationCommand command) {
    auto* files = new QFileDialog(&m_application.Window(), Title(command));
    files->setNameFilters({tr("Station configurations (*.conf)"), tr("All files (*)")});
    if (command == ConfigurationCommand::BackUp) {
        files->setAcceptMode(QFileDialog::AcceptSave);
        files->setDefaultSuffix(QStringLiteral("conf"));
        files->selectFile(m_application.ChosenAddress() + QStringLiteral(".conf"));
    } else {
        files->setFileMode(QFileDialog::ExistingFile);
    }
    connect(files, &QFileDialog::fileSelected, this,
            [this, command](const QString& path) { Run(command, path); });
    m_application.ShowDialog(files);
}

void StationConfiguration::Run(ConfigurationCommand command, const QString& path) {
    const QString address = m_application.ChosenAddress();
    auto* dialog = new ConfigurationDialog(Title(command), &m_application.Window());
    m_last = dialog;
    dialog->SetHeading(tr("Station %1, file %2").arg(address, path));
    m_application.ShowDialog(dialog);
    if (address.isEmpty() || address == QLatin1String(kProtectedAddress)) {
        dialog->SetSummary(tr("Choose a station first."));
        return;
    }
    std::optional<StationConfig> file;
    if (command != ConfigurationCommand::BackUp) {
        Result<StationConfig> read = ReadFile(path);
        if (!read) {
            dialog->SetSummary(tr("%1 cannot be used: %2").arg(path, read.error()));
            return;
        }
        file = std::move(*read);
    }
    dialog->SetSummary(tr("Reading station %1…").arg(address));
    m_application.Worker().LookupStation(
        address, dialog, [this, command, address, path, file, dialog](const LookupResult& found) {
            if (found.status != LookupStatus::Found) {
                dialog->SetSummary(tr("%1 is not in the station directory.").arg(address));
                return;
            }
            Start(command, address, found.record, path, file, dialog);
        });
}

void StationConfiguration::Start(ConfigurationCommand command, const QString& address,
                                 const StationRecord& record, const QString& path,
                                 const std::optional<StationConfig>& file,
                                 ConfigurationDialog* dialog) {
    auto* session = new StationSession(record, dialog);
    BoardLink& link = *session->link;
    if (command == ConfigurationCommand::Restore) {
        auto* run = new config::RestoreRun(link, *file, address, session);
        connect(run, &config::RestoreRun::Reading, dialog, &ConfigurationDialog::SetProgress);
        connect(run, &config::RestoreRun::Planned, dialog,
                [run, dialog, path, address, source = file->source] {
                    ShowRestore(run, dialog, path, source, address);
                });
        connect(run, &config::RestoreRun::Finished, dialog, [run, dialog] {
            const config::RestoreReport& report = run->Report();
            const auto failed =
                std::count_if(report.results.begin(), report.results.end(),
                              [](const config::ItemResult& r) { return !r.Done(); });
            dialog->SetSummary(
                !report.failure.isEmpty()
                    ? tr("The station could not be read: %1").arg(report.failure)
                    : tr("%1 applied, %2 failed.")
                          .arg(report.results.size() - static_cast<std::size_t>(failed))
                          .arg(failed));
        });
        run->Plan();
        return;
    }
    auto* reader = new config::StationReader(link, address, session);
    connect(reader, &config::StationReader::Progress, dialog, &ConfigurationDialog::SetProgress);
    connect(
        reader, &config::StationReader::Finished, dialog, [reader, dialog, command, path, file] {
            const Result<StationConfig>& read = reader->Outcome();
            if (!read) {
                dialog->SetSummary(tr("The station could not be read: %1").arg(read.error()));
            } else if (command == ConfigurationCommand::Compare) {
                const QStringList lines = config::DiffConfigs(*file, *read);
                dialog->SetLines(lines);
                dialog->SetSummary(lines.isEmpty()
                                       ? tr("The station holds the file's configuration.")
                                       : tr("%n difference(s) (A: the file, B: the station).",
                                            nullptr, static_cast<int>(lines.size())));
            } else {
                QSaveFile out(path);
                const bool written = out.open(QIODevice::WriteOnly) &&
                                     out.write(config::WriteConfigFile(*read)) >= 0 && out.commit();
                dialog->SetSummary(
                    written ? tr("Backed up to %1.").arg(path)
                            : tr("%1 could not be written: %2").arg(path, out.errorString()));
            }
        });
    reader->ReadAll();
}

}  // namespace volnar
