// SPDX-License-Identifier: GPL-3.0-or-later
// The alert list and editors through the whole client against
// volnar-station: rows with their hidden fields, execute and delete with
// their questions, ids, notices and fresh lists, the modem walk, and edits
// that send back exactly what was listed.
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "alerts/alert_editors.h"
#include "alerts/alert_screens.h"
#include "e2e/app_fixture.h"
#include "lists/table_list_dialog.h"

namespace volnar {
namespace {

using ::volnar::testing::WaitFor;

QString S(const char* text) {
    return QString::fromUtf8(text);
}

class AlertE2E : public testing::AppE2E {
protected:
    void Begin(QStringList args) {
        testing::AppE2E::Begin(std::move(args));
        if (HasFatalFailure()) {
            return;
        }
        QObject::connect(&app->Alerts(), &ListNavigator::ListOpened, app.get(),
                         [this](TableListDialog* list) { lists << list; });
        QObject::connect(&app->Alerts(), &ListNavigator::EditorOpened, app.get(),
                         [this](QDialog* editor) { editors << editor; });
    }

    // Waits for a list opened after `before` lists and for its walk's end.
    TableListDialog* ReadList(qsizetype before) {
        const bool read = WaitFor(
            [&] { return lists.size() > before && lists.back() && !lists.back()->IsWalking(); });
        return read ? lists.back().data() : nullptr;
    }

    QList<QPointer<TableListDialog>> lists;
    QList<QPointer<QDialog>> editors;
};

TEST_F(AlertE2E, AlertListKeepsHiddenFieldsWholeAndExecuteAndDeleteAskThenSendAndReopen) {
    ASSERT_NO_FATAL_FAILURE(Begin({S("--alerts"), S("2"), S("--modems"), S("2")}));
    app->Alerts().OpenList();
    TableListDialog* list = ReadList(0);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->windowTitle(), S("Create Alerts"));
    ASSERT_EQ(list->Grid().RowCount(), 2);
    EXPECT_EQ(list->WalkStatusText(), S("2 alerts"));
    const QStringList email = list->RowCells(0);
    EXPECT_EQ(email.mid(0, 2), (QStringList{S("1"), S("EMAIL")}));
    EXPECT_EQ(email.value(7), S("station@example.org"));
    const QStringList sms = list->RowCells(1);
    EXPECT_EQ(sms.value(1), S("SMS"));
    EXPECT_EQ(sms.mid(7),
              (QStringList{S("Modem1"), S("Generated alert text"), S("-"), S("-"), S("-")}));

    messages.answers = {false};
    list->ActivateImage(0, kExecuteImage);
    EXPECT_EQ(messages.Texts(), QStringList{S("Execute Alert Number 1 ?")});
    EXPECT_TRUE(list->isVisible());  // No: nothing sent, the list stays

    messages.answers = {true};
    list->ActivateImage(0, kExecuteImage);
    ASSERT_TRUE(WaitFor([&] { return notices.contains(S("Alert Executed !")); }));
    const auto executes = RequestsOn(board::kAlertExecute, "SET");
    ASSERT_EQ(executes.size(), 1);
    EXPECT_EQ(executes[0][S("value")].toVariant().toInt(), 1);

    list = ReadList(1);  // the fresh list after the notice
    ASSERT_NE(list, nullptr);
    messages.boxes.clear();
    messages.answers = {true};
    list->ActivateImage(1, kDeleteImage);
    EXPECT_EQ(messages.Texts(), QStringList{S("Delete Alert Number 2 ?")});
    ASSERT_TRUE(WaitFor([&] { return notices.contains(S("Alert Deleted !")); }));
    list = ReadList(2);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->Grid().RowCount(), 1);
}

