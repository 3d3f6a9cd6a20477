// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <vector>

#include "core/result.h"
#include "fleet/fleet_poller.h"

namespace volnar {

// A label value in the Prometheus text format: backslash, double quote and
// line feed escaped; any other character as UTF-8.
QByteArray MetricLabelValue(const QString& value);

// What the exporter serves of one station. The lines of its last answer are
// formatted when the answer arrives, on the poller's thread; a scrape only
// joins them, on the HTTP thread.
struct StationSeries {
    // The label every series of the station carries: address="127.0.3.1",
    // address="127.0.3.1:1161" when two stations share the address.
    QByteArray id;
    // Lines of the info families (names, units, comment), kept once known.
    QByteArray stationInfo;
    QByteArray channelInfo;
    QByteArray relayInfo;
    // Lines of the readings, served only while fresh.
    QByteArray volts;
    QByteArray amperes;
    QByteArray celsius;
    QByteArray relayOn;
    std::optional<std::chrono::steady_clock::time_point> lastAnswer;
    std::optional<qint64> rttMs;
    qint64 freshMs = 0;  // how long an answer's readings stay: period + time-out
    FleetCounters counters;
};

// Every station's series, written by the poller's thread (SetStations after
// the poller's SetStations, Update on its RowChanged) and read by the HTTP
// thread (Format), under one lock held only to copy.
class MetricsBoard final {
public:
    void SetStations(const FleetPoller& poller);
    void Update(const FleetPoller& poller, int index);
    // The directory could (not) be read: volnar_exporter_directory_up.
    void SetDirectoryUp(bool up);

    // Every family in the Prometheus text exposition format (0.0.4).
    QByteArray Format() const;

    // The row a /probe target names: a station's address (127.0.3.01 is
    // 127.0.3.1), with :PORT where two stations share the address. A
    // refusal says why (no station of the directory, more than one).
    Result<int> Target(const QString& target) const;
    // The families of that one station (a /probe answer).
    QByteArray FormatStation(int index) const;

private:
    // The last /metrics body when no answer holds it any more, else empty.
    QByteArray TakeSpareBody() const;

    mutable std::mutex m_mutex;
    mutable std::atomic<qsizetype> m_lastSize{0};  // of the last scrape, to reserve
    mutable std::mutex m_spareMutex;
    mutable QByteArray m_spare;  // the last body, for the next scrape to reuse
    std::vector<StationSeries> m_series;
    std::vector<std::pair<QString, int>> m_endpoints;  // address and port of each row
    qint64 m_lastRoundMs = 0;
    int m_duplicateRows = 0;
    bool m_directoryUp = false;
};

// The process's own figures from /proc, as every Prometheus client library
// exports them: process_cpu_seconds_total, process_resident_memory_bytes,
// process_open_fds (counted at most every 10 s), process_max_fds,
// process_start_time_seconds.
QByteArray ProcessMetrics();

// Gives the allocator's free memory back to the system (HttpServer::Quiet).
void ReturnFreedMemory();

}  // namespace volnar
