// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>

#include "core/relay_confirmation.h"
#include "history/csv_recorder.h"
#include "history/history_clock.h"
#include "history/link_health.h"
#include "history/sample_history.h"
#include "link/restart_backoff.h"

namespace volnar {

class BoardLink;
class MainWindow;
class MessageService;
class StatusBarState;
class StatusPanel;

// Watches the connected station over time from the status answers the link
// already receives: the history, the CSV recording, the health of the link,
// the confirmation of relay switches, and (unattended) the restart after a
// stop by time-outs. Shows its findings in the main window.
//
// One history per station polled in this run (StationHistories' bound): a
// stop of polling, an error or a restart is a gap in it, polling another
// station meanwhile too, and choosing a station again shows its history.
class StationWatch final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StationWatch)

public:
    // `address` gives the chosen station's address for the recording;
    // `restart` presses START again.
    StationWatch(BoardLink& link, StatusPanel& panel, MainWindow& window, StatusBarState& statusBar,
                 MessageService& messages, std::function<QString()> address,
                 std::function<void()> restart, QObject* parent = nullptr);
    ~StationWatch() override;

    // File > Record to CSV…: records to `path` from the next answer until
    // the operator stops it (the menu again, or STOP); false (after an error
    // box) when the file cannot be opened. The recording goes on after every
    // other stop (time-outs, an error, another station) with the next answer.
    bool StartRecording(const QString& path);
    void StopRecording();
    // --record: as from the menu, from the first answer on; only the menu
    // stops it.
    void RecordEveryConnection(const QString& path);
    // --connect: a stop by time-outs starts again by itself, with back-off.
    void SetRestartsByItself(bool restarts);

    // A relay switch to `state` was sent; it is pending until confirmed.
    void ExpectRelay(int relay, int state);

    // The history of the station polled last (empty for one that has not
    // answered yet); HistoryChanged says when it is another one.
    const SampleHistory& History() const { return *m_history; }
    const StationHistories& Histories() const { return m_histories; }
    // The trigger levels of `channel` (1-8) of the chosen station, for its
    // history's plot; nothing while that station has no history.
    void SetTriggers(int channel, const ChannelTriggers& triggers);
    // Where the times of samples and of the link's health come from.
    void SetClock(HistoryClock clock);
    const LinkHealth& Health() const { return m_health; }
    const RelayConfirmation& Relays() const { return m_relays; }
    const CsvRecorder& Recorder() const { return m_recorder; }
    bool IsRestartPending() const { return m_restartTimer.isActive(); }
    int RestartDelayMs() const { return m_restartDelayMs; }
    // Redraws the link health now (the health timer does it every second).
    void RefreshHealth();

Q_SIGNALS:
    // History() is another station's.
    void HistoryChanged();
    void SampleAdded();

private:
    void OnStatusRecord();
    void OnTimedOut();
    void OnStarted();
    void OnReset();
    // The station polled is `address`: its history becomes History(), made
    // for a station that `answered`; the one before gets a gap.
    void FollowStation(const QString& address, bool answered, ClockReading now);
    // Forgets the switches of another station than `address`.
    void FollowRelays(const QString& address);
    // A gap in History(); a new one (not joined to a gap before it) is logged.
    void AddGap(ClockReading now, Gap why);
    // --connect: a stop by time-outs or an error restarts after a back-off.
    void OnStoppedUnattended(const QString& reason);
    void OnRecordRequested();
    void RecordAnswer(const QString& address, std::int64_t now);
    // A recording that could not start or write: a box that ends it, or
    // unattended a note and another try with the next answer.
    void RecordingFailed(const QString& text);
    void ShowRecordingText();
    void FailRecording(const QString& text);

    BoardLink& m_link;
    StatusPanel& m_panel;
    MainWindow& m_window;
    StatusBarState& m_statusBar;
    MessageService& m_messages;
    std::function<QString()> m_address;
    std::function<void()> m_restart;
    HistoryClock m_clock = SystemClockReading;
    StationHistories m_histories;
    SampleHistory m_none{1};  // History() of a station that has not answered
    SampleHistory* m_history = &m_none;
    CsvRecorder m_recorder;
    LinkHealth m_health;
    RelayConfirmation m_relays;
    QString m_relaysStation;  // the station whose switches m_relays waits for
    RestartBackoff m_backoff;
    QTimer m_healthTimer;
    QTimer m_restartTimer;
    QString m_recordPath;  // the recording asked for; empty when none
    bool m_recordFromMenu = false;
    bool m_recordingResumes = false;  // stopped with polling: the next answer resumes it
    QString m_recordingNote;          // what the status bar says about the recording
    QString m_recordingFailure;       // unattended: why the last try failed; empty when none
    QString m_historyAddress;         // the station polled last
    bool m_restartsByItself = false;
    bool m_connected = false;
    int m_restartDelayMs = 0;
};

}  // namespace volnar
