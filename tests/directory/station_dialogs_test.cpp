// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory_view/station_dialogs.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "directory/database_template.h"
#include "directory_view/ipv4_edit.h"
#include "support/recording_message_service.h"

namespace volnar {
namespace {

using testing::RecordingMessageService;

QString S(const char* text) {
    return QString::fromUtf8(text);
}

class StationDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CreateDatabaseTemplate(folder.filePath(S("voln.db"))), TemplateResult::Created);
        ASSERT_TRUE(directory.ConnectDatabase(folder.filePath(S("voln.db"))));
        ASSERT_TRUE(directory.AddStation(
            {S("127.0.0.1"), S("public"), S("first"), {}, S("161"), S("5"), S("2")}));
    }

    // Fills the dialog's fields; nullptr leaves a field as it is.
    static void Fill(StationDialog& dialog, std::array<const char*, 4> octets, const char* password,
                     const char* comment = nullptr) {
        auto* address = dialog.findChild<Ipv4Edit*>(S("addressEdit"));
        for (int i = 0; i < 4; ++i) {
            address->Field(i)->setText(S(octets[i]));
        }
        if (password) {
            dialog.findChild<QLineEdit*>(S("passwordEdit"))->setText(S(password));
        }
        if (comment) {
            dialog.findChild<QLineEdit*>(S("commentEdit"))->setText(S(comment));
        }
    }

    static void PressOk(QDialog& dialog) {
        dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    }

    QTemporaryDir folder;
    RecordingMessageService messages;
    StationDirectory directory;
    int reloads = 0;
    StationEditor editor{directory, [this] { ++reloads; }};
};

TEST_F(StationDialogTest, AddChecksAddressPresencePasswordThenNumbersAndFocusesAndMarksTheField) {
    const char* const timeoutBox = "Timeout must be a whole number from 1 to 100.";
    const char* const retriesBox = "Retries must be a whole number from 0 to 10.";
    struct Case {
        std::array<const char*, 4> octets;
        const char* password;
        const char* box;
        const char* focused;          // the field the keyboard goes back to
        const char* typed = nullptr;  // typed into the focused field
    } const cases[] = {
        {{"127", "0", "0", ""}, "", " Shazbot IP Address!!\r\n", "octet1"},
        {{"127", "0", "0", "1"}, "", "This IP Address already exists in the database!", "octet1"},
        {{"127", "0", "0", "2"}, "", " Shazbot Password!!\r\n", "passwordEdit"},
        {{"127", "0", "0", "2"}, "pw", kPortInvalid, "portEdit", ""},
        {{"127", "0", "0", "2"}, "pw", kPortInvalid, "portEdit", "0"},
        {{"127", "0", "0", "2"}, "pw", kPortInvalid, "portEdit", "65536"},
        {{"127", "0", "0", "2"}, "pw", timeoutBox, "timeoutEdit", ""},
        {{"127", "0", "0", "2"}, "pw", timeoutBox, "timeoutEdit", "101"},
        {{"127", "0", "0", "2"}, "pw", retriesBox, "retriesEdit", ""},
        {{"127", "0", "0", "2"}, "pw", retriesBox, "retriesEdit", "11"},
    };
    for (const Case& c : cases) {
        messages.boxes.clear();
        StationDialog dialog(StationDialogMode::Add, editor, {}, messages);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        Fill(dialog, c.octets, c.password);
        if (c.typed != nullptr) {
            dialog.findChild<QLineEdit*>(S(c.focused))->setText(S(c.typed));
        }
        PressOk(dialog);
        ASSERT_EQ(messages.boxes.size(), 1u) << c.box;
        EXPECT_EQ(messages.boxes[0].text, S(c.box));
        EXPECT_EQ(messages.boxes[0].icon, MessageIcon::None);
        EXPECT_TRUE(dialog.isVisible()) << c.box;  // stays open with what was typed
        EXPECT_EQ(dialog.Form().password, S(c.password));
        ASSERT_NE(QApplication::focusWidget(), nullptr) << c.box;
        EXPECT_EQ(QApplication::focusWidget()->objectName(), S(c.focused)) << c.box;
        // The focused field's label alone is red (the address's was, first).
        const bool address = S(c.focused) == S("octet1");
        const QString label =
            address ? S("addressLabel") : S(c.focused).replace(S("Edit"), S("Label"));
        ASSERT_NE(dialog.MarkedLabel(), nullptr) << c.box;
        EXPECT_EQ(dialog.MarkedLabel()->objectName(), label) << c.box;
        EXPECT_TRUE(dialog.MarkedLabel()->styleSheet().contains(S("255, 0, 0"))) << c.box;
        EXPECT_EQ(dialog.findChild<QLabel*>(S("addressLabel"))->styleSheet().isEmpty(), !address);
    }
    EXPECT_EQ(reloads, 0);
    EXPECT_EQ(directory.LookupStation(S("127.0.0.2")).status, LookupStatus::NotFound);
}

