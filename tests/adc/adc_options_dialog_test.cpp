// The ADC options dialog over a board link whose transport records requests:
// the answers of the data load are fed to the link's dispatcher by hand.
#include "adc/adc_options_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
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
#include "link/recording_transport.h"
#include "support/gui_helpers.h"
#include "support/qt_print.h"
#include "support/recording_message_service.h"

namespace volnar {
namespace {

using testing::RecordingMessageService;

std::string Object(std::string_view suffix) {
    return std::string(board::kPrefix) + std::string(suffix);
}

BoardResponse Answer(std::string oid, QByteArray value, int requestId) {
    BoardResponse r;
    r.requestId = requestId;
    r.oid = std::move(oid);
    r.value = std::move(value);
    r.syntax = kSyntaxOctetString;
    return r;
}

// A status record whose channel n is named "Input n", reads "1.2345" and has
// the given unit mark and ratings.
QByteArray StatusRecord(const QStringList& units, const QStringList& amps,
                        const QStringList& millivolts) {
    QStringList fields;
    for (int n = 1; n <= 8; ++n) {
        fields << QStringLiteral("Input %1").arg(n) << QStringLiteral("1.2345");
    }
    for (int r = 1; r <= 4; ++r) {
        fields << QStringLiteral("Relay %1").arg(r) << QStringLiteral("0");
    }
    fields << QStringLiteral("20.0") << QStringLiteral("68.0") << QStringLiteral("Hut")
           << QStringLiteral("0 days, 00:00:01");
    fields << units << amps << millivolts;
    for (int n = 1; n <= 8; ++n) {
        fields << QStringLiteral("2");
    }
    return (fields.join(u'|') + u'|').toLatin1();
}

class AdcDialogTest : public ::testing::Test {
public:
    void SetUp() override {
        station = StationRecord{
            QStringLiteral("127.0.0.1"), QStringLiteral("public"), QString(),
            QStringLiteral("YES"),       QStringLiteral("1161"),   QStringLiteral("10"),
            QStringLiteral("2")};
        link = std::make_unique<BoardLink>(
            messages,
            [this](const QString& address) -> std::optional<StationRecord> {
                if (address == station.IPADDRESS) {
                    return station;
                }
                return std::nullopt;
            },
            [] { return QStringLiteral("127.0.0.1"); },
            [this]() -> std::unique_ptr<SnmpTransport> {
                auto made = std::make_unique<RecordingTransport>();
                transport = made.get();
                return made;
            });
        link->Start();
        ASSERT_TRUE(transport);
        const QStringList units = {QStringLiteral("v"), QStringLiteral("V"), QStringLiteral("v"),
                                   QStringLiteral("v"), QStringLiteral("v"), QStringLiteral("a"),
                                   QStringLiteral("v"), QStringLiteral("v")};
        QStringList amps;
        QStringList millivolts;
        for (int n = 1; n <= 8; ++n) {
            amps << QString::number(10 * n);
            millivolts << QString::number(100 + n);
        }
        panel.ShowStatusRecord(StatusRecord(units, amps, millivolts).toStdString());
        transport->requests.clear();
        QObject::connect(link.get(), &BoardLink::OperationStarted, link.get(),
                         [this](BoardOperation* operation) { commands << operation; });
    }

    // The command the dialog started last.
    BoardOperation* LastCommand() const { return commands.isEmpty() ? nullptr : commands.last(); }

    void TearDown() override {
        if (dialog) {
            delete dialog.data();
        }
    }

    AdcOptionsDialog& Open(int channel) {
        dialog = new AdcOptionsDialog(channel, *link, panel, messages);
        dialog->SetBeep([this] { ++beeps; });
        dialog->show();
        return *dialog;
    }

    template <typename T>
    T* Find(const char* name) const {
        return ::volnar::testing::FindChild<T>(dialog, name);
    }

    static QStringList Texts(const QListWidget* list) {
        QStringList texts;
        for (int row = 0; row < list->count(); ++row) {
            texts << list->item(row)->text();
        }
        return texts;
    }

