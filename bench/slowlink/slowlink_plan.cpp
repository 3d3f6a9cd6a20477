// SPDX-License-Identifier: GPL-3.0-or-later
#include "slowlink_plan.h"

#include <algorithm>
#include <utility>

namespace volnar::bench::slowlink {

namespace {

struct Share {
    Kind kind;
    int count;
};

// Twenty operations a round each.
constexpr Share kReading[] = {
    {Kind::WalkScripts, 4},  {Kind::WalkAlerts, 4}, {Kind::LoadChannel, 3},
    {Kind::SwitchRelay, 3},  {Kind::PulseRelay, 2}, {Kind::ExecuteScript, 2},
    {Kind::ExecuteAlert, 2},
};
constexpr Share kChanging[] = {
    {Kind::UpdateScript, 3}, {Kind::UpdateAlert, 3},  {Kind::AddScript, 3},
    {Kind::AddAlert, 3},     {Kind::DeleteScript, 2}, {Kind::DeleteAlert, 2},
    {Kind::SwitchRelay, 1},  {Kind::PulseRelay, 1},   {Kind::ExecuteScript, 1},
    {Kind::ExecuteAlert, 1},
};

constexpr int kNameField = 2;  // in a script row and an alert row, the id being 0

// The record an upload sends: every field followed by "|".
QByteArray RecordOf(const QStringList& fields) {
    return (fields.join(QLatin1Char('|')) + QLatin1Char('|')).toLatin1();
}

const QStringList* RowWithId(const QList<QStringList>& rows, int id) {
    const QString text = QString::number(id);
    for (const QStringList& row : rows) {
        if (row.value(0) == text) {
            return &row;
        }
    }
    return nullptr;
}

}  // namespace

int Planner::Draw(int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(m_random);
}

int Planner::DeletableRow(const QList<QStringList>& rows, QChar table) {
    for (const QStringList& row : rows) {
        const QString key = table + row.value(0);
        if (row.value(kNameField).startsWith(QLatin1String("Bench ")) &&
            !m_deleteAsked.contains(key)) {
            m_deleteAsked.insert(key);
            return row.value(0).toInt();
        }
    }
    return 0;
}

std::vector<Asked> Planner::Round(int round, const StationTables& tables) {
    std::vector<Kind> kinds;
    for (const Share& share :
         IsReadingRound(round) ? std::vector<Share>(std::begin(kReading), std::end(kReading))
                               : std::vector<Share>(std::begin(kChanging), std::end(kChanging))) {
        kinds.insert(kinds.end(), static_cast<std::size_t>(share.count), share.kind);
    }
    std::shuffle(kinds.begin(), kinds.end(), m_random);
    std::vector<Asked> operations;
    int serial = 0;
    for (const Kind kind : kinds) {
        operations.push_back(Make(kind, round, ++serial, tables));
    }
    return operations;
}

Asked Planner::Make(Kind kind, int round, int serial, const StationTables& tables) {
    Asked asked;
    asked.kind = kind;
    asked.round = round;
    const QString tag = QStringLiteral("r%1-%2").arg(round).arg(serial);
    switch (kind) {
        case Kind::SwitchRelay:
            asked.argument = Draw(1, 4);
            asked.value = Draw(0, 1);
            break;
        case Kind::PulseRelay:
            asked.argument = Draw(1, 4);
            asked.value = Draw(1, 3);
            break;
        case Kind::ExecuteScript:
            asked.argument = Draw(1, kBaseScripts);
            break;
        case Kind::ExecuteAlert:
            asked.argument = Draw(1, kBaseAlerts);
            break;
        case Kind::LoadChannel:
            asked.argument = Draw(1, 8);
            break;
        case Kind::UpdateScript:
        case Kind::UpdateAlert: {
            const bool script = kind == Kind::UpdateScript;
            asked.argument = Draw(1, script ? kBaseScripts : kBaseAlerts);
            const QStringList* row =
                RowWithId(script ? tables.scripts : tables.alerts, asked.argument);
            if (row == nullptr) {
                return Make(Kind::SwitchRelay, round, serial, tables);
            }
            QStringList fields = *row;
            fields[kNameField] =
                (script ? QStringLiteral("Script %1 ") : QStringLiteral("Alert %1 "))
                    .arg(asked.argument) +
                tag;
            asked.record = RecordOf(fields);
            break;
        }
        case Kind::AddScript:
            asked.record =
                RecordOf({QStringLiteral("0"), QStringLiteral("relay"),
                          QStringLiteral("Bench script ") + tag,
                          QStringLiteral("Added over a slow link"), QStringLiteral("000801")});
            break;
        case Kind::AddAlert:
            asked.record = RecordOf(
                {QStringLiteral("0"), QStringLiteral("EMAIL"), QStringLiteral("Bench alert ") + tag,
                 QStringLiteral("Added over a slow link"), QStringLiteral("station@example.org"),
                 QStringLiteral("smtp.example.org"), QStringLiteral("operator@example.org"),
                 QStringLiteral("Bench"), QStringLiteral("Added alert text"), QStringLiteral("-"),
                 QStringLiteral("-"), QStringLiteral("-"), QStringLiteral("-"),
                 QStringLiteral("-")});
            break;
        case Kind::DeleteScript:
        case Kind::DeleteAlert: {
            const bool script = kind == Kind::DeleteScript;
            asked.argument = DeletableRow(script ? tables.scripts : tables.alerts,
                                          script ? QLatin1Char('s') : QLatin1Char('a'));
            if (asked.argument == 0) {
                // Nothing added yet: run a row instead, a change sent once too.
                return Make(script ? Kind::ExecuteScript : Kind::ExecuteAlert, round, serial,
                            tables);
            }
            break;
        }
        case Kind::WalkScripts:
        case Kind::WalkAlerts:
            break;
    }
    return asked;
}

}  // namespace volnar::bench::slowlink
