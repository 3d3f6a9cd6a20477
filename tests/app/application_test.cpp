// SPDX-License-Identifier: GPL-3.0-or-later
#include "application_fixture.h"

namespace volnar {
namespace {

TEST_F(ApplicationTest, FirstStartShowsTheTemplateStationIdleAndSendsNothing) {
    QSettings(S(kSettingsOrganization), S(kSettingsApplication)).clear();
    auto app = Make({});
    EXPECT_TRUE(
        QSettings(S(kSettingsOrganization), S(kSettingsApplication)).contains(S(kLocationKey)));
    EXPECT_EQ(app->DatabaseLocation(), DefaultDatabaseLocation());
    EXPECT_EQ(app->Window().ChooserText(), S("10.10.10.10      Default IP"));
    EXPECT_EQ(app->Window().StatusStateText(), S(" Not Connected"));
    EXPECT_EQ(app->Window().StatusMessageText(), S(" MSG:  Choose IP, then Click on Start"));
    EXPECT_EQ(app->Window().findChild<QLabel*>(S("buildNumberLabel"))->text(),
              BuildNumberText(VOLNAR_VERSION_TEXT));
    EXPECT_TRUE(app->AboutTextShown().contains(S("-2026 ")));
    EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();
    EXPECT_FALSE(transport);  // nothing is ever sent to the template station unasked

    // Alt with the letter of a button that is off types nothing into the
    // chooser; Alt with a letter no button has neither.
    app->Show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&app->Window()));
    ASSERT_FALSE(Button(*app, "generalButton")->isEnabled());
    app->Window().Chooser()->setFocus();
    for (const Qt::Key key : {Qt::Key_G, Qt::Key_Q}) {
        QTest::keyClick(app->Window().windowHandle(), key, Qt::AltModifier);
    }
    EXPECT_EQ(app->Window().ChooserText(), S("10.10.10.10      Default IP"));
    QTest::keyClick(app->Window().windowHandle(), Qt::Key_Q);
    EXPECT_EQ(app->Window().ChooserText(), S("10.10.10.10      Default IPq")) << "typing types";
}

TEST_F(ApplicationTest, StartPollsStopReturnsToTheIdleLook) {
    auto app = MakeWithLoopbackStation();
    Button(*app, "startButton")->click();
    Settle(*app);
    ASSERT_TRUE(transport);
    ASSERT_EQ(transport->requests.size(), 1u);
    EXPECT_EQ(transport->requests[0].oid, std::string(board::kStatusRecord));
    EXPECT_EQ(transport->requests[0].requestId, 501);
    EXPECT_EQ(transport->requests[0].station.address, S("127.0.0.1"));
    EXPECT_FALSE(Button(*app, "startButton")->isEnabled());
    EXPECT_EQ(app->Window().StatusStateText(), S(" Connecting"));
    EXPECT_FALSE(Button(*app, "relayButton1")->isEnabled());

    app->Link().HandleBoardResponse({.requestId = 501,
                                     .oid = std::string(board::kStatusRecord),
                                     .value = QByteArray("Probe|1.25|"),
                                     .syntax = kSyntaxOctetString});
    EXPECT_TRUE(Button(*app, "relayButton1")->isEnabled());
    EXPECT_EQ(app->Window().findChild<QLabel*>(S("receivedCount"))->text(), S("1"));
    EXPECT_EQ(app->Window().findChild<QLabel*>(S("adcNameLabel1"))->text(), S("Probe"));

    Button(*app, "stopButton")->click();
    EXPECT_TRUE(Button(*app, "startButton")->isEnabled());
    EXPECT_FALSE(Button(*app, "relayButton1")->isEnabled());
    EXPECT_EQ(app->Window().StatusStateText(), S(" Not Connected"));
    // The readouts return to the panel's idle look (StatusPanel's tests).
    EXPECT_EQ(app->Window().findChild<QLabel*>(S("adcNameLabel1"))->text(), S("Voltmeter 1"));
    EXPECT_EQ(app->Window().findChild<QLabel*>(S("receivedCount"))->text(), S("0"));
}

