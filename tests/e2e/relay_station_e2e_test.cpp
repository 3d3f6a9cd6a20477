// SPDX-License-Identifier: GPL-3.0-or-later
// Relay control and station name through the whole client against
// volnar-station: what the dialogs send, what the station echoes, the
// notices, and what the next status records show.
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include "app_fixture.h"
#include "link/board_commands.h"
#include "lists/table_list_dialog.h"
#include "relays/relay_dialog.h"
#include "station_name/station_name_dialog.h"

namespace volnar {
namespace {

using ::volnar::testing::WaitFor;

QString S(const char* text) {
    return QString::fromUtf8(text);
}

// The value bytes of a logged SET (the log shows each byte as one character).
QByteArray Bytes(const QJsonObject& line) {
    return line[S("value")].toString().toLatin1();
}

class RelayStationE2E : public testing::AppE2E {
protected:
    RelayDialog* OpenRelay(int relay) {
        app->OpenRelayDialog(relay);
        return LastDialog<RelayDialog>();
    }

    // A relay's notes are updated and the update fails (`silence` first
    // stops the station answering): the text stays, the dialog says why.
    void UpdateNotesThatFail(int relay, const QString& why,
                             const std::function<void()>& silence = {}) {
        const qsizetype noticesBefore = notices.size();
        RelayDialog* dialog = OpenRelay(relay);
        auto* notes = dialog->findChild<QPlainTextEdit*>(S("notesEdit"));
        auto* update = dialog->findChild<QPushButton*>(S("updateNotesButton"));
        auto* refresh = dialog->findChild<QPushButton*>(S("refreshButton"));
        ASSERT_TRUE(WaitFor([&] { return refresh->isEnabled(); }));
        if (silence) {
            silence();
        }
        messages.boxes.clear();
        notes->setPlainText(S("Check the float"));
        update->click();
        EXPECT_FALSE(update->isEnabled());
        ASSERT_TRUE(WaitFor([&] { return update->isEnabled(); }));
        EXPECT_EQ(notes->toPlainText(), S("Check the float"));
        EXPECT_EQ(dialog->findChild<QLabel*>(S("relayStatusLabel"))->text(), why);
        EXPECT_EQ(notices.size(), noticesBefore);
        EXPECT_TRUE(dialog->isVisible());
    }
};

// Slow answers show a switched relay pending until a status record confirms
// it; relay 3 is stuck and never follows.
TEST_F(RelayStationE2E, RelaySwitchOnOffAndPulseReachTheStationAndTheNextStatus) {
    ASSERT_NO_FATAL_FAILURE(Begin({S("--stuck-relay"), S("3"), S("--delay"), S("300")}));
    QLabel* state = app->Window().findChild<QLabel*>(S("relayStateLabel2"));

    RelayDialog* dialog = OpenRelay(2);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->findChild<QRadioButton*>(S("offRadio"))->isChecked());
    dialog->findChild<QRadioButton*>(S("onRadio"))->setChecked(true);
    dialog->findChild<QPushButton*>(S("doActionButton"))->click();
    EXPECT_EQ(state->text(), S("pending"));
    ASSERT_TRUE(WaitFor([&] { return state->text() == S("ON"); }));
    ASSERT_EQ(RequestsOn(board::kRelaySwitch[2], "SET").size(), 1);
    EXPECT_EQ(RequestsOn(board::kRelaySwitch[2], "SET")[0][S("value")].toVariant().toInt(), 1);
    EXPECT_EQ(app->Panel().RelayState(2), 1);

    // The dialog opens on the relay's polled state.
    dialog = OpenRelay(2);
    EXPECT_TRUE(dialog->findChild<QRadioButton*>(S("onRadio"))->isChecked());
    dialog->findChild<QRadioButton*>(S("offRadio"))->setChecked(true);
    dialog->findChild<QPushButton*>(S("doActionButton"))->click();
    ASSERT_TRUE(WaitFor([&] { return state->text() == S("OFF"); }));

