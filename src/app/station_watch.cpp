// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/station_watch.h"

#include <QDateTime>
#include <QFileDialog>
#include <QLoggingCategory>

#include "app/main_window.h"
#include "app/status_bar_state.h"
#include "core/message_service.h"
#include "core/status_panel.h"
#include "link/board_link.h"

namespace volnar {
namespace {

Q_LOGGING_CATEGORY(lcWatch, "volnar.watch")

constexpr int kHealthRefreshMs = 1000;

}  // namespace

StationWatch::StationWatch(BoardLink& link, StatusPanel& panel, MainWindow& window,
                           StatusBarState& statusBar, MessageService& messages,
                           std::function<QString()> address, std::function<void()> restart,
                           QObject* parent)
    : QObject(parent),
      m_link(link),
      m_panel(panel),
      m_window(window),
      m_statusBar(statusBar),
      m_messages(messages),
      m_address(std::move(address)),
      m_restart(std::move(restart)),
      m_health(BoardLink::kPollIntervalMs) {
    m_healthTimer.setInterval(kHealthRefreshMs);
    connect(&m_healthTimer, &QTimer::timeout, this, &StationWatch::RefreshHealth);
    m_restartTimer.setSingleShot(true);
    connect(&m_restartTimer, &QTimer::timeout, this, [this] {
        if (m_restart) {
            m_restart();
        }
    });
    // Connected after the panel: the panel already shows the answer.
    connect(&link, &BoardLink::StatusRecordReceived, this, &StationWatch::OnStatusRecord);
    connect(&link, &BoardLink::StatusTimedOut, this, &StationWatch::OnTimedOut);
    connect(&link, &BoardLink::StartEnabledChanged, this, [this](bool enabled) {
        if (!enabled) {
            OnStarted();
        }
    });
    connect(&link, &BoardLink::ReadoutsReset, this, &StationWatch::OnReset);
    connect(&link, &BoardLink::StoppedByTimeOuts, this, [this] {
        OnStoppedUnattended(QStringLiteral("No answer"));
        if (!m_restartsByItself) {
            m_messages.ShowError(QString::fromLatin1(kErrorTimeOut));
        }
    });
    // An error answer, a station missing from the directory, a failed send:
    // the same back-off and restart as time-outs.
    connect(&link, &BoardLink::StoppedByError, this, [this](const QString& text, bool boxDue) {
        OnStoppedUnattended(text.section(QStringLiteral("\r\n"), 0, 0).trimmed());
        if (boxDue) {
            m_messages.ShowError(text);
        }
    });
    connect(&window, &MainWindow::RecordRequested, this, &StationWatch::OnRecordRequested);
    // The operator's STOP ends a recording the operator started; --record
    // is for every connection.
    connect(&window, &MainWindow::StopRequested, this, [this] {
        if (m_recordFromMenu) {
            StopRecording();
        }
    });
}

StationWatch::~StationWatch() = default;

void StationWatch::SetRestartsByItself(bool restarts) {
    m_restartsByItself = restarts;
    m_link.SetRestartsByItself(restarts);
}

void StationWatch::SetClock(HistoryClock clock) {
    m_clock = std::move(clock);
}

void StationWatch::OnStarted() {
    m_restartTimer.stop();
    m_connected = true;
    m_health.Reset(m_clock().steadyMs);
    m_healthTimer.start();
}

void StationWatch::FollowStation(const QString& address, bool answered, ClockReading now) {
    if (address != m_historyAddress) {
        // Not polled while another station is: a gap, before the other
        // station's history may push this one out.
        AddGap(now, Gap::NotPolled);
        m_historyAddress = address;
        m_none.station = address;
    }
    SampleHistory* next = answered ? &m_histories.Of(address) : m_histories.Recall(address);
    next = next != nullptr ? next : &m_none;
    if (next != m_history) {
        m_history = next;
        Q_EMIT HistoryChanged();
    }
}

void StationWatch::SetTriggers(int channel, const ChannelTriggers& triggers) {
    const QString address = m_address ? m_address() : QString();
    if (m_history == &m_none || m_history->station != address || channel < 1 ||
        channel > HistorySample::kChannelCount) {
        return;
    }
    m_history->triggers[static_cast<std::size_t>(channel - 1)] = triggers;
    Q_EMIT SampleAdded();  // the plot draws them
}

void StationWatch::AddGap(ClockReading now, Gap why) {
    if (m_history == &m_none) {
        return;
    }
    const HistorySample* latest = m_history->Latest();
    const bool opens = latest == nullptr || !latest->IsGap();
    m_history->AppendGap(now, why);
    if (opens) {
        // One line per gap (a run of losses and a stop share one), with the
        // size of the history, which only a fifth station may drop.
        qCInfo(lcWatch).noquote() << QStringLiteral("gap in the history of %1 (%2), %3 samples")
                                         .arg(m_history->station,
                                              why == Gap::Lost ? QStringLiteral("lost")
                                                               : QStringLiteral("not polled"))
                                         .arg(m_history->Size());
    }
}

void StationWatch::OnStatusRecord() {
    const ClockReading now = m_clock();
    // The chooser can be retyped while polling goes on: the next answer then
    // comes from another station, which goes into that station's history
    // (the recording goes on, in another file when the header differs).
    const QString address = m_address ? m_address() : QString();
    FollowStation(address, true, now);
    m_health.OnAnswer(now.steadyMs, m_link.LastRoundTripMs());
    m_backoff.Reset();
    const StatusRecord& record = m_panel.Record();
    for (int n = 1; n <= kChannelCount; ++n) {
        m_history->names[static_cast<std::size_t>(n - 1)] = m_panel.AdcName(n).trimmed();
        m_history->units[static_cast<std::size_t>(n - 1)] = UnitSymbol(record.Channel(n).unit);
    }
    m_history->Append(SampleOf(record, now));

    FollowRelays(address);
    m_relays.OnStatus(record);
    for (int r = 1; r <= RelayConfirmation::kRelayCount; ++r) {
        m_window.SetRelayNote(r, m_relays.Note(r));
    }

    RecordAnswer(address, now.wallMs);
    RefreshHealth();
    Q_EMIT SampleAdded();
}

void StationWatch::RecordAnswer(const QString& address, std::int64_t now) {
    if (m_recordPath.isEmpty()) {
        return;
    }
    if (!m_recorder.IsRecording()) {
        if (const Result<void> started = m_recorder.Start(m_recordPath); !started) {
            RecordingFailed(started.error());
            return;
        }
    }
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(now, Qt::UTC);
    const Result<QString> written =
        m_recorder.Write(CsvHeader(m_panel.Record()), CsvRow(m_panel.Record(), time, address));
    if (!written) {
        RecordingFailed(written.error());
        return;
    }
    if (!m_recordingFailure.isEmpty()) {
        qCInfo(lcWatch).noquote() << m_recorder.Path() << QStringLiteral("recording again");
        m_recordingFailure.clear();
    }
    if (!written->isEmpty() || m_recordingResumes) {
        QStringList notes{*written};
        if (m_recordingResumes) {
            notes.prepend(QStringLiteral("resumed"));
        }
        notes.removeAll(QString());
        m_recordingNote = notes.join(QStringLiteral("; "));
        qCInfo(lcWatch).noquote() << m_recorder.Path() << m_recordingNote;
        ShowRecordingText();
    }
    m_recordingResumes = false;
}

void StationWatch::RecordingFailed(const QString& text) {
    // The file ends with a whole row, so starting again goes on where it
    // stopped. Polling goes on in either case.
    if (!m_restartsByItself) {
        StopRecording();
        FailRecording(text);
        return;
    }
    // Unattended nobody closes a box: the recording stays asked for and the
    // next answer tries again (the answers until then are not recorded). The
    // log says each new reason once; the status bar says it all the while.
    m_recorder.Stop();
    if (text != m_recordingFailure) {
        qCWarning(lcWatch).noquote() << text << QStringLiteral("- retrying with the next answer");
    }
    m_recordingFailure = text;
    m_recordingResumes = true;
    QString reason = text;
    for (const QString& path : {m_recorder.Path(), m_recordPath}) {
        for (const QString& prefix : {QStringLiteral("Recording to %1 stopped: ").arg(path),
                                      QStringLiteral("Cannot record to %1: ").arg(path)}) {
            if (!path.isEmpty() && reason.startsWith(prefix)) {
                reason = reason.mid(prefix.size());
            }
        }
    }
    m_recordingNote = QStringLiteral("not recording: %1; retrying").arg(reason);
    ShowRecordingText();
}

void StationWatch::OnTimedOut() {
    const ClockReading now = m_clock();
    m_health.OnTimeOut();
    FollowStation(m_address ? m_address() : QString(), false, now);
    AddGap(now, Gap::Lost);
    RefreshHealth();
    Q_EMIT SampleAdded();
}

void StationWatch::OnReset() {
    // STOP, the chooser's list, any error: a gap in the same history, which
    // goes on with the next answer of the same station.
    m_connected = false;
    m_healthTimer.stop();
    m_restartTimer.stop();
    AddGap(m_clock(), Gap::NotPolled);
    m_relays.Reset();
    for (int r = 1; r <= RelayConfirmation::kRelayCount; ++r) {
        m_window.SetRelayNote(r, QString());
    }
    // Not for good: the next answer (after a restart too) resumes it.
    m_recordingResumes = m_recordingResumes || m_recorder.IsRecording();
    m_recorder.Stop();
    ShowRecordingText();
    m_statusBar.SetHealth(QString());
    m_statusBar.SetSilence(QString());
    m_window.SetReadoutsStale(false, QString());
    Q_EMIT SampleAdded();
}

void StationWatch::OnStoppedUnattended(const QString& reason) {
    if (!m_restartsByItself) {
        return;
    }
    m_restartDelayMs = m_backoff.NextDelayMs();
    qCInfo(lcWatch).noquote() << reason
                              << QStringLiteral("- restarting in %1 ms").arg(m_restartDelayMs);
    m_statusBar.SetNote(
        QStringLiteral(" MSG: %1, restarting in %2 s").arg(reason).arg(m_restartDelayMs / 1000));
    m_restartTimer.start(m_restartDelayMs);
}

void StationWatch::RefreshHealth() {
    if (!m_connected) {
        return;
    }
    const std::int64_t now = m_clock().steadyMs;
    if (m_link.State() == ConnectionState::Connected) {
        m_statusBar.SetSilence(m_health.SilenceText(now));
    }
    m_statusBar.SetHealth(m_health.HealthText(now));
    const bool stale = m_health.HasAnswer() && m_health.IsStale(now);
    m_window.SetReadoutsStale(
        stale,
        stale ? QStringLiteral("No answer for %1 s").arg(m_health.AgeMs(now) / 1000) : QString());
}

void StationWatch::FollowRelays(const QString& address) {
    // A switch waits for answers of the station it was sent to: another
    // station's relays say nothing about it.
    if (address != m_relaysStation) {
        m_relays.Reset();
        m_relaysStation = address;
    }
}

void StationWatch::ExpectRelay(int relay, int state) {
    FollowRelays(m_address ? m_address() : QString());
    m_relays.Expect(relay, state);
    m_window.SetRelayNote(relay, m_relays.Note(relay));
}

bool StationWatch::StartRecording(const QString& path) {
    StopRecording();
    if (const Result<void> started = m_recorder.Start(path); !started) {
        FailRecording(started.error());
        return false;
    }
    m_recordPath = path;
    m_recordFromMenu = true;
    ShowRecordingText();
    return true;
}

void StationWatch::StopRecording() {
    m_recordPath.clear();
    m_recordFromMenu = false;
    m_recordingResumes = false;
    m_recordingNote.clear();
    m_recordingFailure.clear();
    m_recorder.Stop();
    ShowRecordingText();
}

void StationWatch::RecordEveryConnection(const QString& path) {
    StopRecording();
    m_recordPath = path;
    ShowRecordingText();
}

void StationWatch::OnRecordRequested() {
    if (!m_recordPath.isEmpty()) {
        StopRecording();
        return;
    }
    const QString path = QFileDialog::getSaveFileName(&m_window, tr("Record to CSV"), QString(),
                                                      tr("CSV files (*.csv);;All files (*)"),
                                                      nullptr, QFileDialog::DontConfirmOverwrite);
    if (!path.isEmpty()) {
        StartRecording(path);
    }
}

void StationWatch::ShowRecordingText() {
    if (m_recordPath.isEmpty()) {
        m_statusBar.SetRecording(QString());
        return;
    }
    // The file the rows go into, which may be one beside the one asked for.
    const QString path = m_recorder.IsRecording() ? m_recorder.Path() : m_recordPath;
    const QString note =
        m_recordingNote.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(m_recordingNote);
    // The file's name: a whole path would not fit beside the other texts.
    m_statusBar.SetRecording(
        QStringLiteral("REC \u25CF ") + path.mid(path.lastIndexOf(u'/') + 1) + note, path);
}

void StationWatch::FailRecording(const QString& text) {
    qCWarning(lcWatch) << text;
    // After this answer's receivers: the poll cycle is not held up by the box.
    QTimer::singleShot(0, this, [this, text] { m_messages.ShowError(text); });
}

}  // namespace volnar
