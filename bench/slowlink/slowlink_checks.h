// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// How volnar-bench-slowlink holds what the link reported against what the
// station holds and what its log says it did.
#include <QJsonObject>
#include <QList>
#include <QStringList>
#include <deque>

#include "slowlink_operations.h"
#include "slowlink_station.h"

namespace volnar::bench::slowlink {

// Whether a walk's or a load's answers differ from `tables`, the station's
// tables while it ran: a walk that ended Done read exactly their rows, in
// order, field for field; one cut short read a beginning of them. A load's
// pools are read the same way, and a load that ended Done holds its own
// channel's record (its number and its notes).
bool IsMixed(const Asked& asked, const StationTables& tables);

// Whether two states hold the same tables and channel notes.
bool SameTables(const StationTables& a, const StationTables& b);

// What the station's log says about the changes sent once.
struct LogVerdict {
    // Request ids of changes the station acted on more than once: two
    // request lines carried out with one id, or two effects of one request
    // (events, added rows, deletions).
    int duplicatedChanges = 0;
    int unknownDone = 0;        // ended Unknown, and the station did it
    int unknownNotDone = 0;     // ended Unknown, and it never arrived
    int doneWithoutEffect = 0;  // ended Done, yet the station did nothing
    int onceResent = 0;         // changes sent once that reached the station more than once
    int requests = 0;           // request lines
    int droppedByStation = 0;
    // One line per change counted above as duplicated or without effect,
    // for stderr.
    QStringList notes;
};

LogVerdict ReadLog(const QList<QJsonObject>& lines, const std::deque<Asked>& operations);

}  // namespace volnar::bench::slowlink