    dialog = OpenRelay(2);
    dialog->findChild<QRadioButton*>(S("toggleRadio"))->setChecked(true);
    dialog->findChild<QSlider*>(S("pulseSlider"))->setValue(2);
    EXPECT_EQ(dialog->findChild<QLabel*>(S("pulseLabel"))->text(), S("2"));
    dialog->findChild<QPushButton*>(S("doActionButton"))->click();
    ASSERT_TRUE(WaitFor([&] { return RequestsOn(board::kRelayPulse[2], "SET").size() == 1; }));
    EXPECT_EQ(RequestsOn(board::kRelayPulse[2], "SET")[0][S("value")].toVariant().toInt(), 2);
    // On for the pulse, then off again by itself.
    ASSERT_TRUE(WaitFor([&] { return state->text() == S("ON"); }));
    ASSERT_TRUE(WaitFor([&] { return state->text() == S("OFF"); }));
    EXPECT_EQ(RequestsOn(board::kRelaySwitch[2], "SET").size(), 2);  // one SET per press

    dialog = OpenRelay(3);
    dialog->findChild<QRadioButton*>(S("onRadio"))->setChecked(true);
    dialog->findChild<QPushButton*>(S("doActionButton"))->click();
    QLabel* stuck = app->Window().findChild<QLabel*>(S("relayStateLabel3"));
    ASSERT_TRUE(WaitFor([&] { return stuck->text() == S("station still reports OFF"); }));
    EXPECT_EQ(app->Panel().RelayState(3), 0);
    EXPECT_EQ(RequestsOn(board::kRelaySwitch[3], "SET").size(), 1);
    // The station's answer time is the round trip the status bar shows.
    EXPECT_GE(app->Link().LastRoundTripMs(), 300);
    EXPECT_TRUE(app->Window().StatusHealthText().contains(S("round trip")));
    EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();
}

// Relay 1's notes are echoed with their notice. A notes update the station
// refuses (relay 2's notes, the opening read as well) or never answers keeps
// the text and says so; a refused station name keeps the dialog and the name.
TEST_F(RelayStationE2E, UpdatesKeepTheTextUntilTheStationEchoesIt) {
    ASSERT_NO_FATAL_FAILURE(
        Begin({S("--fail"), QString::fromLatin1(board::kRelayNotes[2]) + S("=badValue"),
               S("--fail"), QString::fromLatin1(board::kSysName) + S("=badValue")}));
    RelayDialog* relay = OpenRelay(1);
    auto* notes = relay->findChild<QPlainTextEdit*>(S("notesEdit"));
    auto* refresh = relay->findChild<QPushButton*>(S("refreshButton"));
    // The opening GET fills the notes without a notice.
    ASSERT_TRUE(WaitFor([&] { return refresh->isEnabled(); }));
    EXPECT_EQ(RequestsOn(board::kRelayNotes[1], "GET").size(), 1);
    EXPECT_TRUE(notices.isEmpty());

    notes->setPlainText(S("Feeds the tank | check the float weekly"));
    auto* updateNotes = relay->findChild<QPushButton*>(S("updateNotesButton"));
    updateNotes->click();
    EXPECT_EQ(notes->toPlainText(), S("Feeds the tank | check the float weekly"));
    EXPECT_FALSE(updateNotes->isEnabled()) << "sending";
    ASSERT_TRUE(WaitFor([&] { return notices.contains(S("Relay Notes Updated!")); }));
    EXPECT_EQ(notes->toPlainText(), S("Feeds the tank | check the float weekly"));
    EXPECT_TRUE(updateNotes->isEnabled());

    // Refresh reads them again, silently.
    notes->clear();
    const qsizetype before = notices.size();
    refresh->click();
    ASSERT_TRUE(WaitFor([&] { return !notes->toPlainText().isEmpty(); }));
    EXPECT_EQ(notes->toPlainText(), S("Feeds the tank | check the float weekly"));
    QTest::qWait(200);
    EXPECT_EQ(notices.size(), before);
    EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();

    app->OpenStationNameDialog();
    QPointer<StationNameDialog> dialog = LastDialog<StationNameDialog>();
    ASSERT_TRUE(dialog);
    dialog->findChild<QLineEdit*>(S("nameEdit"))->setText(S("Renamed Hut"));
    QPushButton* ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    messages.answers = {true};
    ok->click();
    ASSERT_TRUE(WaitFor([&] { return ok->isEnabled(); }));
    EXPECT_TRUE(messages.Texts().contains(S("SNMP_ERR_BADVALUE")));
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->findChild<QLineEdit*>(S("nameEdit"))->text(), S("Renamed Hut"));
    EXPECT_EQ(notices.size(), before);
    dialog->close();