TEST_F(StationDialogTest, AddProposesDefaultsLimitsFieldsStoresNoAsDefaultAndEmptyComment) {
    StationDialog dialog(StationDialogMode::Add, editor, {}, messages);
    EXPECT_EQ(dialog.windowTitle(), S("Add IP"));
    const StationForm proposed = dialog.Form();
    EXPECT_EQ(proposed.port, S("161"));
    EXPECT_EQ(proposed.timeout, S("5"));
    EXPECT_EQ(proposed.retries, S("2"));
    // Fields are limited to what the table holds.
    const std::pair<const char*, int> limits[] = {{"passwordEdit", 35},
                                                  {"commentEdit", 50},
                                                  {"portEdit", 10},
                                                  {"timeoutEdit", 10},
                                                  {"retriesEdit", 10}};
    for (const auto& [name, limit] : limits) {
        auto* edit = dialog.findChild<QLineEdit*>(S(name));
        edit->clear();
        QTest::keyClicks(edit, QString(limit + 5, u'7'));
        EXPECT_EQ(edit->text().size(), limit) << name;
    }
    auto* port = dialog.findChild<QLineEdit*>(S("portEdit"));
    port->clear();
    QTest::keyClicks(port, S("16x1"));
    EXPECT_EQ(port->text(), S("161"));
    dialog.findChild<QLineEdit*>(S("timeoutEdit"))->setText(S("5"));
    dialog.show();
    Fill(dialog, {"127", "000", "0", "9"}, "O'Neil \"pw\" ü", "");
    dialog.findChild<QLineEdit*>(S("retriesEdit"))->setText(S("0"));
    PressOk(dialog);
    EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(reloads, 1);
    const LookupResult stored = directory.LookupStation(S("127.0.0.9"));
    ASSERT_EQ(stored.status, LookupStatus::Found);
    EXPECT_EQ(stored.record, (StationRecord{S("127.0.0.9"), S("O'Neil \"pw\" ü"), S(""), S("NO"),
                                            S("161"), S("5"), S("0")}));
}

TEST_F(StationDialogTest, EditKeepsTheDefaultWritesOnlyItsRowAndAFailedWriteKeepsTheDialog) {
    ASSERT_TRUE(directory.SetDefaultStation(S("127.0.0.1")));
    messages.boxes.clear();
    const StationRecord chosen = directory.LookupStation(S("127.0.0.1")).record;
    StationDialog dialog(StationDialogMode::Edit, editor, chosen, messages);
    EXPECT_EQ(dialog.windowTitle(), S("Edit IP"));
    EXPECT_EQ(dialog.Form().address, S("127.0.0.1"));
    EXPECT_EQ(dialog.Form().comment, S("first"));
    dialog.show();

    Fill(dialog, {"127", "0", "0", "77"}, nullptr);
    PressOk(dialog);
    EXPECT_EQ(messages.Texts(), QStringList{S(kAddressNotInTable)});
    EXPECT_TRUE(dialog.isVisible());

    // Another station's address: that row is never overwritten.
    messages.boxes.clear();
    const StationRecord other = directory.LookupStation(S("10.10.10.10")).record;
    Fill(dialog, {"10", "10", "10", "10"}, "changed", "edited");
    PressOk(dialog);
    EXPECT_EQ(messages.Texts(), QStringList{S(kAddressOfAnotherStation)});
    EXPECT_EQ(directory.LookupStation(S("10.10.10.10")).record, other);
    EXPECT_TRUE(dialog.isVisible());

    // A write that cannot happen keeps the dialog and what was typed.
    messages.boxes.clear();
    Fill(dialog, {"127", "0", "0", "1"}, "changed", "edited");
    directory.DisconnectDatabase();
    PressOk(dialog);
    EXPECT_EQ(messages.Texts(), QStringList{S("Statement handle allocation failed")});
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.Form().comment, S("edited"));
    EXPECT_EQ(reloads, 0);

    messages.boxes.clear();
    ASSERT_TRUE(directory.ConnectDatabase(folder.filePath(S("voln.db"))));
    PressOk(dialog);
    EXPECT_EQ(messages.Texts(), QStringList{S(" IP Address Updated SucSuccessfully")});
    const StationRecord stored = directory.LookupStation(S("127.0.0.1")).record;
    EXPECT_EQ(stored.DEFAULT, S("YES"));
    EXPECT_EQ(stored.PASSWORD, S("changed"));
    EXPECT_EQ(stored.COMMENT, S("edited"));
}

