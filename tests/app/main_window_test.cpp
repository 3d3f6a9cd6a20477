// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

#include "core/relay_confirmation.h"
#include "core/status_panel.h"
#include "support/qt_print.h"
#include "support/status_fields.h"

namespace volnar {
namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

TEST(RelayStateColor, ByTheStartOfTheTrimmedText) {
    struct Case {
        const char* text;
        std::optional<QColor> colour;
    } const cases[] = {
        {"==========", QColor(0, 0, 0)},
        {"ON", QColor(0, 170, 0)},
        {"  ON  ", QColor(0, 170, 0)},
        {"OFF", QColor(255, 0, 0)},
        {"OF", QColor(255, 0, 0)},
        {"on", std::nullopt},
        {"2", std::nullopt},
        {"", std::nullopt},
        {"         ON", std::nullopt},  // only the first nine characters count
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RelayStateColor(S(c.text)), c.colour) << c.text;
    }
}

TEST(MainWindow, ChooserPreselectsTheDefaultAndEmptiesWithoutOne) {
    MainWindow window;
    window.SetStationList({{S("127.0.0.1        one"), S("127.0.0.2        two")}, 1});
    EXPECT_EQ(window.ChooserText(), S("127.0.0.2        two"));
    window.SetStationList({{S("127.0.0.1        one")}, -1});
    EXPECT_EQ(window.ChooserText(), QString());
    EXPECT_EQ(window.Chooser()->count(), 1);
}

// The longest texts the status bar shows at once, each whole at the window's
// default size; the product line alone may be left out for want of room.
TEST(MainWindow, StatusBarShowsItsLongestTextsWhole) {
    MainWindow window;
    window.ShowStatusTexts({
        .state = S(" No answer for 120 s"),
        .message = S(" MSG: No answer, restarting in 300 s"),
        .directory = S(" Directory not answering"),
        .health = S("Last answer 120 s ago, round trip 1500 ms"),
        .recording =
            S("REC \u25CF station-2.csv (not recording: No space left on device; retrying)"),
        .recordingPath = QString(),
    });
    // The default size on a screen with room for it (the offscreen one has
    // little); the hint is what a window is first shown at.
    window.resize(window.sizeHint());
    window.show();
    QCoreApplication::processEvents();
    for (const char* name : {"statusLabel", "statusState", "statusMessage", "statusDirectory",
                             "statusRecording", "statusHealth"}) {
        const auto* label = window.findChild<QLabel*>(QLatin1String(name));
        ASSERT_NE(label, nullptr) << name;
        EXPECT_GE(label->contentsRect().width(),
                  label->fontMetrics().horizontalAdvance(label->text()))
            << name << ": " << qPrintable(label->text()) << ", window " << window.width();
    }
}

// The state label is as wide as its longest note: a relay waiting for its
// switch to show moves no button.
TEST(MainWindow, ARelayNoteMovesNoRelayButton) {
    MainWindow window;
    window.show();
    QCoreApplication::processEvents();
    const auto* button = window.findChild<QPushButton*>(QStringLiteral("relayButton2"));
    ASSERT_NE(button, nullptr);
    const QPoint at = button->mapTo(&window, QPoint());
    for (const QString& note : RelayConfirmation::NoteTexts()) {
        window.SetRelayNote(2, note);
        QCoreApplication::processEvents();
        EXPECT_EQ(button->mapTo(&window, QPoint()), at) << qPrintable(note);
        EXPECT_EQ(window.RelayStateLabelText(2), note);
    }
}

