// The script list, the editor and the navigation between them, against a
// board link whose transport records requests; the station's answers are fed
// to the link's dispatcher by hand.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "grid/my_ra_grid.h"
#include "link/board_commands.h"
#include "link/board_link.h"
#include "link/board_objects.h"
#include "link/recording_transport.h"
#include "lists/table_list_dialog.h"
#include "scripts/script_editor_dialog.h"
#include "scripts/script_screens.h"
#include "support/param_name.h"
#include "support/qt_print.h"
#include "support/recording_message_service.h"

namespace volnar::scripts {
namespace {

using testing::RecordingMessageService;

std::string Object(std::string_view suffix) {
    return std::string(board::kPrefix) + std::string(suffix);
}

class ScriptDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        link = std::make_unique<BoardLink>(
            messages,
            [](const QString& address) -> std::optional<StationRecord> {
                return StationRecord{address,
                                     QStringLiteral("public"),
                                     QString(),
                                     QStringLiteral("YES"),
                                     QStringLiteral("1161"),
                                     QStringLiteral("10"),
                                     QStringLiteral("1")};
            },
            [] { return QStringLiteral("127.0.0.1"); },
            [this]() -> std::unique_ptr<SnmpTransport> {
                auto made = std::make_unique<RecordingTransport>();
                transport = made.get();
                return made;
            });
        ASSERT_TRUE(link->StartSnmpSession());
        QObject::connect(link.get(), &BoardLink::OperationStarted, link.get(),
                         [this](BoardOperation* operation) { commands << operation; });
        screens = std::make_unique<ScriptScreens>(*link, messages, nullptr);
    }

    // The command a screen started last.
    BoardOperation* LastCommand() const { return commands.isEmpty() ? nullptr : commands.last(); }
    void TearDown() override {
        screens.reset();
        QCoreApplication::processEvents();
        // Closed dialogs are deleted later; let that happen before the link goes.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        link.reset();
    }

    // Feeds one answer to the link and lets queued follow-ups run.
    void Answer(const std::string& oid, const QByteArray& value, int requestId = 0) {
        BoardResponse r;
        r.requestId = requestId == 0 ? transport->requests.back().requestId : requestId;
        r.oid = oid;
        r.value = value;
        r.syntax = kSyntaxOctetString;
        link->HandleBoardResponse(r);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }

    // Opens the list and answers its walk with these records.
    TableListDialog* OpenListWith(const QList<QByteArray>& records) {
        screens->OpenList();
        TableListDialog* list = screens->List();
        EXPECT_NE(list, nullptr);
        int id = 1;
        for (const QByteArray& record : records) {
            EXPECT_EQ(transport->requests.back().type, PduType::GetNext);
            Answer(Object(".72.") + std::to_string(id++), record);
        }
        Answer(Object(".76.1"), "relay notes");  // past the table
        return list;
    }

    static void Activate(TableListDialog* list, int row, int column) {
        list->Grid().BeginEdit(column, row);
    }

    const BoardRequest& Last() const { return transport->requests.back(); }
    std::size_t Sent() const { return transport->requests.size(); }

    RecordingMessageService messages;
    std::unique_ptr<BoardLink> link;
    RecordingTransport* transport = nullptr;
    QList<QPointer<BoardOperation>> commands;
    std::unique_ptr<ScriptScreens> screens;
};

const QList<QByteArray> kThree{"1|relay|Pump|Start pump|000C01|", "2|io|Lights|Night|0E0Z0F|",
                               "7|Relay|Gate|Open gate|0203|"};

