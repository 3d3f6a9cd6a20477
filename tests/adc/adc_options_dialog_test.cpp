// SPDX-License-Identifier: GPL-3.0-or-later
// The ADC options dialog over a board link whose transport records requests:
// the answers of the data load are fed to the link's dispatcher by hand.
// What the station itself sees (pools, uploads, name and notes) is checked
// against the simulator in adc_e2e_test.cpp.
#include "adc/adc_options_dialog.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <functional>

#include "core/status_panel.h"
#include "link/board_commands.h"
#include "link/board_link.h"
#include "link/board_objects.h"
#include "support/gui_helpers.h"
#include "support/qt_print.h"
#include "support/recorded_link.h"
#include "support/status_fields.h"

namespace volnar {
namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

std::string Object(std::string_view suffix) {
    return std::string(board::kPrefix) + std::string(suffix);
}

// The panel's record: channel 2 says "V" and channel 6 "a" (both
// ammeters); channel n is named "Input n" and has a 10n A / 100+n mV shunt.
std::string StatusRecord(const char* reading = "1.25") {
    testing::StatusFields record;
    for (int n = 1; n <= 8; ++n) {
        record.Reading(n) = reading;
        record.AmpRating(n) = std::to_string(10 * n);
        record.MillivoltRating(n) = std::to_string(100 + n);
    }
    record.Unit(2) = "V";
    record.Unit(6) = "a";
    return record.Join();
}

class AdcDialogTest : public ::testing::Test, public testing::RecordedLink {
public:
    void SetUp() override {
        delete dialog.data();  // a case of a table starts afresh
        Reset();
        link->Start();
        ASSERT_TRUE(transport);
        panel.ShowStatusRecord(StatusRecord());
        transport->requests.clear();
        messages.boxes.clear();
        commands.clear();
        QObject::connect(link.get(), &BoardLink::OperationStarted, link.get(),
                         [this](BoardOperation* operation) { commands << operation; });
    }

    BoardOperation* LastCommand() const { return commands.isEmpty() ? nullptr : commands.last(); }

    void TearDown() override { delete dialog.data(); }

    AdcOptionsDialog& Open(int channel) {
        delete dialog.data();
        dialog = new AdcOptionsDialog(channel, *link, panel, messages);
        dialog->SetBeep([this] { ++beeps; });
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

    void Click(const char* button) { QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton); }

    // Answers the data load: the alert and script rows, the ends of both
    // walks and the channel record, as the station would.
    void Load(int channel, const QByteArray& record,
              const QList<QByteArray>& alerts = {"3|email|Boiler|x|", "12|sms|Pager|y|"},
              const QList<QByteArray>& scripts = {"2|relay|Pump on|d|c|", "7|io|Siren|d|c|"}) {
        const auto walk = [this](const char* table, const QList<QByteArray>& rows, const char* past,
                                 const QByteArray& end) {
            int row = 0;
            for (const QByteArray& value : rows) {
                Feed(Object(table) + std::to_string(++row), value);
            }
            Feed(Object(past), end);
        };
        walk(".65.", alerts, ".66.1", "1|x|");
        walk(".72.", scripts, ".76.1", "notes");
        Feed(Object(".66.") + std::to_string(channel), record);
    }

    // Answers the request sent last.
    void Feed(std::string oid, QByteArray value) {
        Answer(std::move(oid), std::move(value));
        Drain();
    }

    // The station's answer to the last request, with its error status.
    void AnswerLast(int errorStatus = 0) {
        Answer(LastRequest().oid, "x", 0, kSyntaxOctetString, errorStatus);
        Drain();
    }

