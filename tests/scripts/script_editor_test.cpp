// SPDX-License-Identifier: GPL-3.0-or-later
// The script editor against a recorded link: building the command list, and
// a huge listed script. Uploads run against the simulator (script_e2e_test).
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "lists/recorded_list_fixture.h"
#include "scripts/script_editor_dialog.h"
#include "scripts/script_screens.h"
#include "support/qt_print.h"

namespace volnar::scripts {
namespace {

class ScriptEditor : public testing::RecordedListTest {
protected:
    void SetUp() override {
        RecordedListTest::SetUp();
        Navigate(ScriptNavigation());
    }
    ScriptEditorDialog* Open(EditorMode mode) {
        screens->OpenEditor(new ScriptEditorDialog(mode, {}, *link, messages));
        return qobject_cast<ScriptEditorDialog*>(screens->Editor());
    }
    template <typename T>
    static T* Child(QDialog* editor, const char* name) {
        return editor->findChild<T*>(QString::fromLatin1(name));
    }
};

TEST_F(ScriptEditor, AddRemoveByButtonsDoubleClicksAndKeys) {
    ScriptEditorDialog* editor = Open(EditorMode::NewRelay);
    EXPECT_EQ(Child<QLabel>(editor, "idLabel")->text(), QStringLiteral("New"));
    auto* available = Child<QListWidget>(editor, "availableList");
    auto* selected = Child<QListWidget>(editor, "selectedList");
    EXPECT_EQ(available->count(), 119);
    editor->AddSelectedCommand();
    EXPECT_TRUE(editor->SelectedCommands().isEmpty()) << "nothing chosen, nothing added";
    available->setCurrentRow(12);  // Delay 5 Seconds
    editor->AddSelectedCommand();
    editor->AddSelectedCommand();
    available->setCurrentRow(0);
    Child<QPushButton>(editor, "addButton")->click();
    EXPECT_EQ(editor->SelectedCommands(),
              (QStringList{"Delay 5 Seconds", "Delay 5 Seconds", "Relay 1 ON"}));
    editor->RemoveSelectedCommand();
    EXPECT_EQ(editor->SelectedCommands().size(), 3) << "nothing chosen, nothing removed";
    selected->setCurrentRow(1);
    Child<QPushButton>(editor, "removeButton")->click();
    EXPECT_EQ(editor->SelectedCommands(), (QStringList{"Delay 5 Seconds", "Relay 1 ON"}));
    // Keyboard: Enter adds, Delete removes.
    editor->show();
    available->setFocus();
    available->setCurrentRow(1);
    QTest::keyClick(available, Qt::Key_Return);
    EXPECT_EQ(editor->SelectedCommands().last(), QStringLiteral("Relay 1 OFF"));
    selected->setCurrentRow(0);
    QTest::keyClick(selected, Qt::Key_Delete);
    EXPECT_EQ(editor->SelectedCommands(), (QStringList{"Relay 1 ON", "Relay 1 OFF"}));
}

TEST_F(ScriptEditor, AHugeListedRowOpensWithinTheEditorsLimits) {
    TableListDialog* list =
        OpenListWith(board::kScriptTable,
                     {"8|relay|" + QByteArray(100000, 'n') + "|d|" + QByteArray(70000, '0') + "|"});
    list->ActivateImage(0, kEditImage);
    Settle();
    auto* editor = qobject_cast<ScriptEditorDialog*>(screens->Editor());
    ASSERT_NE(editor, nullptr);
    // Shown as far as a line edit holds (32767); the upload is then refused
    // rather than sending a name cut short.
    EXPECT_EQ(Child<QLineEdit>(editor, "nameEdit")->text().size(), 32767);
    EXPECT_EQ(editor->SelectedCommands().size(), 35000);
    messages.boxes.clear();
    const std::size_t sent = RequestCount();
    editor->Upload();
    ASSERT_EQ(messages.Texts(), QStringList{QStringLiteral("The field \"Script Name\" holds at "
                                                           "most 19 characters; it has 32767.")});
    EXPECT_EQ(messages.boxes[0].icon, MessageIcon::Error);
    EXPECT_EQ(RequestCount(), sent) << "nothing sent";
}

}  // namespace
}  // namespace volnar::scripts
