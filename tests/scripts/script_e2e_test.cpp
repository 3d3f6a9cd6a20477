// SPDX-License-Identifier: GPL-3.0-or-later
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

QString S(const char* text) {
    return QString::fromUtf8(text);
}

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
            if (r[S("pdu")].toString() == pdu) {
                matching << r;
            }
        }
        return matching;
    }

    // Types a script's name and notes and adds the commands listed at `rows`.
    static void Type(ScriptEditorDialog& editor, const char* name, const char* notes,
                     std::initializer_list<int> rows) {
        editor.findChild<QLineEdit*>(S("nameEdit"))->setText(S(name));
        editor.findChild<QPlainTextEdit*>(S("notesEdit"))->setPlainText(S(notes));
        auto* available = editor.findChild<QListWidget*>(S("availableList"));
        for (const int row : rows) {
            available->setCurrentRow(row);
            editor.AddSelectedCommand();
        }
    }

    // The n-th SET the station received (from 0): its object and value.
    void ExpectSet(qsizetype n, const char* object, const QJsonValue& value) const {
        const QList<QJsonObject> sets = Requests(S("SET"));
        ASSERT_EQ(sets.size(), n + 1);
        EXPECT_EQ(sets[n][S("oid")].toString(), Object(object)) << n;
        EXPECT_EQ(sets[n][S("value")], value) << n;
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

// A faulty station answers GETNEXT of a row with that same row: the walk would
// never end. The list keeps what it read, stops, and says why.
TEST_F(ScriptE2E, ScriptListWalkThatDoesNotAdvanceStopsAndSaysWhy) {
    ASSERT_NO_FATAL_FAILURE(
        Begin({S("--scripts"), S("3"), S("--delay"), S("15"), S("--stall-walk"), Object(".72")}));
    TableListDialog* list = ReadList();
    ASSERT_NE(list, nullptr);
    QTest::qWait(200);  // nothing more is asked
    EXPECT_EQ(list->Grid().RowCount(), 1);
    EXPECT_EQ(Requests(S("GETNEXT")).size(), 2);
    EXPECT_TRUE(list->WalkStatusText().contains(QString::fromLatin1(kWalkStuckText)))
        << list->WalkStatusText().toStdString();
}

// The list as walked, then each command the list and editor send, in turn
// on one station: execute re-opens nothing; update, delete and add re-open the list once their
// notice has closed, and the fresh list shows the change.
TEST_F(ScriptE2E, ScriptListWalkThenEachCommandSendsItsIdAndTheListFollowsItsNotice) {
    ASSERT_NO_FATAL_FAILURE(Begin({S("--scripts"), S("3")}));
    TableListDialog* list = ReadList();
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->Grid().RowCount(), 3);
    EXPECT_EQ(list->WalkStatusText(), S("3 scripts"));
    const QStringList types{S("RELAY"), S("IO"), S("RELAY")};
    for (int row = 0; row < 3; ++row) {
        const ListRow listed = list->Row(row);
        EXPECT_EQ(listed.id, QString::number(row + 1));
        EXPECT_EQ(listed.type, types[row]);
        EXPECT_EQ(listed.name, S("Script %1").arg(row + 1));
    }
    EXPECT_EQ(list->Row(0).details, QStringList{S("000801")});
    // One GETNEXT per row plus the one past the table, from .72 on.
    const QList<QJsonObject> walk = Requests(S("GETNEXT"));
    ASSERT_EQ(walk.size(), 4);
    EXPECT_EQ(walk[0][S("oid")].toString(), Object(".72"));
    EXPECT_EQ(walk[3][S("oid")].toString(), Object(".72.3"));
    EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();

    int seen = listsOpened;
    messages.answers = {true};
    list->ActivateImage(0, kExecuteImage);
    ASSERT_TRUE(WaitFor([&] { return shown.contains(S("Script Executed!")); }));
    ASSERT_NO_FATAL_FAILURE(ExpectSet(0, ".70", 1));
    EXPECT_TRUE(sim->WaitForLog(
        [](const QJsonObject& l) { return l[S("event")].toString() == S("script_executed"); }));
    // Once the notice has closed, its follow-up (none) has run.
    ASSERT_TRUE(WaitFor([&] { return !notices->IsShowing() && notices->Waiting() == 0; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(screens->List(), nullptr) << "no list after an execute";
    EXPECT_EQ(listsOpened, seen);
    EXPECT_EQ(Requests(S("GETNEXT")).size(), 4);

    list = ReadList();
    ASSERT_NE(list, nullptr);
    seen = listsOpened;
    list->ActivateImage(1, kEditImage);
    auto* editor = qobject_cast<ScriptEditorDialog*>(screens->Editor());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->windowTitle(), S("EDIT Existing IO Script"));
    EXPECT_EQ(editor->SelectedCommands(),
              (QStringList{S("GXIO 1 HIGH"), S("Delay 1 Second"), S("GXIO 1 LOW")}));
    editor->findChild<QLineEdit*>(S("nameEdit"))->setText(S("Renamed"));
    editor->Upload();
    list = WaitForReopenedList(seen);
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(shown.contains(S("Script Updated!")));
    ASSERT_NO_FATAL_FAILURE(ExpectSet(1, ".69", S("2|io|Renamed|Generated script 2|000S01|")));
    ASSERT_EQ(list->Grid().RowCount(), 3);
    EXPECT_EQ(list->Row(1).name, S("Renamed"));

    seen = listsOpened;
    messages.answers = {true};
    list->ActivateImage(1, kDeleteImage);
    EXPECT_EQ(messages.boxes.back().text, S("Delete Script Number 2 ?"));
    list = WaitForReopenedList(seen);
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(shown.contains(S("Script Deleted!")));
    ASSERT_NO_FATAL_FAILURE(ExpectSet(2, ".71", 2));
    ASSERT_EQ(list->Grid().RowCount(), 2);
    EXPECT_EQ(list->Row(1).id, S("3"));

    seen = listsOpened;
    messages.boxes.clear();
    list->findChild<QPushButton*>(S("addRelayScriptButton"))->click();
    editor = qobject_cast<ScriptEditorDialog*>(screens->Editor());
    ASSERT_NE(editor, nullptr);
    Type(*editor, "Pump", "Start pump", {0, 12, 1});
    editor->Upload();
    list = WaitForReopenedList(seen);
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(shown.contains(S("Script Added!")));
    ASSERT_NO_FATAL_FAILURE(ExpectSet(3, ".69", S("0|relay|Pump|Start pump|000C01|")));
    ASSERT_EQ(list->Grid().RowCount(), 3);
    EXPECT_EQ(list->Row(2).name, S("Pump"));
    EXPECT_EQ(list->Row(2).details, QStringList{S("000C01")});
    EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();
}

// Station text both ways (on a station with no scripts yet): Western
// characters go out in the station's code page, and a script saved unchanged
// goes back byte for byte (CR LF, lone CR, byte A0). Text the station cannot
// hold is refused by the record's own checks, before anything is sent.
TEST_F(ScriptE2E, ScriptTextAsTypedAndUnchangedSavesByteForByte) {
    ASSERT_NO_FATAL_FAILURE(Begin({}));
    TableListDialog* list = ReadList();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->Grid().RowCount(), 0);
    EXPECT_EQ(list->WalkStatusText(), S("No scripts on the station"));
    const QByteArray held =
        "1|relay|Pr\xfc"
        "fung|a\r\nb\rc\xa0"
        "d|0001|";
    link->SendBoardRequest(board::kScriptRecord, PduType::Set,
                           RequestValue::Text("0" + held.mid(1)));
    ASSERT_TRUE(WaitFor([&] { return Requests(S("SET")).size() == 1; }));
    list = ReadList();
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->Grid().RowCount(), 1);
    EXPECT_EQ(list->Row(0).name, S("Pr\u00fcfung"));

    int seen = listsOpened;
    list->ActivateImage(0, kEditImage);
    auto* editor = qobject_cast<ScriptEditorDialog*>(screens->Editor());
    ASSERT_NE(editor, nullptr);
    editor->Upload();
    TableListDialog* fresh = WaitForReopenedList(seen);
    ASSERT_NE(fresh, nullptr);
    QList<QJsonObject> sets = Requests(S("SET"));
    ASSERT_EQ(sets.size(), 2);
    EXPECT_EQ(sets[1][S("value")].toString().toLatin1(), held);
    EXPECT_EQ(sets[1][S("error_status")].toInt(), 0);

    seen = listsOpened;
    fresh->findChild<QPushButton*>(S("addRelayScriptButton"))->click();
    editor = qobject_cast<ScriptEditorDialog*>(screens->Editor());
    ASSERT_NE(editor, nullptr);
    Type(*editor, "Gr\u00fcn", "Pumpe S\u00fcd \u20ac", {0});
    editor->Upload();
    ASSERT_NE(WaitForReopenedList(seen), nullptr);
    sets = Requests(S("SET"));
    ASSERT_EQ(sets.size(), 3);
    EXPECT_EQ(sets[2][S("value")].toString().toLatin1(), QByteArray("0|relay|Gr\xfcn|Pumpe S\xfc"
                                                                    "d \x80|00|"));
    EXPECT_EQ(sets[2][S("error_status")].toInt(), 0);
}

