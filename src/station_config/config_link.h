// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/result.h"
#include "core/station_record.h"
#include "link/board_commands.h"
#include "station_config/config_compare.h"
#include "station_config/station_config.h"

// Reading a station's configuration and applying a plan through the board
// link's typed operations. The link must work for the station read (its
// chooser names it). The classes run on the event loop and say when they
// have ended, for windows; the functions below wait for them (a local event
// loop), for programs without a window.
namespace volnar {
class BoardLink;
}

namespace volnar::config {

// A link of its own for the one station of `record`, beside the main
// window's: it sends only what is asked of it, and its failures show no box
// (the caller reports them).
std::unique_ptr<BoardLink> LinkForStation(const StationRecord& record);

// How often a read that failed (no answer, a stopped connection) is asked
// in all before the whole read fails. Reads change nothing, so asking again
// is safe.
inline constexpr int kReadAttempts = 4;
// How often a change that got no answer is sent in all. Only changes that
// are not sent once go again: they set what they set however often they
// arrive. One sent once (a row added, deleted) ends unknown instead.
inline constexpr int kChangeAttempts = 2;

// Reads everything the screens read: the status record's names, units and
// ratings, the relays' notes, the eight channel records, the scripts and
// alerts walks; the reads after the status record run side by side. Ends
// once (Finished); deleting it gives up what is in flight.
class StationReader final : public QObject {
    Q_OBJECT

public:
    StationReader(BoardLink& link, QString address, QObject* parent = nullptr);
    ~StationReader() override;
    void ReadAll();
    // Only the scripts and alerts, into `known` (to learn added rows' ids).
    void ReadTables(StationConfig known);
    bool IsDone() const { return m_outcome.has_value(); }
    // Once Finished: the configuration or why it could not be read.
    const Result<StationConfig>& Outcome() const { return *m_outcome; }

Q_SIGNALS:
    // How many of the reads after the status record have ended, of how many.
    void Progress(int done, int total);
    void Finished();

private:
    struct Job;
    void OnStatus(const QByteArray& record);
    void StatusFailed(const QString& text);
    void AddTableJobs();
    void AddPartJobs();
    void RunJobs();
    void Launch(Job* job);
    void Finish(Result<StationConfig> outcome);

    BoardLink& m_link;
    StationConfig m_config;
    std::deque<Job> m_jobs;
    std::size_t m_pending = 0;
    QString m_failure;
    int m_statusLosses = 0;
    bool m_readingStatus = false;
    std::optional<Result<StationConfig>> m_outcome;
};

struct ItemResult {
    PlanItem item;
    OperationEnding ending = OperationEnding::Pending;
    QString text;  // why it was not done; empty when Done
    bool Done() const { return ending == OperationEnding::Done; }
};

// Sends the items one after the other, each to its end; a refused one is
// reported and the next one goes on. Cancel() lets the item on its way end
// and sends no other (Finished then comes with fewer results than items).
class PlanApplier final : public QObject {
    Q_OBJECT

public:
    explicit PlanApplier(BoardLink& link, QObject* parent = nullptr);
    void Apply(std::vector<PlanItem> items);
    void Cancel() { m_cancelled = true; }
    const std::vector<ItemResult>& Results() const { return m_results; }

Q_SIGNALS:
    void ItemStarted(int index);
    void ItemEnded(const volnar::config::ItemResult& result);
    void Finished();

private:
    void Next();

    BoardLink& m_link;
    std::vector<PlanItem> m_items;
    std::vector<ItemResult> m_results;
    int m_attempts = 0;  // of the item in flight
    bool m_cancelled = false;
};

struct RestoreReport {
    std::vector<PlanItem> plan;  // as planned before anything was sent
    std::vector<ItemResult> results;
    QString failure;  // the station could not be read
    bool AllApplied() const;
};

// A restore: reads the target and plans (Planned); Apply() then sends the
// names, relays, rows updated and added; when rows were added it reads the
// tables again so that the channel settings name the new rows' ids; then
// the channel settings and the deletions. Finished once, after a failed
// read, or after the last item (or the item on its way when cancelled).
class RestoreRun final : public QObject {
    Q_OBJECT

public:
    RestoreRun(BoardLink& link, StationConfig file, QString address, QObject* parent = nullptr);
    // A copy from another station: the file is fitted to the station read
    // (CopyFor) before the plan is made.
    void SetCopyOptions(const CopyOptions& options) { m_copy = options; }
    void Plan();
    void Apply();
    void Cancel();
    const RestoreReport& Report() const { return m_report; }

Q_SIGNALS:
    // The station's reads before the plan, as StationReader::Progress.
    void Reading(int done, int total);
    void Planned();
    void ItemEnded(const volnar::config::ItemResult& result);
    void Finished();

private:
    void ApplyLate(const std::vector<PlanItem>& plan);
    void Fail(const QString& text);

    BoardLink& m_link;
    StationConfig m_file;
    QString m_address;
    StationConfig m_target;
    RestoreReport m_report;
    PlanApplier* m_applier = nullptr;
    StationReader* m_reader = nullptr;
    std::optional<CopyOptions> m_copy;
    bool m_cancelled = false;
};

// The same, waiting for the end.
Result<StationConfig> ReadStation(BoardLink& link, const QString& address);
using ItemProgress = std::function<void(const ItemResult&)>;
std::vector<ItemResult> ApplyPlan(BoardLink& link, const std::vector<PlanItem>& items,
                                  const ItemProgress& progress = {});
// `planned` hears the plan before anything is sent; `dryRun` sends nothing.
RestoreReport Restore(BoardLink& link, const StationConfig& file, const QString& address,
                      bool dryRun, const std::function<void(const std::vector<PlanItem>&)>& planned,
                      const ItemProgress& progress = {});

}  // namespace volnar::config
