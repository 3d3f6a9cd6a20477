// SPDX-License-Identifier: GPL-3.0-or-later
// Watching a station over time through the whole client against
// volnar-station: history gaps, CSV recording, stale readouts, the stop
// after time-outs in a row and the unattended restart, which is a gap in the
// same history. Relay confirmation is RelayStationE2E's.
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <algorithm>
#include <vector>

#include "app_fixture.h"

namespace volnar {
namespace {

using testing::WaitFor;

QString S(const char* text) {
    return QString::fromUtf8(text);
}

using WatchE2E = testing::AppE2E;

TEST_F(WatchE2E, RecordingWithLossesHasOneRowPerAnswerAndTheHistoryHasGaps) {
    ASSERT_NO_FATAL_FAILURE(Begin({S("--drop"), S("0.3"), S("--seed"), S("7")}));
    // A file of other columns is left as it is: the rows go beside it.
    const QByteArray other("time,other\r\n1,2\r\n");
    QFile existing(folder.filePath(S("rec.csv")));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly) && existing.write(other) == other.size());
    existing.close();
    const QString path = folder.filePath(S("rec-2.csv"));
    QSignalSpy answers(&app->Link(), &BoardLink::StatusRecordReceived);
    ASSERT_TRUE(app->Watch().StartRecording(existing.fileName()));
    ASSERT_TRUE(WaitFor([&] { return !answers.isEmpty(); }));
    EXPECT_EQ(app->Window().StatusRecordingText(),
              S("REC \u25CF rec-2.csv (rec.csv has other columns)"));
    ASSERT_TRUE(
        WaitFor([&] { return answers.size() >= 6 && app->Link().LostCount() >= 1; }, 60000));
    const SampleHistory& history = app->Watch().History();
    int gaps = 0;
    for (std::size_t n = 0; n < history.Size(); ++n) {
        gaps += history.At(n).IsGap() ? 1 : 0;
    }
    EXPECT_GE(gaps, 1);
    const int recorded = static_cast<int>(answers.size());
    const std::size_t samples = history.Size();
    app->Window().StopRequested();
    EXPECT_TRUE(app->Window().StatusRecordingText().isEmpty());
    // STOP is a gap; the history goes on with the next START.
    EXPECT_EQ(&app->Watch().History(), &history);
    ASSERT_GE(history.Size(), samples);
    EXPECT_EQ(history.Latest()->gap, Gap::NotPolled);

    ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
    EXPECT_EQ(existing.readAll(), other);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(),
              1 + recorded + 1);  // header (the recorder's tests), rows, the empty rest
    // Every answered status request of the simulator's log is a row.
    int answered = 0;
    for (const QJsonObject& line : RequestsOn(board::kStatusRecord, "GET")) {
        answered += line[S("note")].toString().isEmpty() ? 1 : 0;
    }
    EXPECT_GE(answered, recorded);
    EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();
}

// A write that fails on a full disk: the recorder's tests.
TEST_F(WatchE2E, DeviceIsRefusedWithABoxAndPollingGoesOn) {
    ASSERT_NO_FATAL_FAILURE(Begin());
    if (!QFile::exists(S("/dev/full"))) {
        GTEST_SKIP();
    }
    EXPECT_FALSE(app->Watch().StartRecording(S("/dev/full")));
    ASSERT_TRUE(WaitFor([&] { return !messages.boxes.empty(); }));
    EXPECT_TRUE(messages.Texts().first().contains(S("/dev/full: not a regular file")))
        << messages.Texts().first().toStdString();
    EXPECT_TRUE(app->Window().StatusRecordingText().isEmpty());
    const int received = app->Link().ReceivedCount();
    ASSERT_TRUE(WaitFor([&] { return app->Link().ReceivedCount() >= received + 2; }));
}

TEST_F(WatchE2E, SilentStationGoesStaleStopsAfterTimeOutsInARowAndRestartsUnattended) {
    ASSERT_NO_FATAL_FAILURE(Begin());
    // Recorded from the menu: the recording resumes after the restart.
    const QString path = folder.filePath(S("rec.csv"));
    ASSERT_TRUE(app->Watch().StartRecording(path));
    ASSERT_TRUE(WaitFor([&] {
        return !app->Window().StatusHealthText().isEmpty() &&
               app->Watch().Recorder().RowsWritten() >= 1;
    }));
    EXPECT_FALSE(app->Window().ReadoutsStale());
    auto* reading = app->Window().findChild<QLineEdit*>(S("adcValueEdit1"));
    const QString liveStyle = reading->styleSheet();
    app->Watch().SetRestartsByItself(true);
    ASSERT_TRUE(sim->Stop());
    ASSERT_TRUE(WaitFor([&] { return app->Window().ReadoutsStale(); }));
    EXPECT_NE(reading->styleSheet(), liveStyle);
    EXPECT_TRUE(app->Window().StatusStateText().startsWith(S(" No answer for ")))
        << app->Window().StatusStateText().toStdString();
    // The rest of the thirty in a row straight to the dispatcher.
    while (app->Link().IsSessionOpen()) {
        if (app->Link().StatusRequestId() == 0) {
            app->Link().PollTick();
        }
        app->Link().HandleTimeOut(app->Link().StatusRequestId());
    }
    EXPECT_TRUE(messages.boxes.empty());  // unattended: no box waits for anyone
    EXPECT_TRUE(app->Watch().IsRestartPending());
    EXPECT_EQ(app->Watch().RestartDelayMs(), 5000);
    EXPECT_TRUE(app->Window().StatusMessageText().contains(S("restarting in 5 s")));
    EXPECT_EQ(app->Window().StatusRecordingText(), S("REC \u25CF ") + QFileInfo(path).fileName());
    const int rowsBefore = app->Watch().Recorder().RowsWritten();
    ASSERT_GE(rowsBefore, 1);
    ASSERT_TRUE(sim->Start());
    ASSERT_TRUE(WaitFor([&] { return app->Link().ReceivedCount() >= 1; }));
    EXPECT_FALSE(app->Window().ReadoutsStale());
    EXPECT_EQ(reading->styleSheet(), liveStyle) << "the readout's own colours are back";
    EXPECT_EQ(app->Window().StatusRecordingText(),
              S("REC \u25CF ") + QFileInfo(path).fileName() + S(" (resumed)"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    EXPECT_EQ(lines.size(), 1 + rowsBefore + app->Watch().Recorder().RowsWritten() + 1);
    EXPECT_EQ(std::count_if(lines.cbegin(), lines.cend(),
                            [](const QByteArray& line) { return line.startsWith("time (UTC),"); }),
              1);
    EXPECT_TRUE(lines[0].startsWith("time (UTC),"));
    // One history: the answers before, one gap for the outage and the
    // restarts, the answers after.
    const SampleHistory& history = app->Watch().History();
    std::vector<std::size_t> stops;
    for (std::size_t n = 0; n < history.Size(); ++n) {
        if (history.At(n).gap == Gap::NotPolled) {
            stops.push_back(n);
        }
    }
    ASSERT_EQ(stops.size(), 1U);
    EXPECT_GE(stops[0], static_cast<std::size_t>(rowsBefore));
    ASSERT_LT(stops[0] + 1, history.Size());
    EXPECT_FALSE(history.At(stops[0] + 1).IsGap());
}

}  // namespace
}  // namespace volnar