    // Answers the data load: the alert and script rows, the ends of both
    // walks and the channel record, as the station would.
    void Load(int channel, const QByteArray& record,
              const QList<QByteArray>& alerts = {"3|email|Boiler|x|", "12|sms|Pager|y|"},
              const QList<QByteArray>& scripts = {"2|relay|Pump on|d|c|", "7|io|Siren|d|c|"}) {
        int id = 0;
        for (const QByteArray& row : alerts) {
            link->HandleBoardResponse(
                Answer(Object(".65.") + std::to_string(++id), row, routing::kAdcLoadAlerts));
            Drain();
        }
        link->HandleBoardResponse(Answer(Object(".66.1"), "1|x|", routing::kAdcLoadAlerts));
        Drain();
        id = 0;
        for (const QByteArray& row : scripts) {
            link->HandleBoardResponse(
                Answer(Object(".72.") + std::to_string(++id), row, routing::kAdcLoadScripts));
            Drain();
        }
        link->HandleBoardResponse(Answer(Object(".76.1"), "notes", routing::kAdcLoadScripts));
        Drain();
        link->HandleBoardResponse(
            Answer(Object(".66.") + std::to_string(channel), record, routing::kAdcLoadRecord));
        Drain();
    }

    static void Drain() { QCoreApplication::processEvents(); }

