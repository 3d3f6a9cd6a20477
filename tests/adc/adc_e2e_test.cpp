// SPDX-License-Identifier: GPL-3.0-or-later
// The ADC options dialog against volnar-station on loopback: a real board
// link with net-snmp sessions, the simulator's request log as the witness.
#include <gtest/gtest.h>
#include <QSignalSpy>

#include <QCheckBox>
#include <QComboBox>
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>

#include "adc/adc_options_dialog.h"
#include "core/status_panel.h"
#include "link/board_commands.h"
#include "link/board_link.h"
#include "link/board_objects.h"
#include "support/gui_helpers.h"
#include "support/qt_print.h"
#include "support/recording_message_service.h"
#include "support/simulator_link.h"

namespace volnar {
namespace {

using ::volnar::testing::WaitFor;

QString S(const char* text) {
    return QString::fromUtf8(text);
}

QString Object(std::string_view object) {
    return QString::fromLatin1(object.data(), static_cast<qsizetype>(object.size()));
}

class AdcE2E : public testing::SimulatorLinkTest {
protected:
    void Begin(const QStringList& more = {}, const QString& timeout = S("10"),
               const QString& retries = S("2")) {
        StartSimulatorAndLink(
            QStringList{S("--alerts"), S("3"), S("--scripts"), S("3"), S("--seed"), S("7")} + more,
            S("public"), timeout, retries);
        if (HasFatalFailure()) {
            return;
        }
        QObject::connect(
            link.get(), &BoardLink::StatusRecordReceived, &panel, [this](const QByteArray& status) {
                panel.ShowStatusRecord(
                    std::string_view(status.constData(), static_cast<std::size_t>(status.size())));
            });
        QObject::connect(link.get(), &BoardLink::NoticeRequested, &panel,
                         [this](int code, NoticeFollowUp) { notices << NoticeText(code); });
        link->Start();
        ASSERT_TRUE(WaitFor([this] { return link->ReceivedCount() >= 2; }));
    }

    AdcOptionsDialog& Open(int channel) {
        dialog = new AdcOptionsDialog(channel, *link, panel, messages);
        dialog->show();
        return *dialog;
    }

    template <typename T>
    T* Find(const char* name) const {
        return ::volnar::testing::FindChild<T>(dialog, name);
    }

    QStringList Texts(const char* list) const {
        QStringList texts;
        const auto* widget = Find<QListWidget>(list);
        for (int row = 0; row < widget->count(); ++row) {
            texts << widget->item(row)->text();
        }
        return texts;
    }

    // The log lines of requests for `oid` with `id`.
    QList<QJsonObject> RequestsFor(std::string_view oid) const {
        QList<QJsonObject> found;
        for (const QJsonObject& line : sim->Requests()) {
            if (line[S("oid")].toString() == Object(oid)) {
                found << line;
            }
        }
        return found;
    }

    void TearDown() override {
        delete dialog.data();
        if (link) {
            link->StopPolling();
        }
    }