// Edit checks only the numbers the operator changed: the template's own row
// (no TIMEOUT) and a hand-made one (no port, TIMEOUT 0, RETRIES 11) take a
// new comment as they stand; a changed number is checked as Add checks it.
TEST_F(StationDialogTest, EditAcceptsNumbersLeftAsStoredAndChecksChangedOnes) {
    ASSERT_TRUE(
        directory.AddStation({S("127.0.0.3"), S("pw"), S("hand-made"), {}, {}, S("0"), S("11")}));
    const char* const timeoutBox = "Timeout must be a whole number from 1 to 100.";
    struct Case {
        const char* address;
        const char* field;  // changed besides the comment; nullptr: none
        const char* typed;
        const char* box;  // nullptr: written
    } const cases[] = {
        {"10.10.10.10", nullptr, nullptr, nullptr},
        {"127.0.0.3", nullptr, nullptr, nullptr},
        {"127.0.0.1", "timeoutEdit", "", timeoutBox},
        {"127.0.0.1", "timeoutEdit", "0", timeoutBox},
        {"10.10.10.10", "timeoutEdit", "0", timeoutBox},
        {"10.10.10.10", "timeoutEdit", "101", timeoutBox},
        {"127.0.0.3", "retriesEdit", "12", "Retries must be a whole number from 0 to 10."},
        {"127.0.0.3", "portEdit", "0", kPortInvalid},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.address) + " " + (c.field ? c.field : "") + "=" +
                     (c.typed ? c.typed : ""));
        messages.boxes.clear();
        const StationRecord stored = directory.LookupStation(S(c.address)).record;
        StationDialog dialog(StationDialogMode::Edit, editor, stored, messages);
        dialog.show();
        dialog.findChild<QLineEdit*>(S("commentEdit"))->setText(S("edited"));
        if (c.field != nullptr) {
            dialog.findChild<QLineEdit*>(S(c.field))->setText(S(c.typed));
        }
        PressOk(dialog);
        StationRecord expected = stored;
        if (c.box == nullptr) {
            expected.COMMENT = S("edited");
        }
        EXPECT_EQ(messages.Texts(), QStringList{S(c.box ? c.box : kStationUpdated)});
        EXPECT_EQ(directory.LookupStation(S(c.address)).record, expected);
    }
}

