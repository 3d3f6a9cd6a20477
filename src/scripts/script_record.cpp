// SPDX-License-Identifier: GPL-3.0-or-later
#include "scripts/script_record.h"

#include <optional>

#include "core/text_rules.h"
#include "link/board_request.h"

namespace volnar::scripts {

QString EditorTitle(EditorMode mode) {
    switch (mode) {
        case EditorMode::NewRelay:
            return QStringLiteral("ADD New Relay Script");
        case EditorMode::EditRelay:
            return QStringLiteral("EDIT Existing Relay Script");
        case EditorMode::NewIo:
            return QStringLiteral("ADD New IO Script");
        case EditorMode::EditIo:
            return QStringLiteral("EDIT Existing IO Script");
    }
    return {};
}

ScriptKind KindOf(EditorMode mode) {
    return mode == EditorMode::NewRelay || mode == EditorMode::EditRelay ? ScriptKind::Relay
                                                                         : ScriptKind::Io;
}

bool IsNewScript(EditorMode mode) {
    return mode == EditorMode::NewRelay || mode == EditorMode::NewIo;
}

WorkingRecord WorkingRecordOfRow(const ListRow& row) {
    return {row.id, text::ToLowerAscii(row.type), row.name, row.description, row.details.value(0)};
}

std::optional<EditorMode> EditModeOfType(const QString& lowerType) {
    if (lowerType == QLatin1String("relay")) {
        return EditorMode::EditRelay;
    }
    if (lowerType == QLatin1String("io")) {
        return EditorMode::EditIo;
    }
    return std::nullopt;
}

QString NotesForDisplay(const QString& notes) {
    return EditableLines(notes);
}

Result<QByteArray> CheckAndBuildRecord(EditorMode mode, const WorkingRecord& working,
                                       const EditorInput& input) {
    const bool update = !IsNewScript(mode);
    const QString& name = input.name;
    if (name.isEmpty()) {
        return Failure{QString::fromLatin1(kNeedName)};
    }
    if (name.contains(QLatin1Char('|'))) {
        return Failure{QString::fromLatin1(kNameHasBar)};
    }
    // A name the station already holds goes back as it is, whatever its
    // length; a new one is refused past the editor's limit, never cut.
    const bool nameAsListed = update && name == working.name;
    if (auto refusal = CheckStationText(
            {QStringLiteral("Script Name"), nameAsListed ? 0 : kNameLimit}, name)) {
        return Failure{*refusal};
    }
    // Notes left as shown go back byte for byte; changed, their line breaks
    // travel as CR LF.
    const QString notes = StationLines(input.notes, update ? working.notes : QString());
    if (notes.isEmpty()) {
        return Failure{QString::fromLatin1(kNeedNotes)};
    }
    if (notes.contains(QLatin1Char('|'))) {
        return Failure{QString::fromLatin1(kNotesHaveBar)};
    }
    if (auto refusal = CheckStationText({QStringLiteral("Notes"), kNotesLimit}, notes)) {
        return Failure{*refusal};
    }
    if (input.commands.isEmpty()) {
        return Failure{QString::fromLatin1(kNeedCommands)};
    }
    if (input.commands.size() > kCommandLimit) {
        return Failure{QString::fromLatin1(kTooManyCommands)};
    }
    const QString codes = EncodeCommands(KindOf(mode), input.commands);
    QString id = working.id;
    QString type = working.type;
    if (IsNewScript(mode)) {
        id = QStringLiteral("0");
        type = mode == EditorMode::NewRelay ? QStringLiteral("relay") : QStringLiteral("io");
    }
    const QString bar = QStringLiteral("|");
    const QString record = id + bar + type + bar + name + bar + notes + bar + codes + bar;
    return StationBytes(record);
}

}  // namespace volnar::scripts