TEST_F(AlertE2E, AlertSmsAddThenEditShowsItsOwnModemAndSendsItBackUnchanged) {
    ASSERT_NO_FATAL_FAILURE(Begin({S("--modems"), S("2")}));
    app->Alerts().OpenList();
    TableListDialog* list = ReadList(0);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->WalkStatusText(), S("No alerts on the station"));

    list->findChild<QPushButton*>(S("addSmsAlertButton"))->click();
    ASSERT_FALSE(editors.isEmpty());
    auto* sms = qobject_cast<SmsAlertDialog*>(editors.back().data());
    ASSERT_NE(sms, nullptr);
    EXPECT_EQ(sms->windowTitle(), S("ADD New SMS Alert"));
    ASSERT_TRUE(WaitFor([&] { return sms->Modems().size() == 2; }));
    EXPECT_EQ(sms->Form().modem, S("Choose a Modem"));
    // The modem walk ended at the last modem: nothing was read past it.
    EXPECT_EQ(RequestsOn(board::kAlertTable, "GETNEXT").size(), 1);

    sms->findChild<QLineEdit*>(S("descriptionEdit"))->setText(S("Door"));
    sms->findChild<QLineEdit*>(S("phoneEdit"))->setText(S("P"));
    sms->findChild<QComboBox*>(S("modemCombo"))->setCurrentIndex(1);
    sms->findChild<QPlainTextEdit*>(S("messageEdit"))->setPlainText(S("Door open"));
    sms->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    ASSERT_TRUE(WaitFor([&] { return notices.contains(S("Alert Added !")); }));
    const auto added = RequestsOn(board::kAlertRecord, "SET");
    ASSERT_EQ(added.size(), 1);
    EXPECT_EQ(added[0][S("value")].toString(), S("0|SMS|Door|P|Modem2|Door open|-|-|-|-|-|-|-|-|"));

    list = ReadList(1);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->Grid().RowCount(), 1);
    const QString id = list->RowCells(0).value(0);
    list->ActivateImage(0, kEditImage);
    sms = qobject_cast<SmsAlertDialog*>(editors.back().data());
    ASSERT_NE(sms, nullptr);
    EXPECT_EQ(sms->windowTitle(), S("EDIT SMS Alert"));
    ASSERT_TRUE(WaitFor([&] { return sms->Modems().size() == 2; }));
    EXPECT_EQ(sms->Form().modem, S("Modem2"));  // the alert's own, not the first
    sms->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    ASSERT_TRUE(WaitFor([&] { return notices.contains(S("Alert Updated !")); }));
    const auto updated = RequestsOn(board::kAlertRecord, "SET");
    ASSERT_EQ(updated.size(), 2);
    EXPECT_EQ(updated[1][S("value")].toString(),
              id + S("|SMS|Door|P|Modem2|Door open|-|-|-|-|-|-|-|-|"));
    EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();
}

// An alert the station holds with no modem chosen, a message with CR LF, a
// lone CR and byte A0, and Western text: saved unchanged, it goes back byte
// for byte; text the station cannot store is refused before anything is sent.
TEST_F(AlertE2E, AlertSmsWithoutModemSavedUnchangedAndTextAsTypedOrRefused) {
    ASSERT_NO_FATAL_FAILURE(Begin({S("--modems"), S("2")}));
    const QByteArray held =
        "|SMS|T\xfcr|P|Choose a Modem|T\xfcr offen\r\njetzt\rsofort\xa0!|"
        "-|-|-|-|-|-|-|-|";
    app->Link().SendBoardRequest(board::kAlertRecord, PduType::Set, RequestValue::Text("0" + held));
    ASSERT_TRUE(WaitFor([&] { return RequestsOn(board::kAlertRecord, "SET").size() == 1; }));
    app->Alerts().OpenList();
    TableListDialog* list = ReadList(0);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->Grid().RowCount(), 1);
    const QByteArray id = list->RowCells(0).value(0).toLatin1();
    list->ActivateImage(0, kEditImage);
    auto* sms = qobject_cast<SmsAlertDialog*>(editors.back().data());
    ASSERT_NE(sms, nullptr);
    ASSERT_TRUE(WaitFor([&] { return sms->Modems().size() == 2; }));
    auto* description = sms->findChild<QLineEdit*>(S("descriptionEdit"));
    EXPECT_EQ(description->text(), S("Tür"));
    description->setText(S("Tür → Hof"));
    sms->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_TRUE(messages.boxes[0].text.contains(S("\"Description\"")));
    EXPECT_TRUE(messages.boxes[0].text.contains(S("U+2192")));
    EXPECT_EQ(RequestsOn(board::kAlertRecord, "SET").size(), 1) << "nothing sent";

    description->setText(S("Tür"));
    sms->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    ASSERT_TRUE(WaitFor([&] { return notices.contains(S("Alert Updated !")); }));
    const auto sets = RequestsOn(board::kAlertRecord, "SET");
    ASSERT_EQ(sets.size(), 2);
    EXPECT_EQ(sets[1][S("value")].toString().toLatin1(), id + held);
    EXPECT_EQ(sets[1][S("error_status")].toInt(), 0);
}

