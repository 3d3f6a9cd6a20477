// SPDX-License-Identifier: GPL-3.0-or-later
// The navigator between a station table's list and its editors, once for
// each table it serves, and the list itself.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "alerts/alert_screens.h"
#include "lists/recorded_list_fixture.h"
#include "lists/table_list_dialog.h"
#include "scripts/script_screens.h"
#include "support/param_name.h"
#include "support/qt_print.h"

namespace volnar {
namespace {

struct Table {
    const char* name;
    NavigatorSettings (*settings)();
    std::string_view object;    // the table walked
    QByteArray row;             // an editable row
    QByteArray foreign;         // a row of a type no editor takes
    const char* addButtons[2];  // object names
    const char* newTitles[2];   // the editors they open
    const char* editTitle;      // the editor `row` opens
};
VOLNAR_PRINT_CASE_NAME(Table)

// clang-format off
const Table kTables[] = {
    {.name = "Scripts", .settings = scripts::ScriptNavigation, .object = board::kScriptTable,
     .row = "7|relay|Gate|Open gate|0203|", .foreign = "3|modem|x|y|00|",
     .addButtons = {"addRelayScriptButton", "addIoScriptButton"}, .newTitles = {"ADD New Relay Script", "ADD New IO Script"}, .editTitle = "EDIT Existing Relay Script"},
    {.name = "Alerts", .settings = AlertNavigation, .object = board::kAlertTable,
     .row = "7|Email|Door|Door alarm|a@b.example|smtp.example|c@d.example|Open|Text|", .foreign = "3|fax|x|y|a|b|c|d|e|",
     .addButtons = {"addEmailAlertButton", "addSmsAlertButton"}, .newTitles = {"ADD New Email Alert", "ADD New SMS Alert"}, .editTitle = "EDIT Email Alert"},
};
// clang-format on

class Navigator : public testing::RecordedListTest, public ::testing::WithParamInterface<Table> {
protected:
    void SetUp() override {
        RecordedListTest::SetUp();
        Navigate(GetParam().settings());
    }
    TableListDialog* OpenList() { return OpenListWith(GetParam().object, {GetParam().row}); }
    QDialog* OpenNewEditor(int button) {
        OpenList()
            ->findChild<QPushButton*>(QString::fromLatin1(GetParam().addButtons[button]))
            ->click();
        return screens->Editor();
    }
};

// Each add button closes the list and opens its editor; leaving the editor
// by its close box (the first) or Escape (the second) brings a fresh list.
TEST_P(Navigator, AddButtonsOpenTheirEditorsAndLeavingOneBringsAFreshList) {
    for (const int button : {0, 1}) {
        QPointer<TableListDialog> list(OpenList());
        list->findChild<QPushButton*>(QString::fromLatin1(GetParam().addButtons[button]))->click();
        Settle();
        EXPECT_TRUE(list.isNull());
        EXPECT_EQ(screens->List(), nullptr);
        QPointer<QDialog> editor(screens->Editor());
        ASSERT_TRUE(editor) << button;
        EXPECT_EQ(editor->windowTitle(), QString::fromLatin1(GetParam().newTitles[button]));
        editor->show();
        if (button == 1) {
            QTest::keyClick(editor, Qt::Key_Escape);
        } else {
            editor->close();
        }
        const std::size_t before = RequestCount();
        Settle();
        EXPECT_TRUE(editor.isNull()) << button;
        EXPECT_EQ(screens->Editor(), nullptr);
        ASSERT_NE(screens->List(), nullptr) << button;
        EXPECT_EQ(screens->List()->Grid().RowCount(), 0) << "a fresh list";
        ASSERT_EQ(RequestCount(), before + 1) << "only the new walk";
        EXPECT_EQ(LastCommand()->Command(), BoardCommand::WalkTable);
        screens->List()->close();
        Settle();
    }
}

TEST_P(Navigator, EditOpensTheListedRowAndARowOfAnotherTypeStaysListed) {
    QPointer<TableListDialog> list(
        OpenListWith(GetParam().object, {GetParam().foreign, GetParam().row}));
    list->ActivateImage(0, kEditImage);
    Settle();
    EXPECT_EQ(screens->Editor(), nullptr);
    ASSERT_EQ(screens->List(), list);
    EXPECT_TRUE(list->isVisible());

    list->ActivateImage(1, kEditImage);
    Settle();
    EXPECT_TRUE(list.isNull());
    ASSERT_NE(screens->Editor(), nullptr);
    EXPECT_EQ(screens->Editor()->windowTitle(), QString::fromLatin1(GetParam().editTitle));
}

// An open editor keeps the list away (leaving it brings one); an accepted
// editor, closed but not yet deleted, must not: the station's notice that
// follows its upload re-opens the list.
TEST_P(Navigator, ReopeningWaitsForAnOpenEditorOnly) {
    QDialog* editor = OpenNewEditor(1);
    ASSERT_NE(editor, nullptr);
    const std::size_t before = RequestCount();
    screens->OpenList();
    EXPECT_EQ(screens->List(), nullptr);
    EXPECT_EQ(RequestCount(), before);

    editor->accept();
    screens->OpenList();
    EXPECT_NE(screens->List(), nullptr);
    EXPECT_EQ(LastCommand()->Command(), BoardCommand::WalkTable);
}

TEST_P(Navigator, ReopeningReplacesAnOpenListWhoseRowsGoNowhere) {
    screens->OpenList();
    QPointer<TableListDialog> first(screens->List());
    screens->OpenList();
    Settle();
    EXPECT_TRUE(first.isNull());
    ASSERT_NE(screens->List(), nullptr);
    Answer(std::string(GetParam().object) + ".1", GetParam().row);
    EXPECT_EQ(screens->List()->Grid().RowCount(), 1);
}

TEST_P(Navigator, ClosingTheNavigatorClosesItsScreensAndOpensNoList) {
    OpenNewEditor(0);
    const std::size_t before = RequestCount();
    screens.reset();
    Settle();
    EXPECT_EQ(RequestCount(), before);
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        EXPECT_EQ(qobject_cast<QDialog*>(widget), nullptr) << widget->metaObject()->className();
    }
}

INSTANTIATE_TEST_SUITE_P(Tables, Navigator, ::testing::ValuesIn(kTables),
                         ::volnar::testing::ByCaseName{});

// The list itself, on the scripts table.
class TableList : public testing::RecordedListTest {
protected:
    void SetUp() override {
        RecordedListTest::SetUp();
        Navigate(scripts::ScriptNavigation());
    }
    TableListDialog* OpenListWith(const QList<QByteArray>& records) {
        return RecordedListTest::OpenListWith(board::kScriptTable, records);
    }
    static QString Walking(int read) {
        return QStringLiteral("Reading scripts from the station... %1 read").arg(read);
    }
};

const QList<QByteArray> kThree{"1|relay|Pump|Start pump|000C01|", "2|io|Lights|Night|0E0Z0F|",
                               "7|Relay|Gate|Open gate|0203|"};

TEST_F(TableList, TheWalkFillsTheListRowByRowAndShowsItsProgress) {
    screens->OpenList();
    TableListDialog* list = screens->List();
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(RequestCount(), 1u);
    EXPECT_EQ(LastCommand()->Argument(), static_cast<int>(BoardTable::Scripts));
    auto* label = list->findChild<QLabel*>(QStringLiteral("walkStatusLabel"));
    EXPECT_EQ(label->text(), Walking(0));
    const std::string table(board::kScriptTable);
    Answer(table + ".1", kThree[0]);
    EXPECT_EQ(list->WalkStatusText(), Walking(1));
    // The label follows the count while the walk runs.
    EXPECT_TRUE(QTest::qWaitFor([&] { return label->text() == Walking(1); }));
    EXPECT_EQ(LastRequest().oid, table + ".1") << "the walk goes on from the row just read";
    Answer(table + ".2", kThree[1]);
    Answer(table + ".7", kThree[2]);
    // A status answer in between is not the end.
    Answer(std::string(board::kStatusRecord), "status", 600);
    EXPECT_TRUE(list->IsWalking());
    Answer(std::string(board::kPrefix) + ".76.1", "notes");
    EXPECT_FALSE(list->IsWalking());
    EXPECT_EQ(label->text(), QStringLiteral("3 scripts"));

    grid::MyRAGrid& g = list->Grid();
    ASSERT_EQ(g.RowCount(), 3);
    EXPECT_EQ(list->Row(2), (ListRow{"7", "RELAY", "Gate", "Open gate", {"0203"}}));
    const auto column = [](ListColumn c) { return static_cast<int>(c); };
    EXPECT_EQ(g.Cell(0, column(ListColumn::Edit)).number, kEditImage);
    EXPECT_EQ(g.Cell(0, column(ListColumn::Delete)).number, kDeleteImage);
    EXPECT_EQ(g.Cell(0, column(ListColumn::Execute)).number, kExecuteImage);
    EXPECT_EQ(g.ColumnWidth(column(ListColumn::Details)), 0) << "the commands column is hidden";
}

// Malformed, binary and huge rows are listed whole and painted; an id the
// station could not get back unchanged is never sent; what is executed or
// deleted is the whole listed number, and the list waits for the station's
// answer before it closes.
TEST_F(TableList, MalformedAndHugeRowsAreListedWholeWithoutHarm) {
    const QList<QByteArray> rows{
        "",
        "|||",
        "7",
        QByteArray("\0\x01|io|\xff\x00x|\x7f|0", 13),
        "8|relay|" + QByteArray(100000, 'n') + "|d|" + QByteArray(70000, '0') + "|",
        "1234567|io|" + QByteArray(63, 'N') + "|d\r\ne|0E|",
        "12a|relay|x|y|00|",
        "99999999999|relay|x|y|00|",
        "2147483648|relay|x|y|00|"};
    TableListDialog* list = OpenListWith(rows);
    ASSERT_EQ(list->Grid().RowCount(), 9);
    EXPECT_EQ(list->Row(2), (ListRow{"7", "7", "7", "7", {"7"}})) << "a short row repeats";
    EXPECT_EQ(list->Row(3).id.toLatin1(), QByteArray("\0\x01", 2));
    EXPECT_EQ(list->Row(4).name.size(), 100000);
    EXPECT_EQ(list->Row(4).details.value(0).size(), 70000);
    EXPECT_EQ(list->Row(5).description, QStringLiteral("d\r\ne"));
    (void)list->grab();  // every row painted
    // An id the station could not get back unchanged is never sent.
    for (const int row : {0, 6, 7, 8}) {
        const std::size_t before = RequestCount();
        messages.boxes.clear();
        list->ActivateImage(row, kExecuteImage);
        ASSERT_EQ(messages.boxes.size(), 1u) << row;
        EXPECT_EQ(messages.boxes[0].icon, MessageIcon::Error);
        EXPECT_TRUE(messages.boxes[0].text.contains(list->Row(row).id)) << row;
        EXPECT_EQ(RequestCount(), before);
    }
    QPointer<TableListDialog> watch(list);
    messages.answers = {true};
    list->ActivateImage(5, kDeleteImage);
    ASSERT_EQ(messages.Texts().last(), QStringLiteral("Delete Script Number 1234567 ?"));
    EXPECT_EQ(LastCommand()->Command(), BoardCommand::DeleteRow);
    EXPECT_EQ(LastCommand()->Argument(), 1234567);
    Settle();
    ASSERT_TRUE(watch) << "open until the station has answered";
    EXPECT_TRUE(watch->isVisible());
    Answer(LastRequest().oid, "1234567");
    Settle();
    EXPECT_TRUE(watch.isNull()) << "the list closed and is gone";
    EXPECT_EQ(screens->List(), nullptr);
}

TEST_F(TableList, TheKeyboardReachesTheActionsButNotTheHiddenColumns) {
    TableListDialog* list = OpenListWith(kThree);
    list->show();
    QWidget* body = list->Grid().Body();
    body->setFocus();
    QTest::keyClick(body, Qt::Key_Down);
    const int execute = static_cast<int>(ListColumn::Execute);
    for (int i = 0; i < execute + 1; ++i) {
        QTest::keyClick(body, Qt::Key_Right);
    }
    EXPECT_EQ(list->Grid().CurrentColumn(), execute);
    messages.answers = {false};
    QTest::keyClick(body, Qt::Key_Return);
    ASSERT_FALSE(messages.boxes.empty());
    EXPECT_EQ(messages.boxes.back().text, QStringLiteral("Execute Script Number 2 ?"));
    // Tab leaves the grid for the buttons.
    QApplication::setActiveWindow(list);
    body->setFocus();
    QTest::keyClick(body, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(),
              list->findChild<QPushButton*>(QStringLiteral("addRelayScriptButton")));
}

TEST_F(TableList, AClosedListHearsNothingMore) {
    screens->OpenList();
    QPointer<TableListDialog> list(screens->List());
    list->findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
    Settle();
    ASSERT_TRUE(list.isNull());
    EXPECT_EQ(screens->List(), nullptr);
    // The answer in flight arrives with nobody listening, and the walk ends
    // with its list: nothing more is asked.
    const std::size_t before = RequestCount();
    Answer(std::string(board::kScriptTable) + ".1", kThree[0]);
    EXPECT_EQ(RequestCount(), before);
    EXPECT_EQ(link->ReceivedCount(), 1);
    EXPECT_TRUE(messages.boxes.empty());
}

// Only a to z change case in the Type column; the row read back from its
// cells is the row listed.
TEST(TableRows, CellsShowTheTypeInCapitalsAndGiveTheRowBack) {
    const ListRow row{"9", QString::fromLatin1("\xe9t\xe9 sms"), "n", "d", {"a", "b"}};
    const QStringList cells = ListCells(row);
    EXPECT_EQ(cells.value(static_cast<int>(ListColumn::Type)),
              QString::fromLatin1("\xe9T\xe9 SMS"));
    ListRow back = ListRowOfCells(cells);
    EXPECT_EQ(back.type, cells.value(1));
    back.type = row.type;
    EXPECT_EQ(back, row);
    EXPECT_EQ(ListRowOfFields({"1", "io"}, 2), (ListRow{"1", "io", "", "", {"", ""}}));
}

}  // namespace
}  // namespace volnar
