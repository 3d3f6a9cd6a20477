// The script screens against volnar-station on loopback: real net-snmp
// sessions, the notice queue wired as the application wires it, and the
// simulator's request log as the witness.
#include <gtest/gtest.h>

#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "grid/my_ra_grid.h"
#include "link/board_commands.h"
#include "link/board_link.h"
#include "link/board_objects.h"
#include "link/notice_queue.h"
#include "lists/table_list_dialog.h"
#include "scripts/script_editor_dialog.h"
#include "scripts/script_screens.h"
#include "support/qt_print.h"
#include "support/recording_message_service.h"
#include "support/simulator_link.h"

namespace volnar::scripts {
namespace {

using ::volnar::testing::WaitFor;

QString Object(const char* suffix) {
    return QString::fromLatin1(board::kPrefix) + QLatin1String(suffix);
}

class ScriptE2E : public testing::SimulatorLinkTest {
protected:
    void Begin(QStringList simArgs) {
        StartSimulatorAndLink(std::move(simArgs));
        if (HasFatalFailure()) {
            return;
        }
        ASSERT_TRUE(link->StartSnmpSession());
        screens = std::make_unique<ListNavigator>(ScriptNavigation(), *link, messages, nullptr);
        // As the application wires them: notices from the link, and the list
        // re-opened once a notice that asks for it has closed.
        notices = std::make_unique<NoticeQueue>();
        notices->SetShowInterval(50);
        QObject::connect(
            link.get(), &BoardLink::NoticeRequested, notices.get(),
            [this](int code, NoticeFollowUp followUp) { notices->ShowNotice(code, followUp); });
        QObject::connect(notices.get(), &NoticeQueue::NoticeShown, notices.get(),
                         [this](const QString& text) { shown << text; });
        QObject::connect(notices.get(), &NoticeQueue::ReopenScriptsList, screens.get(),
                         [this] { screens->OpenList(); });
        QObject::connect(screens.get(), &ListNavigator::ListOpened, screens.get(),
                         [this] { ++listsOpened; });
    }
    void TearDown() override {
        screens.reset();
        QCoreApplication::processEvents();
        // Closed dialogs are deleted later; let that happen before the link goes.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        notices.reset();
        link.reset();
    }

    // Opens the list and waits for its walk to end.
    TableListDialog* ReadList() {
        screens->OpenList();
        TableListDialog* list = screens->List();
        EXPECT_NE(list, nullptr);
        EXPECT_TRUE(WaitFor([&] { return list != nullptr && !list->IsWalking(); }));
        return list;
    }

    QList<QJsonObject> Requests(const QString& pdu) const {
        QList<QJsonObject> matching;
        for (const QJsonObject& r : sim->Requests()) {
            if (r[QStringLiteral("pdu")].toString() == pdu) {
                matching << r;
            }
        }
        return matching;
    }

    // Waits for a list opened after the one counted so far (the next dialog
    // may well sit at the old one's address) and for its walk to end.
    TableListDialog* WaitForReopenedList(int seen) {
        EXPECT_TRUE(WaitFor([&] {
            return listsOpened > seen && screens->List() != nullptr &&
                   !screens->List()->IsWalking();
        }));
        return screens->List();
    }