TEST(MainWindow, StationControlsStartDisabledFollowTheConnectionAndReportTheirNumber) {
    MainWindow window;
    const char* controls[] = {"relayButton1", "relayButton4",         "scriptsButton",
                              "alertsButton", "generalButton",        "adcButton1",
                              "adcButton8",   "alarmPinButton1",      "alarmPinButton5",
                              "rdbButton",    "stationNameSetButton", "temperatureButton"};
    for (const char* name : controls) {
        auto* control = window.findChild<QPushButton*>(S(name));
        ASSERT_NE(control, nullptr) << name;
        EXPECT_FALSE(control->isEnabled()) << name;
    }
    window.SetStationControlsEnabled(true);
    for (const char* name : controls) {
        EXPECT_TRUE(window.findChild<QPushButton*>(S(name))->isEnabled()) << name;
    }
    EXPECT_TRUE(window.findChild<QPushButton*>(S("startButton"))->isEnabled());
    // Each button reports its own number.
    QSignalSpy relay(&window, &MainWindow::RelayRequested);
    QSignalSpy adc(&window, &MainWindow::AdcRequested);
    window.findChild<QPushButton*>(S("relayButton3"))->click();
    window.findChild<QPushButton*>(S("adcButton7"))->click();
    ASSERT_EQ(relay.size(), 1);
    EXPECT_EQ(relay[0][0].toInt(), 3);
    ASSERT_EQ(adc.size(), 1);
    EXPECT_EQ(adc[0][0].toInt(), 7);
}

TEST(MainWindow, ShowsThePanelAndColoursRelayStates) {
    MainWindow window;
    testing::StatusFields record;
    record.AdcName(8) = "In8";
    record.Reading(1) = "1.5";
    record.Precision(1) = "1";
    record.StationName() = "Station A";
    record.RelayState(1) = record.RelayState(4) = "1";  // 2 stays "0"
    record.RelayState(3) = "2";
    StatusPanel panel;
    panel.ShowStatusRecord(record.Join());
    window.ShowPanel(panel);
    EXPECT_EQ(window.findChild<QLabel*>(S("adcNameLabel8"))->text(), S("In8"));
    EXPECT_EQ(window.findChild<QLineEdit*>(S("adcValueEdit1"))->text(), S(" 1.5"));
    EXPECT_EQ(window.findChild<QLineEdit*>(S("stationNameEdit"))->text(), S("Station A"));
    auto* on = window.findChild<QLabel*>(S("relayStateLabel1"));
    auto* off = window.findChild<QLabel*>(S("relayStateLabel2"));
    auto* unknown = window.findChild<QLabel*>(S("relayStateLabel3"));
    EXPECT_EQ(on->text(), S("ON"));
    EXPECT_TRUE(on->styleSheet().contains(QColor(0, 170, 0).name()));
    EXPECT_TRUE(off->styleSheet().contains(QColor(255, 0, 0).name()));
    // State 2 keeps the idle text and its black.
    EXPECT_EQ(unknown->text(), S("=========="));
    EXPECT_TRUE(unknown->styleSheet().contains(QColor(0, 0, 0).name()));

    panel.ResetReadouts();
    window.ShowPanel(panel);
    EXPECT_EQ(window.findChild<QLabel*>(S("adcNameLabel1"))->text(), S("Voltmeter 1"));
    EXPECT_EQ(window.findChild<QLabel*>(S("relayNameLabel1"))->text(), S("Relay"));
    EXPECT_TRUE(on->styleSheet().contains(QColor(0, 0, 0).name()));
}

