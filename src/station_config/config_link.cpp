#include "station_config/config_link.h"

#include <QEventLoop>
#include <QTimer>
#include <deque>

#include "core/station_text.h"
#include "core/status_record.h"
#include "link/board_link.h"

namespace volnar::config {

namespace {

QByteArray Bytes(const QString& stationText) {
    return StationBytes(stationText);
}

QByteArray Bytes(const std::string& bytes) {
    return QByteArray::fromStdString(bytes);
}

QString EndingText(const BoardOperation& operation) {
    if (!operation.Text().isEmpty()) {
        return operation.Text();
    }
    return operation.Ending() == OperationEnding::NotSent ? QString::fromLatin1(kNotSentText)
                                                          : QStringLiteral("ended");
}

// The status record: polling runs until its first answer. A station that
// loses three status requests in a row (each after its own resends) counts
// as not answering.
Result<QByteArray> ReadStatus(BoardLink& link) {
    constexpr int kLossesInRow = 3;
    QEventLoop loop;
    QObject context;
    QByteArray record;
    QString failure;
    int losses = 0;
    QObject::connect(&link, &BoardLink::StatusRecordReceived, &context,
                     [&](const QByteArray& value) {
                         record = value;
                         loop.quit();
                     });
    QObject::connect(&link, &BoardLink::StatusTimedOut, &context, [&] {
        if (++losses >= kLossesInRow) {
            failure = QStringLiteral("the station does not answer");
            loop.quit();
        }
    });
    QObject::connect(&link, &BoardLink::StoppedByError, &context, [&](const QString& text) {
        failure = text.simplified();
        loop.quit();
    });
    QObject::connect(&link, &BoardLink::StoppedByTimeOuts, &context, [&] {
        failure = QStringLiteral("the station does not answer");
        loop.quit();
    });
    link.Start();
    loop.exec();
    link.StopPolling();
    if (record.isEmpty()) {
        return Failure{failure.isEmpty() ? QStringLiteral("no status record") : failure};
    }
    return record;
}

// One read among several running side by side, asked again when it fails.
struct Job {
    QString what;
    std::function<BoardOperation*(QObject*)> start;
    std::function<void(const BoardOperation&)> done;
    std::function<void(const QStringList&)> row;  // walks
    std::function<void()> reset;                  // before every attempt
    int attempts = 0;
};

Result<void> RunJobs(std::deque<Job>& jobs) {
    QEventLoop loop;
    QObject owner;
    std::size_t pending = jobs.size();
    QString failure;
    std::function<void(Job*)> launch = [&](Job* started) {
        Job& job = *started;
        ++job.attempts;
        if (job.reset) {
            job.reset();
        }
        BoardOperation* operation = job.start(&owner);
        if (job.row) {
            QObject::connect(operation, &BoardOperation::RowReceived, &owner, job.row);
        }
        QObject::connect(
            operation, &BoardOperation::Ended, &owner,
            [&, started, operation](OperationEnding ending) {
                Job& ended = *started;
                operation->deleteLater();
                if (ending == OperationEnding::Done) {
                    ended.done(*operation);
                } else if (ended.attempts < kReadAttempts && failure.isEmpty()) {
                    QTimer::singleShot(0, &owner, [&launch, started] { launch(started); });
                    return;
                } else if (failure.isEmpty()) {
                    failure = ended.what + QStringLiteral(": ") + EndingText(*operation);
                }
                if (--pending == 0) {
                    loop.quit();
                }
            });
    };
    for (Job& job : jobs) {
        launch(&job);
    }
    if (pending > 0) {
        loop.exec();
    }
    if (!failure.isEmpty()) {
        return Failure{failure};
    }
    return {};
}

void AddTableJobs(std::deque<Job>& jobs, BoardLink& link, StationConfig& config) {
    for (const RowKind kind : {RowKind::Script, RowKind::Alert}) {
        std::vector<TableRow>& rows = config.Rows(kind);
        const BoardTable table = kind == RowKind::Script ? BoardTable::Scripts : BoardTable::Alerts;
        const int count = kind == RowKind::Script ? kScriptFields : kAlertFields;
        Job job;
        job.what = RowNoun(kind) + QStringLiteral("s");
        job.start = [&link, table](QObject* owner) {
            return commands::WalkTable(link, owner, table);
        };
        job.reset = [&rows] { rows.clear(); };
        job.row = [&rows, count](const QStringList& fields) {
            TableRow row;
            row.id = fields.value(0).toInt();
            for (int i = 1; i <= count; ++i) {
                row.fields << Bytes(fields.value(i));
            }
            rows.push_back(std::move(row));
        };
        job.done = [&rows](const BoardOperation&) {
            std::sort(rows.begin(), rows.end(),
                      [](const TableRow& a, const TableRow& b) { return a.id < b.id; });
        };
        jobs.push_back(std::move(job));
    }
}

void FillFromStatus(StationConfig& config, const QByteArray& value) {
    StatusRecord status;
    DecodeStatusRecord(std::string_view(value.constData(), static_cast<std::size_t>(value.size())),
                       status, true);
    config.name = Bytes(status.stationName);
    for (int r = 1; r <= kRelays; ++r) {
        config.relays[static_cast<std::size_t>(r - 1)].name = Bytes(status.Relay(r).name);
    }
    for (int c = 1; c <= kChannels; ++c) {
        const ChannelStatus& from = status.Channel(c);
        ChannelConfig& channel = config.channels[static_cast<std::size_t>(c - 1)];
        channel.name = Bytes(from.name);
        channel.ammeter = from.unit == Unit::Amperes;
        channel.ampRating = Bytes(from.ampRating);
        channel.millivoltRating = Bytes(from.millivoltRating);
    }
}

void FillFromRecord(ChannelConfig& channel, const AdcChannelRecord& record) {
    channel.notes = Bytes(record.notes);
    channel.highValue = Bytes(record.highValue);
    channel.lowValue = Bytes(record.lowValue);
    channel.highEnabled = record.highEnabled;
    channel.lowEnabled = record.lowEnabled;
    channel.highFlapSeconds = record.highFlapSeconds;
    channel.lowFlapSeconds = record.lowFlapSeconds;
    channel.adjustment = Bytes(record.adjustment);
    channel.precision = Bytes(record.precision);
    channel.lists = {record.highAlerts,        record.highNormalAlerts, record.highScripts,
                     record.highNormalScripts, record.lowAlerts,        record.lowNormalAlerts,
                     record.lowScripts,        record.lowNormalScripts};
}

BoardOperation* StartItem(BoardLink& link, QObject* owner, const PlanItem& item) {
    const QString text = StationText(item.value);
    const BoardTable table =
        item.kind == RowKind::Script ? BoardTable::Scripts : BoardTable::Alerts;
    switch (item.step) {
        case PlanStep::StationName:
            return commands::RenameStation(link, owner, text);
        case PlanStep::RelayName:
            return commands::SetRelayName(link, owner, item.index, text);
        case PlanStep::RelayNotes:
            return commands::SetRelayNotes(link, owner, item.index, text);
        case PlanStep::ChannelName:
            return commands::SetChannelName(link, owner, item.index, text);
        case PlanStep::ChannelNotes:
            return commands::SetChannelNotes(link, owner, item.index, text);
        case PlanStep::UpdateRow:
        case PlanStep::AddRow: {
            const bool isNew = item.step == PlanStep::AddRow;
            return item.kind == RowKind::Script
                       ? commands::UploadScript(link, owner, isNew, item.value)
                       : commands::UploadAlert(link, owner, isNew, item.value);
        }
        case PlanStep::ChannelSettings:
            return commands::UploadChannelSettings(link, owner, item.index, item.value);
        case PlanStep::DeleteRow:
            return commands::DeleteRow(link, owner, table, item.index);
    }
    return nullptr;
}

}  // namespace

Result<StationConfig> ReadStation(BoardLink& link, const QString& address) {
    StationConfig config;
    config.source = address;
    const Result<QByteArray> status = ReadStatus(link);
    if (!status) {
        return Failure{status.error()};
    }
    FillFromStatus(config, *status);
    std::deque<Job> jobs;
    for (int r = 1; r <= kRelays; ++r) {
        RelayConfig& relay = config.relays[static_cast<std::size_t>(r - 1)];
        jobs.push_back(
            {QStringLiteral("relay %1 notes").arg(r),
             [&link, r](QObject* owner) { return commands::ReadRelayNotes(link, owner, r); },
             [&relay](const BoardOperation& done) { relay.notes = Bytes(done.Echo()); },
             {},
             {},
             0});
    }
    for (int c = 1; c <= kChannels; ++c) {
        ChannelConfig& channel = config.channels[static_cast<std::size_t>(c - 1)];
        jobs.push_back(
            {QStringLiteral("channel %1 settings").arg(c),
             [&link, c](QObject* owner) { return commands::LoadChannelOptions(link, owner, c); },
             [&channel](const BoardOperation& done) {
                 FillFromRecord(channel, done.ChannelRecord());
             },
             {},
             {},
             0});
    }
    AddTableJobs(jobs, link, config);
    if (Result<void> read = RunJobs(jobs); !read) {
        return Failure{read.error()};
    }
    return config;
}

Result<StationConfig> ReadTables(BoardLink& link, StationConfig known) {
    std::deque<Job> jobs;
    AddTableJobs(jobs, link, known);
    if (Result<void> read = RunJobs(jobs); !read) {
        return Failure{read.error()};
    }
    return known;
}

std::vector<ItemResult> ApplyPlan(BoardLink& link, const std::vector<PlanItem>& items,
                                  const ItemProgress& progress) {
    std::vector<ItemResult> results;
    for (const PlanItem& item : items) {
        QObject owner;
        QEventLoop loop;
        BoardOperation* operation = StartItem(link, &owner, item);
        QObject::connect(operation, &BoardOperation::Ended, &loop, &QEventLoop::quit);
        if (operation->IsPending()) {
            loop.exec();
        }
        ItemResult result{item, operation->Ending(), {}};
        if (!result.Done()) {
            result.text = EndingText(*operation);
        }
        if (progress) {
            progress(result);
        }
        results.push_back(std::move(result));
    }
    return results;
}

bool RestoreReport::AllApplied() const {
    return failure.isEmpty() && std::all_of(results.begin(), results.end(),
                                            [](const ItemResult& r) { return r.Done(); });
}

RestoreReport Restore(BoardLink& link, const StationConfig& file, const QString& address,
                      bool dryRun, const std::function<void(const std::vector<PlanItem>&)>& planned,
                      const ItemProgress& progress) {
    RestoreReport report;
    const Result<StationConfig> target = ReadStation(link, address);
    if (!target) {
        report.failure = target.error();
        return report;
    }
    report.plan = PlanRestore(file, *target);
    if (planned) {
        planned(report.plan);
    }
    if (dryRun) {
        return report;
    }
    const auto late = [](const PlanItem& item) { return item.step >= PlanStep::ChannelSettings; };
    std::vector<PlanItem> first;
    std::vector<PlanItem> second;
    bool added = false;
    for (const PlanItem& item : report.plan) {
        (late(item) ? second : first).push_back(item);
        added = added || item.step == PlanStep::AddRow;
    }
    report.results = ApplyPlan(link, first, progress);
    if (added) {
        // The new rows' ids, for the channel settings that name them.
        const Result<StationConfig> now = ReadTables(link, *target);
        if (!now) {
            report.failure = now.error();
            return report;
        }
        second.clear();
        for (const PlanItem& item : PlanRestore(file, *now)) {
            if (late(item)) {
                second.push_back(item);
            }
        }
    }
    for (ItemResult& result : ApplyPlan(link, second, progress)) {
        report.results.push_back(std::move(result));
    }
    return report;
}

}  // namespace volnar::config