    std::unique_ptr<ListNavigator> screens;
    std::unique_ptr<NoticeQueue> notices;
    QStringList shown;
    int listsOpened = 0;
};

TEST_F(ScriptE2E, ScriptListShowsTheStationsThreeScriptsWithUpperCasedTypes) {
    Begin({QStringLiteral("--scripts"), QStringLiteral("3")});
    TableListDialog* list = ReadList();
    ASSERT_NE(list, nullptr);
    grid::MyRAGrid& g = list->Grid();
    ASSERT_EQ(g.RowCount(), 3);
    EXPECT_EQ(list->WalkStatusText(), QStringLiteral("3 scripts"));
    const QStringList types{QStringLiteral("RELAY"), QStringLiteral("IO"), QStringLiteral("RELAY")};
    for (int row = 0; row < 3; ++row) {
        const ListRow listed = list->Row(row);
        EXPECT_EQ(listed.id, QString::number(row + 1));
        EXPECT_EQ(listed.type, types[row]);
        EXPECT_EQ(listed.name, QStringLiteral("Script %1").arg(row + 1));
    }
    EXPECT_EQ(list->Row(0).details, QStringList{QStringLiteral("000801")});
    // One GETNEXT per row plus the one past the table, from .72 on.
    const QList<QJsonObject> walk = Requests(QStringLiteral("GETNEXT"));
    ASSERT_EQ(walk.size(), 4);
    EXPECT_EQ(walk[0][QStringLiteral("oid")].toString(), Object(".72"));
    EXPECT_EQ(walk[3][QStringLiteral("oid")].toString(), Object(".72.3"));
    EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();
}

TEST_F(ScriptE2E, AnEmptyScriptTableShowsAnEmptyList) {
    Begin({});
    TableListDialog* list = ReadList();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->Grid().RowCount(), 0);
    EXPECT_EQ(list->WalkStatusText(), QStringLiteral("No scripts on the station"));
}

// A faulty station answers GETNEXT of a row with that same row: the walk would
// never end. The list keeps what it read, stops, and says why.
TEST_F(ScriptE2E, ScriptListWalkThatDoesNotAdvanceStopsAndSaysWhy) {
    Begin({QStringLiteral("--scripts"), QStringLiteral("3"), QStringLiteral("--delay"),
           QStringLiteral("15"), QStringLiteral("--stall-walk"), Object(".72")});
    TableListDialog* list = ReadList();
    ASSERT_NE(list, nullptr);
    QTest::qWait(200);  // nothing more is asked
    EXPECT_EQ(list->Grid().RowCount(), 1);
    EXPECT_EQ(Requests(QStringLiteral("GETNEXT")).size(), 2);
    EXPECT_TRUE(list->WalkStatusText().contains(QString::fromLatin1(kWalkStuckText)))
        << list->WalkStatusText().toStdString();
}

TEST_F(ScriptE2E, ScriptExecuteSendsId423ShowsTheNoticeAndReopensNothing) {
    Begin({QStringLiteral("--scripts"), QStringLiteral("3")});
    TableListDialog* list = ReadList();
    ASSERT_NE(list, nullptr);
    const int seen = listsOpened;
    messages.answers = {true};
    list->ActivateImage(0, kExecuteImage);
    ASSERT_TRUE(WaitFor([&] { return shown.contains(QStringLiteral("Script Executed!")); }));
    const QList<QJsonObject> sets = Requests(QStringLiteral("SET"));
    ASSERT_EQ(sets.size(), 1);
    EXPECT_EQ(sets[0][QStringLiteral("oid")].toString(), Object(".70"));
    EXPECT_EQ(sets[0][QStringLiteral("request_id")].toInt(), 423);
    EXPECT_EQ(sets[0][QStringLiteral("value")].toInt(), 1);
    EXPECT_TRUE(sim->WaitForLog([](const QJsonObject& l) {
        return l[QStringLiteral("event")].toString() == QStringLiteral("script_executed");
    }));
    // Once the notice has closed, its follow-up (none) has run.
    ASSERT_TRUE(WaitFor([&] { return !notices->IsShowing() && notices->Waiting() == 0; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(screens->List(), nullptr) << "no list after an execute";
    EXPECT_EQ(listsOpened, seen);
    EXPECT_EQ(Requests(QStringLiteral("GETNEXT")).size(), 4);
}

TEST_F(ScriptE2E, ScriptDeleteSendsId422ThenANewListWithoutTheRow) {
    Begin({QStringLiteral("--scripts"), QStringLiteral("3")});
    TableListDialog* list = ReadList();
    ASSERT_NE(list, nullptr);
    const int seen = listsOpened;
    messages.answers = {true};
    list->ActivateImage(1, kDeleteImage);
    EXPECT_EQ(messages.boxes.back().text, QStringLiteral("Delete Script Number 2 ?"));
    TableListDialog* fresh = WaitForReopenedList(seen);
    ASSERT_NE(fresh, nullptr);
    EXPECT_TRUE(shown.contains(QStringLiteral("Script Deleted!")));
    const QList<QJsonObject> sets = Requests(QStringLiteral("SET"));
    ASSERT_EQ(sets.size(), 1);
    EXPECT_EQ(sets[0][QStringLiteral("oid")].toString(), Object(".71"));
    EXPECT_EQ(sets[0][QStringLiteral("request_id")].toInt(), 422);
    EXPECT_EQ(sets[0][QStringLiteral("value")].toInt(), 2);
    ASSERT_EQ(fresh->Grid().RowCount(), 2);
    EXPECT_EQ(fresh->Row(1).id, QStringLiteral("3"));
}

TEST_F(ScriptE2E, ScriptAddSendsId421ThenANewListWithTheScript) {
    Begin({QStringLiteral("--scripts"), QStringLiteral("3")});
    TableListDialog* list = ReadList();
    ASSERT_NE(list, nullptr);
    const int seen = listsOpened;
    list->findChild<QPushButton*>(QStringLiteral("addRelayScriptButton"))->click();
    auto* editor = qobject_cast<ScriptEditorDialog*>(screens->Editor());
    ASSERT_NE(editor, nullptr);
    editor->findChild<QLineEdit*>(QStringLiteral("nameEdit"))->setText(QStringLiteral("Pump"));
    editor->findChild<QPlainTextEdit*>(QStringLiteral("notesEdit"))
        ->setPlainText(QStringLiteral("Start pump"));
    auto* available = editor->findChild<QListWidget*>(QStringLiteral("availableList"));
    for (const int row : {0, 12, 1}) {
        available->setCurrentRow(row);
        editor->AddSelectedCommand();
    }
    editor->Upload();
    TableListDialog* fresh = WaitForReopenedList(seen);
    ASSERT_NE(fresh, nullptr);
    EXPECT_TRUE(shown.contains(QStringLiteral("Script Added!")));
    const QList<QJsonObject> sets = Requests(QStringLiteral("SET"));
    ASSERT_EQ(sets.size(), 1);
    EXPECT_EQ(sets[0][QStringLiteral("oid")].toString(), Object(".69"));
    EXPECT_EQ(sets[0][QStringLiteral("request_id")].toInt(), 421);
    EXPECT_EQ(sets[0][QStringLiteral("value")].toString(),
              QStringLiteral("0|relay|Pump|Start pump|000C01|"));
    ASSERT_EQ(fresh->Grid().RowCount(), 4);
    EXPECT_EQ(fresh->Row(3).name, QStringLiteral("Pump"));
    EXPECT_EQ(fresh->Row(3).details, QStringList{QStringLiteral("000C01")});
    EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();
}

TEST_F(ScriptE2E, ScriptUpdateSendsId420ThenANewListWithTheChange) {
    Begin({QStringLiteral("--scripts"), QStringLiteral("3")});
    TableListDialog* list = ReadList();
    ASSERT_NE(list, nullptr);
    const int seen = listsOpened;
    list->ActivateImage(1, kEditImage);
    auto* editor = qobject_cast<ScriptEditorDialog*>(screens->Editor());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->windowTitle(), QStringLiteral("EDIT Existing IO Script"));
    EXPECT_EQ(editor->SelectedCommands(),
              (QStringList{QStringLiteral("GXIO 1 HIGH"), QStringLiteral("Delay 1 Second"),
                           QStringLiteral("GXIO 1 LOW")}));
    editor->findChild<QLineEdit*>(QStringLiteral("nameEdit"))->setText(QStringLiteral("Renamed"));
    editor->Upload();
    TableListDialog* fresh = WaitForReopenedList(seen);
    ASSERT_NE(fresh, nullptr);
    EXPECT_TRUE(shown.contains(QStringLiteral("Script Updated!")));
    const QList<QJsonObject> sets = Requests(QStringLiteral("SET"));
    ASSERT_EQ(sets.size(), 1);
    EXPECT_EQ(sets[0][QStringLiteral("request_id")].toInt(), 420);
    EXPECT_EQ(sets[0][QStringLiteral("value")].toString(),
              QStringLiteral("2|io|Renamed|Generated script 2|000S01|"));
    ASSERT_EQ(fresh->Grid().RowCount(), 3);
    EXPECT_EQ(fresh->Row(1).name, QStringLiteral("Renamed"));
}

// Station text both ways: Western characters go out in the station's code
// page, text it cannot hold is refused before anything is sent, and a script
// saved unchanged goes back byte for byte (CR LF, lone CR, byte A0).
TEST_F(ScriptE2E, ScriptTextAsTypedOrRefusedAndUnchangedSavesByteForByte) {
    Begin({});
    const QByteArray held =
        "1|relay|Pr\xfc"
        "fung|a\r\nb\rc\xa0"
        "d|0001|";
    link->SendBoardRequest(board::kScriptRecord, PduType::Set,
                           RequestValue::Text("0" + held.mid(1)));
    ASSERT_TRUE(WaitFor([&] { return Requests(QStringLiteral("SET")).size() == 1; }));
    TableListDialog* list = ReadList();
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->Grid().RowCount(), 1);
    EXPECT_EQ(list->Row(0).name, QStringLiteral("Pr\u00fcfung"));

    int seen = listsOpened;
    list->ActivateImage(0, kEditImage);
    auto* editor = qobject_cast<ScriptEditorDialog*>(screens->Editor());
    ASSERT_NE(editor, nullptr);
    editor->Upload();
    TableListDialog* fresh = WaitForReopenedList(seen);
    ASSERT_NE(fresh, nullptr);
    QList<QJsonObject> sets = Requests(QStringLiteral("SET"));
    ASSERT_EQ(sets.size(), 2);
    EXPECT_EQ(sets[1][QStringLiteral("value")].toString().toLatin1(), held);
    EXPECT_EQ(sets[1][QStringLiteral("error_status")].toInt(), 0);

    seen = listsOpened;
    fresh->findChild<QPushButton*>(QStringLiteral("addRelayScriptButton"))->click();
    editor = qobject_cast<ScriptEditorDialog*>(screens->Editor());
    ASSERT_NE(editor, nullptr);
    auto* name = editor->findChild<QLineEdit*>(QStringLiteral("nameEdit"));
    editor->findChild<QPlainTextEdit*>(QStringLiteral("notesEdit"))
        ->setPlainText(QStringLiteral("Pumpe S\u00fcd \u20ac"));
    auto* available = editor->findChild<QListWidget*>(QStringLiteral("availableList"));
    available->setCurrentRow(0);
    editor->AddSelectedCommand();
    name->setText(QStringLiteral("\u041d\u0430\u0441\u043e\u0441 2"));
    editor->Upload();
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].icon, MessageIcon::Error);
    EXPECT_TRUE(messages.boxes[0].text.contains(QStringLiteral("\"Script Name\"")));
    EXPECT_TRUE(messages.boxes[0].text.contains(QStringLiteral("U+041D")));
    name->setText(QStringLiteral("ABCDEFGHIJKLMNOPQRST"));  // 20
    editor->Upload();
    ASSERT_EQ(messages.boxes.size(), 2u);
    EXPECT_TRUE(messages.boxes[1].text.contains(QStringLiteral("at most 19 characters")));
    EXPECT_EQ(Requests(QStringLiteral("SET")).size(), 2) << "nothing sent";
    name->setText(QStringLiteral("Gr\u00fcn"));
    editor->Upload();
    ASSERT_NE(WaitForReopenedList(seen), nullptr);
    sets = Requests(QStringLiteral("SET"));
    ASSERT_EQ(sets.size(), 3);
    EXPECT_EQ(sets[2][QStringLiteral("value")].toString().toLatin1(),
              QByteArray("0|relay|Gr\xfcn|Pumpe S\xfc"
                         "d \x80|00|"));
    EXPECT_EQ(sets[2][QStringLiteral("error_status")].toInt(), 0);
}

