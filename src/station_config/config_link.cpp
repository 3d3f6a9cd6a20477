// SPDX-License-Identifier: GPL-3.0-or-later
#include "station_config/config_link.h"

#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <deque>

#include "core/station_text.h"
#include "core/status_record.h"
#include "link/board_link.h"

namespace volnar::config {

std::unique_ptr<BoardLink> LinkForStation(const StationRecord& record) {
    auto link =
        std::make_unique<BoardLink>([record](const QString& address) -> StationLookupAnswer {
            return address == record.IPADDRESS ? std::optional(record) : std::nullopt;
        });
    link->ChooseStation(record.IPADDRESS);
    link->SetRestartsByItself(true);
    return link;
}

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

BoardTable TableOf(RowKind kind) {
    return kind == RowKind::Script ? BoardTable::Scripts : BoardTable::Alerts;
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

// One read among several running side by side, asked again when it fails.
struct StationReader::Job {
    QString what;
    std::function<BoardOperation*(QObject*)> start;
    std::function<void(const BoardOperation&)> done;
    std::function<void(const QStringList&)> row;  // walks
    std::function<void()> reset;                  // before every attempt
    int attempts = 0;
};

StationReader::StationReader(BoardLink& link, QString address, QObject* parent)
    : QObject(parent), m_link(link) {
    m_config.source = std::move(address);
}

StationReader::~StationReader() = default;

// The status record first: polling runs until its first answer. A station
// that loses three status requests in a row (each after its own resends)
// does not answer.
void StationReader::ReadAll() {
    m_readingStatus = true;
    connect(&m_link, &BoardLink::StatusRecordReceived, this, [this](const QByteArray& record) {
        if (m_readingStatus) {
            m_readingStatus = false;
            // Polling stops once this answer's receivers have all run.
            QTimer::singleShot(0, this, [this, record] {
                m_link.StopPolling();
                OnStatus(record);
            });
        }
    });
    connect(&m_link, &BoardLink::StatusTimedOut, this, [this] {
        constexpr int kLossesInRow = 3;
        if (++m_statusLosses >= kLossesInRow) {
            StatusFailed(QStringLiteral("the station does not answer"));
        }
    });
    connect(&m_link, &BoardLink::StoppedByError, this,
            [this](const QString& text) { StatusFailed(text.simplified()); });
    connect(&m_link, &BoardLink::StoppedByTimeOuts, this,
            [this] { StatusFailed(QStringLiteral("the station does not answer")); });
    m_link.Start();
}

void StationReader::StatusFailed(const QString& text) {
    if (!m_readingStatus) {
        return;
    }
    m_readingStatus = false;
    QTimer::singleShot(0, this, [this, text] {
        m_link.StopPolling();
        Finish(Failure{text});
    });
}

void StationReader::OnStatus(const QByteArray& record) {
    FillFromStatus(m_config, record);
    AddPartJobs();
    AddTableJobs();
    RunJobs();
}

void StationReader::ReadTables(StationConfig known) {
    m_config = std::move(known);
    AddTableJobs();
    RunJobs();
}

void StationReader::AddPartJobs() {
    for (int r = 1; r <= kRelays; ++r) {
        RelayConfig& relay = m_config.relays[static_cast<std::size_t>(r - 1)];
        m_jobs.push_back(
            {QStringLiteral("relay %1 notes").arg(r),
             [this, r](QObject* owner) { return commands::ReadRelayNotes(m_link, owner, r); },
             [&relay](const BoardOperation& done) { relay.notes = Bytes(done.Echo()); },
             {},
             {},
             0});
    }
    for (int c = 1; c <= kChannels; ++c) {
        ChannelConfig& channel = m_config.channels[static_cast<std::size_t>(c - 1)];
        m_jobs.push_back(
            {QStringLiteral("channel %1 settings").arg(c),
             [this, c](QObject* owner) { return commands::ReadChannelRecord(m_link, owner, c); },
             [&channel](const BoardOperation& done) {
                 FillFromRecord(channel, done.ChannelRecord());
             },
             {},
             {},
             0});
    }
}

void StationReader::AddTableJobs() {
    for (const RowKind kind : {RowKind::Script, RowKind::Alert}) {
        std::vector<TableRow>& rows = m_config.Rows(kind);
        const int count = kind == RowKind::Script ? kScriptFields : kAlertFields;
        Job job;
        job.what = RowNoun(kind) + QStringLiteral("s");
        job.start = [this, kind](QObject* owner) {
            return commands::WalkTable(m_link, owner, TableOf(kind));
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
        m_jobs.push_back(std::move(job));
    }
}

void StationReader::RunJobs() {
    m_pending = m_jobs.size();
    Q_EMIT Progress(0, static_cast<int>(m_jobs.size()));
    for (Job& job : m_jobs) {
        Launch(&job);
    }
}

void StationReader::Launch(Job* job) {
    ++job->attempts;
    if (job->reset) {
        job->reset();
    }
    BoardOperation* operation = job->start(this);
    if (job->row) {
        connect(operation, &BoardOperation::RowReceived, this, job->row);
    }
    connect(operation, &BoardOperation::Ended, this,
            [this, job, operation](OperationEnding ending) {
                operation->deleteLater();
                if (ending == OperationEnding::Done) {
                    job->done(*operation);
                } else if (job->attempts < kReadAttempts && m_failure.isEmpty()) {
                    QTimer::singleShot(0, this, [this, job] { Launch(job); });
                    return;
                } else if (m_failure.isEmpty()) {
                    m_failure = job->what + QStringLiteral(": ") + EndingText(*operation);
                }
                --m_pending;
                Q_EMIT Progress(static_cast<int>(m_jobs.size() - m_pending),
                                static_cast<int>(m_jobs.size()));
                if (m_pending == 0) {
                    m_jobs.clear();
                    if (m_failure.isEmpty()) {
                        Finish(m_config);
                    } else {
                        Finish(Failure{m_failure});
                    }
                }
            });
}

void StationReader::Finish(Result<StationConfig> outcome) {
    m_outcome = std::move(outcome);
    Q_EMIT Finished();
}

PlanApplier::PlanApplier(BoardLink& link, QObject* parent) : QObject(parent), m_link(link) {}

void PlanApplier::Apply(std::vector<PlanItem> items) {
    m_items = std::move(items);
    m_results.clear();
    m_attempts = 0;
    QTimer::singleShot(0, this, &PlanApplier::Next);
}

void PlanApplier::Next() {
    const std::size_t index = m_results.size();
    if (index == m_items.size() || m_cancelled) {
        Q_EMIT Finished();
        return;
    }
    if (m_attempts++ == 0) {
        Q_EMIT ItemStarted(static_cast<int>(index));
    }
    BoardOperation* operation = StartItem(m_link, this, m_items[index]);
    connect(operation, &BoardOperation::Ended, this, [this, index, operation] {
        operation->deleteLater();
        if (operation->Ending() == OperationEnding::TimedOut && m_attempts < kChangeAttempts &&
            !m_cancelled) {
            QTimer::singleShot(0, this, &PlanApplier::Next);
            return;
        }
        m_attempts = 0;
        ItemResult result{m_items[index], operation->Ending(), {}};
        if (!result.Done()) {
            result.text = EndingText(*operation);
        }
        m_results.push_back(result);
        Q_EMIT ItemEnded(result);
        QTimer::singleShot(0, this, &PlanApplier::Next);
    });
}

bool RestoreReport::AllApplied() const {
    return failure.isEmpty() && std::all_of(results.begin(), results.end(),
                                            [](const ItemResult& r) { return r.Done(); });
}

namespace {

bool Late(const PlanItem& item) {
    return item.step >= PlanStep::ChannelSettings;
}

}  // namespace

RestoreRun::RestoreRun(BoardLink& link, StationConfig file, QString address, QObject* parent)
    : QObject(parent), m_link(link), m_file(std::move(file)), m_address(std::move(address)) {}

void RestoreRun::Plan() {
    m_reader = new StationReader(m_link, m_address, this);
    connect(m_reader, &StationReader::Progress, this, &RestoreRun::Reading);
    connect(m_reader, &StationReader::Finished, this, [this] {
        if (!m_reader->Outcome()) {
            Fail(m_reader->Outcome().error());
            return;
        }
        m_target = m_reader->Outcome().value();
        if (m_copy) {
            m_file = CopyFor(std::move(m_file), m_target, *m_copy);
        }
        m_report.plan = PlanRestore(m_file, m_target);
        Q_EMIT Planned();
    });
    m_reader->ReadAll();
}

void RestoreRun::Apply() {
    std::vector<PlanItem> early;
    bool added = false;
    for (const PlanItem& item : m_report.plan) {
        if (!Late(item)) {
            early.push_back(item);
            added = added || item.step == PlanStep::AddRow;
        }
    }
    m_applier = new PlanApplier(m_link, this);
    connect(m_applier, &PlanApplier::ItemEnded, this, &RestoreRun::ItemEnded);
    connect(m_applier, &PlanApplier::Finished, this, [this, added] {
        m_report.results = m_applier->Results();
        if (m_cancelled) {
            Q_EMIT Finished();
            return;
        }
        if (!added) {
            ApplyLate(m_report.plan);
            return;
        }
        // The new rows' ids, for the channel settings that name them.
        auto* tables = new StationReader(m_link, m_address, this);
        connect(tables, &StationReader::Finished, this, [this, tables] {
            if (m_cancelled) {
                Q_EMIT Finished();
            } else if (!tables->Outcome()) {
                Fail(tables->Outcome().error());
            } else {
                ApplyLate(PlanRestore(m_file, tables->Outcome().value()));
            }
        });
        tables->ReadTables(m_target);
    });
    m_applier->Apply(std::move(early));
}

void RestoreRun::ApplyLate(const std::vector<PlanItem>& plan) {
    std::vector<PlanItem> late;
    std::copy_if(plan.begin(), plan.end(), std::back_inserter(late), Late);
    auto* applier = new PlanApplier(m_link, this);
    m_applier = applier;
    connect(applier, &PlanApplier::ItemEnded, this, &RestoreRun::ItemEnded);
    connect(applier, &PlanApplier::Finished, this, [this, applier] {
        for (const ItemResult& result : applier->Results()) {
            m_report.results.push_back(result);
        }
        Q_EMIT Finished();
    });
    applier->Apply(std::move(late));
}

void RestoreRun::Cancel() {
    m_cancelled = true;
    if (m_applier != nullptr) {
        m_applier->Cancel();
    }
}

void RestoreRun::Fail(const QString& text) {
    m_report.failure = text;
    Q_EMIT Finished();
}

Result<StationConfig> ReadStation(BoardLink& link, const QString& address) {
    StationReader reader(link, address);
    QEventLoop loop;
    QObject::connect(&reader, &StationReader::Finished, &loop, &QEventLoop::quit);
    reader.ReadAll();
    if (!reader.IsDone()) {
        loop.exec();
    }
    return reader.Outcome();
}

std::vector<ItemResult> ApplyPlan(BoardLink& link, const std::vector<PlanItem>& items,
                                  const ItemProgress& progress) {
    PlanApplier applier(link);
    QEventLoop loop;
    QObject::connect(&applier, &PlanApplier::Finished, &loop, &QEventLoop::quit);
    if (progress) {
        QObject::connect(&applier, &PlanApplier::ItemEnded, &loop, progress);
    }
    applier.Apply(items);
    loop.exec();
    return applier.Results();
}

RestoreReport Restore(BoardLink& link, const StationConfig& file, const QString& address,
                      bool dryRun, const std::function<void(const std::vector<PlanItem>&)>& planned,
                      const ItemProgress& progress) {
    RestoreRun run(link, file, address);
    QEventLoop loop;
    QObject::connect(&run, &RestoreRun::Finished, &loop, &QEventLoop::quit);
    QObject::connect(&run, &RestoreRun::Planned, &loop, [&] {
        if (planned) {
            planned(run.Report().plan);
        }
        if (dryRun) {
            loop.quit();
        } else {
            run.Apply();
        }
    });
    if (progress) {
        QObject::connect(&run, &RestoreRun::ItemEnded, &loop, progress);
    }
    run.Plan();
    loop.exec();
    return run.Report();
}

}  // namespace volnar::config
