// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "core/result.h"
#include "station_config/config_compare.h"
#include "station_config/config_link.h"

// Copying one configuration to several stations: what state each target is
// in, what it was sent and how it answered, and the summaries the operator
// reads. Plain bookkeeping; FleetCopyRun drives it over the stations' links.
namespace volnar::config {

enum class CopyState {
    Waiting,      // not read yet
    Reading,      // being read for its plan
    Unreachable,  // could not be read, or stopped answering while sent to
    Planned,      // read, with changes waiting for the operator
    Sending,
    Ended,      // every change sent (each with its result), or none needed
    Cancelled,  // the operator stopped the copy before this station's end
};

struct StationCopy {
    QString address;
    CopyState state = CopyState::Waiting;
    QString failure;  // why it is unreachable
    std::vector<PlanItem> plan;
    std::vector<ItemResult> results;
    int silentInRow = 0;  // items in a row that got no answer

    int Applied() const;
    int Refused() const;     // the station answered no
    int Unanswered() const;  // no answer, or the link could not send it
    int NotSent() const;     // planned and never sent (cancelled, given up)
};

// After this many changes in a row without an answer a station is given up
// as unreachable: each of its other changes would wait its whole time-out.
inline constexpr int kSilentItemsToGiveUp = 3;

class CopyBook {
public:
    explicit CopyBook(const QStringList& addresses);

    int Count() const { return static_cast<int>(m_stations.size()); }
    const StationCopy& Station(int index) const { return m_stations[Index(index)]; }
    const std::vector<StationCopy>& Stations() const { return m_stations; }

    void Reading(int index);
    // The station's plan, or why it could not be read. A station that
    // already holds the configuration has ended.
    void Read(int index, const Result<std::vector<PlanItem>>& plan);
    bool AllRead() const;
    // The changes of the stations that will be sent to, and those sent.
    int PlannedItems() const;
    int SentItems() const;

    // The next station with changes, now Sending, in the targets' order;
    // nullopt when none is left or the copy was cancelled.
    std::optional<int> NextToSend();
    // False when the station is given up on (it is then Unreachable and
    // what is left of its changes must not be sent).
    bool ItemEnded(int index, const ItemResult& result);
    // Its changes have ended; `failure`: it could not be read again midway.
    void StationEnded(int index, const QString& failure);
    // Stations not yet sent to are not sent to; the one being sent to ends
    // after the change on its way.
    void Cancel();
    bool IsCancelled() const { return m_cancelled; }
    bool Finished() const;
    // Every station ended with every change applied.
    bool AllApplied() const;

private:
    std::size_t Index(int index) const { return static_cast<std::size_t>(index); }

    std::vector<StationCopy> m_stations;
    bool m_cancelled = false;
};

// One station's line: "4 applied, 1 refused", "unreachable: the station
// does not answer", "already holds this configuration", "3 changes".
QString StationSummary(const StationCopy& station);
// All of them: "3 stations: 1 copied, 1 with failures, 1 unreachable."
QString CopySummary(const std::vector<StationCopy>& stations);

}  // namespace volnar::config
