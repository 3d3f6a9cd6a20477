// The script editor against a recorded link: building the command list,
// refusing before anything is sent, and the upload's round trip.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
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
    ScriptEditorDialog* Open(EditorMode mode, WorkingRecord working = {}) {
        screens->OpenEditor(new ScriptEditorDialog(mode, std::move(working), *link, messages));
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

// A refused check shows its box, sends nothing and leaves everything typed;
// the corrected script goes out once and the editor waits for the answer.
TEST_F(ScriptEditor, UploadIsRefusedFirstThenSentAndClosesOnTheAnswer) {
    QPointer<ScriptEditorDialog> editor(Open(EditorMode::NewRelay));
    auto* name = Child<QLineEdit>(editor, "nameEdit");
    name->setFocus();
    editor->show();
    QTest::keyClicks(name, QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXY"));  // 25 typed
    EXPECT_EQ(name->text().size(), 25) << "kept as typed, refused on upload";
    Child<QPlainTextEdit>(editor, "notesEdit")->setPlainText(QStringLiteral("Start pump"));
    auto* available = Child<QListWidget>(editor, "availableList");
    for (const int row : {0, 12, 1}) {
        available->setCurrentRow(row);
        editor->AddSelectedCommand();
    }
    const std::size_t before = Sent();
    auto* upload = Child<QPushButton>(editor, "uploadButton");
    upload->click();
    EXPECT_EQ(Sent(), before);
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].icon, MessageIcon::Error);
    EXPECT_EQ(messages.boxes[0].text,
              QStringLiteral("The field \"Script Name\" holds at most 19 characters; it has 25."));
    EXPECT_EQ(screens->Editor(), editor.data());
    EXPECT_EQ(editor->SelectedCommands().size(), 3);

    name->setText(name->text().left(19));
    upload->click();
    ASSERT_EQ(Sent(), before + 1);
    EXPECT_EQ(LastCommand()->Command(), BoardCommand::UploadScript);
    EXPECT_EQ(LastCommand()->Argument(), 1) << "a new script";
    EXPECT_EQ(Last().value.octets, QByteArray("0|relay|ABCDEFGHIJKLMNOPQRS|Start pump|000C01|"));
    Settle();
    ASSERT_FALSE(editor.isNull()) << "open until the station has taken it";
    EXPECT_FALSE(upload->isEnabled());
    Answer(Last().oid, "x");
    Settle();
    EXPECT_TRUE(editor.isNull());
    EXPECT_EQ(screens->List(), nullptr) << "the list comes back with the station's notice";
    EXPECT_EQ(Sent(), before + 1);
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
    editor->Upload();
    EXPECT_EQ(messages.Texts(), QStringList{QStringLiteral("The field \"Script Name\" holds at "
                                                           "most 19 characters; it has 32767.")});
}

}  // namespace
}  // namespace volnar::scripts