// The operator leaves a list while its rows are still arriving (answers
// slower than the operator): the next list shows exactly the station's table.
TEST_F(ScriptE2E, ScriptListRefreshOrEditThenCancelMidWalkGivesExactlyTheStationsTable) {
    for (const bool refresh : {true, false}) {
        SCOPED_TRACE(refresh ? "refresh" : "edit, then cancel");
        ASSERT_NO_FATAL_FAILURE(Begin({S("--scripts"), S("40"), S("--delay"), S("15")}));
        screens->OpenList();
        TableListDialog* list = screens->List();
        ASSERT_NE(list, nullptr);
        ASSERT_TRUE(WaitFor([&] { return list->RowsRead() >= 8; }));
        ASSERT_TRUE(list->IsWalking());
        const int seen = listsOpened;
        if (refresh) {
            list->findChild<QPushButton*>(S("refreshButton"))->click();
        } else {
            list->ActivateImage(0, kEditImage);
            ASSERT_NE(screens->Editor(), nullptr);
            screens->Editor()->findChild<QPushButton*>(S("cancelButton"))->click();
        }
        TableListDialog* fresh = WaitForReopenedList(seen);
        ASSERT_NE(fresh, nullptr);
        QTest::qWait(200);  // anything still on its way
        ASSERT_EQ(fresh->Grid().RowCount(), 40);
        for (int row = 0; row < 40; ++row) {
            EXPECT_EQ(fresh->Row(row).id, QString::number(row + 1)) << row;
        }
        EXPECT_EQ(fresh->WalkStatusText(), S("40 scripts"));
        EXPECT_TRUE(Requests(S("SET")).isEmpty());
        EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();
        TearDown();
    }
}