    ASSERT_NO_FATAL_FAILURE(UpdateNotesThatFail(2, S("SNMP_ERR_BADVALUE")));
    ASSERT_NO_FATAL_FAILURE(
        UpdateNotesThatFail(3, QString::fromLatin1(kNoAnswerText), [this] { sim->Stop(); }));
}

// Notes typed while the station's answer is on its way (on opening, after
// Refresh) stay; the station's are shown beside them until the operator
// takes them.
TEST_F(RelayStationE2E, NotesTypedBeforeTheStationsAnswerStay) {
    ASSERT_NO_FATAL_FAILURE(Begin({S("--delay"), S("200")}));
    const QString stationsNotes = S("Check the float");
    {
        RelayDialog* first = OpenRelay(1);
        auto* update = first->findChild<QPushButton*>(S("updateNotesButton"));
        ASSERT_TRUE(WaitFor(
            [&] { return first->findChild<QPushButton*>(S("refreshButton"))->isEnabled(); }));
        first->findChild<QPlainTextEdit*>(S("notesEdit"))->setPlainText(stationsNotes);
        update->click();
        ASSERT_TRUE(WaitFor([&] { return update->isEnabled(); }));
        first->close();
    }
    RelayDialog* relay = OpenRelay(1);
    auto* notes = relay->findChild<QPlainTextEdit*>(S("notesEdit"));
    auto* refresh = relay->findChild<QPushButton*>(S("refreshButton"));
    auto* station = relay->findChild<QLabel*>(S("stationNotesLabel"));
    auto* use = relay->findChild<QPushButton*>(S("useStationNotesButton"));
    ASSERT_FALSE(refresh->isEnabled()) << "the opening read is on its way";
    QTest::keyClicks(notes, S("Typed at once"));
    ASSERT_TRUE(WaitFor([&] { return refresh->isEnabled(); }));
    EXPECT_EQ(notes->toPlainText(), S("Typed at once"));
    ASSERT_TRUE(station->isVisible());
    EXPECT_TRUE(station->text().endsWith(stationsNotes)) << station->text().toStdString();
    use->click();
    EXPECT_EQ(notes->toPlainText(), stationsNotes);
    EXPECT_FALSE(station->isVisible());
    EXPECT_FALSE(use->isVisible());

    // Refresh replaces what the edit held when it was pressed, and keeps
    // what is typed while its answer comes.
    notes->setPlainText(S("Before Refresh"));
    refresh->click();
    notes->moveCursor(QTextCursor::End);
    QTest::keyClicks(notes, S(", after"));
    ASSERT_TRUE(WaitFor([&] { return refresh->isEnabled(); }));
    EXPECT_EQ(notes->toPlainText(), S("Before Refresh, after"));
    EXPECT_TRUE(station->isVisible());
    notes->setPlainText(S("Before Refresh"));
    refresh->click();
    ASSERT_TRUE(WaitFor([&] { return refresh->isEnabled(); }));
    EXPECT_EQ(notes->toPlainText(), stationsNotes);
    EXPECT_FALSE(station->isVisible());
}