    StatusPanel panel;
    QPointer<AdcOptionsDialog> dialog;
    QStringList notices;
};

TEST_F(AdcE2E, AdcDataLoadFillsPoolsRecordAndActionsFromTheStation) {
    ASSERT_NO_FATAL_FAILURE(Begin());
    // The station's channel 2: alerts 3, 12 (none such) and 1 on the high
    // trigger, script 3 on high normal, script 2 on low, 60 min / 90 s flaps.
    QObject screen;
    commands::UploadChannelSettings(
        *link, &screen, 2, "2|2.0000|1.5000|1|0|3.12.1.|||3.|||2.||3600|90|1.0000|3|v|0|0|");
    ASSERT_TRUE(WaitFor([this] { return notices.contains(S("ADC 2 Updated !")); }));

    AdcOptionsDialog& d = Open(2);
    QSignalSpy triggers(&d, &AdcOptionsDialog::TriggersKnown);
    ASSERT_TRUE(WaitFor([&d] { return !d.IsLoading(); }));
    EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();
    // For the trend plot's lines: the levels and switches as read.
    ASSERT_EQ(triggers.size(), 1);
    EXPECT_EQ(triggers[0], (QVariantList{2, S("2.0000"), true, S("1.5000"), false}));

    const QStringList alerts = {S("EMAIL-Alert 1"), S("SMS-Alert 2"), S("EMAIL-Alert 3")};
    const QStringList scripts = {S("RELAY-Script 1"), S("IO-Script 2"), S("RELAY-Script 3")};
    for (const std::string trigger : {"high", "highNormal", "low", "lowNormal"}) {
        EXPECT_EQ(Texts((trigger + "AlertPool").c_str()), alerts) << trigger;
        EXPECT_EQ(Texts((trigger + "ScriptPool").c_str()), scripts) << trigger;
    }
    EXPECT_EQ(Texts("highAlertActions"), (QStringList{S("EMAIL-Alert 3"), S("EMAIL-Alert 1")}));
    EXPECT_EQ(Texts("highNormalScriptActions"), QStringList{S("RELAY-Script 3")});
    EXPECT_EQ(Texts("lowScriptActions"), QStringList{S("IO-Script 2")});
    EXPECT_TRUE(Texts("lowAlertActions").isEmpty());
    EXPECT_EQ(Find<QLineEdit>("highValueEdit")->text(), S("2.0000"));
    EXPECT_TRUE(Find<QCheckBox>("highEnabledCheck")->isChecked());
    EXPECT_FALSE(Find<QCheckBox>("lowEnabledCheck")->isChecked());
    EXPECT_EQ(Find<QComboBox>("highFlapCombo")->currentText(), S("60 Minutes"));
    EXPECT_EQ(Find<QComboBox>("lowFlapCombo")->currentText(), S("Continous"));
    EXPECT_EQ(Find<QLineEdit>("precisionEdit")->text(), S("3"));
    EXPECT_EQ(Find<QLineEdit>("nameEdit")->text(), panel.AdcName(2));
}

// Channel 1's dialog is cancelled while its load is still being answered and
// channel 2's opens: channel 2's dialog takes its own load alone, and OK
// uploads exactly the station's settings.
TEST_F(AdcE2E, AdcCancelledLoadLeavesTheNextChannelsDialogAlone) {
    ASSERT_NO_FATAL_FAILURE(Begin({S("--delay"), S("60")}));
    QObject screen;
    commands::UploadChannelSettings(
        *link, &screen, 2, "2|2.0000|1.5000|1|0|1.2.3.|||3.|||2.||3600|60|1.0000|3|v|0|0|");
    ASSERT_TRUE(WaitFor([this] { return notices.contains(S("ADC 2 Updated !")); }));

    Open(1);
    ASSERT_TRUE(WaitFor([this] { return Find<QListWidget>("highAlertPool")->count() >= 1; }));
    delete dialog.data();  // Cancel while the load runs
    AdcOptionsDialog& d = Open(2);
    EXPECT_FALSE(Find<QPushButton>("okButton")->isEnabled());
    ASSERT_TRUE(WaitFor([&d] { return !d.IsLoading(); }));
    EXPECT_TRUE(Find<QPushButton>("okButton")->isEnabled());
    EXPECT_EQ(Texts("highAlertPool").size(), 3) << "each alert once";
    EXPECT_EQ(Texts("highAlertActions"),
              (QStringList{S("EMAIL-Alert 1"), S("SMS-Alert 2"), S("EMAIL-Alert 3")}));
    QTest::mouseClick(Find<QPushButton>("okButton"), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([this] { return notices.count(S("ADC 2 Updated !")) == 2; }));
    const QList<QJsonObject> uploads = RequestsFor(board::kChannelSettings[2]);
    ASSERT_EQ(uploads.size(), 2);
    EXPECT_TRUE(uploads[1][S("value")].toString().startsWith(S("2|2.0000|1.5000|1|0|1.2.3.|")))
        << uploads[1][S("value")].toString().toStdString();
    // Channel 1's load went no further than the answer in flight: its
    // record was never read.
    EXPECT_TRUE(RequestsFor(board::kChannelRecord[1]).isEmpty());
}

// Sending again after the station refused an upload opens a new session.
TEST_F(AdcE2E, AdcRefusedUploadKeepsTheDialogAndSendingAgainWorks) {
    ASSERT_NO_FATAL_FAILURE(
        Begin({S("--fail"), Object(board::kChannelSettings[5]) + S("=badValue")}));
    AdcOptionsDialog& d = Open(5);
    ASSERT_TRUE(WaitFor([&d] { return !d.IsLoading(); }));
    Find<QLineEdit>("precisionEdit")->setText(S("2"));
    for (int attempt = 1; attempt <= 2; ++attempt) {
        messages.boxes.clear();
        QTest::mouseClick(Find<QPushButton>("okButton"), Qt::LeftButton);
        ASSERT_TRUE(WaitFor([this] { return !messages.boxes.empty(); })) << attempt;
        EXPECT_EQ(messages.Texts(), QStringList{S("SNMP_ERR_BADVALUE")}) << attempt;
        ASSERT_TRUE(WaitFor([this] { return Find<QPushButton>("okButton")->isEnabled(); }));
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(Find<QLineEdit>("precisionEdit")->text(), S("2"));
    }
    EXPECT_EQ(RequestsFor(board::kChannelSettings[5]).size(), 2)
        << "the second upload went out on a session of its own";
}

TEST_F(AdcE2E, AdcNameIsSetWithItsNoticeAndShownByTheNextPolls) {
    ASSERT_NO_FATAL_FAILURE(Begin());
    Open(3);
    ASSERT_TRUE(WaitFor([this] { return !dialog->IsLoading(); }));
    Find<QLineEdit>("nameEdit")->setText(S("Well Pump Voltage S"));
    QTest::mouseClick(Find<QPushButton>("setNameButton"), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([this] { return notices.contains(S("ADC 3 Name Changed !")); }));
    const QList<QJsonObject> names = RequestsFor(board::kChannelName[3]);
    ASSERT_EQ(names.size(), 1);
    EXPECT_EQ(names[0][S("value")].toString(), S("Well Pump Voltage S"));
    ASSERT_TRUE(WaitFor([this] { return panel.AdcName(3) == S("Well Pump Voltage S"); }));
}

// What the station holds is shown whole and an untouched OK sends it back
// byte for byte: a 1000 A / 100 mV shunt, a 400.00 A trigger, an adjustment
// of 12.3456, notes with CR LF, a lone CR and byte A0.
TEST_F(AdcE2E, AdcUnchangedSaveSendsBackWhatTheStationHolds) {
    ASSERT_NO_FATAL_FAILURE(Begin());
    const QByteArray settings = "4|400.00|1.5000|1|0|3.|||||||2.|30|0|12.3456|2|a|1000|100|";
    const QByteArray notes = "Shunt 1000 A\r\nchecked\rMonday\xa0noon \xe9";
    ASSERT_TRUE(link->SendBoardRequest(board::kChannelSettings[4], PduType::Set,
                                       RequestValue::Text(settings)));
    ASSERT_TRUE(
        link->SendBoardRequest(board::kChannelNotes[4], PduType::Set, RequestValue::Text(notes)));
    ASSERT_TRUE(WaitFor([this] { return panel.ShuntAmpRating(4) == S("1000"); }));
    Open(4);
    ASSERT_TRUE(WaitFor([this] { return !dialog->IsLoading(); }));
    EXPECT_EQ(Find<QLineEdit>("ampRatingEdit")->text(), S("1000"));
    EXPECT_EQ(Find<QLineEdit>("adjustmentEdit")->text(), S("12.3456"));
    QTest::mouseClick(Find<QPushButton>("setNotesButton"), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([this] { return notices.contains(S("ADC 4 Note Changed !")); }));
    const QList<QJsonObject> noteSets = RequestsFor(board::kChannelNotes[4]);
    EXPECT_EQ(noteSets.back()[S("value")].toString().toLatin1(), notes);

    QTest::mouseClick(Find<QPushButton>("okButton"), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([this] { return notices.contains(S("ADC 4 Updated !")); }));
    const QList<QJsonObject> sets = RequestsFor(board::kChannelSettings[4]);
    ASSERT_EQ(sets.size(), 2) << "the test's own, then the dialog's";
    EXPECT_EQ(sets[1][S("value")].toString().toLatin1(), settings);
    EXPECT_EQ(sets[1][S("error_status")].toInt(), 0);
}

TEST_F(AdcE2E, AdcUploadSwitchesAChannelToAmmeterAndThePanelShowsTheCurrent) {
    ASSERT_NO_FATAL_FAILURE(Begin());
    ASSERT_EQ(panel.AdcUnit(1), S("v"));
    Open(1);
    ASSERT_TRUE(WaitFor([this] { return !dialog->IsLoading(); }));

    QTest::mouseClick(Find<QRadioButton>("ampmeterRadio"), Qt::LeftButton);
    Find<QLineEdit>("ampRatingEdit")->setText(S("100"));
    Find<QLineEdit>("millivoltRatingEdit")->setText(S("50"));
    Find<QLineEdit>("precisionEdit")->setText(S("3"));
    Find<QCheckBox>("highEnabledCheck")->setChecked(true);
    Find<QLineEdit>("highValueEdit")->setText(S("80.000"));
    Find<QComboBox>("highFlapCombo")->setCurrentText(S("30 Seconds"));
    auto* pool = Find<QListWidget>("highAlertPool");
    pool->setCurrentRow(2);
    QTest::mouseClick(Find<QPushButton>("highAlertAddButton"), Qt::LeftButton);
    QTest::mouseClick(Find<QPushButton>("highAlertAddButton"), Qt::LeftButton);
    Find<QListWidget>("lowNormalScriptPool")->setCurrentRow(1);
    QTest::mouseClick(Find<QPushButton>("lowNormalScriptAddButton"), Qt::LeftButton);

    QSignalSpy triggers(dialog.data(), &AdcOptionsDialog::TriggersKnown);
    QTest::mouseClick(Find<QPushButton>("okButton"), Qt::LeftButton);
    EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();
    ASSERT_TRUE(WaitFor([this] { return notices.contains(S("ADC 1 Updated !")); }));
    EXPECT_FALSE(dialog && dialog->isVisible()) << "OK closed the dialog";
    ASSERT_EQ(triggers.size(), 1);  // the levels the station took
    EXPECT_EQ(triggers[0], (QVariantList{1, S("80.000"), true, S("0.0000"), false}));

    const QList<QJsonObject> sets = RequestsFor(board::kChannelSettings[1]);
    ASSERT_EQ(sets.size(), 1);
    EXPECT_EQ(sets[0][S("pdu")].toString(), S("SET"));
    EXPECT_EQ(sets[0][S("value")].toString(),
              S("1|80.000|0.0000|1|0|3.3.|||||||2.|30|0|1.0000|3|a|100|50|"));
    EXPECT_EQ(sets[0][S("error_status")].toInt(), 0);

    // After the next polls the panel shows channel 1 as an ammeter: the
    // current with two decimals.
    ASSERT_TRUE(WaitFor([this] { return panel.AdcUnit(1) == S("a"); }));
    ASSERT_TRUE(WaitFor([this] { return panel.ShuntAmpRating(1) == S("100"); }));
    EXPECT_EQ(panel.ShuntMillivoltRating(1), S("50"));
    const QRegularExpression current(S("^ \\d+\\.\\d\\d$"));
    EXPECT_TRUE(current.match(panel.AdcValue(1)).hasMatch()) << panel.AdcValue(1).toStdString();
}

}  // namespace
}  // namespace volnar
