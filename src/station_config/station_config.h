// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <array>
#include <vector>

#include "core/action_lists.h"
#include "core/result.h"

// A station's whole configuration, everything the screens read and write:
// the station's name, the relays' names and notes, the eight channels'
// settings, the scripts and the e-mail and SMS alerts. Readings and counters
// are not part of it. Station texts are kept as the station's bytes
// (Windows-1252), so a configuration written back gives the same bytes.
namespace volnar::config {

inline constexpr int kRelays = 4;
inline constexpr int kChannels = 8;
// The format this program writes and the newest it reads.
inline constexpr int kFormatVersion = 1;
// The kind of board the configuration is for.
inline constexpr char kBoardKind[] = "volnar";

struct RelayConfig {
    QByteArray name;
    QByteArray notes;
    friend bool operator==(const RelayConfig&, const RelayConfig&) = default;
};

// Whether the list (an ActionsList) names scripts rather than alerts.
bool ListHoldsScripts(int list);

struct ChannelConfig {
    QByteArray name;
    QByteArray notes;
    bool ammeter = false;
    QByteArray ampRating;
    QByteArray millivoltRating;
    QByteArray precision;
    QByteArray adjustment;
    QByteArray highValue;
    QByteArray lowValue;
    bool highEnabled = false;
    bool lowEnabled = false;
    int highFlapSeconds = 0;
    int lowFlapSeconds = 0;
    IdLists lists;
    friend bool operator==(const ChannelConfig&, const ChannelConfig&) = default;
};

// A script or alert: its id on the station it was read from, and its other
// fields as the station lists them (a script: type, name, description,
// commands; an alert: type and fields 3 to 9).
struct TableRow {
    int id = 0;
    QList<QByteArray> fields;
    friend bool operator==(const TableRow&, const TableRow&) = default;
};
inline constexpr int kScriptFields = 4;
inline constexpr int kAlertFields = 8;

enum class RowKind { Script, Alert };
QString RowNoun(RowKind kind);  // "script", "alert"

struct StationConfig {
    QString source;  // the address it was read from
    QByteArray name;
    std::array<RelayConfig, kRelays> relays;
    std::array<ChannelConfig, kChannels> channels;
    std::vector<TableRow> scripts;  // in id order
    std::vector<TableRow> alerts;

    const std::vector<TableRow>& Rows(RowKind kind) const {
        return kind == RowKind::Script ? scripts : alerts;
    }
    std::vector<TableRow>& Rows(RowKind kind) { return kind == RowKind::Script ? scripts : alerts; }
    friend bool operator==(const StationConfig&, const StationConfig&) = default;
};

// One setting as the file writes it and the diff names it: its key and its
// value in the file's notation (station text escaped).
struct Setting {
    QString key;
    QString value;
};

// The settings of one part, in the file's order. Action lists are written
// with the ids as the configuration holds them.
std::vector<Setting> RelaySettings(const RelayConfig& relay);
std::vector<Setting> ChannelSettings(const ChannelConfig& channel);
std::vector<Setting> RowSettings(RowKind kind, const TableRow& row);
// The keys of a row's fields (for alerts they depend on the type).
QStringList RowKeys(RowKind kind, const QByteArray& type);

// Station bytes in the file's notation: printable characters as they are
// (the file is UTF-8), "\\", "\r", "\n", "\t", and "\xHH" for every other
// control byte, the bytes Windows-1252 leaves undefined, the no-break space
// and soft hyphen, and a blank at either end.
QString EscapeStationText(const QByteArray& bytes);
// The reverse; refuses a bad escape or a character the station's code page
// cannot hold.
Result<QByteArray> UnescapeStationText(const QString& text);

// The whole file (UTF-8 text, LF line ends).
QByteArray WriteConfigFile(const StationConfig& config);
// Refuses, with the line and the reason, a file of another board kind, of a
// newer format, or with a setting missing, unknown, twice or not valid.
Result<StationConfig> ParseConfigFile(const QByteArray& file);

}  // namespace volnar::config