TEST_F(RelayStationE2E, StationRenameAskedFirstThenShownInTheReadout) {
    ASSERT_NO_FATAL_FAILURE(Begin());
    auto open = [this] {
        app->OpenStationNameDialog();
        return LastDialog<StationNameDialog>();
    };
    auto pressOk = [](QDialog* dialog) {
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    };

    StationNameDialog* dialog = open();
    dialog->findChild<QLineEdit*>(S("nameEdit"))->clear();
    pressOk(dialog);
    EXPECT_EQ(messages.Texts(), QStringList{S("Zero Length Fields Not Allowed!")});
    EXPECT_TRUE(dialog->isVisible());
    // A character the station cannot hold is refused before the question.
    messages.boxes.clear();
    dialog->findChild<QLineEdit*>(S("nameEdit"))->setText(S("Hütte|7"));
    pressOk(dialog);
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_TRUE(messages.boxes[0].text.contains(S("\"Station Name\"")));
    EXPECT_TRUE(dialog->isVisible());
    // 48 characters at most: one more is refused (48 are asked about below).
    messages.boxes.clear();
    dialog->findChild<QLineEdit*>(S("nameEdit"))->setText(QString(49, u'n'));
    pressOk(dialog);
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_TRUE(messages.boxes[0].text.contains(S("holds at most 48 characters; it has 49")));
    EXPECT_TRUE(dialog->isVisible());

    // Cancel in the question closes the dialog and sends nothing.
    messages.boxes.clear();
    messages.answers = {false};
    dialog->findChild<QLineEdit*>(S("nameEdit"))->setText(QString(48, u'n'));
    pressOk(dialog);
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].caption, S("Change Station Name ?"));
    EXPECT_TRUE(messages.boxes[0].text.startsWith(
        S("Changing the Station Name causes the VOLN board to\n\r")));
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(RequestsOn(board::kSysName, "SET").isEmpty());

    // Sent as typed, in the station's code page.
    messages.answers = {true};
    QPointer<StationNameDialog> renaming = open();
    renaming->findChild<QLineEdit*>(S("nameEdit"))->setText(S("Hütte Nord"));
    pressOk(renaming);
    // Open, OK disabled, until the station has taken the name.
    EXPECT_TRUE(renaming->isVisible());
    EXPECT_FALSE(
        renaming->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->isEnabled());
    ASSERT_TRUE(WaitFor([&] { return notices.contains(S("Station Name Changed !")); }));
    EXPECT_TRUE(!renaming || !renaming->isVisible());
    const auto sets = RequestsOn(board::kSysName, "SET");
    ASSERT_EQ(sets.size(), 1);
    EXPECT_EQ(Bytes(sets[0]), QByteArray("H\xfctte Nord"));
    auto* readout = app->Window().findChild<QLineEdit*>(S("stationNameEdit"));
    ASSERT_TRUE(WaitFor([&] { return readout->text() == S("Hütte Nord"); }));
}

// Western text reaches the station in its code page and comes back the same;
// a character it cannot hold, or a "|", is refused with a box before
// anything is sent; notes saved unchanged go back byte for byte. Enter in
// the name or notes never switches the relay.
TEST_F(RelayStationE2E, RelayTextAsTypedOrRefused) {
    ASSERT_NO_FATAL_FAILURE(Begin());
    const QByteArray stored(
        "line 1\r\nline 2\rline\xa0"
        "3");
    app->Link().SendBoardRequest(board::kRelayNotes[1], PduType::Set, RequestValue::Text(stored));
    ASSERT_TRUE(WaitFor([&] { return RequestsOn(board::kRelayNotes[1], "SET").size() == 1; }));
    RelayDialog* dialog = OpenRelay(1);
    auto* name = dialog->findChild<QLineEdit*>(S("nameEdit"));
    auto* notesEdit = dialog->findChild<QPlainTextEdit*>(S("notesEdit"));
    ASSERT_TRUE(WaitFor([&] { return !notesEdit->toPlainText().isEmpty(); }));
    dialog->findChild<QRadioButton*>(S("onRadio"))->setChecked(true);

    const struct {
        const char* typed;
        const char* box;  // a part of the refusal, or nullptr when sent
        QByteArray bytes;
    } names[] = {
        {"Насос 2", "\"Н\" (U+041D)", {}},
        {"Pump|2", "\"|\"", {}},
        {"Pump North Side 1234", "holds at most 19 characters; it has 20", {}},
        {"Pumpe Süd €", nullptr,
         "Pumpe S\xfc"
         "d \x80"},
    };
    for (const auto& c : names) {
        messages.boxes.clear();
        const qsizetype sent = RequestsOn(board::kRelayName[1], "SET").size();
        name->setText(S(c.typed));
        if (c.box == nullptr) {  // Enter in the name updates it, and switches nothing
            name->setFocus();
            QTest::keyClick(name, Qt::Key_Return);
        } else {
            dialog->findChild<QPushButton*>(S("updateNameButton"))->click();
        }
        if (c.box != nullptr) {
            ASSERT_EQ(messages.boxes.size(), 1u) << c.typed;
            EXPECT_TRUE(messages.boxes[0].text.contains(S("Relay 1 Name")));
            EXPECT_TRUE(messages.boxes[0].text.contains(S(c.box)))
                << messages.boxes[0].text.toStdString();
            QTest::qWait(100);
            EXPECT_EQ(RequestsOn(board::kRelayName[1], "SET").size(), sent) << "nothing sent";
            continue;
        }
        ASSERT_TRUE(WaitFor([&] { return notices.contains(S("Relay Name Updated!")); }));
        EXPECT_EQ(Bytes(RequestsOn(board::kRelayName[1], "SET").back()), c.bytes);
        EXPECT_EQ(name->text(), S(c.typed)) << "the station's echo reads back the same";
        QLabel* mainName = app->Window().findChild<QLabel*>(S("relayNameLabel1"));
        ASSERT_TRUE(WaitFor([&] { return mainName->text() == S(c.typed); }));
    }

    // Unchanged notes: CR LF, the lone CR and the no-break space stay.
    auto* updateNotes = dialog->findChild<QPushButton*>(S("updateNotesButton"));
    updateNotes->click();
    ASSERT_TRUE(WaitFor([&] { return RequestsOn(board::kRelayNotes[1], "SET").size() == 2; }));
    EXPECT_EQ(Bytes(RequestsOn(board::kRelayNotes[1], "SET").back()), stored);
    ASSERT_TRUE(WaitFor([&] { return updateNotes->isEnabled(); })) << "the echo is shown";
    // Enter in the notes is a line break, never the chosen switch; changed
    // notes go out with CR LF for every line break, as the station keeps them.
    notesEdit->setFocus();
    notesEdit->moveCursor(QTextCursor::End);
    QTest::keyClick(notesEdit, Qt::Key_Enter);
    QTest::keyClicks(notesEdit, S("4"));
    QTest::qWait(300);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(RequestsOn(board::kRelaySwitch[1]).isEmpty());
    updateNotes->click();
    ASSERT_TRUE(WaitFor([&] { return RequestsOn(board::kRelayNotes[1], "SET").size() == 3; }));
    EXPECT_EQ(Bytes(RequestsOn(board::kRelayNotes[1], "SET").back()),
              QByteArray("line 1\r\nline 2\r\nline\xa0"
                         "3\r\n4"));
    EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();
}

