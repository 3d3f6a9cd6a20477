#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "core/result.h"
#include "link/board_commands.h"
#include "station_config/config_compare.h"
#include "station_config/station_config.h"

// Reading a station's configuration and applying a plan through the board
// link's typed operations. These calls wait (a local event loop) and are
// meant for programs without a window; the link must work for `address`
// (its chooser names it).
namespace volnar {
class BoardLink;
}

namespace volnar::config {

// How often a read that failed (no answer, a stopped connection) is asked
// again before the whole read fails. Reads change nothing, so asking again
// is safe.
inline constexpr int kReadAttempts = 4;

// Everything the screens read: the status record's names, units and
// ratings, the relays' notes, the eight channel records, the scripts and
// alerts walks. The reads run side by side.
Result<StationConfig> ReadStation(BoardLink& link, const QString& address);
// Only the scripts and alerts (after rows were added, to learn their ids).
Result<StationConfig> ReadTables(BoardLink& link, StationConfig known);

struct ItemResult {
    PlanItem item;
    OperationEnding ending = OperationEnding::Pending;
    QString text;  // why it was not done; empty when Done
    bool Done() const { return ending == OperationEnding::Done; }
};

// Sends the items one after the other, each to its end; a refused one is
// reported and the next one goes on. `progress` hears each result as it
// comes.
using ItemProgress = std::function<void(const ItemResult&)>;
std::vector<ItemResult> ApplyPlan(BoardLink& link, const std::vector<PlanItem>& items,
                                  const ItemProgress& progress = {});

struct RestoreReport {
    std::vector<PlanItem> plan;  // as planned before anything was sent
    std::vector<ItemResult> results;
    QString failure;  // the station could not be read
    bool AllApplied() const;
};

// Reads the target, plans, and (unless `dryRun`) applies: names, relays,
// rows updated and added; then, when rows were added, reads the tables again
// so the channel settings name the new rows' ids; then channel settings and
// deletions. `planned` hears the plan before anything is sent.
RestoreReport Restore(BoardLink& link, const StationConfig& file, const QString& address,
                      bool dryRun, const std::function<void(const std::vector<PlanItem>&)>& planned,
                      const ItemProgress& progress = {});

}  // namespace volnar::config
