// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// The commands a script may hold and their two-character codes: a group
// character followed by an index character from "0"-"9", "A"-"Z", "a"-"k".
// Relay scripts and I/O scripts have sets of their own, and the same code
// can mean different commands in the two ("0S" is "Delay 1 Hour" in a relay
// script and "Delay 1 Second" in an I/O script).
namespace volnar::scripts {

enum class ScriptKind { Relay, Io };

struct ScriptCommand {
    QString text;
    QString code;

    friend bool operator==(const ScriptCommand&, const ScriptCommand&) = default;
};

// The 47 index characters in order.
inline constexpr char kIndexCharacters[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijk";
inline constexpr int kIndexCount = 47;

// The kind's whole set in code order (relay: group 0, then RDB1 to RDB6;
// I/O: group 0). Built once from the rules.
const std::vector<ScriptCommand>& CommandSet(ScriptKind kind);
QStringList CommandTexts(ScriptKind kind);

std::optional<QString> CodeOfCommand(ScriptKind kind, const QString& text);
std::optional<QString> CommandOfCode(ScriptKind kind, const QString& code);

// How the editor lists a stored code the set does not hold ("Unknown command
// \"ZZ\""), so that a script saved unchanged keeps it; and its code back.
QString UnknownCommandText(const QString& code);
std::optional<QString> CodeOfUnknownCommand(const QString& text);

// Stored codes to command texts, two characters at a time; an odd last
// character is ignored, and a pair the set does not hold is listed as an
// unknown command.
QStringList DecodeCommands(ScriptKind kind, const QString& codes);
// Command texts to their codes, in order (an unknown command goes back as its
// own code); other texts the set does not hold are skipped.
QString EncodeCommands(ScriptKind kind, const QStringList& texts);

}  // namespace volnar::scripts