TEST_F(AlertE2E, AlertEmailEditWithoutChangesSendsTheListedFieldsAndCancelReturnsToTheList) {
    ASSERT_NO_FATAL_FAILURE(Begin({S("--alerts"), S("1")}));
    app->Alerts().OpenList();
    TableListDialog* list = ReadList(0);
    ASSERT_NE(list, nullptr);
    const QStringList row = list->RowCells(0);
    list->ActivateImage(0, kEditImage);
    auto* email = qobject_cast<EmailAlertDialog*>(editors.back().data());
    ASSERT_NE(email, nullptr);
    EXPECT_EQ(email->windowTitle(), S("EDIT Email Alert"));

    // Cancel brings a fresh list; edit again and send unchanged.
    email->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
    list = ReadList(1);
    ASSERT_NE(list, nullptr);
    list->ActivateImage(0, kEditImage);
    email = qobject_cast<EmailAlertDialog*>(editors.back().data());
    ASSERT_NE(email, nullptr);
    email->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    ASSERT_TRUE(WaitFor([&] { return notices.contains(S("Alert Updated !")); }));
    const QString expected = QStringList{row.mid(0, 4) + row.mid(7)}.join(u'|') + S("|-|-|-|-|-|");
    EXPECT_EQ(RequestsOn(board::kAlertRecord, "SET").value(0)[S("value")].toString(), expected);
}

// An alert the station refuses leaves the editor open with everything typed,
// and it can be sent again from there.
TEST_F(AlertE2E, AlertUploadTheStationRefusesKeepsTheEditorAndSendsAgain) {
    ASSERT_NO_FATAL_FAILURE(Begin({S("--alerts"), S("1"), S("--delay"), S("100"), S("--fail"),
                                   QString::fromLatin1(board::kAlertRecord) + S("=badValue")}));
    app->Alerts().OpenList();
    TableListDialog* list = ReadList(0);
    ASSERT_NE(list, nullptr);
    list->ActivateImage(0, kEditImage);
    QPointer<EmailAlertDialog> email = qobject_cast<EmailAlertDialog*>(editors.back().data());
    ASSERT_NE(email, nullptr);
    auto* subject = email->findChild<QLineEdit*>(S("subjectEdit"));
    subject->setText(S("Door open at the hut"));
    QPushButton* ok = email->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    for (int attempt = 1; attempt <= 2; ++attempt) {
        messages.boxes.clear();
        ok->click();
        EXPECT_FALSE(ok->isEnabled()) << "sending";
        ASSERT_TRUE(WaitFor([&] { return ok->isEnabled(); })) << attempt;
        EXPECT_EQ(messages.Texts(), QStringList{S("SNMP_ERR_BADVALUE")}) << attempt;
        ASSERT_TRUE(email);
        EXPECT_TRUE(email->isVisible());
        EXPECT_EQ(subject->text(), S("Door open at the hut"));
        EXPECT_EQ(RequestsOn(board::kAlertRecord, "SET").size(), attempt);
    }
    EXPECT_TRUE(notices.isEmpty());
}

}  // namespace
}  // namespace volnar