    // A real double click on a list's row: press and release, then the
    // double click (the view acts only on a row it saw pressed).
    static void DoubleClick(QListWidget* list, int row) {
        const QPoint at = list->visualItemRect(list->item(row)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }

    const BoardRequest& LastRequest() const { return transport->requests.back(); }

    RecordingMessageService messages;
    StationRecord station;
    StatusPanel panel;
    std::unique_ptr<BoardLink> link;
    RecordingTransport* transport = nullptr;
    QPointer<AdcOptionsDialog> dialog;
    QList<QPointer<BoardOperation>> commands;
    int beeps = 0;
};

const QByteArray kRecord =
    "3|Input 3|Well notes|2.0000|1.5000|1|0|3.12.|12.99.|7.|2.2.|3|||7.2.|3600|90|1.0000|4|";

TEST_F(AdcDialogTest, OpeningStartsTheDataLoadAndShowsThePanelsChannel) {
    AdcOptionsDialog& d = Open(3);
    EXPECT_EQ(d.windowTitle(), QStringLiteral("ADC 3 Options"));
    EXPECT_TRUE(d.testAttribute(Qt::WA_DeleteOnClose));
    EXPECT_EQ(d.windowModality(), Qt::ApplicationModal);
    ASSERT_EQ(commands.size(), 1);
    EXPECT_EQ(LastCommand()->Command(), BoardCommand::LoadChannelOptions);
    EXPECT_EQ(LastCommand()->Argument(), 3);
    EXPECT_TRUE(d.IsLoading());
    EXPECT_FALSE(Find<QPushButton>("okButton")->isEnabled());
    EXPECT_TRUE(Find<QLabel>("loadingLabel")->text().startsWith(QStringLiteral("Loading")));

    for (const char* name : {"highFlapCombo", "lowFlapCombo"}) {
        auto* combo = Find<QComboBox>(name);
        EXPECT_EQ(combo->count(), 144);
        EXPECT_TRUE(combo->isEditable());
        EXPECT_EQ(combo->currentText(), QStringLiteral("Continous"));
    }
    EXPECT_EQ(Find<QLineEdit>("nameEdit")->text(), QStringLiteral("Input 3"));
    EXPECT_EQ(Find<QLabel>("readingLabel")->text(), panel.AdcValue(3));
    EXPECT_FALSE(Find<QLabel>("asOfLabel")->text().isEmpty());
    EXPECT_TRUE(Find<QRadioButton>("voltmeterRadio")->isChecked());
    EXPECT_FALSE(Find<QLineEdit>("ampRatingEdit")->isEnabled());
    EXPECT_EQ(Find<QLineEdit>("ampRatingEdit")->text(), QStringLiteral("0"));
    EXPECT_EQ(Find<QLineEdit>("millivoltRatingEdit")->text(), QStringLiteral("0"));
}

TEST_F(AdcDialogTest, AnyUnitButAnExactVOpensAsAmmeterWithThePolledRatings) {
    for (const int channel : {2, 6}) {  // "V" and "a"
        AdcOptionsDialog& d = Open(channel);
        EXPECT_TRUE(Find<QRadioButton>("ampmeterRadio")->isChecked()) << channel;
        EXPECT_TRUE(Find<QLineEdit>("ampRatingEdit")->isEnabled());
        EXPECT_TRUE(Find<QLineEdit>("millivoltRatingEdit")->isEnabled());
        EXPECT_EQ(Find<QLineEdit>("ampRatingEdit")->text(), QString::number(10 * channel));
        EXPECT_EQ(Find<QLineEdit>("millivoltRatingEdit")->text(), QString::number(100 + channel));
        d.close();
        delete dialog.data();
    }
}

TEST_F(AdcDialogTest, ModeButtonsSwitchTheShuntControls) {
    Open(1);
    auto* amps = Find<QLineEdit>("ampRatingEdit");
    QTest::mouseClick(Find<QRadioButton>("ampmeterRadio"), Qt::LeftButton);
    EXPECT_TRUE(amps->isEnabled());
    EXPECT_EQ(amps->text(), QStringLiteral("10"));
    amps->setText(QStringLiteral("75"));
    QTest::mouseClick(Find<QRadioButton>("voltmeterRadio"), Qt::LeftButton);
    EXPECT_FALSE(amps->isEnabled());
    EXPECT_EQ(amps->text(), QStringLiteral("75")) << "Voltmeter leaves the texts";
    QTest::mouseClick(Find<QRadioButton>("ampmeterRadio"), Qt::LeftButton);
    EXPECT_EQ(amps->text(), QStringLiteral("10")) << "Ampmeter overwrites with the polled rating";
}

TEST_F(AdcDialogTest, DataLoadFillsPoolsRecordAndActionsLists) {
    AdcOptionsDialog& d = Open(3);
    Load(3, kRecord);
    ASSERT_EQ(commands.size(), 1);
    EXPECT_EQ(commands[0]->Ending(), OperationEnding::Done);

    EXPECT_FALSE(d.IsLoading());
    EXPECT_TRUE(Find<QPushButton>("okButton")->isEnabled());
    EXPECT_TRUE(Find<QLabel>("loadingLabel")->text().isEmpty());
    const QStringList alertPool = {QStringLiteral("EMAIL-Boiler"), QStringLiteral("SMS-Pager")};
    const QStringList scriptPool = {QStringLiteral("RELAY-Pump on"), QStringLiteral("IO-Siren")};
    for (const char* name :
         {"highAlertPool", "highNormalAlertPool", "lowAlertPool", "lowNormalAlertPool"}) {
        EXPECT_EQ(Texts(Find<QListWidget>(name)), alertPool) << name;
    }
    for (const char* name :
         {"highScriptPool", "highNormalScriptPool", "lowScriptPool", "lowNormalScriptPool"}) {
        EXPECT_EQ(Texts(Find<QListWidget>(name)), scriptPool) << name;
    }
    EXPECT_EQ(Find<QPlainTextEdit>("notesEdit")->toPlainText(), QStringLiteral("Well notes"));
    EXPECT_EQ(Find<QLineEdit>("highValueEdit")->text(), QStringLiteral("2.0000"));
    EXPECT_EQ(Find<QLineEdit>("lowValueEdit")->text(), QStringLiteral("1.5000"));
    EXPECT_TRUE(Find<QCheckBox>("highEnabledCheck")->isChecked());
    EXPECT_FALSE(Find<QCheckBox>("lowEnabledCheck")->isChecked());
    // "3.12." gives both in order; "12.99." skips 99; "3" (no point) gives nothing.
    EXPECT_EQ(Texts(Find<QListWidget>("highAlertActions")),
              (QStringList{QStringLiteral("EMAIL-Boiler"), QStringLiteral("SMS-Pager")}));
    EXPECT_EQ(Texts(Find<QListWidget>("highNormalAlertActions")),
              QStringList{QStringLiteral("SMS-Pager")});
    EXPECT_EQ(Texts(Find<QListWidget>("highScriptActions")),
              QStringList{QStringLiteral("IO-Siren")});
    EXPECT_EQ(Texts(Find<QListWidget>("highNormalScriptActions")),
              (QStringList{QStringLiteral("RELAY-Pump on"), QStringLiteral("RELAY-Pump on")}));
    EXPECT_TRUE(Texts(Find<QListWidget>("lowAlertActions")).isEmpty());
    EXPECT_TRUE(Texts(Find<QListWidget>("lowNormalAlertActions")).isEmpty());
    EXPECT_TRUE(Texts(Find<QListWidget>("lowScriptActions")).isEmpty());
    EXPECT_EQ(Texts(Find<QListWidget>("lowNormalScriptActions")),
              (QStringList{QStringLiteral("IO-Siren"), QStringLiteral("RELAY-Pump on")}));
    EXPECT_EQ(Find<QComboBox>("highFlapCombo")->currentText(), QStringLiteral("60 Minutes"));
    EXPECT_EQ(Find<QComboBox>("lowFlapCombo")->currentText(), QStringLiteral("Continous"))
        << "90 has no text: the combo keeps its own";
    EXPECT_EQ(Find<QLineEdit>("adjustmentEdit")->text(), QStringLiteral("1.0000"));
    EXPECT_EQ(Find<QLineEdit>("precisionEdit")->text(), QStringLiteral("4"));

    // Pressing OK right away uploads what was loaded; 90 s goes out as 0.
    QTest::mouseClick(Find<QPushButton>("okButton"), Qt::LeftButton);
    EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();
    EXPECT_EQ(LastCommand()->Command(), BoardCommand::UploadChannelSettings);
    EXPECT_EQ(LastCommand()->Argument(), 3);
    EXPECT_EQ(LastRequest().value.octets,
              QByteArray("3|2.0000|1.5000|1|0|3.12.|12.|7.|2.2.||||7.2.|3600|0|1.0000|4|v|0|0|"));
}

TEST_F(AdcDialogTest, ARecordArrivingTwiceDoesNotDoubleTheActions) {
    Open(3);
    Load(3, kRecord);
    Load(3, kRecord);
    EXPECT_EQ(Find<QListWidget>("highAlertPool")->count(), 2) << "pools list each row once";
    EXPECT_EQ(Texts(Find<QListWidget>("highAlertActions")),
              (QStringList{QStringLiteral("EMAIL-Boiler"), QStringLiteral("SMS-Pager")}));
}

TEST_F(AdcDialogTest, MalformedOrHugeRecordsAreHarmless) {
    const QByteArray longField(3000, '7');
    const struct {
        QByteArray record;
        int notesShown;
        int highValueShown;
    } cases[] = {
        {QByteArray("\xff|\x01||||"), 0, 0},
        {QByteArray(5000, '|'), 0, 0},
        {QByteArray(), 0, 0},
        // Shown whole: what would not fit is refused when it is sent.
        {"3|n|" + longField + "|" + longField + "|" + longField + "|", 3000, 3000},
    };
    for (const auto& c : cases) {
        AdcOptionsDialog& d = Open(3);
        Load(3, c.record);
        EXPECT_FALSE(d.IsLoading());
        EXPECT_EQ(Find<QLineEdit>("precisionEdit")->text(), QString());
        EXPECT_EQ(Find<QPlainTextEdit>("notesEdit")->toPlainText().size(), c.notesShown);
        EXPECT_EQ(Find<QLineEdit>("highValueEdit")->text().size(), c.highValueShown);
        delete dialog.data();
    }
}

TEST_F(AdcDialogTest, NoAlertsAtAllStillLoadsScriptsAndRecord) {
    AdcOptionsDialog& d = Open(5);
    Load(5, "5|n|notes|3|2|1|1|1.||||||||0|0|1.0000|2|", {}, {"1|relay|One|d|c|"});
    EXPECT_FALSE(d.IsLoading());
    EXPECT_EQ(Find<QListWidget>("lowAlertPool")->count(), 0);
    EXPECT_EQ(Find<QListWidget>("highAlertActions")->count(), 0) << "no pool entry, skipped";
    EXPECT_EQ(Texts(Find<QListWidget>("lowScriptPool")), QStringList{QStringLiteral("RELAY-One")});
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
        {"the record of another channel",
         [](AdcDialogTest& t) {
             t.Load(4, kRecord, {}, {});  // channel 4's record, to a read of channel 3's
         },
         kWrongAnswerText},
    };
    for (const auto& c : cases) {
        SetUp();
        AdcOptionsDialog& d = Open(3);
        link->HandleBoardResponse(Answer(Object(".65.1"), "1|email|A|", LastRequest().requestId));
        Drain();
        c.stop(*this);
        Drain();
        EXPECT_TRUE(d.IsLoading()) << c.name;
        EXPECT_FALSE(Find<QPushButton>("okButton")->isEnabled()) << c.name;
        const QString label = Find<QLabel>("loadingLabel")->text();
        EXPECT_TRUE(label.startsWith(QStringLiteral("Loading stopped"))) << c.name;
        EXPECT_TRUE(label.endsWith(QString::fromLatin1(c.why))) << label.toStdString();
        EXPECT_EQ(Find<QListWidget>("lowAlertPool")->count(), 1) << "what arrived stays";
        QTest::mouseClick(Find<QPushButton>("cancelButton"), Qt::LeftButton);
        EXPECT_FALSE(d.isVisible()) << c.name;
        delete dialog.data();
    }
}

TEST_F(AdcDialogTest, AddRemoveAndDoubleClicksKeepOrderAndDuplicates) {
    AdcOptionsDialog& d = Open(3);
    Load(3, "3|n||0|0|0|0|||||||||0|0|1.0000|2|");
    auto* pool = Find<QListWidget>("lowAlertPool");
    auto* actions = Find<QListWidget>("lowAlertActions");
    auto* add = Find<QPushButton>("lowAlertAddButton");
    auto* remove = Find<QPushButton>("lowAlertRemoveButton");

    QTest::mouseClick(add, Qt::LeftButton);
    EXPECT_EQ(actions->count(), 0) << "nothing selected, nothing added";
    pool->setCurrentRow(1);
    QTest::mouseClick(add, Qt::LeftButton);
    QTest::mouseClick(add, Qt::LeftButton);
    pool->setCurrentRow(0);
    QTest::mouseClick(add, Qt::LeftButton);
    EXPECT_EQ(Texts(actions), (QStringList{QStringLiteral("SMS-Pager"), QStringLiteral("SMS-Pager"),
                                           QStringLiteral("EMAIL-Boiler")}));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.data()));
    Drain();  // the lists lay out their items
    ASSERT_FALSE(pool->visualItemRect(pool->item(1)).isEmpty());
    DoubleClick(pool, 1);
    EXPECT_EQ(actions->count(), 4);
    EXPECT_EQ(d.Form().idLists[static_cast<std::size_t>(adc::ActionsList::LowAlerts)],
              (std::vector<int>{12, 12, 3, 12}));

