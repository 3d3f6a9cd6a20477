// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/station_transfer.h"

#include <QFile>
#include <QFileDialog>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QTextStream>
#include <cstdio>

#include "core/message_service.h"
#include "directory/directory_worker.h"
#include "directory/station_csv.h"
#include "directory/station_directory.h"
#include "directory_view/station_import_dialog.h"

namespace volnar {
namespace {

const QString kCsvFilter = QStringLiteral("CSV files (*.csv);;All files (*)");

Result<QByteArray> ReadCsvFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return Failure{QStringLiteral("Cannot read %1: %2").arg(path, file.errorString())};
    }
    // A device or a huge file is not read whole: one byte past the limit
    // says it is too large.
    QByteArray bytes = file.read(kStationCsvMaxBytes + 1);
    if (bytes.size() > kStationCsvMaxBytes) {
        return Failure{QStringLiteral("%1 is larger than %2 MB: it is no station list.")
                           .arg(path)
                           .arg(kStationCsvMaxBytes / (1024 * 1024))};
    }
    return bytes;
}

Result<void> WriteCsvFile(const QString& path, const QByteArray& bytes) {
    if (path == QLatin1String("-")) {
        QFile out;
        if (out.open(stdout, QIODevice::WriteOnly) && out.write(bytes) == bytes.size() &&
            out.flush()) {
            return {};
        }
        return Failure{QStringLiteral("Cannot write the standard output.")};
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        return Failure{QStringLiteral("Cannot write %1: %2").arg(path, file.errorString())};
    }
    return {};
}

QStringList Addresses(const std::vector<StationRecord>& rows) {
    QStringList addresses;
    for (const StationRecord& row : rows) {
        addresses << row.IPADDRESS;
    }
    return addresses;
}

// The directory's own reports on the error stream.
class StreamMessages final : public MessageService {
public:
    explicit StreamMessages(QTextStream& err) : m_err(err) {}
    bool Show(MessageIcon, const QString& text, MessageButtons, const QString&) override {
        m_err << "volnar: " << text.simplified() << '\n';
        return false;
    }
    void ShowDetailed(MessageIcon icon, const QString& text, const QString& details) override {
        Show(icon, details.isEmpty() ? text : text + QStringLiteral(": ") + details,
             MessageButtons::Ok, QString());
    }

private:
    QTextStream& m_err;
};

}  // namespace

StationTransfer::StationTransfer(QWidget& window, DirectoryWorker& worker, MessageService& messages,
                                 ShowDialog show)
    : m_window(window), m_worker(worker), m_messages(messages), m_show(std::move(show)) {}

StationTransfer::~StationTransfer() = default;

void StationTransfer::ChooseImportFile() {
    auto* chooser = new QFileDialog(&m_window, tr("Import Stations"), QString(), kCsvFilter);
    chooser->setFileMode(QFileDialog::ExistingFile);
    connect(chooser, &QFileDialog::fileSelected, this, &StationTransfer::Import);
    m_show(chooser);
}

void StationTransfer::ChooseExportFile() {
    auto* chooser = new QFileDialog(&m_window, tr("Export Stations"), QString(), kCsvFilter);
    chooser->setAcceptMode(QFileDialog::AcceptSave);
    chooser->setDefaultSuffix(QStringLiteral("csv"));
    connect(chooser, &QFileDialog::fileSelected, this, &StationTransfer::Export);
    m_show(chooser);
}

void StationTransfer::Import(const QString& path) {
    Result<QByteArray> bytes = ReadCsvFile(path);
    if (!bytes) {
        m_messages.ShowError(bytes.error());
        return;
    }
    m_worker.ReadStations(this, [this, path, bytes = std::move(*bytes)](
                                    const Result<std::vector<StationRecord>>& read) {
        if (!read) {
            m_messages.ShowFailure(read.failure());
            return;
        }
        const std::vector<StationRecord>& rows = *read;
        const StationImportPlan plan = PlanStationImport(bytes, Addresses(rows));
        auto* dialog = new StationImportDialog(plan, path, &m_window);
        const std::vector<StationRecord> records = plan.Records();
        connect(dialog, &StationImportDialog::ImportConfirmed, this, [this, dialog, records] {
            m_worker.AddStations(records, dialog, [this, dialog](const Result<int>& added) {
                dialog->Finished(added);
                if (added) {
                    m_messages.ShowPlain(
                        tr("%1 added to the directory.").arg(StationCount(*added)));
                }
            });
        });
        m_show(dialog);
    });
}

void StationTransfer::Export(const QString& path) {
    m_worker.ReadStations(this, [this, path](const Result<std::vector<StationRecord>>& read) {
        if (!read) {
            m_messages.ShowFailure(read.failure());
            return;
        }
        const std::vector<StationRecord>& rows = *read;
        const Result<void> written = WriteCsvFile(path, StationCsv(rows));
        if (!written) {
            m_messages.ShowError(written.error());
            return;
        }
        m_messages.ShowPlain(
            tr("%1 written to %2.").arg(StationCount(static_cast<qsizetype>(rows.size())), path));
    });
}

int RunStationTransferCommand(const CommandLine& command, QTextStream& out, QTextStream& err) {
    // The directory's own log repeats what the messages say, on one stream.
    QLoggingCategory::setFilterRules(QStringLiteral("volnar.directory*=false"));
    StreamMessages messages(err);
    StationDirectory directory;
    if (const Result<void> opened = directory.ConnectDatabase(
            command.database, DirectoryWorker::ConnectOptionsFor(command.database, 5));
        !opened) {
        messages.ShowFailure(opened.failure());
        return 1;
    }
    const auto rows = directory.LoadStationRecords();
    if (!rows) {
        messages.ShowFailure(rows.failure());
        return 1;
    }
    if (!command.exportStations.isEmpty()) {
        const Result<void> written = WriteCsvFile(command.exportStations, StationCsv(*rows));
        if (!written) {
            err << "volnar: " << written.error() << '\n';
            return 1;
        }
        err << "volnar: " << StationCount(static_cast<qsizetype>(rows->size())) << " written.\n";
        return 0;
    }
    const Result<QByteArray> bytes = ReadCsvFile(command.importStations);
    if (!bytes) {
        err << "volnar: " << bytes.error() << '\n';
        return 1;
    }
    const StationImportPlan plan = PlanStationImport(*bytes, Addresses(*rows));
    out << command.importStations << ": " << PlanSummary(plan) << '\n';
    for (const QString& line : PlanDetails(plan)) {
        out << line << '\n';
    }
    if (!plan.fileProblem.isEmpty() || !plan.refused.empty()) {
        err << "volnar: nothing was added: correct the refused rows and import again.\n";
        return 1;
    }
    const Result<int> added = directory.AddStations(plan.Records());
    if (!added) {
        err << "volnar: " << added.error() << " Nothing was added.\n";
        return 1;
    }
    out << StationCount(*added) << " added.\n";
    return 0;
}

}  // namespace volnar
