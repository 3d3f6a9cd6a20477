// Watching a station over time through the whole client against
// volnar-station: history gaps, CSV recording, stale readouts, the stop
// after time-outs in a row and the unattended restart, relay confirmation.
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include "app_fixture.h"
#include "relays/relay_dialog.h"

namespace volnar {
namespace {

using testing::WaitFor;

QString S(const char* text) {
    return QString::fromUtf8(text);
}

class WatchE2E : public testing::AppE2E {
protected:
    void SwitchRelay(int relay, bool on) {
        app->OpenRelayDialog(relay);
        auto* dialog = LastDialog<RelayDialog>();
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QRadioButton*>(on ? S("onRadio") : S("offRadio"))->setChecked(true);
        dialog->findChild<QPushButton*>(S("doActionButton"))->click();
    }
};

TEST_F(WatchE2E, RecordingWithLossesHasOneRowPerAnswerAndTheHistoryHasGaps) {
    Begin({S("--drop"), S("0.3"), S("--seed"), S("7")});
    const QString path = folder.filePath(S("rec.csv"));
    QSignalSpy answers(&app->Link(), &BoardLink::StatusRecordReceived);
    ASSERT_TRUE(app->Watch().StartRecording(path));
    EXPECT_TRUE(app->Window().StatusRecordingText().contains(path));
    ASSERT_TRUE(
        WaitFor([&] { return answers.size() >= 6 && app->Link().LostCount() >= 1; }, 60000));
    const SampleHistory& history = app->Watch().History();
    int gaps = 0;
    for (std::size_t n = 0; n < history.Size(); ++n) {
        gaps += history.At(n).gap ? 1 : 0;
    }
    EXPECT_GE(gaps, 1);
    const int recorded = static_cast<int>(answers.size());
    app->Window().StopRequested();
    EXPECT_TRUE(app->Window().StatusRecordingText().isEmpty());
    EXPECT_EQ(app->Watch().History().Size(), 0U);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 1 + recorded + 1);  // header, rows, the empty rest
    EXPECT_TRUE(lines[0].startsWith("time (UTC),station address,station name,"));
    EXPECT_TRUE(lines[1].contains(",127.0.0.1,"));
    // Every answered status request of the simulator's log is a row.
    int answered = 0;
    for (const QJsonObject& line : RequestsOn(board::kStatusRecord, "GET")) {
        answered += line[S("note")].toString().isEmpty() ? 1 : 0;
    }
    EXPECT_GE(answered, recorded);
    EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();
}

TEST_F(WatchE2E, UnwritableRecordingStopsWithABoxAndPollingGoesOn) {
    Begin();
    if (!QFile::exists(S("/dev/full"))) {
        GTEST_SKIP();
    }
    ASSERT_TRUE(app->Watch().StartRecording(S("/dev/full")));
    ASSERT_TRUE(WaitFor([&] { return !messages.boxes.empty(); }));
    EXPECT_TRUE(messages.Texts().first().contains(S("/dev/full")));
    EXPECT_TRUE(app->Window().StatusRecordingText().isEmpty());
    const int received = app->Link().ReceivedCount();
    ASSERT_TRUE(WaitFor([&] { return app->Link().ReceivedCount() >= received + 2; }));
}

TEST_F(WatchE2E, SilentStationGoesStaleStopsAfterTimeOutsInARowAndRestartsUnattended) {
    Begin();
    ASSERT_TRUE(WaitFor([&] { return !app->Window().StatusHealthText().isEmpty(); }));
    EXPECT_FALSE(app->Window().ReadoutsStale());
    app->Watch().SetRestartsByItself(true);
    ASSERT_TRUE(sim->Stop());
    ASSERT_TRUE(WaitFor([&] { return app->Window().ReadoutsStale(); }));
    EXPECT_TRUE(app->Window().StatusStateText().startsWith(S(" No answer for ")))
        << app->Window().StatusStateText().toStdString();
    // The rest of the thirty in a row straight to the dispatcher.
    while (app->Link().IsSessionOpen()) {
        app->Link().HandleTimeOut(0);
    }
    EXPECT_TRUE(messages.boxes.empty());  // unattended: no box waits for anyone
    EXPECT_TRUE(app->Watch().IsRestartPending());
    EXPECT_EQ(app->Watch().RestartDelayMs(), 5000);
    EXPECT_TRUE(app->Window().StatusMessageText().contains(S("restarting in 5 s")));
    ASSERT_TRUE(sim->Start());
    ASSERT_TRUE(WaitFor([&] { return app->Link().ReceivedCount() >= 1; }));
    EXPECT_FALSE(app->Window().ReadoutsStale());
}

TEST_F(WatchE2E, RelayIsPendingThenConfirmedOrShownAsNotFollowing) {
    Begin({S("--stuck-relay"), S("2"), S("--delay"), S("300")});
    QLabel* one = app->Window().findChild<QLabel*>(S("relayStateLabel1"));
    QLabel* two = app->Window().findChild<QLabel*>(S("relayStateLabel2"));
    SwitchRelay(1, true);
    EXPECT_EQ(one->text(), S("pending"));
    SwitchRelay(2, true);
    EXPECT_EQ(two->text(), S("pending"));
    ASSERT_TRUE(WaitFor([&] { return one->text() == S("ON"); }));
    ASSERT_TRUE(WaitFor([&] { return two->text() == S("station still reports OFF"); }));
    EXPECT_EQ(app->Panel().RelayState(2), 0);
    EXPECT_EQ(RequestsOn(board::kRelaySwitch[2], "SET").size(), 1);
    // The station's answer time is the round trip the status bar shows.
    EXPECT_GE(app->Link().LastRoundTripMs(), 300);
    EXPECT_TRUE(app->Window().StatusHealthText().contains(S("round trip")));
}

}  // namespace
}  // namespace volnar
