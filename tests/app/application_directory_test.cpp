// SPDX-License-Identifier: GPL-3.0-or-later
// The directory through the application: Set Default, the station dialogs'
// writes through the worker, and answers that go only to the screen that
// asked.
#include "application_fixture.h"

namespace volnar {
namespace {

TEST_F(ApplicationTest, SetDefaultMarksTheChosenStationAndReloadsTheChooser) {
    auto app = MakeWithLoopbackStation();
    app->Window().SetChooserText(S("10.10.10.10      Default IP"));
    Button(*app, "setDefaultButton")->click();
    Settle(*app);
    EXPECT_EQ(messages.Texts(), QStringList{S("                   Default IP Address Set!")});
    EXPECT_EQ(app->Directory().LookupStation(S("10.10.10.10")).record.DEFAULT, S("YES"));
    EXPECT_EQ(app->Directory().LookupStation(S("127.0.0.1")).record.DEFAULT, S("NO"));
    EXPECT_EQ(app->Window().ChooserText(), S("10.10.10.10      Default IP"));
    EXPECT_FALSE(transport) << "choosing the template station sends it nothing";
    // A station that is not in the table: an error box, and nothing changes.
    messages.boxes.clear();
    app->Window().SetChooserText(S("127.0.0.99"));
    Button(*app, "setDefaultButton")->click();
    Settle(*app);
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].text, S(kDefaultNotInTable));
    EXPECT_EQ(messages.boxes[0].icon, MessageIcon::Error);
    EXPECT_EQ(app->Directory().LookupStation(S("10.10.10.10")).record.DEFAULT, S("YES"));
}

// The station dialogs write through the directory's worker; a changed row is
// read afresh before the station is polled again.
TEST_F(ApplicationTest, EditAndDeleteIpWriteThroughTheWorkerAndTheNextStartUsesTheNewRow) {
    auto app = MakeWithLoopbackStation();
    Button(*app, "startButton")->click();
    Settle(*app);
    ASSERT_TRUE(transport);
    ASSERT_EQ(transport->requests.size(), 1u);
    EXPECT_EQ(transport->requests[0].station.port, 161);

    Button(*app, "editIpButton")->click();
    Settle(*app);
    QPointer<StationDialog> dialog = app->Window().findChild<StationDialog*>();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->Form().password, S("public"));
    dialog->findChild<QLineEdit*>(S("portEdit"))->setText(S("1161"));
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    Settle(*app);
    EXPECT_EQ(messages.Texts(), QStringList{S(kStationUpdated)});
    EXPECT_TRUE(dialog.isNull()) << "closed (and deleted) once the row was written";

    Button(*app, "startButton")->click();
    Settle(*app);
    ASSERT_TRUE(transport);
    ASSERT_EQ(transport->requests.size(), 1u);
    EXPECT_EQ(transport->requests[0].station.port, 1161);

    // The chooser shows the station just added or edited, not the default.
    for (const StationDialogMode mode : {StationDialogMode::Add, StationDialogMode::Edit}) {
        app->OpenStationDialog(mode);
        Settle(*app);
        QPointer<StationDialog> station = app->Window().findChild<StationDialog*>();
        ASSERT_TRUE(station);
        if (mode == StationDialogMode::Add) {
            station->findChild<Ipv4Edit*>()->SetAddress(S("127.0.0.2"));
            station->findChild<QLineEdit*>(S("passwordEdit"))->setText(S("p"));
        }
        station->findChild<QLineEdit*>(S("commentEdit"))->setText(S("pump"));
        station->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        Settle(*app);
        ASSERT_TRUE(station.isNull());
        EXPECT_EQ(app->Window().ChooserText(), StationEntry(S("127.0.0.2"), S("pump")));
    }

    // Delete IP deletes on the operator's Yes (No keeping the station: the
    // station dialogs' own tests).
    messages.boxes.clear();
    messages.answers = {true};
    Button(*app, "deleteIpButton")->click();
    Settle(*app);
    QPointer<DeleteStationDialog> deleting = app->Window().findChild<DeleteStationDialog*>();
    ASSERT_TRUE(deleting);
    deleting->findChild<QComboBox*>()->setEditText(S("127.0.0.1"));
    deleting->findChild<QPushButton*>(S("deleteButton"))->click();
    Settle(*app);
    ASSERT_FALSE(messages.boxes.empty());
    EXPECT_TRUE(messages.Texts().front().startsWith(S("Delete the station 127.0.0.1")));
    EXPECT_EQ(app->Directory().LookupStation(S("127.0.0.1")).status, LookupStatus::NotFound);
    EXPECT_TRUE(deleting.isNull());
}