    // A real double click on a list's row: press and release, then the
    // double click (the view acts only on a row it saw pressed).
    static void DoubleClick(QListWidget* list, int row) {
        const QPoint at = list->visualItemRect(list->item(row)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }

    StatusPanel panel;
    QPointer<AdcOptionsDialog> dialog;
    QList<QPointer<BoardOperation>> commands;
    int beeps = 0;
};

const QByteArray kRecord =
    "3|Input 3|Well notes|2.0000|1.5000|1|0|3.12.|12.99.|7.|2.2.|3|||7.2.|3600|90|1.0000|4|";

TEST_F(AdcDialogTest, OpeningStartsTheDataLoadAndShowsThePanelsChannelAtEachTick) {
    AdcOptionsDialog& d = Open(3);
    EXPECT_EQ(d.windowTitle(), S("ADC 3 Options"));
    ASSERT_EQ(commands.size(), 1);
    EXPECT_EQ(LastCommand()->Command(), BoardCommand::LoadChannelOptions);
    EXPECT_EQ(LastCommand()->Argument(), 3);
    EXPECT_TRUE(d.IsLoading());
    EXPECT_FALSE(Find<QPushButton>("okButton")->isEnabled());
    EXPECT_TRUE(Find<QLabel>("loadingLabel")->text().startsWith(S("Loading")));
    // Nothing the record fills shows a value of its own, and nothing sends,
    // until the record has come.
    for (const char* name : {"highFlapCombo", "lowFlapCombo"}) {
        EXPECT_EQ(Find<QComboBox>(name)->count(), 144);
        EXPECT_TRUE(Find<QComboBox>(name)->isEditable());
        EXPECT_EQ(Find<QComboBox>(name)->currentText(), QString());
        EXPECT_FALSE(Find<QComboBox>(name)->isEnabled());
    }
    for (const char* name : {"highValueEdit", "lowValueEdit", "adjustmentEdit", "precisionEdit"}) {
        EXPECT_EQ(Find<QLineEdit>(name)->text(), QString()) << name;
        EXPECT_FALSE(Find<QLineEdit>(name)->isEnabled()) << name;
    }
    for (const char* name : {"setNotesButton", "setNameButton", "lowAlertAddButton"}) {
        EXPECT_FALSE(Find<QPushButton>(name)->isEnabled()) << name;
    }
    EXPECT_EQ(Find<QLineEdit>("nameEdit")->text(), S("Input 3"));
    EXPECT_EQ(Find<QLabel>("readingLabel")->text(), panel.AdcValue(3));
    EXPECT_FALSE(Find<QLabel>("asOfLabel")->text().isEmpty());
    EXPECT_TRUE(Find<QRadioButton>("voltmeterRadio")->isChecked());
    EXPECT_FALSE(Find<QLineEdit>("ampRatingEdit")->isEnabled());
    EXPECT_EQ(Find<QLineEdit>("ampRatingEdit")->text(), S("0"));
    EXPECT_EQ(Find<QLineEdit>("millivoltRatingEdit")->text(), S("0"));
    // The reading follows the panel at each tick.
    panel.ShowStatusRecord(StatusRecord("7.5"));
    EXPECT_NE(Find<QLabel>("readingLabel")->text(), panel.AdcValue(3));
    d.Tick();
    EXPECT_EQ(Find<QLabel>("readingLabel")->text(), S(" 7.50"));
    Load(3, "3|n||0|0|0|0|||||||||0|0|1.0000|2|");
    EXPECT_EQ(Find<QComboBox>("highFlapCombo")->currentText(), S("Continous"));
    EXPECT_TRUE(Find<QPushButton>("setNotesButton")->isEnabled());
    EXPECT_TRUE(Find<QLineEdit>("precisionEdit")->isEnabled());
}

TEST_F(AdcDialogTest, AnyUnitButAnExactVOpensAsAmmeterWithThePolledRatings) {
    for (const int channel : {2, 6}) {  // "V" and "a"
        Open(channel);
        EXPECT_TRUE(Find<QRadioButton>("ampmeterRadio")->isChecked()) << channel;
        EXPECT_TRUE(Find<QLineEdit>("millivoltRatingEdit")->isEnabled());
        EXPECT_EQ(Find<QLineEdit>("ampRatingEdit")->text(), QString::number(10 * channel));
        EXPECT_EQ(Find<QLineEdit>("millivoltRatingEdit")->text(), QString::number(100 + channel));
    }
    // The mode buttons: Voltmeter leaves the texts, Ampmeter overwrites them
    // with the polled ratings.
    Open(1);
    auto* amps = Find<QLineEdit>("ampRatingEdit");
    QTest::mouseClick(Find<QRadioButton>("ampmeterRadio"), Qt::LeftButton);
    EXPECT_TRUE(amps->isEnabled());
    EXPECT_EQ(amps->text(), S("10"));
    amps->setText(S("75"));
    QTest::mouseClick(Find<QRadioButton>("voltmeterRadio"), Qt::LeftButton);
    EXPECT_FALSE(amps->isEnabled());
    EXPECT_EQ(amps->text(), S("75"));
    QTest::mouseClick(Find<QRadioButton>("ampmeterRadio"), Qt::LeftButton);
    EXPECT_EQ(amps->text(), S("10"));
}

TEST_F(AdcDialogTest, DataLoadFillsTheRecordAndActionsListsOnceEach) {
    AdcOptionsDialog& d = Open(3);
    Load(3, kRecord);
    Load(3, kRecord);  // a record arriving twice does not double the actions
    ASSERT_EQ(commands.size(), 1);
    EXPECT_EQ(commands[0]->Ending(), OperationEnding::Done);
    EXPECT_FALSE(d.IsLoading());
    EXPECT_TRUE(Find<QPushButton>("okButton")->isEnabled());
    EXPECT_TRUE(Find<QLabel>("loadingLabel")->text().isEmpty());
    EXPECT_EQ(Texts("highAlertPool"), (QStringList{S("EMAIL-Boiler"), S("SMS-Pager")}));
    EXPECT_EQ(Texts("lowNormalScriptPool"), (QStringList{S("RELAY-Pump on"), S("IO-Siren")}));
    EXPECT_EQ(Find<QPlainTextEdit>("notesEdit")->toPlainText(), S("Well notes"));
    EXPECT_EQ(Find<QComboBox>("lowFlapCombo")->currentText(), S("Continous"))
        << "90 has no text: the combo keeps its own";

    // Pressing OK right away uploads what was loaded, each value and list as
    // shown: "12.99." lost 99 (no such alert), "3" (no point) gave nothing,
    // "2.2." twice; 90 s has no text and goes out as 0.
    Click("okButton");
    EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();
    EXPECT_EQ(LastCommand()->Command(), BoardCommand::UploadChannelSettings);
    EXPECT_EQ(LastCommand()->Argument(), 3);
    EXPECT_EQ(LastRequest().value.octets,
              QByteArray("3|2.0000|1.5000|1|0|3.12.|12.|7.|2.2.||||7.2.|3600|0|1.0000|4|v|0|0|"));
}

TEST_F(AdcDialogTest, MalformedHugeOrLonelyRecordsAreHarmless) {
    const QByteArray longField(3000, '7');
    const struct {
        QByteArray record;
        int shown;  // characters of the notes and of the high value
    } cases[] = {
        {.record = QByteArray("\xff|\x01||||"), .shown = 0},
        {.record = QByteArray(5000, '|'), .shown = 0},
        {.record = QByteArray(), .shown = 0},
        // Shown whole: what would not fit is refused when it is sent.
        {.record = "3|n|" + longField + "|" + longField + "|" + longField + "|", .shown = 3000},
    };
    for (const auto& c : cases) {
        AdcOptionsDialog& d = Open(3);
        Load(3, c.record);
        EXPECT_FALSE(d.IsLoading());
        EXPECT_EQ(Find<QLineEdit>("precisionEdit")->text(), QString());
        EXPECT_EQ(Find<QPlainTextEdit>("notesEdit")->toPlainText().size(), c.shown);
        EXPECT_EQ(Find<QLineEdit>("highValueEdit")->text().size(), c.shown);
    }
    // No alerts at all: the scripts and the record still load; an id
    // without a pool entry is skipped.
    AdcOptionsDialog& d = Open(5);
    Load(5, "5|n|notes|3|2|1|1|1.||||||||0|0|1.0000|2|", {}, {"1|relay|One|d|c|"});
    EXPECT_FALSE(d.IsLoading());
    EXPECT_EQ(Find<QListWidget>("lowAlertPool")->count(), 0);
    EXPECT_EQ(Find<QListWidget>("highAlertActions")->count(), 0);
    EXPECT_EQ(Texts("lowScriptPool"), QStringList{S("RELAY-One")});
}

TEST_F(AdcDialogTest, ALoadThatStopsSaysWhyAndKeepsOkDisabled) {
    const struct {
        const char* name;
        std::function<void(AdcDialogTest&)> stop;
        const char* why;
    } cases[] = {
        {"STOP", [](AdcDialogTest& t) { t.link->StopPolling(); }, kStoppedText},
        {"a step timed out",
         [](AdcDialogTest& t) { t.link->HandleTimeOut(t.LastRequest().requestId); }, kNoAnswerText},
        // channel 4's record, to a read of channel 3's
        {"the record of another channel", [](AdcDialogTest& t) { t.Load(4, kRecord, {}, {}); },
         kWrongAnswerText},
    };
    for (const auto& c : cases) {
        SetUp();
        AdcOptionsDialog& d = Open(3);
        const int width = d.width();
        Feed(Object(".65.1"), "1|email|A|");
        c.stop(*this);
        QCoreApplication::processEvents();
        EXPECT_TRUE(d.IsLoading()) << c.name;
        EXPECT_FALSE(Find<QPushButton>("okButton")->isEnabled()) << c.name;
        const QString label = Find<QLabel>("loadingLabel")->text();
        EXPECT_TRUE(label.startsWith(S("Loading stopped"))) << c.name;
        EXPECT_TRUE(label.endsWith(QString::fromLatin1(c.why))) << label.toStdString();
        EXPECT_LE(d.minimumSizeHint().width(), width)
            << "the text wraps, the dialog keeps its size";
        EXPECT_EQ(Find<QListWidget>("lowAlertPool")->count(), 1) << "what arrived stays";
        EXPECT_FALSE(Find<QPushButton>("setNotesButton")->isEnabled()) << c.name;
        EXPECT_FALSE(Find<QPushButton>("setNameButton")->isEnabled()) << c.name;
        EXPECT_EQ(Find<QLineEdit>("highValueEdit")->text(), QString()) << c.name;
        Click("cancelButton");
        EXPECT_FALSE(d.isVisible()) << c.name;
    }
}

TEST_F(AdcDialogTest, AddRemoveAndDoubleClicksKeepOrderAndDuplicates) {
    AdcOptionsDialog& d = Open(3);
    Load(3, "3|n||0|0|0|0|||||||||0|0|1.0000|2|");
    auto* pool = Find<QListWidget>("lowAlertPool");
    auto* actions = Find<QListWidget>("lowAlertActions");
    const auto lowAlerts = [&d] {
        return d.Form().idLists[static_cast<std::size_t>(adc::ActionsList::LowAlerts)];
    };
    Click("lowAlertAddButton");
    EXPECT_EQ(actions->count(), 0) << "nothing selected, nothing added";
    for (const int row : {1, 1, 0}) {
        pool->setCurrentRow(row);
        Click("lowAlertAddButton");
    }
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.data()));
    QCoreApplication::processEvents();  // the lists lay out their items
    DoubleClick(pool, 1);
    EXPECT_EQ(lowAlerts(), (std::vector<int>{12, 12, 3, 12}));