// The operator leaves a list while its rows are still arriving (answers
// slower than the operator): the next list shows exactly the station's table.
TEST_F(ScriptE2E, ScriptListRefreshOrEditThenCancelMidWalkGivesExactlyTheStationsTable) {
    for (const bool refresh : {true, false}) {
        SCOPED_TRACE(refresh ? "refresh" : "edit, then cancel");
        Begin({QStringLiteral("--scripts"), QStringLiteral("40"), QStringLiteral("--delay"),
               QStringLiteral("15")});
        screens->OpenList();
        TableListDialog* list = screens->List();
        ASSERT_NE(list, nullptr);
        ASSERT_TRUE(WaitFor([&] { return list->RowsRead() >= 8; }));
        ASSERT_TRUE(list->IsWalking());
        const int seen = listsOpened;
        if (refresh) {
            list->findChild<QPushButton*>(QStringLiteral("refreshButton"))->click();
        } else {
            list->ActivateImage(0, kEditImage);
            ASSERT_NE(screens->Editor(), nullptr);
            screens->Editor()->findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
        }
        TableListDialog* fresh = WaitForReopenedList(seen);
        ASSERT_NE(fresh, nullptr);
        QTest::qWait(200);  // anything still on its way
        ASSERT_EQ(fresh->Grid().RowCount(), 40);
        for (int row = 0; row < 40; ++row) {
            EXPECT_EQ(fresh->Row(row).id, QString::number(row + 1)) << row;
        }
        EXPECT_EQ(fresh->WalkStatusText(), QStringLiteral("40 scripts"));
        EXPECT_TRUE(Requests(QStringLiteral("SET")).isEmpty());
        EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();
        TearDown();
    }
}

