// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "core/result.h"
#include "lists/table_rows.h"
#include "scripts/script_vocabulary.h"

// Script records as the list shows them and as the editor uploads them
// (`ID|type|name|notes|codes|` as uploaded), the editor's modes and
// the checks an upload passes first.
namespace volnar::scripts {

enum class EditorMode : int { NewRelay = 0, EditRelay = 1, NewIo = 2, EditIo = 3 };

// The editor's limits.
inline constexpr int kNameLimit = 19;
inline constexpr int kNotesLimit = 510;
inline constexpr int kCommandLimit = 256;

// Validation messages, in the order they are checked.
inline constexpr char kNeedName[] = "Enter a Name for this Script !";
inline constexpr char kNameHasBar[] = "The Script Name must not contain the character \"|\" !";
inline constexpr char kNeedNotes[] = "Enter a Note for this Script !";
inline constexpr char kNotesHaveBar[] = "The Notes must not contain the character \"|\" !";
inline constexpr char kNeedCommands[] = "Enter Commands for this Script !";
inline constexpr char kTooManyCommands[] = "UNDOCUMENTED ERROR !";

QString EditorTitle(EditorMode mode);
ScriptKind KindOf(EditorMode mode);
bool IsNewScript(EditorMode mode);

// The script the editor starts from: what the list showed, whole.
struct WorkingRecord {
    QString id;
    QString type;  // lower case: "relay" or "io"
    QString name;
    QString notes;
    QString codes;

    friend bool operator==(const WorkingRecord&, const WorkingRecord&) = default;
};

// The edit hand-over from a listed row (ID, Type lower-cased, Name,
// Description, Commands); missing fields are empty.
WorkingRecord WorkingRecordOfRow(const ListRow& row);
// Edit mode for a row's lower-cased type; nullopt for any other type.
std::optional<EditorMode> EditModeOfType(const QString& lowerType);

// What the operator entered in the editor.
struct EditorInput {
    QString name;
    QString notes;
    QStringList commands;  // the selected list, top to bottom
};

// Runs the editor's checks in order and builds the record to upload, or
// gives the first check's refusal. A name of more
// than 19 characters (unless it is the listed script's own) or notes of more
// than 510 are refused, as is a character the station cannot store; nothing
// is cut. New scripts go out with ID "0" and the mode's type, updates with
// the working record's ID and type. Notes (as the edit holds them, see
// StationLines) go out as the working record's own when the operator left
// them as shown, so an unchanged script travels back unchanged.
Result<QByteArray> CheckAndBuildRecord(EditorMode mode, const WorkingRecord& working,
                                       const EditorInput& input);

// Notes as an edit box shows them (every line break as "\n").
QString NotesForDisplay(const QString& notes);

}  // namespace volnar::scripts