    actions->clearSelection();
    Click("lowAlertRemoveButton");
    EXPECT_EQ(actions->count(), 4) << "nothing selected, nothing removed";
    actions->setCurrentRow(2);
    Click("lowAlertRemoveButton");
    DoubleClick(actions, 0);
    EXPECT_EQ(lowAlerts(), (std::vector<int>{12, 12}));
    // Script lists are their own: the alert buttons did not touch them.
    EXPECT_EQ(Find<QListWidget>("lowScriptActions")->count(), 0);
    Find<QListWidget>("highNormalScriptPool")->setCurrentRow(1);
    Click("highNormalScriptAddButton");
    EXPECT_EQ(d.Form().idLists[static_cast<std::size_t>(adc::ActionsList::HighNormalScripts)],
              std::vector<int>{7});
}

TEST_F(AdcDialogTest, KeyFiltersBeepAndDropOtherCharacters) {
    Open(6);  // ammeter: the shunt edits are enabled
    Load(6, "6|n||0|0|0|0|||||||||0|0|1.0000|2|");
    const struct {
        const char* edit;
        const char* typed;
        const char* shown;
        int beeps;
    } cases[] = {
        {.edit = "precisionEdit", .typed = "75", .shown = "5", .beeps = 1},
        {.edit = "ampRatingEdit", .typed = "1.5", .shown = "15", .beeps = 1},
        {.edit = "millivoltRatingEdit", .typed = "5a", .shown = "5", .beeps = 1},
        {.edit = "highValueEdit", .typed = "-2.5e", .shown = "2.5", .beeps = 2},
        {.edit = "lowValueEdit", .typed = "-2.5e", .shown = "2.5", .beeps = 2},
        {.edit = "adjustmentEdit", .typed = "-2.5e", .shown = "2.5", .beeps = 2},
        {.edit = "nameEdit", .typed = "x.", .shown = "x.", .beeps = 0},  // not filtered
    };
    for (const auto& c : cases) {
        auto* edit = Find<QLineEdit>(c.edit);
        edit->clear();
        beeps = 0;
        QTest::keyClicks(edit, QString::fromLatin1(c.typed));
        EXPECT_EQ(edit->text(), QString::fromLatin1(c.shown)) << c.edit;
        EXPECT_EQ(beeps, c.beeps) << c.edit;
    }
    // Backspace passes silently; a modified key that still types text is
    // filtered; shortcuts are not.
    auto* precision = Find<QLineEdit>("precisionEdit");
    beeps = 0;
    QTest::keyClick(precision, Qt::Key_Backspace);
    EXPECT_EQ(precision->text(), QString());
    precision->setText(S("2"));
    QTest::keyClick(precision, Qt::Key_A, Qt::AltModifier);
    EXPECT_EQ(precision->text(), S("2"));
    EXPECT_EQ(beeps, 1);
    QTest::keyClick(precision, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(precision, S("4"));
    EXPECT_EQ(precision->text(), S("4")) << "Ctrl+A selected the text";
    EXPECT_EQ(beeps, 1);
}

TEST_F(AdcDialogTest, SetNameAndNotesSendTheTextWholeOrRefuseIt) {
    const struct {
        const char* name;
        bool notes;
        QString text;
        const char* refusal;         // nullptr: sent
        const char* sent = nullptr;  // the bytes sent, when not the text
    } cases[] = {
        {"EmptyName", false, QString(), "Zero Length Fields Not Allowed!"},
        {"NameWithBar", false, S("a|b"), "The name may not contain \"|\" !"},
        {"Name20", false, S("ABCDEFGHIJKLMNOPQRST"),
         "\"ADC 8 Name\" holds at most 19 characters; it has 20."},
        {"Name19", false, S("ABCDEFGHIJKLMNOPQRS"), nullptr},
        {"Notes512", true, QString(512, u'n'), "at most 511 characters"},
        {"Notes511", true, QString(511, u'n'), nullptr},
        {"EmptyNotes", true, QString(), nullptr},
        {"NotesLinesGoAsCrLf", true, S("Shunt\nchecked\n"), nullptr, "Shunt\r\nchecked\r\n"},
        {"NotesLineBreakCountsTwice", true, QString(509, u'n') + S("\nn"),
         "at most 511 characters"},
    };
    Open(8);
    Load(8, "8|n||0|0|0|0|||||||||0|0|1.0000|2|");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        messages.boxes.clear();
        const std::size_t before = transport->requests.size();
        const char* button = c.notes ? "setNotesButton" : "setNameButton";
        if (c.notes) {
            Find<QPlainTextEdit>("notesEdit")->setPlainText(c.text);
        } else {
            Find<QLineEdit>("nameEdit")->setText(c.text);
        }
        Click(button);
        if (c.refusal != nullptr) {
            EXPECT_EQ(transport->requests.size(), before);
            ASSERT_EQ(messages.boxes.size(), 1u);
            EXPECT_TRUE(messages.boxes[0].text.contains(QString::fromLatin1(c.refusal)))
                << messages.boxes[0].text.toStdString();
            if (c.text.isEmpty()) {  // the plain box of the station's own program
                EXPECT_EQ(messages.boxes[0].caption, S("  Volnar"));
                EXPECT_EQ(messages.boxes[0].buttons, MessageButtons::Ok);
            }
            continue;
        }
        EXPECT_TRUE(messages.boxes.empty());
        EXPECT_EQ(LastCommand()->Command(),
                  c.notes ? BoardCommand::SetChannelNotes : BoardCommand::SetChannelName);
        EXPECT_EQ(LastCommand()->Argument(), 8);
        EXPECT_EQ(LastRequest().value.octets,
                  c.sent != nullptr ? QByteArray(c.sent) : c.text.toLatin1());
        EXPECT_EQ(LastRequest().value.syntax, kSyntaxOctetString);
        EXPECT_FALSE(Find<QPushButton>(button)->isEnabled()) << "until the answer";
        AnswerLast();
        EXPECT_TRUE(Find<QPushButton>(button)->isEnabled());
        EXPECT_TRUE(dialog) << "the dialog stays open";
    }
}

