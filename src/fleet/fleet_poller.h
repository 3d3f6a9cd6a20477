// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "core/station_record.h"
#include "fleet/fleet_health.h"
#include "link/board_request.h"
#include "link/status_poll.h"

class QTimer;

namespace volnar {

class SnmpTransport;
class StatusPanel;

enum class FleetState { Answering, Late, Silent, NoSocket, Unwatched };

// "answering", "late", "silent", "no socket" or "not watched".
QString FleetStateText(FleetState state);

// The state of a station whose last answer is ageMs old (nullopt: none yet):
// answering within one period and the time-out, late within three periods
// and the time-out, silent after that.
FleetState StateForAge(std::optional<qint64> ageMs, qint64 periodMs, qint64 timeoutMs);

// The settings a directory row is polled with, read as the board link reads
// them (TIMEOUT in units of 640 ms, 0 for the SNMP layer's default).
// nullopt for the template station 10.10.10.10, an address that is no
// dotted-quad IPv4 address, or a port outside 1-65535: such rows are never
// polled.
std::optional<StationSettings> FleetSettingsFor(const StationRecord& record);

// What happened to a station's status requests.
struct FleetCounters {
    quint64 received = 0;  // answered with the status record
    quint64 lost = 0;      // timed out, or could not be sent
    quint64 refused = 0;   // answered with an error status or no record
    quint64 missed = 0;    // polls skipped because the last request was still out
    quint64 noSocket = 0;  // not sent: no socket could be opened (out of descriptors)
};

// One polled station, as the fleet window and the exporter show it.
struct FleetRow {
    QString address;
    QString comment;
    StationSettings settings;
    // The readouts, converted exactly as the main window's panel does.
    std::unique_ptr<StatusPanel> readings;
    bool hasRecord = false;
    std::optional<qint64> lastAnswerMs;  // on the poller's clock (NowMs)
    std::optional<qint64> rttMs;         // of the last answer
    bool noSocket = false;               // the last poll found no socket to send on
    FleetCounters counters;
    // Not polled: the operator does not watch it in the fleet overview.
    bool watched = true;
    bool asked = false;  // a status request was sent (or tried) at least once
    LossWindow loss;     // the last hour's requests
    // Each channel's trigger levels as last read (when the poller reads
    // them), and when they were read (the poller's clock).
    StationTriggers triggers;
    std::optional<qint64> triggersReadMs;
    // The relay switches asked from this client (the main window's relay
    // dialog), confirmed or found not followed by the polls' answers.
    RelayConfirmation relays;
};

// Polls the status record of every station of a directory at one period, all
// on the calling (GUI) thread: one SNMP transport (one net-snmp session) per
// station, each answer routed straight to its row, so handling one answer
// costs the same whatever the number of stations. Only GETs are sent: the
// status record, and when asked (SetReadsTriggers), each channel's configuration
// record for its trigger levels, one channel after the other, after an
// answer and at most once per kTriggerRefreshMs. Unwatched rows are kept
// and shown but not polled.
// It never stops on errors: a station that does not answer, refuses or
// cannot be reached is a row state.
class FleetPoller final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FleetPoller)