// However slow the directory, each answer reaches the dialog that asked and
// no other: a dialog waiting for its write stays until the answer (Escape does
// nothing meanwhile), and one that is gone takes nobody else's answer.
TEST_F(ApplicationTest, DirectoryAnswersReachOnlyTheDialogThatAsked) {
    for (const bool escape : {true, false}) {
        auto app = MakeWithLockableStation();
        QPointer<QDialog> opened;
        QObject::connect(app.get(), &Application::DialogOpened, app.get(),
                         [&opened](QDialog* dialog) { opened = dialog; });
        const auto leave = [escape](QDialog* dialog) {
            if (escape) {
                QTest::keyClick(dialog, Qt::Key_Escape);
            } else {
                delete dialog;
            }
        };
        const auto add = [&](const char* address, const char* password) {
            app->OpenStationDialog(StationDialogMode::Add);
            auto* dialog = qobject_cast<StationDialog*>(opened.data());
            dialog->findChild<Ipv4Edit*>()->SetAddress(S(address));
            dialog->findChild<QLineEdit*>(S("passwordEdit"))->setText(S(password));
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
            return QPointer<StationDialog>(dialog);
        };
        FileLock lock(lockable);
        app->OpenDeleteStationDialog();
        leave(opened);  // while its address list is on the way
        QPointer<StationDialog> first = add("127.0.0.50", "pw");
        leave(first);
        if (escape) {
            ASSERT_TRUE(first);
            EXPECT_TRUE(first->isVisible()) << "left while its write was in flight";
            EXPECT_TRUE(first->windowTitle().endsWith(S("waiting for the directory")));
        }
        QPointer<StationDialog> second = add("127.0.0.1", "typed");  // already listed
        app->OpenDeleteStationDialog();
        QPointer<QDialog> remove = opened;
        lock.Release();
        Settle(*app);
        EXPECT_TRUE(first.isNull()) << "closed on its own write's success";
        EXPECT_EQ(messages.Texts(), QStringList{S(kAddressExists)});
        ASSERT_TRUE(second) << escape;
        EXPECT_TRUE(second->isVisible());
        EXPECT_EQ(second->Form().password, S("typed"));
        ASSERT_NE(second->focusWidget(), nullptr);
        EXPECT_EQ(second->focusWidget()->objectName(), S("octet1"));
        ASSERT_TRUE(remove);
        EXPECT_GE(remove->findChild<QComboBox*>()->findText(S("127.0.0.50")), 0)
            << "the list read after the write";
        EXPECT_EQ(app->Directory().LookupStation(S("127.0.0.50")).status, LookupStatus::Found);
        messages.boxes.clear();
    }
}

// Edit IP opens once the directory has read the row: pressed again while that
// read waits, it does nothing; Add pressed meanwhile takes its place.
TEST_F(ApplicationTest, EditIpWaitingForItsRowOpensOneDialog) {
    for (const char* then : {"editIpButton", "addIpButton"}) {
        auto app = MakeWithLockableStation();
        FileLock lock(lockable);
        Button(*app, "editIpButton")->click();
        Button(*app, then)->click();
        lock.Release();
        Settle(*app);
        const QList<StationDialog*> dialogs = app->Window().findChildren<StationDialog*>();
        ASSERT_EQ(dialogs.size(), 1) << then;
        const bool edit = S(then) == S("editIpButton");
        EXPECT_EQ(dialogs[0]->windowTitle(), edit ? S("Edit IP") : S("Add IP"));
        EXPECT_EQ(dialogs[0]->Form().password, edit ? S("public") : S(""));
    }
}

}  // namespace
}  // namespace volnar