TEST_F(AdcDialogTest, UploadWaitsForTheStationThenClosesAndTheNoticeFollows) {
    Open(7);
    Load(7, "7|n||30|20|1|1|||||||||45|0|1.0000|3|");
    QSignalSpy finished(dialog.data(), &QDialog::finished);
    Click("okButton");
    EXPECT_TRUE(finished.isEmpty()) << "open until the station has taken the settings";
    EXPECT_FALSE(Find<QPushButton>("okButton")->isEnabled());
    EXPECT_EQ(Find<QPushButton>("okButton")->text(), S("Sending..."));
    EXPECT_EQ(LastCommand()->Argument(), 7);
    EXPECT_EQ(LastRequest().value.octets, QByteArray("7|30|20|1|1|||||||||45|0|1.0000|3|v|0|0|"));

    QSignalSpy notices(link.get(), &BoardLink::NoticeRequested);
    AnswerLast();
    ASSERT_EQ(finished.size(), 1);
    EXPECT_EQ(finished[0].at(0).toInt(), QDialog::Accepted);
    ASSERT_EQ(notices.size(), 1);
    EXPECT_EQ(NoticeText(notices[0].at(0).toInt()), S("ADC 7 Updated !"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(dialog) << "deleted on close";
}

// A failed check (its own box: error icon, the platform's caption, nothing
// sent), a send that fails, a refusal or no answer: the dialog stays open
// with what was typed, and OK sends again.
TEST_F(AdcDialogTest, AnUploadThatFailsKeepsTheDialogOpenWithItsSettings) {
    const struct {
        const char* name;
        const char* high;
        bool sendFails;
        std::function<void(AdcDialogTest&)> fail;  // after OK
        const char* box;
    } cases[] = {
        {"check", "2.45", false, nullptr, "Hi Trigger Must Be Less Than 2.5 Volts !"},
        {"not sent", "2.25", true, nullptr, kErrorSendingPdu},
        {"refused", "2.25", false, [](AdcDialogTest& t) { t.AnswerLast(3); }, "SNMP_ERR_BADVALUE"},
        {"no answer", "2.25", false,
         [](AdcDialogTest& t) { t.link->HandleTimeOut(t.LastRequest().requestId); }, kNoAnswerText},
    };
    for (const auto& c : cases) {
        SetUp();
        SCOPED_TRACE(c.name);
        Open(1);
        Load(1, "1|n||2.0000|1.5000|1|1|||||||||0|0|1.0000|2|");
        const std::size_t before = transport->requests.size();
        Find<QLineEdit>("highValueEdit")->setText(QString::fromLatin1(c.high));
        transport->nextStatus = c.sendFails ? SendStatus::SendFailed : SendStatus::Accepted;
        QSignalSpy finished(dialog.data(), &QDialog::finished);
        Click("okButton");
        if (c.fail) {
            c.fail(*this);
        }
        QCoreApplication::processEvents();
        EXPECT_TRUE(finished.isEmpty());
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_TRUE(Find<QPushButton>("okButton")->isEnabled());
        EXPECT_EQ(Find<QPushButton>("okButton")->text(), S("OK"));
        EXPECT_EQ(Find<QLineEdit>("highValueEdit")->text(), QString::fromLatin1(c.high));
        ASSERT_EQ(messages.Texts(), QStringList{QString::fromLatin1(c.box)});
        EXPECT_EQ(messages.boxes[0].icon, MessageIcon::Error);
        const bool check = c.fail == nullptr && !c.sendFails;
        EXPECT_EQ(messages.boxes[0].caption.isEmpty(), check);
        EXPECT_EQ(transport->requests.size(), before + (check || c.sendFails ? 0 : 1));
        transport->nextStatus = SendStatus::Accepted;
        Find<QLineEdit>("highValueEdit")->setText(S("2.4"));
        Click("okButton");
        EXPECT_EQ(LastRequest().value.octets,
                  QByteArray("1|2.4|1.5000|1|1|||||||||0|0|1.0000|2|v|0|0|"));
    }
}

TEST_F(AdcDialogTest, AlertsAndScriptsButtonsAskReturnDoesNotUploadEscapeCancels) {
    Open(1);
    Load(1, "1|n||0|0|0|0|||||||||0|0|1.0000|2|");
    QSignalSpy alerts(dialog.data(), &AdcOptionsDialog::AlertsRequested);
    QSignalSpy scripts(dialog.data(), &AdcOptionsDialog::ScriptsRequested);
    for (const char* trigger : {"high", "highNormal", "low", "lowNormal"}) {
        Click((std::string(trigger) + "AlertsButton").c_str());
        Click((std::string(trigger) + "ScriptsButton").c_str());
    }
    EXPECT_EQ(alerts.size(), 4);
    EXPECT_EQ(scripts.size(), 4);
    const std::size_t before = transport->requests.size();
    QTest::keyClick(Find<QLineEdit>("adjustmentEdit"), Qt::Key_Return);
    EXPECT_EQ(transport->requests.size(), before);
    ASSERT_TRUE(dialog && dialog->isVisible());
    QSignalSpy finished(dialog.data(), &QDialog::finished);
    QTest::keyClick(Find<QLineEdit>("highValueEdit"), Qt::Key_Escape);
    ASSERT_EQ(finished.size(), 1);
    EXPECT_EQ(finished[0].at(0).toInt(), QDialog::Rejected);
    EXPECT_EQ(transport->requests.size(), before) << "Cancel sends nothing";
}

}  // namespace
}  // namespace volnar