    actions->clearSelection();
    QTest::mouseClick(remove, Qt::LeftButton);
    EXPECT_EQ(actions->count(), 4) << "nothing selected, nothing removed";
    actions->setCurrentRow(2);
    QTest::mouseClick(remove, Qt::LeftButton);
    DoubleClick(actions, 0);
    EXPECT_EQ(d.Form().idLists[static_cast<std::size_t>(adc::ActionsList::LowAlerts)],
              (std::vector<int>{12, 12}));
    // Script lists are their own: the alert buttons did not touch them.
    EXPECT_EQ(Find<QListWidget>("lowScriptActions")->count(), 0);
    auto* scripts = Find<QListWidget>("highNormalScriptPool");
    scripts->setCurrentRow(1);
    QTest::mouseClick(Find<QPushButton>("highNormalScriptAddButton"), Qt::LeftButton);
    EXPECT_EQ(d.Form().idLists[static_cast<std::size_t>(adc::ActionsList::HighNormalScripts)],
              std::vector<int>{7});
}

TEST_F(AdcDialogTest, KeyFiltersBeepAndDropOtherCharacters) {
    Open(6);  // ammeter: the shunt edits are enabled
    auto* precision = Find<QLineEdit>("precisionEdit");
    precision->clear();
    QTest::keyClicks(precision, QStringLiteral("7"));
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(precision->text(), QString());
    QTest::keyClicks(precision, QStringLiteral("5"));
    EXPECT_EQ(precision->text(), QStringLiteral("5"));
    QTest::keyClick(precision, Qt::Key_Backspace);
    EXPECT_EQ(precision->text(), QString());
    EXPECT_EQ(beeps, 1);

    auto* amps = Find<QLineEdit>("ampRatingEdit");
    amps->clear();
    QTest::keyClicks(amps, QStringLiteral("1.5"));
    EXPECT_EQ(amps->text(), QStringLiteral("15"));
    EXPECT_EQ(beeps, 2);

    for (const char* name : {"highValueEdit", "lowValueEdit", "adjustmentEdit"}) {
        auto* edit = Find<QLineEdit>(name);
        edit->clear();
        QTest::keyClicks(edit, QStringLiteral("-2.5e"));
        EXPECT_EQ(edit->text(), QStringLiteral("2.5")) << name;
    }
    EXPECT_EQ(beeps, 8);
    // A modified key that still types text is filtered; shortcuts are not.
    precision->setText(QStringLiteral("2"));
    QTest::keyClick(precision, Qt::Key_A, Qt::AltModifier);
    EXPECT_EQ(precision->text(), QStringLiteral("2"));
    EXPECT_EQ(beeps, 9);
    QTest::keyClick(precision, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(precision, QStringLiteral("4"));
    EXPECT_EQ(precision->text(), QStringLiteral("4")) << "Ctrl+A selected the text";
    EXPECT_EQ(beeps, 9);
    // Pasting is not typing: it is not filtered (the checks catch it).
    precision->setText(QStringLiteral("9"));
    EXPECT_EQ(precision->text(), QStringLiteral("9"));
    // Other edits are not filtered at all.
    QTest::keyClicks(Find<QLineEdit>("nameEdit"), QStringLiteral("x."));
    EXPECT_EQ(beeps, 9);
}

TEST_F(AdcDialogTest, SetNameSendsUpTo19CharactersWithTheChannelsId) {
    Open(3);
    const std::size_t before = transport->requests.size();
    Find<QLineEdit>("nameEdit")->setText(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXY"));
    QTest::mouseClick(Find<QPushButton>("setNameButton"), Qt::LeftButton);
    EXPECT_EQ(transport->requests.size(), before) << "refused, never cut";
    EXPECT_EQ(messages.Texts(), QStringList{QStringLiteral("The field \"ADC 3 Name\" holds at most "
                                                           "19 characters; it has 25.")});
    messages.boxes.clear();
    Find<QLineEdit>("nameEdit")->setText(QStringLiteral("ABCDEFGHIJKLMNOPQRS"));
    QTest::mouseClick(Find<QPushButton>("setNameButton"), Qt::LeftButton);
    EXPECT_EQ(LastCommand()->Command(), BoardCommand::SetChannelName);
    EXPECT_EQ(LastCommand()->Argument(), 3);
    EXPECT_EQ(LastRequest().value.octets, QByteArray("ABCDEFGHIJKLMNOPQRS"));
    EXPECT_FALSE(Find<QPushButton>("setNameButton")->isEnabled()) << "until the answer";

    QSignalSpy notices(link.get(), &BoardLink::NoticeRequested);
    link->HandleBoardResponse(Answer(LastRequest().oid, "x", LastRequest().requestId));
    EXPECT_TRUE(Find<QPushButton>("setNameButton")->isEnabled());
    ASSERT_EQ(notices.size(), 1);
    EXPECT_EQ(NoticeText(notices[0].at(0).toInt()), QStringLiteral("ADC 3 Name Changed !"));
    EXPECT_TRUE(dialog) << "the dialog stays open";
}

TEST_F(AdcDialogTest, EmptyNameIsRefusedAndNothingSent) {
    Open(2);
    Find<QLineEdit>("nameEdit")->clear();
    const std::size_t before = transport->requests.size();
    QTest::mouseClick(Find<QPushButton>("setNameButton"), Qt::LeftButton);
    EXPECT_EQ(transport->requests.size(), before);
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].text, QStringLiteral("Zero Length Fields Not Allowed!"));
    EXPECT_EQ(messages.boxes[0].caption, QStringLiteral("  Volnar"));
    EXPECT_EQ(messages.boxes[0].buttons, MessageButtons::Ok);

    Find<QLineEdit>("nameEdit")->setText(QStringLiteral("a|b"));
    QTest::mouseClick(Find<QPushButton>("setNameButton"), Qt::LeftButton);
    EXPECT_EQ(transport->requests.size(), before) << "a \"|\" would split the status record";
    EXPECT_EQ(messages.boxes.size(), 2u);
}

