// Relay control and station name through the whole client against
// volnar-station: what the dialogs send, what the station echoes, the
// notices, and what the next status records show.
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include "app_fixture.h"
#include "relays/relay_dialog.h"
#include "station/station_name_dialog.h"

namespace volnar {
namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

class RelayStationE2E : public testing::AppE2E {
protected:
    RelayDialog* OpenRelay(int relay) {
        app->OpenRelayDialog(relay);
        return LastDialog<RelayDialog>();
    }
};

TEST_F(RelayStationE2E, RelaySwitchOnOffAndPulseReachTheStationAndTheNextStatus) {
    Begin();
    QLabel* state = app->Window().findChild<QLabel*>(S("relayStateLabel2"));

    RelayDialog* dialog = OpenRelay(2);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->findChild<QRadioButton*>(S("offRadio"))->isChecked());
    dialog->findChild<QRadioButton*>(S("onRadio"))->setChecked(true);
    dialog->findChild<QPushButton*>(S("doActionButton"))->click();
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
    EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();
}

TEST_F(RelayStationE2E, RelayNameAndNotesEchoesFillTheDialogWithTheirNotices) {
    Begin();
    QSignalSpy notesAnswers(&app->Link(), &BoardLink::RelayNotesReceived);
    RelayDialog* dialog = OpenRelay(1);
    auto* notes = dialog->findChild<QPlainTextEdit*>(S("notesEdit"));
    auto* name = dialog->findChild<QLineEdit*>(S("nameEdit"));
    // The opening GET fills the notes without a notice.
    ASSERT_TRUE(WaitFor([&] { return notesAnswers.size() == 1; }));
    EXPECT_TRUE(notices.isEmpty());

    notes->setPlainText(S("Feeds the tank | check the float weekly"));
    dialog->findChild<QPushButton*>(S("updateNotesButton"))->click();
    EXPECT_TRUE(notes->toPlainText().isEmpty());  // until the station echoes them
    EXPECT_EQ(app->Link().RelayNotesPending(), 1);
    ASSERT_TRUE(WaitFor([&] { return notices.contains(S("Relay Notes Updated!")); }));
    EXPECT_EQ(notes->toPlainText(), S("Feeds the tank | check the float weekly"));
    EXPECT_EQ(app->Link().RelayNotesPending(), 0);

    // Refresh reads them again, silently.
    notes->clear();
    const qsizetype before = notices.size();
    dialog->findChild<QPushButton*>(S("refreshButton"))->click();
    ASSERT_TRUE(WaitFor([&] { return !notes->toPlainText().isEmpty(); }));
    EXPECT_EQ(notes->toPlainText(), S("Feeds the tank | check the float weekly"));
    QTest::qWait(200);
    EXPECT_EQ(notices.size(), before);

    name->setText(S("Main Pump"));
    dialog->findChild<QPushButton*>(S("updateNameButton"))->click();
    ASSERT_TRUE(WaitFor([&] { return notices.contains(S("Relay Name Updated!")); }));
    EXPECT_EQ(name->text(), S("Main Pump"));
    QLabel* mainName = app->Window().findChild<QLabel*>(S("relayNameLabel1"));
    ASSERT_TRUE(WaitFor([&] { return mainName->text() == S("Main Pump"); }));
    EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();
}