TEST_F(ScriptDialogs, TheWalkFillsTheListRowByRowAndShowsItsProgress) {
    screens->OpenList();
    TableListDialog* list = screens->List();
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(Sent(), 1u);
    EXPECT_EQ(LastCommand()->Command(), BoardCommand::WalkTable);
    EXPECT_EQ(LastCommand()->Argument(), static_cast<int>(BoardTable::Scripts));
    EXPECT_TRUE(list->IsWalking());
    EXPECT_EQ(list->WalkStatusText(), QStringLiteral("Reading scripts from the station... 0 read"));

    auto* label = list->findChild<QLabel*>(QStringLiteral("walkStatusLabel"));
    EXPECT_EQ(label->text(), QStringLiteral("Reading scripts from the station... 0 read"));
    Answer(Object(".72.1"), kThree[0]);
    EXPECT_EQ(list->WalkStatusText(), QStringLiteral("Reading scripts from the station... 1 read"));
    // The label follows the count while the walk runs.
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return label->text() == QStringLiteral("Reading scripts from the station... 1 read");
    }));
    EXPECT_EQ(Last().oid, Object(".72.1")) << "the walk goes on from the row just read";
    Answer(Object(".72.2"), kThree[1]);
    Answer(Object(".72.7"), kThree[2]);
    // A status answer in between is not the end.
    Answer(std::string(board::kStatusRecord), "status", 600);
    EXPECT_TRUE(list->IsWalking());
    Answer(Object(".76.1"), "notes");
    EXPECT_FALSE(list->IsWalking());
    EXPECT_EQ(list->WalkStatusText(), QStringLiteral("3 scripts"));
    EXPECT_EQ(list->findChild<QLabel*>(QStringLiteral("walkStatusLabel"))->text(),
              QStringLiteral("3 scripts"));

    grid::MyRAGrid& g = list->Grid();
    ASSERT_EQ(g.RowCount(), 3);
    EXPECT_EQ(g.CellText(0, kTypeColumn), QStringLiteral("RELAY"));
    EXPECT_EQ(g.CellText(1, kTypeColumn), QStringLiteral("IO"));
    EXPECT_EQ(g.CellText(2, kTypeColumn), QStringLiteral("RELAY"));
    EXPECT_EQ(g.CellText(2, kIdColumn), QStringLiteral("7"));
    EXPECT_EQ(g.CellText(1, kDescriptionColumn), QStringLiteral("Night"));
    EXPECT_EQ(g.Cell(0, kEditColumn).number, volnar::kEditImage);
    EXPECT_EQ(g.Cell(0, kDeleteColumn).number, volnar::kDeleteImage);
    EXPECT_EQ(g.Cell(0, kExecuteColumn).number, volnar::kExecuteImage);
    EXPECT_EQ(g.CellText(0, kCommandsColumn), QStringLiteral("000C01"));
    EXPECT_EQ(g.ColumnWidth(kCommandsColumn), 0) << "the commands column is hidden";
    EXPECT_EQ(g.HeaderText(kDescriptionColumn), QStringLiteral("Description"));
    EXPECT_EQ(list->windowTitle(), QStringLiteral("VOLN Scripts"));
}

TEST_F(ScriptDialogs, AnEmptyTableGivesAnEmptyList) {
    TableListDialog* list = OpenListWith({});
    EXPECT_EQ(list->Grid().RowCount(), 0);
    EXPECT_EQ(list->WalkStatusText(), QStringLiteral("No scripts on the station"));
    EXPECT_EQ(Sent(), 1u) << "no request after the answer past the table";
}

TEST_F(ScriptDialogs, AnErrorStopsTheWalkAndTheListKeepsItsRows) {
    screens->OpenList();
    TableListDialog* list = screens->List();
    Answer(Object(".72.1"), kThree[0]);
    BoardResponse error;
    error.requestId = Last().requestId;
    error.errorStatus = 2;
    error.oid = Object(".72.1");
    link->HandleBoardResponse(error);
    EXPECT_FALSE(list->IsWalking());
    EXPECT_EQ(
        list->WalkStatusText(),
        QStringLiteral("Reading stopped after 1 scripts: press Refresh to read the list again "
                       "(SNMP_ERR_NOSUCHNAME)"));
    EXPECT_EQ(list->Grid().RowCount(), 1);
    EXPECT_EQ(messages.Texts(), QStringList{QStringLiteral("SNMP_ERR_NOSUCHNAME")});
}

