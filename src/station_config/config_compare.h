// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <map>
#include <vector>

#include "station_config/station_config.h"

// Comparing two configurations and planning a restore. Scripts and alerts
// are matched row to row: by id when both came from the same station, then
// by content (every field), then by type and name; so a row restored to a
// station that already holds it is never added twice, and a restore run
// again finds nothing to do.
namespace volnar::config {

struct RowMatch {
    std::vector<std::pair<std::size_t, std::size_t>> pairs;  // index in A, index in B
    std::vector<std::size_t> onlyA;
    std::vector<std::size_t> onlyB;
};
RowMatch MatchRows(const std::vector<TableRow>& a, const std::vector<TableRow>& b,
                   bool sameStation);

// One line per difference, in the file's order: "channel 3 trigger high:
// 24.0 -> 25.5", "script 12: only in A". Action lists are compared through
// the row match; each side is shown with its own ids. Empty when equal.
QStringList DiffConfigs(const StationConfig& a, const StationConfig& b);

// One change a restore sends.
enum class PlanStep {
    StationName,
    RelayName,
    RelayNotes,
    ChannelName,
    ChannelNotes,
    UpdateRow,
    AddRow,
    ChannelSettings,
    DeleteRow,
};

struct PlanItem {
    PlanStep step = PlanStep::StationName;
    int index = 0;  // relay or channel 1-8; the target's row id for UpdateRow, DeleteRow
    RowKind kind = RowKind::Script;
    QByteArray value;  // the text or record sent (nothing for DeleteRow)
    QString text;      // what the operator reads
};

// What a restore of `file` onto `target` (as read from the station) sends,
// in order: the station name, relays, channel names and notes, scripts and
// alerts updated and added, channel settings, rows the file does not hold
// deleted. Empty when the station already holds the file's configuration.
// Channel settings name the target's ids; a row still to be added makes the
// channel's settings differ until it has been (plan again after the adds).
std::vector<PlanItem> PlanRestore(const StationConfig& file, const StationConfig& target);

// What a copy from one station to others carries beyond the settings that
// stations configured alike share. The station's name tells one station
// from the others: a copy leaves each target its own unless asked.
struct CopyOptions {
    bool stationName = false;
};
// `source` as it is to be written to `target` (read from the station).
StationConfig CopyFor(StationConfig source, const StationConfig& target,
                      const CopyOptions& options);

// The channel settings record the station takes (20 fields).
QByteArray ChannelSettingsRecord(int channel, const ChannelConfig& settings);
// The record a script or alert is sent as; id 0 adds a row.
QByteArray RowRecord(RowKind kind, int id, const TableRow& row);

}  // namespace volnar::config