TEST_F(StationDialogTest, DeleteTakesTheWholeTypedAddressAndAsksFirst) {
    ASSERT_TRUE(directory.AddStation({S("192.168.100.200"), S("pw"), S("long"), {}, {}, {}, {}}));
    ASSERT_TRUE(directory.SetDefaultStation(S("127.0.0.1")));
    messages.boxes.clear();
    DeleteStationDialog dialog(editor, directory, messages);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    auto* combo = dialog.findChild<QComboBox*>(S("addressCombo"));
    EXPECT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->currentText(), S("127.0.0.1"));  // the default

    const QString question = S("Delete the station %1 from the database?");
    struct Case {
        const char* typed;  // nullptr: Enter on what the box holds
        bool yes;
        QStringList boxes;
        const char* gone = nullptr;
    } const cases[] = {
        {nullptr, false, {question.arg(S("127.0.0.1 (first)"))}},
        {"10.10.10.10", true, {S("Don't Delete the Default IP!")}},
        {"127.0.0.99", true, {S(kDeleteNotInTable)}},
        {"192.168.100.2001", true, {S(kDeleteNotInTable)}},
        {"192.168.100.20", true, {S(kDeleteNotInTable)}},
        {"192.168.100.200", false, {question.arg(S("192.168.100.200 (long)"))}},
        {"192.168.100.200",
         true,
         {question.arg(S("192.168.100.200 (long)")), S("IP Address Deleted From Database !")},
         "192.168.100.200"},
    };
    for (const Case& c : cases) {
        messages.boxes.clear();
        messages.answers = {c.yes};
        QLineEdit* typing = combo->lineEdit();
        if (c.typed) {
            typing->selectAll();
            QTest::keyClick(typing, Qt::Key_Backspace);
            QTest::keyClicks(typing, S(c.typed));
            ASSERT_EQ(combo->currentText(), S(c.typed));
        }
        QTest::keyClick(typing, Qt::Key_Return);
        EXPECT_EQ(messages.Texts(), c.boxes) << (c.typed ? c.typed : "Enter");
        const int rows = c.gone ? 2 : 3;
        EXPECT_EQ(directory.LoadAddressList()->addresses.size(), rows)
            << (c.typed ? c.typed : "Enter");
    }
    EXPECT_EQ(directory.LookupStation(S("192.168.100.200")).status, LookupStatus::NotFound);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(reloads, 1);
    // Deleting the default leaves no default.
    ASSERT_TRUE(editor.Delete(S("127.0.0.1")));
    EXPECT_EQ(directory.LoadStationList()->defaultIndex, -1);
}

TEST(Ipv4Edit, CountsFilledFieldsAndFormatsWithoutLeadingZeros) {
    Ipv4Edit edit;
    EXPECT_EQ(edit.FilledFields(), 0);
    edit.SetAddress(S("192.168.100.200"));
    EXPECT_EQ(edit.FilledFields(), 4);
    EXPECT_EQ(edit.Address(), S("192.168.100.200"));
    edit.Field(1)->setText(S("007"));
    EXPECT_EQ(edit.Address(), S("192.7.100.200"));
    edit.Field(3)->clear();
    EXPECT_EQ(edit.FilledFields(), 3);
    for (const char* bad :
         {"1.2.3", "1.2.3.256", "a.b.c.d", "1.2.3.4.5", "", "1..2.3", "1.2.3.4."}) {
        edit.SetAddress(S(bad));
        EXPECT_EQ(edit.FilledFields(), 0) << bad;
    }
}

// Typed key by key, as an operator types, into the field that has the focus.
TEST(Ipv4Edit, TypesAddressesAsWrittenAndTakesAPastedAddressWhole) {
    struct Case {
        const char* before;  // what the fields hold first (Edit IP)
        const char* typed;   // "^V" pastes the clipboard
        const char* clipboard;
        const char* address;
        int filled;
    } const cases[] = {
        {"", "127.0.0.2", "", "127.0.0.2", 4},
        {"", "192.168.100.200", "", "192.168.100.200", 4},
        {"", "255.255.255.255", "", "255.255.255.255", 4},
        {"", "1.2.3.4", "", "1.2.3.4", 4},
        {"", "10 1 2 3", "", "10.1.2.3", 4},
        {"", "1.2.3.2559", "", "1.2.3.255", 4},  // a fourth digit is refused
        {"", "300", "", "30.0.0.0", 1},
        {"10.10.10.10", "127.0.0.2", "", "127.0.0.2", 4},
        {"", "^V", "127.0.0.2", "127.0.0.2", 4},
        {"", "^V", " 10.20.30.40 ", "10.20.30.40", 4},
        {"", "^V", "1.2.3.999", "0.0.0.0", 0},
        {"", "^V", "12;1.2.3", "0.0.0.0", 0},
    };
    for (const Case& c : cases) {
        Ipv4Edit edit;
        edit.SetAddress(S(c.before));
        edit.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&edit));
        edit.Field(0)->setFocus();
        edit.Field(0)->selectAll();
        QApplication::clipboard()->setText(S(c.clipboard));
        if (S(c.typed) == S("^V")) {
            QTest::keySequence(QApplication::focusWidget(), QKeySequence::Paste);
        } else {
            for (const QChar ch : S(c.typed)) {
                QTest::keyClick(QApplication::focusWidget(), ch.toLatin1());
            }
        }
        EXPECT_EQ(edit.Address(), S(c.address)) << c.typed;
        EXPECT_EQ(edit.FilledFields(), c.filled) << c.typed;
    }
}