TEST_F(AdcDialogTest, SetNotesSendsUpTo511CharactersEmptyAllowed) {
    Open(8);
    Find<QPlainTextEdit>("notesEdit")->setPlainText(QString(512, QLatin1Char('n')));
    QTest::mouseClick(Find<QPushButton>("setNotesButton"), Qt::LeftButton);
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_TRUE(messages.boxes[0].text.contains(QStringLiteral("at most 511 characters")));
    messages.boxes.clear();
    Find<QPlainTextEdit>("notesEdit")->setPlainText(QString(511, QLatin1Char('n')));
    QTest::mouseClick(Find<QPushButton>("setNotesButton"), Qt::LeftButton);
    EXPECT_EQ(LastCommand()->Command(), BoardCommand::SetChannelNotes);
    EXPECT_EQ(LastCommand()->Argument(), 8);
    EXPECT_EQ(LastRequest().value.octets, QByteArray(511, 'n'));
    link->HandleBoardResponse(Answer(LastRequest().oid, "x", LastRequest().requestId));
    Find<QPlainTextEdit>("notesEdit")->clear();
    QTest::mouseClick(Find<QPushButton>("setNotesButton"), Qt::LeftButton);
    EXPECT_EQ(LastCommand()->Command(), BoardCommand::SetChannelNotes);
    EXPECT_EQ(LastRequest().value.octets, QByteArray());
    EXPECT_EQ(LastRequest().value.syntax, kSyntaxOctetString);
    EXPECT_TRUE(messages.boxes.empty());
}