// Typing in the chooser leaves polling alone; opening its list or a station
// dialog stops it first.
TEST_F(ApplicationTest, ChooserListAndStationDialogsStopPollingFirst) {
    auto app = MakeWithLoopbackStation();
    const QString chosen = app->Window().ChooserText();
    const std::pair<const char*, std::function<void()>> actions[] = {
        {"chooser list",
         [&app] {
             app->Window().Chooser()->setEditText(S("127.0.0.1 typed"));
             EXPECT_EQ(app->Link().State(), ConnectionState::Connecting) << "typing";
             app->Window().Chooser()->showPopup();
         }},
        {"add", [&app] { app->OpenStationDialog(StationDialogMode::Add); }},
        {"edit", [&app] { app->OpenStationDialog(StationDialogMode::Edit); }},
        {"delete", [&app] { app->OpenDeleteStationDialog(); }},
    };
    for (const auto& [name, act] : actions) {
        app->Window().SetChooserText(chosen);
        Button(*app, "startButton")->click();
        Settle(*app);
        ASSERT_EQ(app->Link().State(), ConnectionState::Connecting) << name;
        act();
        EXPECT_EQ(app->Link().State(), ConnectionState::NotConnected) << name;
        EXPECT_TRUE(Button(*app, "startButton")->isEnabled()) << name;
        app->Window().Chooser()->hidePopup();
    }
}

// A station dialog is modal to the main window alone: the fleet overview
// and the trend plot beside it still take the keyboard.
TEST_F(ApplicationTest, StationDialogsLeaveTheFleetAndTrendWindowsUsable) {
    auto app = MakeWithLoopbackStation();
    app->Show();
    QPointer<QDialog> opened;
    QObject::connect(app.get(), &Application::DialogOpened, app.get(),
                     [&opened](QDialog* dialog) { opened = dialog; });
    app->Window().findChild<QAction*>(S("fleetAction"))->trigger();
    auto* fleet = app->Window().findChild<FleetWindow*>();
    ASSERT_NE(fleet, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(fleet));
    TrendWindow* trend = app->OpenTrendWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(trend));
    auto* filter = fleet->findChild<QLineEdit*>(S("fleetFilter"));
    const std::pair<const char*, std::function<void()>> dialogs[] = {
        {"Add IP", [&app] { app->OpenStationDialog(StationDialogMode::Add); }},
        {"relay", [&app] { app->OpenRelayDialog(1); }},
        {"ADC", [&app] { app->OpenAdcDialog(2); }},
        {"station name", [&app] { app->OpenStationNameDialog(); }},
    };
    for (const auto& [name, open] : dialogs) {
        SCOPED_TRACE(name);
        opened = nullptr;
        open();
        ASSERT_TRUE(opened);
        EXPECT_EQ(opened->windowModality(), Qt::WindowModal);
        filter->clear();
        filter->setFocus();
        QTest::keyClick(fleet->windowHandle(), Qt::Key_1);
        EXPECT_EQ(filter->text(), S("1")) << "the fleet overview takes keys";
        const std::int64_t span = trend->View().SpanMs();
        trend->activateWindow();  // its keys are the window's shortcuts
        ASSERT_TRUE(QTest::qWaitForWindowActive(trend));
        QTest::keyClick(trend->windowHandle(), Qt::Key_Minus);
        EXPECT_EQ(trend->View().SpanMs(), 2 * span) << "the trend plot takes keys";
        opened->close();
        Settle(*app);
    }
    // A relay switched from its dialog is watched on the station's fleet
    // row as well.
    app->OpenRelayDialog(2);
    ASSERT_TRUE(qobject_cast<RelayDialog*>(opened));
    Q_EMIT qobject_cast<RelayDialog*>(opened)->SwitchSent(2, 1);
    opened->close();
    int watched = 0;
    for (int n = 0; n < fleet->Poller().RowCount(); ++n) {
        const FleetRow& row = fleet->Poller().Row(n);
        const bool chosen = row.address == app->ChosenAddress();
        watched += chosen ? 1 : 0;
        EXPECT_EQ(row.relays.StatusOf(2),
                  chosen ? RelayConfirmation::Status::Pending : RelayConfirmation::Status::None);
    }
    EXPECT_EQ(watched, 1);
    // So are a channel's triggers the ADC dialog learns.
    app->OpenAdcDialog(3);
    ASSERT_TRUE(qobject_cast<AdcOptionsDialog*>(opened));
    Q_EMIT qobject_cast<AdcOptionsDialog*>(opened)->TriggersKnown(3, S("5.5"), true, S("1"), false);
    opened->close();
    for (int n = 0; n < fleet->Poller().RowCount(); ++n) {
        const FleetRow& row = fleet->Poller().Row(n);
        const std::optional<ChannelTriggers>& known = row.triggers[2];
        if (row.address == app->ChosenAddress()) {
            ASSERT_TRUE(known.has_value());
            EXPECT_EQ(known->high, 5.5);
            EXPECT_FALSE(known->low.has_value());
        } else {
            EXPECT_FALSE(known.has_value());
        }
    }
    // The fleet's row actions reach the main window: the station's trend
    // plot, and Start for it.
    const QString chosen = app->Window().ChooserText();
    trend->close();
    Settle(*app);
    app->Window().SetChooserText(S("127.0.0.7"));
    Q_EMIT fleet->TrendRequested(S("127.0.0.1"));
    EXPECT_EQ(app->Window().ChooserText(), chosen);
    ASSERT_NE(app->Window().findChild<TrendWindow*>(), nullptr);
    EXPECT_TRUE(app->Window().findChild<TrendWindow*>()->isVisible());
    EXPECT_EQ(app->Link().State(), ConnectionState::NotConnected);
    app->Window().SetChooserText(S("127.0.0.7"));
    Q_EMIT fleet->StartRequested(S("127.0.0.1"));
    Settle(*app);
    EXPECT_EQ(app->Window().ChooserText(), chosen);
    EXPECT_EQ(app->Link().State(), ConnectionState::Connecting);
}