// Writes that answer only when the test says so, as the directory's worker
// does when the database is slow.
class HeldWrites final : public StationWrites {
public:
    // A refusal is about the port, as the worker's editor would say.
    void Submit(StationDialogMode, const StationForm&, QObject*, SubmitDone done) override {
        pending = [done](bool written) {
            done(Done(written), written ? StationFormField::None : StationFormField::Port);
        };
    }
    void CheckDelete(const QString& typed, QObject*,
                     std::function<void(const Result<StationRecord>&)> done) override {
        pending = [typed, done](bool there) {
            done(there ? Result<StationRecord>(StationRecord{typed, {}, {}, {}, {}, {}, {}})
                       : Result<StationRecord>(Failure(QStringLiteral("not there"))));
        };
    }
    void Delete(const QString&, QObject*, std::function<void(const Result<void>&)> done) override {
        pending = [done](bool deleted) { done(Done(deleted)); };
    }
    void LoadAddressList(QObject*, std::function<void(const Result<AddressList>&)> done) override {
        done(AddressList{{QStringLiteral("127.0.0.1")}, QString()});
    }
    static Result<void> Done(bool done) {
        return done ? Result<void>() : Result<void>(Failure(QStringLiteral("refused")));
    }
    std::function<void(bool)> pending;
};

TEST(StationDialogWaiting, ButtonsAndEscapeWaitForTheDirectoryAndOnlyAWrittenRowCloses) {
    for (const bool written : {false, true}) {
        HeldWrites writes;
        RecordingMessageService messages;
        messages.defaultAnswer = true;  // Yes, delete it
        StationDialog dialog(StationDialogMode::Add, writes, {}, messages);
        dialog.show();
        auto* buttons = dialog.findChild<QDialogButtonBox*>();
        buttons->button(QDialogButtonBox::Ok)->click();
        ASSERT_TRUE(writes.pending);
        EXPECT_FALSE(buttons->isEnabled());
        EXPECT_TRUE(dialog.windowTitle().endsWith(QStringLiteral("waiting for the directory")));
        QTest::keyClick(&dialog, Qt::Key_Escape);  // the write goes on: the dialog stays
        EXPECT_TRUE(dialog.isVisible());
        writes.pending(written);
        EXPECT_TRUE(buttons->isEnabled());
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Add IP"));
        EXPECT_EQ(dialog.isVisible(), !written) << written;
        if (!written) {
            EXPECT_EQ(dialog.focusWidget(),
                      dialog.findChild<QLineEdit*>(QStringLiteral("portEdit")));
        }

        DeleteStationDialog remove(writes, messages);
        remove.show();
        auto* deleteButton = remove.findChild<QPushButton*>(QStringLiteral("deleteButton"));
        deleteButton->click();
        EXPECT_FALSE(deleteButton->isEnabled());
        QTest::keyClick(&remove, Qt::Key_Escape);
        EXPECT_TRUE(remove.isVisible());
        writes.pending(true);  // the row is there and the operator says Yes
        EXPECT_FALSE(deleteButton->isEnabled()) << "the delete itself is in flight";
        writes.pending(written);
        EXPECT_TRUE(deleteButton->isEnabled());
        EXPECT_EQ(remove.isVisible(), !written) << written;
    }
}

}  // namespace
}  // namespace volnar
