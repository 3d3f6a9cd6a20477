// SPDX-License-Identifier: GPL-3.0-or-later
#include "station_config/config_compare.h"

#include <algorithm>

namespace volnar::config {

namespace {

using IdMap = std::map<int, int>;  // A's id -> B's id; -1: not on B (yet)

bool SameKey(RowKind kind, const TableRow& a, const TableRow& b) {
    // Type and name (an SMS alert has no name: its description).
    Q_UNUSED(kind);
    return a.fields.value(0) == b.fields.value(0) && a.fields.value(1) == b.fields.value(1);
}

void MatchPass(const std::vector<TableRow>& a, const std::vector<TableRow>& b,
               std::vector<bool>& usedA, std::vector<bool>& usedB, RowMatch& match,
               const auto& same) {
    for (std::size_t i = 0; i < a.size(); ++i) {
        for (std::size_t j = 0; j < b.size() && !usedA[i]; ++j) {
            if (!usedB[j] && same(a[i], b[j])) {
                usedA[i] = usedB[j] = true;
                match.pairs.emplace_back(i, j);
            }
        }
    }
}

IdMap MapIds(const std::vector<TableRow>& a, const std::vector<TableRow>& b,
             const RowMatch& match) {
    IdMap map;
    for (const std::size_t i : match.onlyA) {
        map[a[i].id] = -1;
    }
    for (const auto& [i, j] : match.pairs) {
        map[a[i].id] = b[j].id;
    }
    return map;
}

// A's channel with its action lists in B's ids. An id of no row of A (the
// station kept an id of a row deleted since) stays as it is between one
// station's configurations and is left out between two stations'.
ChannelConfig Translated(ChannelConfig channel, const IdMap& scripts, const IdMap& alerts,
                         bool sameStation) {
    for (int list = 0; list < static_cast<int>(kActionsListCount); ++list) {
        const IdMap& map = ListHoldsScripts(list) ? scripts : alerts;
        std::vector<int> ids;
        for (const int id : channel.lists[static_cast<std::size_t>(list)]) {
            const auto found = map.find(id);
            if (found != map.end()) {
                ids.push_back(found->second);
            } else if (sameStation) {
                ids.push_back(id);
            }
        }
        channel.lists[static_cast<std::size_t>(list)] = std::move(ids);
    }
    return channel;
}

// Everything needed to compare A with B part by part.
struct Comparison {
    bool sameStation = false;
    RowMatch scripts;
    RowMatch alerts;
    IdMap scriptIds;
    IdMap alertIds;

    Comparison(const StationConfig& a, const StationConfig& b)
        : sameStation(!a.source.isEmpty() && a.source == b.source),
          scripts(MatchRows(a.scripts, b.scripts, sameStation)),
          alerts(MatchRows(a.alerts, b.alerts, sameStation)),
          scriptIds(MapIds(a.scripts, b.scripts, scripts)),
          alertIds(MapIds(a.alerts, b.alerts, alerts)) {}

    const RowMatch& Match(RowKind kind) const { return kind == RowKind::Script ? scripts : alerts; }
    ChannelConfig Channel(const ChannelConfig& channel) const {
        return Translated(channel, scriptIds, alertIds, sameStation);
    }
};

QString Shown(const QString& value) {
    return value.isEmpty() ? QStringLiteral("\"\"") : value;
}

// "<label> <key>: a -> b" for every setting that differs. `compared` holds
// A's settings as compared (lists in B's ids), `shown` as A holds them.
void DiffSettings(QStringList& lines, const QString& label, const std::vector<Setting>& shown,
                  const std::vector<Setting>& compared, const std::vector<Setting>& b) {
    for (std::size_t i = 0; i < b.size() && i < compared.size(); ++i) {
        if (compared[i].value != b[i].value) {
            lines << QStringLiteral("%1 %2: %3 -> %4")
                         .arg(label, b[i].key, Shown(shown[i].value), Shown(b[i].value));
        }
    }
}

QStringList ChangedKeys(const std::vector<Setting>& a, const std::vector<Setting>& b) {
    QStringList keys;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (a[i].value != b[i].value) {
            keys << a[i].key;
        }
    }
    return keys;
}

QString RowLabel(RowKind kind, int id) {
    return RowNoun(kind) + QLatin1Char(' ') + QString::number(id);
}

bool SettingsDiffer(const ChannelConfig& a, const ChannelConfig& b) {
    ChannelConfig left = a;
    left.name = b.name;
    left.notes = b.notes;
    return !(left == b);
}

void PlanRows(std::vector<PlanItem>& plan, RowKind kind, const StationConfig& file,
              const StationConfig& target, const RowMatch& match) {
    const std::vector<TableRow>& a = file.Rows(kind);
    const std::vector<TableRow>& b = target.Rows(kind);
    for (const auto& [i, j] : match.pairs) {
        const QStringList changed = ChangedKeys(RowSettings(kind, a[i]), RowSettings(kind, b[j]));
        if (!(a[i].fields == b[j].fields)) {
            plan.push_back({PlanStep::UpdateRow, b[j].id, kind, RowRecord(kind, b[j].id, a[i]),
                            QStringLiteral("update %1: %2")
                                .arg(RowLabel(kind, b[j].id),
                                     changed.isEmpty() ? QStringLiteral("type")
                                                       : changed.join(QStringLiteral(", ")))});
        }
    }
    for (const std::size_t i : match.onlyA) {
        plan.push_back({PlanStep::AddRow, 0, kind, RowRecord(kind, 0, a[i]),
                        QStringLiteral("add %1 \"%2\" (%3 of the file)")
                            .arg(RowNoun(kind), EscapeStationText(a[i].fields.value(1)),
                                 RowLabel(kind, a[i].id))});
    }
}

}  // namespace