// Every way polling stops is a gap in the station's history, not a new
// history; another station has its own, and choosing the first again shows
// the first's. The watch's clock is stepped by hand: the samples follow the
// steady clock and mark the setting of the wall clock.
TEST_F(ApplicationTest, StopsAreGapsInEachStationsHistoryAndAClockSettingIsMarked) {
    auto app = MakeWithLoopbackStation();
    ASSERT_TRUE(app->Directory().AddStation(
        {S("127.0.0.2"), S("public"), S("second"), {}, S("161"), S("1"), S("0")}));
    ClockReading clock{1'000'000, 1'700'000'000'000};
    app->Watch().SetClock([&clock] { return clock; });
    TrendWindow* trend = app->OpenTrendWindow();
    const auto answer = [&](int errorStatus = 0) {
        clock.steadyMs += 1000;
        clock.wallMs += 1000;
        Settle(*app);
        if (app->Link().StatusRequestId() == 0) {
            app->Link().PollTick();
            Settle(*app);
        }
        ASSERT_NE(app->Link().StatusRequestId(), 0);
        app->Link().HandleBoardResponse({.requestId = app->Link().StatusRequestId(),
                                         .errorStatus = errorStatus,
                                         .oid = std::string(board::kStatusRecord),
                                         .value = QByteArray("Probe|1.25|"),
                                         .syntax = kSyntaxOctetString});
    };
    // Each stop, and the box the operator gets for it.
    const std::tuple<const char*, std::function<void()>, QStringList> stops[] = {
        {"STOP", [&] { Button(*app, "stopButton")->click(); }, {}},
        {"the chooser's list", [&] { app->Window().Chooser()->showPopup(); }, {}},
        {"an error answer", [&] { answer(5); }, {S("SNMP_ERR_GENERR")}},
        {"30 time-outs in a row",
         [&] {
             while (app->Link().IsSessionOpen()) {
                 app->Link().PollTick();
                 app->Link().HandleTimeOut(app->Link().StatusRequestId());
             }
         },
         {S(kErrorTimeOut)}},
    };
    std::size_t size = 0;
    for (const auto& [name, stop, boxes] : stops) {
        app->Window().Chooser()->hidePopup();
        Button(*app, "startButton")->click();
        answer();
        messages.boxes.clear();
        stop();
        ASSERT_EQ(messages.boxes.size(), static_cast<std::size_t>(boxes.size())) << name;
        for (int i = 0; i < boxes.size(); ++i) {
            EXPECT_TRUE(messages.boxes[i].text.contains(boxes[i])) << name;
        }
        const SampleHistory& history = app->Watch().History();
        EXPECT_EQ(history.station, S("127.0.0.1")) << name;
        ASSERT_EQ(history.Size(), size += 2) << name;
        EXPECT_FALSE(history.At(size - 2).IsGap()) << name;
        EXPECT_EQ(history.Latest()->gap, Gap::NotPolled) << name;
    }
    messages.boxes.clear();
    Button(*app, "startButton")->click();
    clock.wallMs -= 3600 * 1000;  // set back an hour
    answer();
    EXPECT_TRUE(app->Watch().History().Latest()->clockStep);
    EXPECT_EQ(app->Watch().History().Latest()->steadyMs, clock.steadyMs);
    size += 1;

    for (const char* station : {"127.0.0.2", "127.0.0.1"}) {
        app->Window().SetChooserText(S(station));
        answer();
        EXPECT_EQ(app->Watch().History().station, S(station));
        EXPECT_EQ(trend->NoticeText(), S("Station %1").arg(S(station)));
    }
    const SampleHistory& first = app->Watch().History();
    ASSERT_EQ(first.Size(), size + 2);
    EXPECT_EQ(first.At(size).gap, Gap::NotPolled) << "polled the other station meanwhile";
    EXPECT_EQ(app->Watch().Histories().Count(), 2U);
    EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();
}

