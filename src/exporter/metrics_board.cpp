// SPDX-License-Identifier: GPL-3.0-or-later
#include "exporter/metrics_board.h"

#include <QLocale>

#include <charconv>
#include <cmath>
#include <map>

#include "core/status_panel.h"
#include "link/board_request.h"

namespace volnar {

namespace {

using Clock = std::chrono::steady_clock;

QByteArray NumberText(double value) {
    return QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
}

QByteArray Label(const char* name, const QString& value) {
    return QByteArray(name) + "=\"" + MetricLabelValue(value) + '"';
}

QByteArray Line(const char* name, const QByteArray& labels, double value) {
    return QByteArray(name) + '{' + labels + "} " + NumberText(value) + '\n';
}

// name{labels} value, appended in place: a scrape of thousands of stations
// builds no temporary per line.
void Append(QByteArray& out, const char* name, const QByteArray& labels, double value) {
    char number[32];
    const auto end = std::to_chars(number, number + sizeof number, value).ptr;
    out.append(name).append('{').append(labels).append("} ");
    out.append(number, end - number).append('\n');
}

void Head(QByteArray& out, const char* name, const char* type, const char* help) {
    out += QByteArray("# HELP ") + name + ' ' + help + "\n# TYPE " + name + ' ' + type + '\n';
}

// The info and reading lines of a row's last status record.
void FormatRecord(const FleetRow& row, StationSeries& series) {
    const StatusPanel& panel = *row.readings;
    const QByteArray& id = series.id;
    series.stationInfo = Line("volnar_station_info",
                              id + ',' + Label("station", panel.StationName().trimmed()) + ',' +
                                  Label("comment", row.comment),
                              1);
    if (!row.hasRecord) {
        return;
    }
    series.channelInfo.clear();
    series.volts.clear();
    series.amperes.clear();
    for (int n = 1; n <= kChannelCount; ++n) {
        const ChannelStatus& channel = panel.Record().Channel(n);
        const bool volts = channel.unit == Unit::Volts;
        const QByteArray labels = id + ",channel=\"" + QByteArray::number(n) + '"';
        series.channelInfo += Line("volnar_channel_info",
                                   labels + ',' + Label("name", panel.AdcName(n).trimmed()) +
                                       (volts ? ",unit=\"volts\"" : ",unit=\"amperes\""),
                                   1);
        if (const auto value = channel.Value(); value && std::isfinite(*value)) {
            (volts ? series.volts : series.amperes) +=
                Line(volts ? "volnar_channel_volts" : "volnar_channel_amperes", labels, *value);
        }
    }
    series.celsius.clear();
    if (const auto value = panel.Record().Celsius(); value && std::isfinite(*value)) {
        series.celsius = Line("volnar_temperature_celsius", id, *value);
    }
    series.relayInfo.clear();
    series.relayOn.clear();
    for (int k = 1; k <= kRelayCount; ++k) {
        const QByteArray labels = id + ",relay=\"" + QByteArray::number(k) + '"';
        series.relayInfo += Line("volnar_relay_info",
                                 labels + ',' + Label("name", panel.RelayName(k).trimmed()), 1);
        if (const std::optional<bool> on = panel.Record().Relay(k).On()) {
            series.relayOn += Line("volnar_relay_on", labels, *on ? 1 : 0);
        }
    }
}

bool Fresh(const StationSeries& series, Clock::time_point now) {
    return series.lastAnswer &&
           now - *series.lastAnswer <= std::chrono::milliseconds(series.freshMs);
}

// The families of each station's state and readings; readings only while
// fresh.
void AppendStationFamilies(QByteArray& out, const std::vector<StationSeries>& series,
                           Clock::time_point now) {
    std::vector<bool> fresh(series.size());
    for (std::size_t i = 0; i < series.size(); ++i) {
        fresh[i] = Fresh(series[i], now);
    }
    Head(out, "volnar_up", "gauge",
         "1 while the station's last answer is within a period and its time-out.");
    for (std::size_t i = 0; i < series.size(); ++i) {
        Append(out, "volnar_up", series[i].id, fresh[i] ? 1 : 0);
    }
    Head(out, "volnar_last_answer_age_seconds", "gauge",
         "Seconds since the station's last answer.");
    for (const StationSeries& one : series) {
        if (one.lastAnswer) {
            const std::chrono::duration<double> age = now - *one.lastAnswer;
            Append(out, "volnar_last_answer_age_seconds", one.id, age.count());
        }
    }
    Head(out, "volnar_rtt_seconds", "gauge",
         "Round trip of the station's last answer, while fresh.");
    for (std::size_t i = 0; i < series.size(); ++i) {
        if (fresh[i] && series[i].rttMs) {
            Append(out, "volnar_rtt_seconds", series[i].id,
                   static_cast<double>(*series[i].rttMs) / 1000.0);
        }
    }
    const auto joined = [&](const char* name, const char* type, const char* help,
                            QByteArray StationSeries::*lines, bool onlyFresh) {
        Head(out, name, type, help);
        for (std::size_t i = 0; i < series.size(); ++i) {
            if (!onlyFresh || fresh[i]) {
                out += series[i].*lines;
            }
        }
    };
    joined("volnar_station_info", "gauge",
           "The station's name (as it reports it) and the directory's comment.",
           &StationSeries::stationInfo, false);
    joined("volnar_channel_info", "gauge", "The name and unit of an ADC channel.",
           &StationSeries::channelInfo, false);
    joined("volnar_relay_info", "gauge", "The name of a relay.", &StationSeries::relayInfo, false);
    joined("volnar_channel_volts", "gauge", "Reading of a voltmeter channel, while fresh.",
           &StationSeries::volts, true);
    joined("volnar_channel_amperes", "gauge",
           "Reading of an ammeter channel (through its shunt), while fresh.",
           &StationSeries::amperes, true);
    joined("volnar_temperature_celsius", "gauge", "The station's temperature, while fresh.",
           &StationSeries::celsius, true);
    joined("volnar_relay_on", "gauge", "1 when the relay is on, while fresh.",
           &StationSeries::relayOn, true);
}

void AppendCounters(QByteArray& out, const std::vector<StationSeries>& series) {
    Head(out, "volnar_requests_total", "counter", "Status requests by what became of them.");
    for (const StationSeries& one : series) {
        const FleetCounters& c = one.counters;
        const std::pair<const char*, quint64> results[] = {{"received", c.received},
                                                           {"lost", c.lost},
                                                           {"refused", c.refused},
                                                           {"no_socket", c.noSocket}};
        for (const auto& [result, count] : results) {
            char number[24];
            const auto end = std::to_chars(number, number + sizeof number, count).ptr;
            out.append("volnar_requests_total{").append(one.id).append(",result=\"").append(result);
            out.append("\"} ").append(number, end - number).append('\n');
        }
    }
    Head(out, "volnar_polls_skipped_total", "counter",
         "Polls skipped because the last request was still out.");
    for (const StationSeries& one : series) {
        Append(out, "volnar_polls_skipped_total", one.id, static_cast<double>(one.counters.missed));
    }
}

}  // namespace

QByteArray MetricLabelValue(const QString& value) {
    QByteArray out;
    const QByteArray utf8 = value.toUtf8();
    out.reserve(utf8.size());
    for (const char c : utf8) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '"') {
            out += "\\\"";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

void MetricsBoard::SetStations(const FleetPoller& poller) {
    std::map<QString, int> perAddress;
    for (int i = 0; i < poller.RowCount(); ++i) {
        ++perAddress[poller.Row(i).address];
    }
    std::vector<StationSeries> series(static_cast<std::size_t>(poller.RowCount()));
    for (int i = 0; i < poller.RowCount(); ++i) {
        const FleetRow& row = poller.Row(i);
        StationSeries& one = series[static_cast<std::size_t>(i)];
        // The address alone names a station; the port joins it only where
        // two stations share the address.
        one.id = Label("address", perAddress[row.address] > 1
                                      ? row.address + u':' + QString::number(row.settings.port)
                                      : row.address);
        one.freshMs = poller.PeriodMs() + poller.TimeoutMs(i);
        one.counters = row.counters;
        one.rttMs = row.rttMs;
        if (const auto age = poller.AgeMs(i)) {
            one.lastAnswer = Clock::now() - std::chrono::milliseconds(*age);
        }
        FormatRecord(row, one);
    }
    std::vector<std::pair<QString, int>> endpoints;
    for (int i = 0; i < poller.RowCount(); ++i) {
        endpoints.emplace_back(poller.Row(i).address, poller.Row(i).settings.port);
    }
    const std::lock_guard lock(m_mutex);
    m_series = std::move(series);
    m_endpoints = std::move(endpoints);
    m_duplicateRows = poller.DuplicateRows();
}

void MetricsBoard::Update(const FleetPoller& poller, int index) {
    const FleetRow& row = poller.Row(index);
    const std::lock_guard lock(m_mutex);
    if (index < 0 || static_cast<std::size_t>(index) >= m_series.size()) {
        return;
    }
    StationSeries& one = m_series[static_cast<std::size_t>(index)];
    const bool answered = row.lastAnswerMs && row.counters.received != one.counters.received;
    one.counters = row.counters;
    one.rttMs = row.rttMs;
    m_lastRoundMs = poller.LastRoundMs();
    if (const auto age = poller.AgeMs(index)) {
        one.lastAnswer = Clock::now() - std::chrono::milliseconds(*age);
    }
    if (answered) {
        FormatRecord(row, one);
    }
}

void MetricsBoard::SetDirectoryUp(bool up) {
    const std::lock_guard lock(m_mutex);
    m_directoryUp = up;
}

QByteArray MetricsBoard::Format() const {
    std::vector<StationSeries> series;
    qint64 lastRoundMs = 0;
    int duplicates = 0;
    bool directoryUp = false;
    {
        // Copies share the lines' bytes: the lock is held for reference
        // counts only, never for formatting.
        const std::lock_guard lock(m_mutex);
        series = m_series;
        lastRoundMs = m_lastRoundMs;
        duplicates = m_duplicateRows;
        directoryUp = m_directoryUp;
    }
    QByteArray out = TakeSpareBody();
    out.reserve(m_lastSize.load() + 4096);
    AppendStationFamilies(out, series, Clock::now());
    AppendCounters(out, series);
    const auto single = [&out](const char* name, const char* help, double value) {
        Head(out, name, "gauge", help);
        out += QByteArray(name) + ' ' + NumberText(value) + '\n';
    };
    single("volnar_exporter_stations", "Stations polled.", static_cast<double>(series.size()));
    single("volnar_exporter_duplicate_rows", "Directory rows naming a station polled already.",
           duplicates);
    single("volnar_exporter_directory_up", "1 when the station directory was read.",
           directoryUp ? 1 : 0);
    single("volnar_exporter_poll_duration_seconds",
           "How long the last round of status polls took to settle.",
           static_cast<double>(lastRoundMs) / 1000.0);
    Head(out, "volnar_exporter_build_info", "gauge", "The exporter's version.");
    out += "volnar_exporter_build_info{version=\"" VOLNAR_VERSION_TEXT "\"} 1\n";
    out += ProcessMetrics();
    m_lastSize = out.size();
    const std::lock_guard lock(m_spareMutex);
    m_spare = out;  // shared until the answer is sent
    return out;
}

QByteArray MetricsBoard::TakeSpareBody() const {
    QByteArray body;
    const std::lock_guard lock(m_spareMutex);
    if (m_spare.isDetached()) {
        // Nobody holds the last body any more: its pages are reused, not
        // mapped and touched afresh (11 MB at 5,000 stations).
        body.swap(m_spare);
        body.resize(0);
    }
    return body;
}

Result<int> MetricsBoard::Target(const QString& target) const {
    const qsizetype colon = target.indexOf(u':');
    const std::optional<QString> address = CanonicalIpv4(colon < 0 ? target : target.left(colon));
    bool portOk = colon < 0;
    const int port = colon < 0 ? 0 : target.mid(colon + 1).toInt(&portOk);
    if (!address || !portOk) {
        return Failure{QStringLiteral("target is no ADDRESS or ADDRESS:PORT of a station")};
    }
    const std::lock_guard lock(m_mutex);
    std::optional<int> found;
    for (std::size_t i = 0; i < m_endpoints.size(); ++i) {
        if (m_endpoints[i].first == *address && (colon < 0 || m_endpoints[i].second == port)) {
            if (found) {
                return Failure{QStringLiteral("two stations share the address: add :PORT")};
            }
            found = static_cast<int>(i);
        }
    }
    if (!found) {
        return Failure{QStringLiteral("no station of the directory has this address")};
    }
    return *found;
}

QByteArray MetricsBoard::FormatStation(int index) const {
    std::vector<StationSeries> one;
    {
        const std::lock_guard lock(m_mutex);
        if (index < 0 || static_cast<std::size_t>(index) >= m_series.size()) {
            return {};
        }
        one.push_back(m_series[static_cast<std::size_t>(index)]);
    }
    QByteArray out;
    AppendStationFamilies(out, one, Clock::now());
    AppendCounters(out, one);
    return out;
}

}  // namespace volnar