TEST_F(ScriptDialogs, LongFieldsStayWholeThroughTheListAndTheEditor) {
    const QByteArray id = "1234567";
    const QByteArray name(63, 'N');
    const QByteArray notes = QByteArray(250, 'd') + "\r\n" + QByteArray(200, 'e');
    const QByteArray codes = QByteArray("0E").repeated(200);
    TableListDialog* list = OpenListWith({id + "|io|" + name + "|" + notes + "|" + codes + "|"});
    grid::MyRAGrid& g = list->Grid();
    EXPECT_EQ(g.CellText(0, kIdColumn).toLatin1(), id);
    EXPECT_EQ(g.CellText(0, kNameColumn).toLatin1(), name);
    EXPECT_EQ(g.CellText(0, kDescriptionColumn).toLatin1(), notes);
    EXPECT_EQ(g.CellText(0, kCommandsColumn).toLatin1(), codes);

    // Delete goes out under the whole number.
    messages.answers = {true};
    Activate(list, 0, kDeleteColumn);
    ASSERT_EQ(messages.Texts().last(), QStringLiteral("Delete Script Number 1234567 ?"));
    EXPECT_EQ(LastCommand()->Command(), BoardCommand::DeleteRow);
    EXPECT_EQ(LastCommand()->Argument(), 1234567);
}

TEST_F(ScriptDialogs, MalformedRowsAreListedWithoutHarm) {
    const QList<QByteArray> rows{
        "", "|||", "7", QByteArray("\0\x01|io|\xff\x00x|\x7f|0", 13),
        "8|relay|" + QByteArray(100000, 'n') + "|d|" + QByteArray(70000, '0') + "|"};
    TableListDialog* list = OpenListWith(rows);
    grid::MyRAGrid& g = list->Grid();
    ASSERT_EQ(g.RowCount(), 5);
    EXPECT_EQ(g.CellText(4, kNameColumn).size(), 100000);
    EXPECT_EQ(g.CellText(3, kIdColumn).toLatin1(), QByteArray("\0\x01", 2));
    (void)list->grab();  // every row painted
    // The huge row opens in the editor within its limits.
    Activate(list, 4, kEditColumn);
    QCoreApplication::processEvents();
    ScriptEditorDialog* editor = screens->Editor();
    ASSERT_NE(editor, nullptr);
    // Shown as far as a line edit holds (32767); the upload is then refused
    // rather than sending a name cut short.
    EXPECT_EQ(editor->findChild<QLineEdit*>(QStringLiteral("nameEdit"))->text().size(), 32767);
    EXPECT_EQ(editor->SelectedCommands().size(), 35000);
    messages.boxes.clear();
    editor->Upload();
    EXPECT_EQ(messages.Texts(), QStringList{QStringLiteral("The field \"Script Name\" holds at "
                                                           "most 19 characters; it has 32767.")});
}

TEST_F(ScriptDialogs, AnUnchangedScriptOpenedForEditingIsUploadedExactlyAsListed) {
    // Bytes above 0x7F (UTF-8 from another client, say) travel back as they
    // came, so do CR LF, a lone CR, byte A0 and a code this client does not know.
    const QByteArray notes = "first line\r\nsecond\rthird\xa0line \xe9\x81";
    const QByteArray record =
        "104857|io|Caf\xc3\xa9 \xff|" + notes + "|" + QByteArray("0E0Z0F").repeated(30) + "ZZ0E|";
    TableListDialog* list = OpenListWith({record});
    Activate(list, 0, kEditColumn);
    QCoreApplication::processEvents();
    ScriptEditorDialog* editor = screens->Editor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->windowTitle(), QStringLiteral("EDIT Existing IO Script"));
    EXPECT_EQ(editor->findChild<QLabel*>(QStringLiteral("idLabel"))->text(),
              QStringLiteral("104857"));
    EXPECT_EQ(editor->SelectedCommands().size(), 92);
    EXPECT_EQ(editor->SelectedCommands()[90], QStringLiteral("Unknown command \"ZZ\""));
    editor->Upload();
    EXPECT_EQ(LastCommand()->Command(), BoardCommand::UploadScript);
    EXPECT_EQ(LastCommand()->Argument(), 0) << "an update, not a new script";
    EXPECT_EQ(Last().value.octets, record);
}