// Tab from the chooser visits every control once, the readouts never, so
// the relays are a few presses away; every mnemonic is taken once.
TEST(MainWindow, TabVisitsEveryControlOnceAndEachMnemonicIsUnique) {
    MainWindow window;
    window.SetStationControlsEnabled(true);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.Chooser()->setFocus();
    QStringList visited{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < 60; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        if (focus == window.Chooser()) {
            break;
        }
        visited << focus->objectName();
    }
    for (QLineEdit* edit : window.findChildren<QLineEdit*>()) {
        if (edit->isReadOnly()) {
            EXPECT_FALSE(visited.contains(edit->objectName())) << edit->objectName().toStdString();
        }
    }
    EXPECT_EQ(QSet<QString>(visited.begin(), visited.end()).size(), visited.size());
    EXPECT_EQ(visited.size(), window.findChildren<QPushButton*>().size() + 1)
        << visited.join(u' ').toStdString();
    EXPECT_LT(visited.indexOf(S("relayButton1")), 16) << visited.join(u' ').toStdString();

    QMultiHash<QChar, QString> mnemonics;
    auto take = [&mnemonics](const QString& text, const QString& who) {
        const qsizetype at = text.indexOf(u'&');
        if (at >= 0 && at + 1 < text.size()) {
            mnemonics.insert(text.at(at + 1).toUpper(), who);
        }
    };
    for (QPushButton* button : window.findChildren<QPushButton*>()) {
        take(button->text(), button->objectName());
    }
    for (QAction* menu : window.menuBar()->actions()) {
        take(menu->text(), menu->text());
    }
    for (const char* name : {"startButton", "stopButton", "exitButton", "relayButton1",
                             "addIpButton", "scriptsButton"}) {
        EXPECT_TRUE(window.findChild<QPushButton*>(S(name))->text().contains(u'&')) << name;
    }
    for (const QChar key : mnemonics.uniqueKeys()) {
        EXPECT_EQ(mnemonics.count(key), 1)
            << QString(key).toStdString() << ": " << mnemonics.values(key).join(u' ').toStdString();
    }
    EXPECT_EQ(QKeySequence::mnemonic(window.findChild<QPushButton*>(S("startButton"))->text()),
              QKeySequence(Qt::ALT | Qt::Key_S));
}

// The status bar's shared parts: the newer writer wins, and a text the link
// sets anew takes its part back.
TEST(StatusBarState, NewerWriterOfASharedPartWins) {
    StatusBarState bar;
    int changes = 0;
    QObject::connect(&bar, &StatusBarState::Changed, &bar, [&changes] { ++changes; });
    using Step = void (*)(StatusBarState&);
    const struct {
        const char* what;
        Step step;
        const char* state;
        const char* message;
    } steps[] = {
        // clang-format off
        {"link connects", [](StatusBarState& b) { b.SetLinkState(S(" Connected")); }, " Connected", ""},
        {"link polls", [](StatusBarState& b) { b.SetLinkMessage(S(" MSG: Data Polling .")); }, " Connected", " MSG: Data Polling ."},
        {"station silent", [](StatusBarState& b) { b.SetSilence(S(" No answer for 4 s")); }, " No answer for 4 s", " MSG: Data Polling ."},
        {"message goes on", [](StatusBarState& b) { b.SetLinkMessage(S(" MSG: Data Polling ..")); }, " No answer for 4 s", " MSG: Data Polling .."},
        {"link stops", [](StatusBarState& b) { b.SetLinkState(S(" Not connected")); }, " Not connected", " MSG: Data Polling .."},
        {"restart note", [](StatusBarState& b) { b.SetNote(S(" MSG: No answer, restarting in 2 s")); }, " Not connected", " MSG: No answer, restarting in 2 s"},
        {"directory gone", [](StatusBarState& b) { b.SetDirectory(S(" Directory not answering")); }, " Not connected", " MSG: No answer, restarting in 2 s"},
        {"link restarts", [](StatusBarState& b) { b.SetLinkMessage(S(" MSG: Connecting")); }, " Not connected", " MSG: Connecting"},
        {"answers again", [](StatusBarState& b) { b.SetSilence(QString()); }, " Not connected", " MSG: Connecting"},
        // clang-format on
    };
    for (const auto& s : steps) {
        s.step(bar);
        EXPECT_EQ(bar.Texts().state, S(s.state)) << s.what;
        EXPECT_EQ(bar.Texts().message, S(s.message)) << s.what;
    }
    EXPECT_EQ(bar.Texts().directory, S(" Directory not answering")) << "kept through the others";
    EXPECT_EQ(changes, 8) << "the last step changed nothing shown";
}

}  // namespace
}  // namespace volnar