TEST_F(RelayStationE2E, StationRenameAskedFirstThenShownInTheReadout) {
    Begin();
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

    // Cancel in the question closes the dialog and sends nothing.
    messages.boxes.clear();
    messages.answers = {false};
    dialog->findChild<QLineEdit*>(S("nameEdit"))->setText(S("Renamed Hut"));
    pressOk(dialog);
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].caption, S("Change Station Name ?"));
    EXPECT_TRUE(messages.boxes[0].text.startsWith(
        S("Changing the Station Name causes the VOLN board to\n\r")));
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(RequestsOn(board::kSysName, "SET").isEmpty());

    messages.answers = {true};
    dialog = open();
    dialog->findChild<QLineEdit*>(S("nameEdit"))->setText(S("Renamed Hut"));
    pressOk(dialog);
    EXPECT_FALSE(dialog->isVisible());
    ASSERT_TRUE(WaitFor([&] { return notices.contains(S("Station Name Changed !")); }));
    const auto sets = RequestsOn(board::kSysName, "SET");
    ASSERT_EQ(sets.size(), 1);
    EXPECT_EQ(sets[0][S("request_id")].toInt(), 424);
    auto* readout = app->Window().findChild<QLineEdit*>(S("stationNameEdit"));
    ASSERT_TRUE(WaitFor([&] { return readout->text() == S("Renamed Hut"); }));
}

// The value bytes of a logged SET (the log shows each byte as one character).
QByteArray Bytes(const QJsonObject& line) {
    return line[S("value")].toString().toLatin1();
}

// Western text reaches the station in its code page and comes back the same;
// a character it cannot hold, or a "|", is refused with a box before
// anything is sent; notes saved unchanged go back byte for byte.
TEST_F(RelayStationE2E, RelayAndStationTextAsTypedOrRefused) {
    Begin();
    const QByteArray stored(
        "line 1\r\nline 2\rline\xa0"
        "3");
    app->Link().SendBoardRequest(board::kRelayNotes[1], PduType::Set, RequestValue::Text(stored));
    ASSERT_TRUE(WaitFor([&] { return RequestsOn(board::kRelayNotes[1], "SET").size() == 1; }));
    QSignalSpy notesAnswers(&app->Link(), &BoardLink::RelayNotesReceived);
    RelayDialog* dialog = OpenRelay(1);
    auto* name = dialog->findChild<QLineEdit*>(S("nameEdit"));
    ASSERT_TRUE(WaitFor([&] { return notesAnswers.size() >= 1; }));

    const struct {
        const char* typed;
        const char* box;  // a part of the refusal, or nullptr when sent
        QByteArray bytes;
    } names[] = {
        {"Насос 2", "\"Н\" (U+041D)", {}},
        {"Pump|2", "\"|\"", {}},
        {"Pumpe Süd €", nullptr,
         "Pumpe S\xfc"
         "d \x80"},
    };
    for (const auto& c : names) {
        messages.boxes.clear();
        const qsizetype sent = RequestsOn(board::kRelayName[1], "SET").size();
        name->setText(S(c.typed));
        dialog->findChild<QPushButton*>(S("updateNameButton"))->click();
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
    dialog->findChild<QPushButton*>(S("updateNotesButton"))->click();
    ASSERT_TRUE(WaitFor([&] { return RequestsOn(board::kRelayNotes[1], "SET").size() == 2; }));
    EXPECT_EQ(Bytes(RequestsOn(board::kRelayNotes[1], "SET").back()), stored);
    EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();

    // The station name: refused before the question, or sent as typed.
    messages.boxes.clear();
    messages.answers = {true};
    app->OpenStationNameDialog();
    auto* rename = LastDialog<StationNameDialog>();
    auto pressOk = [&] {
        rename->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    };
    rename->findChild<QLineEdit*>(S("nameEdit"))->setText(S("Hütte|7"));
    pressOk();
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_TRUE(messages.boxes[0].text.contains(S("\"Station Name\"")));
    EXPECT_TRUE(rename->isVisible());
    rename->findChild<QLineEdit*>(S("nameEdit"))->setText(S("Hütte Nord"));
    pressOk();
    ASSERT_TRUE(WaitFor([&] { return notices.contains(S("Station Name Changed !")); }));
    EXPECT_EQ(Bytes(RequestsOn(board::kSysName, "SET").back()), QByteArray("H\xfctte Nord"));
    auto* readout = app->Window().findChild<QLineEdit*>(S("stationNameEdit"));
    ASSERT_TRUE(WaitFor([&] { return readout->text() == S("Hütte Nord"); }));
}

}  // namespace
}  // namespace volnar