struct ActionCase {
    const char* name;
    int column;
    bool yes;
    const char* question;
    BoardCommand command;
};
VOLNAR_PRINT_CASE_NAME(ActionCase)

class ScriptListActions : public ScriptDialogs, public ::testing::WithParamInterface<ActionCase> {};

TEST_P(ScriptListActions, AskedFirstAndSentOnlyOnYes) {
    const ActionCase& c = GetParam();
    TableListDialog* list = OpenListWith(kThree);
    QPointer<TableListDialog> watch(list);
    const std::size_t before = Sent();
    messages.answers = {c.yes};
    Activate(list, 2, c.column);
    ASSERT_FALSE(messages.boxes.empty());
    EXPECT_EQ(messages.boxes.back().text, QString::fromLatin1(c.question));
    EXPECT_EQ(messages.boxes.back().buttons, MessageButtons::YesNo);
    EXPECT_EQ(messages.boxes.back().icon, MessageIcon::None);
    QCoreApplication::processEvents();
    if (!c.yes) {
        EXPECT_EQ(Sent(), before);
        EXPECT_FALSE(watch.isNull()) << "the list stays open";
        EXPECT_TRUE(watch->isVisible());
        return;
    }
    ASSERT_EQ(Sent(), before + 1);
    EXPECT_EQ(LastCommand()->Command(), c.command);
    EXPECT_EQ(LastCommand()->Argument(), 7);
    // The list waits for the station's answer.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(watch.isNull());
    EXPECT_TRUE(watch->isVisible());
    Answer(Last().oid, "7");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(watch.isNull()) << "the list closed and is gone";
    EXPECT_EQ(screens->List(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    ExecuteAndDelete, ScriptListActions,
    ::testing::Values(ActionCase{"ExecuteYes", kExecuteColumn, true, "Execute Script Number 7 ?",
                                 BoardCommand::ExecuteRow},
                      ActionCase{"ExecuteNo", kExecuteColumn, false, "Execute Script Number 7 ?",
                                 BoardCommand::ExecuteRow},
                      ActionCase{"DeleteYes", kDeleteColumn, true, "Delete Script Number 7 ?",
                                 BoardCommand::DeleteRow},
                      ActionCase{"DeleteNo", kDeleteColumn, false, "Delete Script Number 7 ?",
                                 BoardCommand::DeleteRow}),
    ::volnar::testing::ByCaseName{});

TEST_F(ScriptDialogs, AnIdTheStationCouldNotGetBackUnchangedIsNeverSent) {
    for (const QByteArray& id :
         {QByteArray("12a"), QByteArray("99999999999"), QByteArray("2147483648"), QByteArray("")}) {
        TableListDialog* list = OpenListWith({id + "|relay|x|y|00|"});
        const std::size_t before = Sent();
        messages.boxes.clear();
        Activate(list, 0, kExecuteColumn);
        ASSERT_EQ(messages.boxes.size(), 1u) << id.toStdString();
        EXPECT_EQ(messages.boxes[0].icon, MessageIcon::Error);
        EXPECT_TRUE(messages.boxes[0].text.contains(QString::fromLatin1(id)));
        EXPECT_EQ(Sent(), before);
        list->close();
        QCoreApplication::processEvents();
    }
}

TEST_F(ScriptDialogs, TheKeyboardReachesTheActions) {
    TableListDialog* list = OpenListWith(kThree);
    list->show();
    QWidget* body = list->Grid().Body();
    body->setFocus();
    QTest::keyClick(body, Qt::Key_Down);
    for (int i = 0; i < kExecuteColumn; ++i) {
        QTest::keyClick(body, Qt::Key_Right);
    }
    EXPECT_EQ(list->Grid().CurrentColumn(), kExecuteColumn);
    messages.answers = {false};
    QTest::keyClick(body, Qt::Key_Return);
    ASSERT_FALSE(messages.boxes.empty());
    EXPECT_EQ(messages.boxes.back().text, QStringLiteral("Execute Script Number 2 ?"));
    // The hidden commands column is never current.
    QTest::keyClick(body, Qt::Key_Right);
    EXPECT_EQ(list->Grid().CurrentColumn(), kExecuteColumn);
    // Tab leaves the grid for the buttons.
    QApplication::setActiveWindow(list);
    body->setFocus();
    QTest::keyClick(body, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(),
              list->findChild<QPushButton*>(QStringLiteral("addRelayScriptButton")));
}

TEST_F(ScriptDialogs, EditOfAnUnknownTypeIsIgnored) {
    TableListDialog* list = OpenListWith({"3|modem|x|y|00|"});
    Activate(list, 0, kEditColumn);
    QCoreApplication::processEvents();
    EXPECT_EQ(screens->Editor(), nullptr);
    EXPECT_EQ(screens->List(), list);
    EXPECT_TRUE(list->isVisible());
}

struct OpenCase {
    const char* name;
    const char* button;
    EditorMode mode;
    const char* title;
    int available;
};
VOLNAR_PRINT_CASE_NAME(OpenCase)

class ScriptAddButtons : public ScriptDialogs, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(ScriptAddButtons, CloseTheListAndOpenANewScript) {
    const OpenCase& c = GetParam();
    TableListDialog* list = OpenListWith(kThree);
    QPointer<TableListDialog> watch(list);
    list->findChild<QPushButton*>(QString::fromLatin1(c.button))->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(watch.isNull());
    ScriptEditorDialog* editor = screens->Editor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->Mode(), c.mode);
    EXPECT_EQ(editor->windowTitle(), QString::fromLatin1(c.title));
    EXPECT_EQ(editor->findChild<QLabel*>(QStringLiteral("idLabel"))->text(), QStringLiteral("New"));
    EXPECT_EQ(editor->findChild<QListWidget*>(QStringLiteral("availableList"))->count(),
              c.available);
    EXPECT_TRUE(editor->SelectedCommands().isEmpty());
    EXPECT_EQ(editor->findChild<QLabel*>(QStringLiteral("notesLabel"))->text(),
              QStringLiteral("Enter Notes about this Relay Script"));
}

INSTANTIATE_TEST_SUITE_P(Both, ScriptAddButtons,
                         ::testing::Values(OpenCase{"Relay", "addRelayScriptButton",
                                                    EditorMode::NewRelay, "ADD New Relay Script",
                                                    119},
                                           OpenCase{"Io", "addIoScriptButton", EditorMode::NewIo,
                                                    "ADD New IO Script", 47}),
                         ::volnar::testing::ByCaseName{});

TEST_F(ScriptDialogs, RefreshOpensAFreshListWithANewWalk) {
    TableListDialog* list = OpenListWith(kThree);
    QPointer<TableListDialog> old(list);
    const std::size_t before = Sent();
    list->findChild<QPushButton*>(QStringLiteral("refreshButton"))->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(old.isNull());
    ASSERT_NE(screens->List(), nullptr);
    EXPECT_EQ(screens->List()->Grid().RowCount(), 0) << "starts empty";
    ASSERT_EQ(Sent(), before + 1);
    EXPECT_EQ(LastCommand()->Command(), BoardCommand::WalkTable);
}

TEST_F(ScriptDialogs, AClosedListHearsNothingMore) {
    screens->OpenList();
    QPointer<TableListDialog> list(screens->List());
    list->findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(list.isNull());
    EXPECT_EQ(screens->List(), nullptr);
    // The answer in flight arrives with nobody listening, and the walk ends
    // with its list: nothing more is asked.
    const std::size_t before = Sent();
    Answer(Object(".72.1"), kThree[0]);
    EXPECT_EQ(Sent(), before);
    EXPECT_EQ(link->ReceivedCount(), 1);
    EXPECT_TRUE(messages.boxes.empty());
}

TEST_F(ScriptDialogs, EditorAddRemoveAndDoubleClicks) {
    screens->OpenEditor(EditorMode::NewRelay, {});
    ScriptEditorDialog* editor = screens->Editor();
    auto* available = editor->findChild<QListWidget*>(QStringLiteral("availableList"));
    auto* selected = editor->findChild<QListWidget*>(QStringLiteral("selectedList"));
    editor->AddSelectedCommand();
    EXPECT_TRUE(editor->SelectedCommands().isEmpty()) << "nothing chosen, nothing added";
    available->setCurrentRow(12);  // Delay 5 Seconds
    editor->AddSelectedCommand();
    editor->AddSelectedCommand();
    available->setCurrentRow(0);
    editor->findChild<QPushButton*>(QStringLiteral("addButton"))->click();
    EXPECT_EQ(editor->SelectedCommands(),
              (QStringList{QStringLiteral("Delay 5 Seconds"), QStringLiteral("Delay 5 Seconds"),
                           QStringLiteral("Relay 1 ON")}));
    editor->RemoveSelectedCommand();
    EXPECT_EQ(editor->SelectedCommands().size(), 3) << "nothing chosen, nothing removed";
    selected->setCurrentRow(1);
    editor->findChild<QPushButton*>(QStringLiteral("removeButton"))->click();
    EXPECT_EQ(editor->SelectedCommands(),
              (QStringList{QStringLiteral("Delay 5 Seconds"), QStringLiteral("Relay 1 ON")}));
    // Keyboard: Enter adds, Delete removes.
    editor->show();
    available->setFocus();
    available->setCurrentRow(1);
    QTest::keyClick(available, Qt::Key_Return);
    EXPECT_EQ(editor->SelectedCommands().last(), QStringLiteral("Relay 1 OFF"));
    selected->setCurrentRow(0);
    QTest::keyClick(selected, Qt::Key_Delete);
    EXPECT_EQ(editor->SelectedCommands(),
              (QStringList{QStringLiteral("Relay 1 ON"), QStringLiteral("Relay 1 OFF")}));
}

TEST_F(ScriptDialogs, AFailedCheckShowsItsBoxSendsNothingAndKeepsTheEditorOpen) {
    screens->OpenEditor(EditorMode::NewRelay, {});
    ScriptEditorDialog* editor = screens->Editor();
    const std::size_t before = Sent();
    editor->findChild<QLineEdit*>(QStringLiteral("nameEdit"))->setText(QStringLiteral("a|b"));
    editor->findChild<QPlainTextEdit*>(QStringLiteral("notesEdit"))
        ->setPlainText(QStringLiteral("x"));
    editor->findChild<QPushButton*>(QStringLiteral("uploadButton"))->click();
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].text, QString::fromLatin1(kNameHasBar));
    EXPECT_EQ(messages.boxes[0].icon, MessageIcon::Error);
    EXPECT_EQ(Sent(), before);
    EXPECT_EQ(screens->Editor(), editor);
    EXPECT_EQ(editor->result(), 0);
}