TEST_F(ApplicationTest, PlaceholderButtonsSayPlaceHolderAndChangeNothing) {
    auto app = MakeWithLoopbackStation();
    app->Window().SetStationControlsEnabled(true);
    for (const char* name : {"generalButton", "alarmPinButton1", "alarmPinButton5", "rdbButton",
                             "temperatureButton"}) {
        messages.boxes.clear();
        Button(*app, name)->click();
        ASSERT_EQ(messages.boxes.size(), 1u) << name;
        EXPECT_EQ(messages.boxes[0].text, S("Place Holder !"));
        EXPECT_EQ(messages.boxes[0].caption, S("Place Holder !"));
        EXPECT_EQ(messages.boxes[0].icon, MessageIcon::None);
    }
    EXPECT_FALSE(transport);
}

TEST_F(ApplicationTest, ExitButtonAndFileExitCloseTheWindowAndTheDirectory) {
    for (const bool menu : {false, true}) {
        auto app = MakeWithLoopbackStation();
        app->Show();
        Button(*app, "startButton")->click();
        if (menu) {
            app->Window().findChild<QAction*>(S("exitAction"))->trigger();
        } else {
            Button(*app, "exitButton")->click();
        }
        EXPECT_FALSE(app->Window().isVisible()) << menu;
        EXPECT_EQ(app->Link().State(), ConnectionState::NotConnected) << menu;
        EXPECT_FALSE(app->Directory().IsConnected()) << menu;
    }
}

// Controls an operator acts on; the parts of a composite control (a combo's
// edit, a view's scroll bars and headers) are named by the control itself.
bool Interactive(QWidget* widget) {
    for (QWidget* up = widget->parentWidget(); up && !up->isWindow(); up = up->parentWidget()) {
        if (qobject_cast<QComboBox*>(up) || qobject_cast<QAbstractSpinBox*>(up) ||
            qobject_cast<QAbstractItemView*>(up)) {
            return false;
        }
    }
    if (qobject_cast<QScrollBar*>(widget) || qobject_cast<QHeaderView*>(widget)) {
        return false;
    }
    return qobject_cast<QAbstractButton*>(widget) || qobject_cast<QLineEdit*>(widget) ||
           qobject_cast<QComboBox*>(widget) || qobject_cast<QAbstractSpinBox*>(widget) ||
           qobject_cast<QAbstractSlider*>(widget) || qobject_cast<QAbstractItemView*>(widget) ||
           qobject_cast<QPlainTextEdit*>(widget) || qobject_cast<QTextEdit*>(widget);
}

