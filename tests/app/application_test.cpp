#include "app/application.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>

#include "app/database_location.h"
#include "link/board_objects.h"
#include "link/recording_transport.h"
#include "support/qt_print.h"
#include "support/recording_message_service.h"

namespace volnar {
namespace {

using testing::RecordingMessageService;

QString S(const char* text) {
    return QString::fromUtf8(text);
}

// The program with recorded boxes and a transport that sends nothing.
class ApplicationTest : public ::testing::Test {
protected:
    std::unique_ptr<Application> Make(const QString& database) {
        return std::make_unique<Application>(StartupOptions{database, {}, 2026, {}}, &messages,
                                             [this]() -> std::unique_ptr<SnmpTransport> {
                                                 auto made = std::make_unique<RecordingTransport>();
                                                 transport = made.get();
                                                 return made;
                                             });
    }

    // A directory whose default station is 127.0.0.1.
    std::unique_ptr<Application> MakeWithLoopbackStation() {
        const QString path = folder.filePath(S("stations.db"));
        auto app = Make(path);
        EXPECT_TRUE(app->Directory().AddStation(
            {S("127.0.0.1"), S("public"), S("bench"), {}, S("161"), S("1"), S("0")}));
        EXPECT_TRUE(app->Directory().SetDefaultStation(S("127.0.0.1")));
        app->LoadStationList();
        messages.boxes.clear();
        return app;
    }

    QPushButton* Button(Application& app, const char* name) {
        return app.Window().findChild<QPushButton*>(S(name));
    }

    void AnswerStatus(Application& app, int requestId) {
        BoardResponse answer;
        answer.requestId = requestId;
        answer.oid = std::string(board::kStatusRecord);
        answer.value = QByteArray("Probe|1.25|");
        answer.syntax = kSyntaxOctetString;
        app.Link().HandleBoardResponse(answer);
    }