TEST_F(ScriptDialogs, UploadSendsTheRecordAndClosesWithoutAList) {
    screens->OpenEditor(EditorMode::NewRelay, {});
    QPointer<ScriptEditorDialog> editor(screens->Editor());
    auto* name = editor->findChild<QLineEdit*>(QStringLiteral("nameEdit"));
    name->setFocus();
    editor->show();
    QTest::keyClicks(name, QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXY"));  // 25 typed
    EXPECT_EQ(name->text().size(), 25) << "kept as typed, refused on upload";
    editor->findChild<QPlainTextEdit*>(QStringLiteral("notesEdit"))
        ->setPlainText(QStringLiteral("Start pump"));
    auto* available = editor->findChild<QListWidget*>(QStringLiteral("availableList"));
    for (const int row : {0, 12, 1}) {
        available->setCurrentRow(row);
        editor->AddSelectedCommand();
    }
    const std::size_t before = Sent();
    editor->findChild<QPushButton*>(QStringLiteral("uploadButton"))->click();
    EXPECT_EQ(Sent(), before);
    EXPECT_EQ(messages.Texts(),
              QStringList{QStringLiteral("The field \"Script Name\" holds at most "
                                         "19 characters; it has 25.")});
    name->setText(name->text().left(19));
    editor->findChild<QPushButton*>(QStringLiteral("uploadButton"))->click();
    ASSERT_EQ(Sent(), before + 1);
    EXPECT_EQ(LastCommand()->Command(), BoardCommand::UploadScript);
    EXPECT_EQ(LastCommand()->Argument(), 1) << "a new script";
    EXPECT_EQ(Last().value.octets, QByteArray("0|relay|ABCDEFGHIJKLMNOPQRS|Start pump|000C01|"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(editor.isNull()) << "open until the station has taken it";
    EXPECT_FALSE(editor->findChild<QPushButton*>(QStringLiteral("uploadButton"))->isEnabled());
    Answer(Last().oid, "x");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(editor.isNull());
    EXPECT_EQ(screens->List(), nullptr) << "the list comes back with the station's answer";
    EXPECT_EQ(Sent(), before + 1);
}

TEST_F(ScriptDialogs, CancelAndEscapeReturnToAFreshList) {
    for (const bool escape : {false, true}) {
        screens->OpenEditor(EditorMode::EditIo,
                            {QStringLiteral("4"), QStringLiteral("io"), QStringLiteral("n"),
                             QStringLiteral("x"), QStringLiteral("00")});
        ScriptEditorDialog* editor = screens->Editor();
        editor->show();
        const std::size_t before = Sent();
        if (escape) {
            QTest::keyClick(editor, Qt::Key_Escape);
        } else {
            editor->findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
        }
        QCoreApplication::processEvents();
        EXPECT_EQ(screens->Editor(), nullptr);
        ASSERT_NE(screens->List(), nullptr);
        ASSERT_EQ(Sent(), before + 1) << "only the new walk";
        EXPECT_EQ(LastCommand()->Command(), BoardCommand::WalkTable);
        screens->List()->close();
        QCoreApplication::processEvents();
    }
}

TEST_F(ScriptDialogs, ReopeningWhileTheEditorIsOpenWaitsForTheEditor) {
    screens->OpenEditor(EditorMode::NewIo, {});
    const std::size_t before = Sent();
    screens->OpenList();
    EXPECT_EQ(screens->List(), nullptr);
    EXPECT_EQ(Sent(), before);
    EXPECT_NE(screens->Editor(), nullptr);
}

TEST_F(ScriptDialogs, ClosingTheNavigatorWithTheEditorOpenOpensNoList) {
    screens->OpenEditor(EditorMode::EditRelay,
                        {QStringLiteral("4"), QStringLiteral("relay"), QStringLiteral("n"),
                         QStringLiteral("x"), QStringLiteral("00")});
    const std::size_t before = Sent();
    screens.reset();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(Sent(), before);
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        EXPECT_EQ(qobject_cast<TableListDialog*>(widget), nullptr);
        EXPECT_EQ(qobject_cast<ScriptEditorDialog*>(widget), nullptr);
    }
}

TEST_F(ScriptDialogs, ReopeningReplacesAnOpenList) {
    screens->OpenList();
    QPointer<TableListDialog> first(screens->List());
    screens->OpenList();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    ASSERT_NE(screens->List(), nullptr);
    // Rows of the new walk reach the new list once.
    Answer(Object(".72.1"), kThree[0]);
    EXPECT_EQ(screens->List()->Grid().RowCount(), 1);
}

}  // namespace
}  // namespace volnar::scripts
