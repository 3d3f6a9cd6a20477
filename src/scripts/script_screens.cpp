// SPDX-License-Identifier: GPL-3.0-or-later
#include "scripts/script_screens.h"

#include "lists/list_pictures.h"
#include "scripts/script_editor_dialog.h"
#include "scripts/script_pictures.h"

namespace volnar::scripts {

TableListSettings ScriptListSettings() {
    TableListSettings settings;
    settings.title = QStringLiteral("VOLN Scripts");
    settings.icon = QIcon(RelayScriptPicture());
    settings.table = BoardTable::Scripts;
    settings.noun = QStringLiteral("Script");
    settings.plural = QStringLiteral("scripts");
    settings.details = 1;  // the commands, hidden
    settings.actionImages = ListActionImages();
    settings.addButtons = {{{QStringLiteral("Add Relay Script"), RelayScriptPicture(),
                             QStringLiteral("addRelayScriptButton")},
                            {QStringLiteral("Add I/O Script"), IoScriptPicture(),
                             QStringLiteral("addIoScriptButton")}}};
    settings.canEdit = [](const ListRow& row) {
        return EditModeOfType(WorkingRecordOfRow(row).type).has_value();
    };
    return settings;
}

NavigatorSettings ScriptNavigation() {
    NavigatorSettings settings;
    settings.list = ScriptListSettings;
    settings.newEditor = [](const EditorContext& context, int button) -> QDialog* {
        return new ScriptEditorDialog(button == 0 ? EditorMode::NewRelay : EditorMode::NewIo, {},
                                      context.link, context.messages, context.owner);
    };
    settings.editEditor = [](const EditorContext& context, const ListRow& row) -> QDialog* {
        WorkingRecord record = WorkingRecordOfRow(row);
        const auto mode = EditModeOfType(record.type);
        if (!mode) {
            return nullptr;
        }
        return new ScriptEditorDialog(*mode, std::move(record), context.link, context.messages,
                                      context.owner);
    };
    return settings;
}

}  // namespace volnar::scripts