// Another station chosen while the first is polled and its script list is
// being read: the list ends and says so, nothing of the first station goes
// on (a switch it never followed is no note on the new station's relay),
// and the new station is polled as soon as its row is read (it is in the
// directory: no "not in the database" box).
TEST_F(RelayStationE2E, StationChosenMidWalkEndsTheWalkAndPollingFollowsTheNewStation) {
    ASSERT_NO_FATAL_FAILURE(Begin({S("--stations"), S("2"), S("--scripts"), S("30"), S("--delay"),
                                   S("60"), S("--stuck-relay"), S("1")}));
    ASSERT_TRUE(app->Directory().AddStation({S("127.0.0.2"),
                                             sim->community(),
                                             S("second"),
                                             {},
                                             QString::number(sim->port()),
                                             S("2"),
                                             S("1")}));
    app->LoadStationList();
    QComboBox* chooser = app->Window().Chooser();
    ASSERT_TRUE(WaitFor([chooser] { return chooser->count() == 2; }));
    RelayDialog* relay = OpenRelay(1);
    relay->findChild<QRadioButton*>(S("onRadio"))->setChecked(true);
    relay->findChild<QPushButton*>(S("doActionButton"))->click();
    QLabel* relayState = app->Window().findChild<QLabel*>(S("relayStateLabel1"));
    EXPECT_EQ(relayState->text(), S("pending"));
    relay->close();
    app->OpenScriptsList();
    TableListDialog* list = app->Scripts().List();
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(WaitFor([list] { return list->Grid().RowCount() >= 3; }));

    chooser->setCurrentIndex(chooser->findText(S("127.0.0.2"), Qt::MatchStartsWith));
    ASSERT_TRUE(WaitFor([list] { return list->WalkStatusText().contains(S("Refresh")); }));
    EXPECT_TRUE(list->WalkStatusText().contains(QString::fromLatin1(kOtherStationText)))
        << list->WalkStatusText().toStdString();
    const int rows = list->Grid().RowCount();
    EXPECT_LT(rows, 30);
    const int received = app->Link().ReceivedCount();
    ASSERT_TRUE(WaitFor([&] { return app->Link().ReceivedCount() >= received + 2; }));
    EXPECT_EQ(app->Link().Station(), S("127.0.0.2"));
    EXPECT_EQ(relayState->text(), S("OFF"));
    EXPECT_EQ(list->Grid().RowCount(), rows);
    EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();
    EXPECT_EQ(app->Link().State(), ConnectionState::Connected);
}

}  // namespace
}  // namespace volnar
