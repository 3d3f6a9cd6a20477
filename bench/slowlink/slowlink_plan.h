// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What volnar-bench-slowlink asks, round by round.
#include <QSet>
#include <QString>
#include <random>
#include <vector>

#include "slowlink_operations.h"
#include "slowlink_station.h"

namespace volnar::bench::slowlink {

// The generated rows the station starts with. Executes and updates name only
// these, and deletes only rows the benchmark added (each at most once), so
// no request names a row that is gone: the station would refuse it, and a
// refusal stops the link with everything in flight.
inline constexpr int kBaseScripts = 4;
inline constexpr int kBaseAlerts = 3;
inline constexpr int kRounds = 10;
inline constexpr int kPerRound = 20;

// Reading rounds walk the tables and load channel options while nothing
// changes the tables, so every row read can be held against the state file
// taken before the round; the other rounds update, add and delete rows.
// Both switch and pulse relays and execute rows.
inline bool IsReadingRound(int round) {
    return round % 2 == 0;
}

class Planner {
public:
    explicit Planner(unsigned seed) : m_random(seed) {}

    // The operations of `round`, in a shuffled order, for a station whose
    // tables are `tables` when the round starts.
    std::vector<Asked> Round(int round, const StationTables& tables);

private:
    Asked Make(Kind kind, int round, int serial, const StationTables& tables);
    int Draw(int low, int high);
    // A row the benchmark added that nothing has asked to delete yet; 0 when
    // there is none.
    int DeletableRow(const QList<QStringList>& rows, QChar table);

    std::mt19937 m_random;
    QSet<QString> m_deleteAsked;  // "s5", "a7"
};

}  // namespace volnar::bench::slowlink