public:
    using TransportFactory = std::function<std::unique_ptr<SnmpTransport>()>;
    static constexpr int kDefaultPeriodMs = 10'000;
    static constexpr int kShortestPeriodMs = 1'000;
    static constexpr int kShortestTickMs = 20;
    static constexpr qint64 kTriggerRefreshMs = 15 * 60'000;

    // Without a factory, each station gets its own SnmpSession.
    explicit FleetPoller(QObject* parent = nullptr, TransportFactory factory = {});
    ~FleetPoller() override;

    // Replaces the stations with the pollable rows of a directory (in order).
    // A station of the old list (same address and port) keeps its counters,
    // readings and request in flight, with the row's new settings.
    // A row naming the same station as an earlier one (address and port,
    // 127.0.3.01 being 127.0.3.1) is polled once and counted, with a warning.
    void SetStations(const std::vector<StationRecord>& records);
    // Clamped to kShortestPeriodMs and up; takes effect at the next poll.
    void SetPeriodMs(int periodMs);
    int PeriodMs() const { return m_periodMs; }
    // The stations not polled (canonical addresses); kept for later
    // SetStations.
    void SetUnwatched(const QSet<QString>& addresses);
    int WatchedCount() const;
    // Reads each answering station's trigger levels (off by default).
    void SetReadsTriggers(bool read) { m_readTriggers = read; }
    // A switch of relay `relay` (1-4) to `state` (0 off, 1 on) was sent to
    // the station at `address`: its row watches whether the station follows.
    void ExpectRelay(const QString& address, int relay, int state);
    // Channel `channel`'s (1-8) trigger levels as the station at `address`
    // now holds them (read or changed by the ADC dialog).
    void SetTriggers(const QString& address, int channel, const ChannelTriggers& triggers);
    // Polls every station once a period, until Stop: station i of n is
    // asked i/n of a period into each round, so the requests are spread
    // evenly over the period.
    void Start();
    void Stop();
    // One round at once: a status GET to every station whose last one is
    // answered (the others count a missed poll).
    void PollAll();
    // Polls the row now (or waits for its request in flight) and calls done
    // once that request has ended: answered, refused, lost or not sent.
    void Probe(int index, std::function<void()> done);

    int RowCount() const { return static_cast<int>(m_rows.size()); }
    const FleetRow& Row(int index) const { return m_rows[static_cast<std::size_t>(index)]; }
    FleetState StateOf(int index) const;
    std::optional<qint64> AgeMs(int index) const;
    qint64 NowMs() const { return m_clock.elapsed(); }
    // How long the last full round took (its start to the last answer or
    // time-out after its last request), 0 before the first one ends.
    qint64 LastRoundMs() const { return m_lastRoundMs; }
    FleetCounters Totals() const;
    // Directory rows left out as the same station as an earlier row.
    int DuplicateRows() const { return m_duplicateRows; }
    // How long a request of the row waits, resends included.
    qint64 TimeoutMs(int index) const { return TimeoutMs(Row(index)); }

Q_SIGNALS:
    // A row's answer, time-out or failed send was handled.
    void RowChanged(int index);

private:
    struct Poll;
    void AddRow(FleetRow row, Poll poll);
    // Changes every row of the address and tells the table.
    void ChangeRowsOf(const QString& address, const std::function<void(FleetRow&)>& change);
    void Tick();
    int TickMs() const;
    void PollOne(int index);
    void Send(int index);
    int NextId(Poll& poll);
    void ReadTriggers(int index);
    void SendTriggerRead(int index, int channel);
    void OnTriggerEnding(int index, const BoardResponse* response);
    void OnAnswer(int index, const BoardResponse& response);
    void OnTimeout(int index, int requestId);
    void Settle(int index);
    void EndProbes(int index);
    qint64 TimeoutMs(const FleetRow& row) const;

    // Each row's session and status poll. Its request ids start at a random
    // value: the client's own counter is no row's, and predictable ids are all
    // version 1 has against blind spoofing.
    struct Poll {
        SnmpTransport* transport = nullptr;
        StatusPoll status;
        int nextId = 1;
        int triggerId = 0;       // the channel record read in flight
        int triggerChannel = 0;  // its channel, 0 when none is being read
    };

    TransportFactory m_factory;
    std::vector<FleetRow> m_rows;
    std::vector<Poll> m_polls;
    QTimer* m_timer;
    QElapsedTimer m_clock;
    int m_periodMs = kDefaultPeriodMs;
    int m_outstanding = 0;
    std::map<int, std::vector<std::function<void()>>> m_probes;  // by row
    int m_nextIndex = 0;       // the next station of the round to ask
    bool m_roundSent = false;  // every station of the round was asked
    int m_duplicateRows = 0;
    quint64 m_noSocketLogged = 0;
    qint64 m_roundStartMs = 0;
    qint64 m_lastRoundMs = 0;
    QSet<QString> m_unwatched;
    bool m_readTriggers = false;
};

}  // namespace volnar