// An upload the station refuses leaves the editor open with everything
// typed; sending again from it opens the session as START would.
TEST_F(ScriptE2E, ScriptUploadTheStationRefusesKeepsTheEditorAndSendsAgain) {
    ASSERT_NO_FATAL_FAILURE(Begin({S("--scripts"), S("2"), S("--delay"), S("100"), S("--fail"),
                                   Object(".69") + S("=badValue")}));
    QPointer<ScriptEditorDialog> editor(
        new ScriptEditorDialog(EditorMode::NewRelay, {}, *link, messages));
    screens->OpenEditor(editor);
    ASSERT_TRUE(editor);
    Type(*editor, "Night", "Lights at dusk", {0});
    auto* upload = editor->findChild<QPushButton*>(S("uploadButton"));
    for (int attempt = 1; attempt <= 2; ++attempt) {
        messages.boxes.clear();
        upload->click();
        EXPECT_FALSE(upload->isEnabled()) << "sending";
        ASSERT_TRUE(WaitFor([&] { return upload->isEnabled(); })) << attempt;
        EXPECT_EQ(messages.Texts(), QStringList{S("SNMP_ERR_BADVALUE")}) << attempt;
        ASSERT_TRUE(editor);
        EXPECT_TRUE(editor->isVisible());
        EXPECT_EQ(editor->findChild<QLineEdit*>(S("nameEdit"))->text(), S("Night"));
        EXPECT_EQ(editor->SelectedCommands().size(), 1);
        EXPECT_EQ(Requests(S("SET")).size(), attempt);
    }
    EXPECT_TRUE(shown.isEmpty());
}

}  // namespace
}  // namespace volnar::scripts