// An upload the station refuses leaves the editor open with everything
// typed; sending again from it opens the session as START would.
TEST_F(ScriptE2E, ScriptUploadTheStationRefusesKeepsTheEditorAndSendsAgain) {
    Begin({QStringLiteral("--scripts"), QStringLiteral("2"), QStringLiteral("--delay"),
           QStringLiteral("100"), QStringLiteral("--fail"),
           Object(".69") + QStringLiteral("=badValue")});
    QPointer<ScriptEditorDialog> editor(
        new ScriptEditorDialog(EditorMode::NewRelay, {}, *link, messages));
    screens->OpenEditor(editor);
    ASSERT_TRUE(editor);
    editor->findChild<QLineEdit*>(QStringLiteral("nameEdit"))->setText(QStringLiteral("Night"));
    editor->findChild<QPlainTextEdit*>(QStringLiteral("notesEdit"))
        ->setPlainText(QStringLiteral("Lights at dusk"));
    editor->findChild<QListWidget*>(QStringLiteral("availableList"))->setCurrentRow(0);
    editor->AddSelectedCommand();
    auto* upload = editor->findChild<QPushButton*>(QStringLiteral("uploadButton"));
    for (int attempt = 1; attempt <= 2; ++attempt) {
        messages.boxes.clear();
        upload->click();
        EXPECT_FALSE(upload->isEnabled()) << "sending";
        ASSERT_TRUE(WaitFor([&] { return upload->isEnabled(); })) << attempt;
        EXPECT_EQ(messages.Texts(), QStringList{QStringLiteral("SNMP_ERR_BADVALUE")}) << attempt;
        ASSERT_TRUE(editor);
        EXPECT_TRUE(editor->isVisible());
        EXPECT_EQ(editor->findChild<QLineEdit*>(QStringLiteral("nameEdit"))->text(),
                  QStringLiteral("Night"));
        EXPECT_EQ(editor->SelectedCommands().size(), 1);
        EXPECT_EQ(Requests(QStringLiteral("SET")).size(), attempt);
    }
    EXPECT_TRUE(shown.isEmpty());
}

}  // namespace
}  // namespace volnar::scripts