RowMatch MatchRows(const std::vector<TableRow>& a, const std::vector<TableRow>& b,
                   bool sameStation) {
    RowMatch match;
    std::vector<bool> usedA(a.size());
    std::vector<bool> usedB(b.size());
    if (sameStation) {
        MatchPass(a, b, usedA, usedB, match,
                  [](const TableRow& x, const TableRow& y) { return x.id == y.id; });
    }
    MatchPass(a, b, usedA, usedB, match,
              [](const TableRow& x, const TableRow& y) { return x.fields == y.fields; });
    MatchPass(a, b, usedA, usedB, match,
              [](const TableRow& x, const TableRow& y) { return SameKey(RowKind::Script, x, y); });
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!usedA[i]) {
            match.onlyA.push_back(i);
        }
    }
    for (std::size_t j = 0; j < b.size(); ++j) {
        if (!usedB[j]) {
            match.onlyB.push_back(j);
        }
    }
    std::sort(match.pairs.begin(), match.pairs.end());
    return match;
}

QStringList DiffConfigs(const StationConfig& a, const StationConfig& b) {
    const Comparison cmp(a, b);
    QStringList lines;
    if (a.name != b.name) {
        lines << QStringLiteral("station name: %1 -> %2")
                     .arg(Shown(EscapeStationText(a.name)), Shown(EscapeStationText(b.name)));
    }
    for (int r = 0; r < kRelays; ++r) {
        const auto& left = RelaySettings(a.relays[static_cast<std::size_t>(r)]);
        DiffSettings(lines, QStringLiteral("relay %1").arg(r + 1), left, left,
                     RelaySettings(b.relays[static_cast<std::size_t>(r)]));
    }
    for (int c = 0; c < kChannels; ++c) {
        const ChannelConfig& left = a.channels[static_cast<std::size_t>(c)];
        DiffSettings(lines, QStringLiteral("channel %1").arg(c + 1), ChannelSettings(left),
                     ChannelSettings(cmp.Channel(left)),
                     ChannelSettings(b.channels[static_cast<std::size_t>(c)]));
    }
    for (const RowKind kind : {RowKind::Script, RowKind::Alert}) {
        const RowMatch& match = cmp.Match(kind);
        const std::vector<TableRow>& ra = a.Rows(kind);
        const std::vector<TableRow>& rb = b.Rows(kind);
        for (const auto& [i, j] : match.pairs) {
            QString label = RowLabel(kind, ra[i].id);
            if (ra[i].id != rb[j].id) {
                label += QStringLiteral(" (%1 in B)").arg(rb[j].id);
            }
            const auto left = RowSettings(kind, ra[i]);
            DiffSettings(lines, label, left, left, RowSettings(kind, rb[j]));
        }
        for (const std::size_t i : match.onlyA) {
            lines << RowLabel(kind, ra[i].id) + QStringLiteral(": only in A");
        }
        for (const std::size_t j : match.onlyB) {
            lines << RowLabel(kind, rb[j].id) + QStringLiteral(": only in B");
        }
    }
    return lines;
}