// What a screen reader would miss in one window: a control without a name,
// two controls of one name, a table cell without a name.
QStringList AccessibilityProblems(QWidget* window) {
    QStringList problems;
    QHash<QString, QString> named;
    QHash<QWidget*, QString> labelled;  // what a label names by its buddy
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (label->buddy()) {
            labelled.insert(label->buddy(), QString(label->text()).remove(u'&'));
        }
    }
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (widget->window() != window || !Interactive(widget) || !widget->isVisibleTo(window)) {
            continue;
        }
        // As a screen reader finds it: the control's own name, the label
        // that names it, or what the control says of itself.
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        QString name = widget->accessibleName();
        if (name.isEmpty()) {
            name = labelled.value(widget);
        }
        if (name.isEmpty() && accessible) {
            name = accessible->text(QAccessible::Name);
        }
        name = name.trimmed();
        const QString who = window->objectName() + u'/' + widget->objectName();
        if (name.isEmpty()) {
            problems << who + S(": no name");
        } else if (named.contains(name)) {
            problems << who + S(": same name as ") + named[name] + S(" \"") + name + u'"';
        } else {
            named.insert(name, widget->objectName());
        }
        if (qobject_cast<QAbstractItemView*>(widget) && accessible) {
            for (int i = 0; i < accessible->childCount(); ++i) {
                QAccessibleInterface* cell = accessible->child(i);
                if (cell && cell->role() == QAccessible::Cell &&
                    cell->text(QAccessible::Name).trimmed().isEmpty()) {
                    problems << who + S(": cell ") + QString::number(i) + S(" has no name");
                }
            }
        }
    }
    return problems;
}

TEST_F(ApplicationTest, EveryControlOfEveryWindowHasItsOwnAccessibleName) {
    auto app = MakeWithLoopbackStation();
    app->Window().SetStationControlsEnabled(true);
    QList<QPointer<QWidget>> windows{&app->Window()};
    QObject::connect(app.get(), &Application::DialogOpened, app.get(),
                     [&windows](QDialog* dialog) { windows << dialog; });
    app->OpenStationDialog(StationDialogMode::Add);
    app->OpenDeleteStationDialog();
    app->OpenStationDialog(StationDialogMode::Edit);
    Settle(*app);  // Edit IP opens once the worker has read the row
    app->OpenRelayDialog(1);
    app->OpenAdcDialog(1);
    app->OpenStationNameDialog();
    app->Window().findChild<QAction*>(S("aboutAction"))->trigger();
    windows << new DatabaseOptionsDialog(S("/old.db"), S("/in/use.db"), &app->Window());
    for (const scripts::EditorMode mode :
         {scripts::EditorMode::NewRelay, scripts::EditorMode::NewIo}) {
        windows << new scripts::ScriptEditorDialog(mode, {}, app->Link(), messages, &app->Window());
    }
    windows << new EmailAlertDialog(AlertEditorMode::New, {}, app->Link(), messages,
                                    &app->Window());
    windows << new SmsAlertDialog(AlertEditorMode::New, {}, app->Link(), messages, &app->Window());
    for (const TableListSettings& settings : {scripts::ScriptListSettings(), AlertListSettings()}) {
        auto* list = new TableListDialog(settings, app->Link(), messages, &app->Window());
        list->Grid().AddRowTexts({S("1"), S("relay"), S("Pump"), S("Starts the pump")});
        windows << list;
    }
    ASSERT_EQ(windows.size(), 15);
    QStringList problems;
    for (QWidget* window : windows) {
        ASSERT_TRUE(window);
        window->show();
        problems << AccessibilityProblems(window);
    }
    EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
}

// A notice over a dialog: when it has gone, what the operator types lands in
// the dialog's field again, not in the blocked main window.
TEST_F(ApplicationTest, KeyboardReturnsToTheDialogWhenANoticeCloses) {
    auto app = MakeWithLoopbackStation();
    app->Show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&app->Window()));
    QPointer<QDialog> dialog;
    QObject::connect(app.get(), &Application::DialogOpened, app.get(),
                     [&dialog](QDialog* opened) { dialog = opened; });
    app->OpenStationDialog(StationDialogMode::Add);
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
    auto* comment = dialog->findChild<QLineEdit*>(S("commentEdit"));
    comment->setFocus();
    QPointer<NoticePopup> popup;
    QObject::connect(app.get(), &Application::NoticePopupOpened, app.get(),
                     [&popup](NoticePopup* opened) { popup = opened; });
    app->Notices().ShowNotice(7);
    ASSERT_TRUE(popup);
    EXPECT_EQ(popup->parentWidget(), dialog.data());  // over the dialog, not the main window
    ASSERT_TRUE(QTest::qWaitFor([&popup] { return !popup; }, 5000));
    QTest::qWait(50);
    EXPECT_EQ(QApplication::activeWindow(), dialog.data());
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    QTest::keyClicks(QApplication::focusWidget(), S("typed"));
    EXPECT_EQ(comment->text(), S("typed"));
}

}  // namespace
}  // namespace volnar