TEST_F(AdcDialogTest, FailedCheckShowsItsBoxAndKeepsTheDialogOpen) {
    Open(1);
    Load(1, "1|n||2.0000|1.5000|1|1|||||||||0|0|1.0000|2|");
    Find<QLineEdit>("highValueEdit")->setText(QStringLiteral("2.45"));
    const std::size_t before = transport->requests.size();
    QTest::mouseClick(Find<QPushButton>("okButton"), Qt::LeftButton);
    Drain();
    EXPECT_EQ(transport->requests.size(), before);
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].text, QStringLiteral("Hi Trigger Must Be Less Than 2.5 Volts !"));
    EXPECT_EQ(messages.boxes[0].icon, MessageIcon::Error);
    EXPECT_TRUE(messages.boxes[0].caption.isEmpty()) << "the platform's own caption";
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(Find<QLineEdit>("highValueEdit")->text(), QStringLiteral("2.45"));

    Find<QLineEdit>("highValueEdit")->setText(QStringLiteral("2.4"));
    QTest::mouseClick(Find<QPushButton>("okButton"), Qt::LeftButton);
    EXPECT_EQ(transport->requests.size(), before + 1);
    EXPECT_EQ(LastCommand()->Command(), BoardCommand::UploadChannelSettings);
    EXPECT_EQ(LastRequest().value.octets,
              QByteArray("1|2.4|1.5000|1|1|||||||||0|0|1.0000|2|v|0|0|"));
}

