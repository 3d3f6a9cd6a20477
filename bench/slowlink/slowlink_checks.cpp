// SPDX-License-Identifier: GPL-3.0-or-later
#include "slowlink_checks.h"

#include <algorithm>
#include <map>
#include <set>

#include "link/board_objects.h"

namespace volnar::bench::slowlink {

namespace {

// The fields a walk hands on: a script's five, an alert's id and eight.
constexpr qsizetype kScriptWalkFields = 5;
constexpr qsizetype kAlertWalkFields = 9;

// `got` is `expected` (whole) or a beginning of it.
template <typename T>
bool Follows(const QList<T>& got, const QList<T>& expected, bool whole) {
    if (got.size() > expected.size() || (whole && got.size() != expected.size())) {
        return false;
    }
    return std::equal(got.begin(), got.end(), expected.begin());
}

QList<QStringList> WalkRows(const QList<QStringList>& rows, qsizetype fields) {
    QList<QStringList> shown;
    for (const QStringList& row : rows) {
        shown << row.mid(0, fields);
    }
    return shown;
}

// The pool entries of the ADC options for these rows: id, "TYPE-name".
QList<AdcListItem> PoolOf(const QList<QStringList>& rows) {
    QList<AdcListItem> pool;
    for (const QStringList& row : rows) {
        pool << AdcListItem{row.value(0).toInt(),
                            row.value(1).toUpper() + QLatin1Char('-') + row.value(2)};
    }
    return pool;
}

bool LoadIsMixed(const Asked& asked, const StationTables& tables) {
    const bool done = asked.ending == OperationEnding::Done;
    // The scripts are read only after the whole alerts table.
    if (!Follows(asked.alertPool, PoolOf(tables.alerts), done || !asked.scriptPool.isEmpty()) ||
        !Follows(asked.scriptPool, PoolOf(tables.scripts), done)) {
        return true;
    }
    const AdcChannelRecord& record = asked.channelRecord;
    return done && (record.channel != asked.argument ||
                    record.notes != tables.channelNotes.value(asked.argument - 1));
}

// What one request id came to in the log.
struct PerRequest {
    int lines = 0;       // request lines, those the station dropped too
    int carriedOut = 0;  // request lines the station carried out
    int changed = 0;     // lines that changed the state
    int executed = 0;    // script_executed and alert_executed events
    int pulsed = 0;      // relay_switched events of a pulse
};

// The station's own record of what one change did.
int EffectsOf(Kind kind, const PerRequest& request) {
    switch (kind) {
        case Kind::PulseRelay:
            return request.pulsed;
        case Kind::ExecuteScript:
        case Kind::ExecuteAlert:
            return request.executed;
        // A record with id 0 that changed the state added a row. The log's
        // added_id is not counted on: the simulator leaves it out when the
        // new row's id equals the one it last gave a row of the other table.
        case Kind::AddScript:
        case Kind::AddAlert:
        case Kind::DeleteScript:
        case Kind::DeleteAlert:
            return request.changed;
        default:
            return 0;
    }
}

// A SET whose every copy acts: execute, delete, pulse, a record with id 0.
bool IsOnceObject(const QJsonObject& line) {
    const std::string oid = line.value(QStringLiteral("oid")).toString().toStdString();
    if (oid == board::kScriptExecute || oid == board::kScriptDelete ||
        oid == board::kAlertExecute || oid == board::kAlertDelete) {
        return true;
    }
    if (oid == board::kScriptRecord || oid == board::kAlertRecord) {
        return line.value(QStringLiteral("value")).toString().startsWith(QLatin1String("0|"));
    }
    return std::find(board::kRelayPulse.begin() + 1, board::kRelayPulse.end(), oid) !=
           board::kRelayPulse.end();
}

QString Note(const char* what, const Asked& asked, const PerRequest& request) {
    return QStringLiteral("%1: kind %2 argument %3 request %4 (%5 lines, %6 carried out)")
        .arg(QLatin1String(what))
        .arg(static_cast<int>(asked.kind))
        .arg(asked.argument)
        .arg(asked.requestId)
        .arg(request.lines)
        .arg(request.carriedOut);
}

}  // namespace

bool IsMixed(const Asked& asked, const StationTables& tables) {
    const bool done = asked.ending == OperationEnding::Done;
    switch (asked.kind) {
        case Kind::WalkScripts:
            return !Follows(asked.rows, WalkRows(tables.scripts, kScriptWalkFields), done);
        case Kind::WalkAlerts:
            return !Follows(asked.rows, WalkRows(tables.alerts, kAlertWalkFields), done);
        case Kind::LoadChannel:
            return LoadIsMixed(asked, tables);
        default:
            return false;
    }
}

bool SameTables(const StationTables& a, const StationTables& b) {
    return a.valid && b.valid && a.scripts == b.scripts && a.alerts == b.alerts &&
           a.channelNotes == b.channelNotes;
}

LogVerdict ReadLog(const QList<QJsonObject>& lines, const std::deque<Asked>& operations) {
    LogVerdict verdict;
    std::map<qint64, PerRequest> requests;
    std::set<qint64> onceIds;  // request ids of SETs that act on every copy
    for (const QJsonObject& line : lines) {
        const qint64 id = line.value(QStringLiteral("request_id")).toInteger();
        if (line.contains(QStringLiteral("pdu"))) {
            ++verdict.requests;
            PerRequest& request = requests[id];
            ++request.lines;
            if (line.contains(QStringLiteral("note"))) {
                verdict.droppedByStation +=
                    line.value(QStringLiteral("note")).toString() == QLatin1String("dropped");
                continue;
            }
            ++request.carriedOut;
            request.changed += line.value(QStringLiteral("changed")).toBool();
            if (line.value(QStringLiteral("pdu")).toString() == QLatin1String("SET") &&
                IsOnceObject(line)) {
                onceIds.insert(id);
            }
        } else if (line.contains(QStringLiteral("request_id"))) {
            const QString event = line.value(QStringLiteral("event")).toString();
            PerRequest& request = requests[id];
            request.executed += event == QLatin1String("script_executed") ||
                                event == QLatin1String("alert_executed");
            request.pulsed +=
                event == QLatin1String("relay_switched") &&
                line.value(QStringLiteral("cause")).toString() == QLatin1String("pulse");
        }
    }
    // Any id the station carried out twice, whether or not the benchmark
    // knows which operation sent it.
    std::set<qint64> duplicated;
    for (const qint64 id : onceIds) {
        if (requests[id].carriedOut > 1) {
            duplicated.insert(id);
        }
    }
    for (const Asked& asked : operations) {
        if (!IsOnce(asked.kind) || asked.requestId == 0) {
            continue;
        }
        const PerRequest& request = requests[asked.requestId];
        const int effects = EffectsOf(asked.kind, request);
        if (effects > 1 || request.carriedOut > 1) {
            duplicated.insert(asked.requestId);
            verdict.notes << Note("duplicated", asked, request);
        }
        verdict.onceResent += request.lines > 1;
        if (asked.ending == OperationEnding::Unknown) {
            ++(effects > 0 ? verdict.unknownDone : verdict.unknownNotDone);
        } else if (asked.ending == OperationEnding::Done && effects == 0) {
            ++verdict.doneWithoutEffect;
            verdict.notes << Note("done without effect", asked, request);
        }
    }
    verdict.duplicatedChanges = static_cast<int>(duplicated.size());
    return verdict;
}

}  // namespace volnar::bench::slowlink