    QTemporaryDir folder;
    RecordingMessageService messages;
    QPointer<RecordingTransport> transport;
};

TEST_F(ApplicationTest, FirstStartShowsTheTemplateStationIdleAndSendsNothing) {
    QSettings(S(kSettingsOrganization), S(kSettingsApplication)).clear();
    auto app = Make({});
    EXPECT_TRUE(
        QSettings(S(kSettingsOrganization), S(kSettingsApplication)).contains(S(kLocationKey)));
    EXPECT_EQ(app->DatabaseLocation(), DefaultDatabaseLocation());
    EXPECT_EQ(app->Window().ChooserText(), S("10.10.10.10      Default IP"));
    EXPECT_EQ(app->Window().StatusStateText(), S(" Not Connected"));
    EXPECT_EQ(app->Window().StatusMessageText(), S(" MSG:  Choose IP, then Click on Start"));
    EXPECT_EQ(app->Window().findChild<QLabel*>(S("buildNumberLabel"))->text(), S("0.7.4.5"));
    EXPECT_TRUE(app->AboutTextShown().contains(S("-2026 ")));
    EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();
    EXPECT_FALSE(transport);  // nothing is ever sent to the template station unasked
}

TEST_F(ApplicationTest, StartPollsStopReturnsToTheIdleLook) {
    auto app = MakeWithLoopbackStation();
    Button(*app, "startButton")->click();
    ASSERT_TRUE(transport);
    ASSERT_EQ(transport->requests.size(), 1u);
    EXPECT_EQ(transport->requests[0].oid, std::string(board::kStatusRecord));
    EXPECT_EQ(transport->requests[0].requestId, 501);
    EXPECT_EQ(transport->requests[0].station.address, S("127.0.0.1"));
    EXPECT_FALSE(Button(*app, "startButton")->isEnabled());
    EXPECT_EQ(app->Window().StatusStateText(), S(" Connecting"));
    EXPECT_FALSE(Button(*app, "relayButton1")->isEnabled());

    AnswerStatus(*app, 501);
    EXPECT_TRUE(Button(*app, "relayButton1")->isEnabled());
    EXPECT_EQ(app->Window().findChild<QLabel*>(S("receivedCount"))->text(), S("1"));
    EXPECT_EQ(app->Window().findChild<QLabel*>(S("adcNameLabel1"))->text(), S("Probe"));

    Button(*app, "stopButton")->click();
    EXPECT_TRUE(Button(*app, "startButton")->isEnabled());
    EXPECT_FALSE(Button(*app, "relayButton1")->isEnabled());
    EXPECT_EQ(app->Window().StatusStateText(), S(" Not Connected"));
    EXPECT_EQ(app->Window().findChild<QLabel*>(S("adcNameLabel1"))->text(), S("Voltmeter 1"));
    EXPECT_EQ(app->Window().findChild<QLabel*>(S("receivedCount"))->text(), S("0"));
    EXPECT_EQ(app->Window().findChild<QLabel*>(S("relayStateLabel1"))->text(), S("=========="));
}

TEST_F(ApplicationTest, OpeningTheChooserListStopsPollingTypingDoesNot) {
    auto app = MakeWithLoopbackStation();
    Button(*app, "startButton")->click();
    AnswerStatus(*app, 501);
    app->Window().Chooser()->setEditText(S("127.0.0.1 typed"));
    EXPECT_EQ(app->Link().State(), ConnectionState::Connecting);
    app->Window().Chooser()->showPopup();
    EXPECT_EQ(app->Link().State(), ConnectionState::NotConnected);
    EXPECT_TRUE(Button(*app, "startButton")->isEnabled());
    app->Window().Chooser()->hidePopup();
}

TEST_F(ApplicationTest, PlaceholderButtonsSayPlaceHolderAndChangeNothing) {
    auto app = MakeWithLoopbackStation();
    app->Window().SetStationControlsEnabled(true);
    const char* buttons[] = {"generalButton", "alarmPinButton1", "alarmPinButton5", "rdbButton",
                             "temperatureButton"};
    for (const char* name : buttons) {
        messages.boxes.clear();
        Button(*app, name)->click();
        ASSERT_EQ(messages.boxes.size(), 1u) << name;
        EXPECT_EQ(messages.boxes[0].text, S("Place Holder !"));
        EXPECT_EQ(messages.boxes[0].caption, S("Place Holder !"));
        EXPECT_EQ(messages.boxes[0].icon, MessageIcon::None);
    }
    EXPECT_FALSE(transport);
}

TEST_F(ApplicationTest, SetDefaultMarksTheChosenStationAndReloadsTheChooser) {
    auto app = MakeWithLoopbackStation();
    app->Window().SetChooserText(S("10.10.10.10      Default IP"));
    Button(*app, "setDefaultButton")->click();
    EXPECT_EQ(messages.Texts(), QStringList{S("                   Default IP Address Set!")});
    EXPECT_EQ(app->Directory().LookupStation(S("10.10.10.10")).record.DEFAULT, S("YES"));
    EXPECT_EQ(app->Directory().LookupStation(S("127.0.0.1")).record.DEFAULT, S("NO"));
    EXPECT_EQ(app->Window().ChooserText(), S("10.10.10.10      Default IP"));
}

TEST_F(ApplicationTest, StationDialogsStopPollingFirst) {
    auto app = MakeWithLoopbackStation();
    for (const char* name : {"addIpButton", "editIpButton", "deleteIpButton"}) {
        Button(*app, "startButton")->click();
        ASSERT_EQ(app->Link().State(), ConnectionState::Connecting) << name;
        Button(*app, name)->click();
        EXPECT_EQ(app->Link().State(), ConnectionState::NotConnected) << name;
    }
}

TEST_F(ApplicationTest, ExitButtonAndFileExitCloseTheWindow) {
    auto app = MakeWithLoopbackStation();
    app->Show();
    Button(*app, "startButton")->click();
    Button(*app, "exitButton")->click();
    EXPECT_FALSE(app->Window().isVisible());
    EXPECT_EQ(app->Link().State(), ConnectionState::NotConnected);
    EXPECT_FALSE(app->Directory().IsConnected());

    auto second = MakeWithLoopbackStation();
    second->Show();
    second->Window().findChild<QAction*>(S("exitAction"))->trigger();
    EXPECT_FALSE(second->Window().isVisible());
    EXPECT_FALSE(second->Directory().IsConnected());
}

TEST_F(ApplicationTest, ConnectChoosesTheStationAndStarts) {
    auto app = MakeWithLoopbackStation();
    app->Window().SetChooserText(S("10.10.10.10      Default IP"));
    app->ConnectTo(S("127.0.0.1"));
    ASSERT_TRUE(transport);
    EXPECT_EQ(ChosenStation(app->Window().ChooserText()), S("127.0.0.1"));
    EXPECT_EQ(transport->requests.at(0).station.address, S("127.0.0.1"));
}

}  // namespace
}  // namespace volnar