TEST_F(AdcDialogTest, UploadWaitsForTheStationThenClosesAndTheNoticeFollows) {
    Open(7);
    Load(7, "7|n||30|20|1|1|||||||||45|0|1.0000|3|");
    QSignalSpy finished(dialog.data(), &QDialog::finished);
    QTest::mouseClick(Find<QPushButton>("okButton"), Qt::LeftButton);
    EXPECT_TRUE(finished.isEmpty()) << "open until the station has taken the settings";
    EXPECT_FALSE(Find<QPushButton>("okButton")->isEnabled());
    EXPECT_EQ(Find<QPushButton>("okButton")->text(), QStringLiteral("Sending..."));
    EXPECT_EQ(LastCommand()->Command(), BoardCommand::UploadChannelSettings);
    EXPECT_EQ(LastCommand()->Argument(), 7);
    EXPECT_EQ(LastRequest().value.octets, QByteArray("7|30|20|1|1|||||||||45|0|1.0000|3|v|0|0|"));

    QSignalSpy notices(link.get(), &BoardLink::NoticeRequested);
    link->HandleBoardResponse(Answer(LastRequest().oid, "x", LastRequest().requestId));
    ASSERT_EQ(finished.size(), 1);
    EXPECT_EQ(finished[0].at(0).toInt(), QDialog::Accepted);
    ASSERT_EQ(notices.size(), 1);
    EXPECT_EQ(NoticeText(notices[0].at(0).toInt()), QStringLiteral("ADC 7 Updated !"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(dialog) << "deleted on close";
}

TEST_F(AdcDialogTest, AnUploadThatFailsKeepsTheDialogOpenWithItsSettings) {
    const struct {
        const char* name;
        std::function<void(AdcDialogTest&)> fail;  // after OK
        bool sendFails;
        const char* box;
    } cases[] = {
        {"not sent", nullptr, true, kErrorSendingPdu},
        {"refused",
         [](AdcDialogTest& t) {
             BoardResponse r = Answer(t.LastRequest().oid, "x", t.LastRequest().requestId);
             r.errorStatus = 3;
             t.link->HandleBoardResponse(r);
         },
         false, "SNMP_ERR_BADVALUE"},
        {"no answer", [](AdcDialogTest& t) { t.link->HandleTimeOut(t.LastRequest().requestId); },
         false, kNoAnswerText},
    };
    for (const auto& c : cases) {
        SetUp();
        messages.boxes.clear();
        Open(1);
        Load(1, "1|n||0|0|0|0|||||||||0|0|1.0000|2|");
        Find<QLineEdit>("highValueEdit")->setText(QStringLiteral("1.25"));
        transport->nextStatus = c.sendFails ? SendStatus::SendFailed : SendStatus::Accepted;
        QSignalSpy finished(dialog.data(), &QDialog::finished);
        QTest::mouseClick(Find<QPushButton>("okButton"), Qt::LeftButton);
        if (c.fail) {
            c.fail(*this);
        }
        Drain();
        EXPECT_TRUE(finished.isEmpty()) << c.name;
        EXPECT_TRUE(dialog->isVisible()) << c.name;
        EXPECT_TRUE(Find<QPushButton>("okButton")->isEnabled()) << c.name;
        EXPECT_EQ(Find<QPushButton>("okButton")->text(), QStringLiteral("OK")) << c.name;
        EXPECT_EQ(Find<QLineEdit>("highValueEdit")->text(), QStringLiteral("1.25")) << c.name;
        EXPECT_EQ(messages.Texts(), QStringList{QString::fromLatin1(c.box)}) << c.name;
        delete dialog.data();
    }
}

TEST_F(AdcDialogTest, CancelSendsNothingAndLateAnswersReachNoDialog) {
    Open(4);
    link->HandleBoardResponse(Answer(Object(".65.1"), "1|email|A|", LastRequest().requestId));
    Drain();
    const std::size_t before = transport->requests.size();
    QTest::mouseClick(Find<QPushButton>("cancelButton"), Qt::LeftButton);
    EXPECT_EQ(transport->requests.size(), before);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(dialog);
    // The answer in flight goes nowhere, and the load goes no further.
    link->HandleBoardResponse(Answer(Object(".65.2"), "2|sms|B|", LastRequest().requestId));
    Drain();
    EXPECT_EQ(transport->requests.size(), before);
}

// The ADC dialog of another channel opened while the first one's load is
// still answered: it takes nothing of the first load.
TEST_F(AdcDialogTest, ADialogTakesOnlyItsOwnLoad) {
    Open(1);
    QTest::mouseClick(Find<QPushButton>("cancelButton"), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    AdcOptionsDialog& d = Open(2);
    // Channel 1's alert walk is answered first (one alert, then the end).
    link->HandleBoardResponse(Answer(Object(".65.1"), "1|email|First|x|", 450));
    Drain();
    EXPECT_EQ(Find<QListWidget>("highAlertPool")->count(), 0);
    Load(2, "2|n||0|0|0|0|3.|||||||0|0|1.0000|2|");
    EXPECT_FALSE(d.IsLoading());
    EXPECT_EQ(Texts(Find<QListWidget>("highAlertActions")),
              (QStringList{QStringLiteral("EMAIL-Boiler")}));
    EXPECT_EQ(Find<QListWidget>("highAlertPool")->count(), 2);
}

TEST_F(AdcDialogTest, EscapeCancelsAndAlertsAndScriptsButtonsAsk) {
    Open(1);
    QSignalSpy alerts(dialog.data(), &AdcOptionsDialog::AlertsRequested);
    QSignalSpy scripts(dialog.data(), &AdcOptionsDialog::ScriptsRequested);
    for (const char* name : {"highAlertsButton", "highNormalAlertsButton", "lowAlertsButton",
                             "lowNormalAlertsButton"}) {
        QTest::mouseClick(Find<QPushButton>(name), Qt::LeftButton);
    }
    for (const char* name : {"highScriptsButton", "highNormalScriptsButton", "lowScriptsButton",
                             "lowNormalScriptsButton"}) {
        QTest::mouseClick(Find<QPushButton>(name), Qt::LeftButton);
    }
    EXPECT_EQ(alerts.size(), 4);
    EXPECT_EQ(scripts.size(), 4);
    QSignalSpy finished(dialog.data(), &QDialog::finished);
    QTest::keyClick(Find<QLineEdit>("highValueEdit"), Qt::Key_Escape);
    ASSERT_EQ(finished.size(), 1);
    EXPECT_EQ(finished[0].at(0).toInt(), QDialog::Rejected);
}

TEST_F(AdcDialogTest, ReturnInAnEditDoesNotUpload) {
    Open(1);
    Load(1, "1|n||0|0|0|0|||||||||0|0|1.0000|2|");
    const std::size_t before = transport->requests.size();
    QTest::keyClick(Find<QLineEdit>("adjustmentEdit"), Qt::Key_Return);
    EXPECT_EQ(transport->requests.size(), before);
    EXPECT_TRUE(dialog && dialog->isVisible());
}

TEST_F(AdcDialogTest, TickRefreshesTheReadingFromThePanel) {
    Open(1);
    QStringList units(8, QStringLiteral("v"));
    QStringList zeros(8, QStringLiteral("0"));
    QByteArray record = StatusRecord(units, zeros, zeros);
    record.replace("1.2345", "7.5");
    panel.ShowStatusRecord(record.toStdString());
    EXPECT_NE(Find<QLabel>("readingLabel")->text(), panel.AdcValue(1));
    dialog->Tick();
    EXPECT_EQ(Find<QLabel>("readingLabel")->text(), panel.AdcValue(1));
    EXPECT_EQ(panel.AdcValue(1), QStringLiteral(" 7.50"));
}

}  // namespace
}  // namespace volnar