QByteArray ChannelSettingsRecord(int channel, const ChannelConfig& c) {
    QByteArray record;
    const auto add = [&record](const QByteArray& field) {
        record += field;
        record += '|';
    };
    add(QByteArray::number(channel));
    add(c.highValue);
    add(c.lowValue);
    add(c.highEnabled ? "1" : "0");
    add(c.lowEnabled ? "1" : "0");
    for (const std::vector<int>& ids : c.lists) {
        QByteArray list;
        for (const int id : ids) {
            if (id > 0) {  // a row not on the station (yet) is left out
                list += QByteArray::number(id) + '.';
            }
        }
        add(list);
    }
    add(QByteArray::number(c.highFlapSeconds));
    add(QByteArray::number(c.lowFlapSeconds));
    add(c.adjustment);
    add(c.precision);
    add(c.ammeter ? "a" : "v");
    add(c.ampRating);
    add(c.millivoltRating);
    return record;
}

QByteArray RowRecord(RowKind kind, int id, const TableRow& row) {
    QByteArray record = QByteArray::number(id) + '|';
    for (const QByteArray& field : row.fields) {
        record += field + '|';
    }
    if (kind == RowKind::Alert) {
        record += "-|-|-|-|-|";  // fields 10-14, which no screen shows or sets
    }
    return record;
}

StationConfig CopyFor(StationConfig source, const StationConfig& target,
                      const CopyOptions& options) {
    if (!options.stationName) {
        source.name = target.name;
    }
    return source;
}

std::vector<PlanItem> PlanRestore(const StationConfig& file, const StationConfig& target) {
    const Comparison cmp(file, target);
    std::vector<PlanItem> plan;
    const auto text = [](const QString& what, const QByteArray& from, const QByteArray& to) {
        return QStringLiteral("%1: %2 -> %3")
            .arg(what, Shown(EscapeStationText(from)), Shown(EscapeStationText(to)));
    };
    if (file.name != target.name) {
        plan.push_back({PlanStep::StationName, 0, RowKind::Script, file.name,
                        text(QStringLiteral("station name"), target.name, file.name)});
    }
    for (int r = 1; r <= kRelays; ++r) {
        const RelayConfig& want = file.relays[static_cast<std::size_t>(r - 1)];
        const RelayConfig& have = target.relays[static_cast<std::size_t>(r - 1)];
        if (want.name != have.name) {
            plan.push_back({PlanStep::RelayName, r, RowKind::Script, want.name,
                            text(QStringLiteral("relay %1 name").arg(r), have.name, want.name)});
        }
        if (want.notes != have.notes) {
            plan.push_back({PlanStep::RelayNotes, r, RowKind::Script, want.notes,
                            text(QStringLiteral("relay %1 notes").arg(r), have.notes, want.notes)});
        }
    }
    for (int c = 1; c <= kChannels; ++c) {
        const ChannelConfig& want = file.channels[static_cast<std::size_t>(c - 1)];
        const ChannelConfig& have = target.channels[static_cast<std::size_t>(c - 1)];
        if (want.name != have.name) {
            plan.push_back({PlanStep::ChannelName, c, RowKind::Script, want.name,
                            text(QStringLiteral("channel %1 name").arg(c), have.name, want.name)});
        }
        if (want.notes != have.notes) {
            plan.push_back(
                {PlanStep::ChannelNotes, c, RowKind::Script, want.notes,
                 text(QStringLiteral("channel %1 notes").arg(c), have.notes, want.notes)});
        }
    }
    PlanRows(plan, RowKind::Script, file, target, cmp.scripts);
    PlanRows(plan, RowKind::Alert, file, target, cmp.alerts);
    for (int c = 1; c <= kChannels; ++c) {
        const ChannelConfig want = cmp.Channel(file.channels[static_cast<std::size_t>(c - 1)]);
        const ChannelConfig& have = target.channels[static_cast<std::size_t>(c - 1)];
        if (SettingsDiffer(want, have)) {
            QStringList keys = ChangedKeys(ChannelSettings(want), ChannelSettings(have));
            keys.removeAll(QStringLiteral("name"));  // sent on their own
            keys.removeAll(QStringLiteral("notes"));
            plan.push_back({PlanStep::ChannelSettings, c, RowKind::Script,
                            ChannelSettingsRecord(c, want),
                            QStringLiteral("channel %1 settings: %2")
                                .arg(c)
                                .arg(keys.join(QStringLiteral(", ")))});
        }
    }
    for (const RowKind kind : {RowKind::Script, RowKind::Alert}) {
        for (const std::size_t j : cmp.Match(kind).onlyB) {
            const TableRow& row = target.Rows(kind)[j];
            plan.push_back(
                {PlanStep::DeleteRow,
                 row.id,
                 kind,
                 {},
                 QStringLiteral("delete %1 \"%2\" (not in the file)")
                     .arg(RowLabel(kind, row.id), EscapeStationText(row.fields.value(1)))});
        }
    }
    return plan;
}

}  // namespace volnar::config
