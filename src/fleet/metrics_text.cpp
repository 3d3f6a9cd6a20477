#include "fleet/metrics_text.h"

#include <QLocale>

#include <cmath>
#include <optional>

#include "core/status_panel.h"
#include "fleet/fleet_poller.h"

namespace volnar {

namespace {

QByteArray NumberText(double value) {
    return QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
}

// One family: its help and type lines, then the samples added with Add().
class Family final {
public:
    Family(QByteArray& out, const char* name, const char* type, const char* help)
        : m_out(out), m_name(name) {
        m_out += "# HELP " + m_name + ' ' + help + "\n# TYPE " + m_name + ' ' + type + '\n';
    }
    void Add(const QByteArray& labels, double value) {
        m_out += m_name;
        if (!labels.isEmpty()) {
            m_out += '{' + labels + '}';
        }
        m_out += ' ' + NumberText(value) + '\n';
    }

private:
    QByteArray& m_out;
    QByteArray m_name;
};

QByteArray Label(const char* name, const QString& value) {
    return QByteArray(name) + "=\"" + MetricLabelValue(value) + '"';
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

QByteArray FormatMetrics(const FleetPoller& poller) {
    QByteArray out;
    const int rows = poller.RowCount();
    std::vector<QByteArray> stationLabels;
    stationLabels.reserve(static_cast<std::size_t>(rows));
    for (int i = 0; i < rows; ++i) {
        const FleetRow& row = poller.Row(i);
        stationLabels.push_back(Label("address", row.address) + ',' +
                                Label("station", row.readings->StationName().trimmed()));
    }
    const auto station = [&stationLabels](int i) {
        return stationLabels[static_cast<std::size_t>(i)];
    };

    Family up(out, "volnar_up", "gauge", "1 when the station answers its status polls in time.");
    for (int i = 0; i < rows; ++i) {
        up.Add(station(i), poller.StateOf(i) == FleetState::Answering ? 1 : 0);
    }
    Family age(out, "volnar_last_answer_age_seconds", "gauge",
               "Seconds since the station's last answer.");
    for (int i = 0; i < rows; ++i) {
        if (const auto ms = poller.AgeMs(i)) {
            age.Add(station(i), static_cast<double>(*ms) / 1000.0);
        }
    }
    Family rtt(out, "volnar_rtt_seconds", "gauge", "Round-trip time of the last answer.");
    for (int i = 0; i < rows; ++i) {
        if (const auto ms = poller.Row(i).rttMs) {
            rtt.Add(station(i), static_cast<double>(*ms) / 1000.0);
        }
    }
    Family channel(out, "volnar_channel_value", "gauge",
                   "Reading of an ADC channel in its unit, converted as the client shows it.");
    for (int i = 0; i < rows; ++i) {
        const FleetRow& row = poller.Row(i);
        for (int n = 1; row.hasRecord && n <= kChannelCount; ++n) {
            // The unit as the client decides it, in the station's spelling.
            const ChannelStatus& reading = row.readings->Record().Channel(n);
            if (const auto value = reading.Value(); value && std::isfinite(*value)) {
                channel.Add(station(i) + ",channel=\"" + QByteArray::number(n) + "\"," +
                                Label("name", row.readings->AdcName(n)) + ',' +
                                Label("unit", UnitSymbol(reading.unit).toLower()),
                            *value);
            }
        }
    }
    Family celsius(out, "volnar_temperature_celsius", "gauge", "The station's temperature.");
    for (int i = 0; i < rows; ++i) {
        const FleetRow& row = poller.Row(i);
        if (const auto value = row.readings->Record().Celsius();
            row.hasRecord && value && std::isfinite(*value)) {
            celsius.Add(station(i), *value);
        }
    }
    Family relay(out, "volnar_relay_on", "gauge", "1 when the relay is on.");
    for (int i = 0; i < rows; ++i) {
        const FleetRow& row = poller.Row(i);
        for (int k = 1; row.hasRecord && k <= kRelayCount; ++k) {
            if (const std::optional<bool> on = row.readings->Record().Relay(k).On()) {
                relay.Add(station(i) + ",relay=\"" + QByteArray::number(k) + "\"," +
                              Label("name", row.readings->RelayName(k)),
                          *on ? 1 : 0);
            }
        }
    }
    Family requests(out, "volnar_requests_total", "counter",
                    "Status requests by what became of them.");
    for (int i = 0; i < rows; ++i) {
        const FleetCounters& c = poller.Row(i).counters;
        requests.Add(station(i) + ",result=\"received\"", static_cast<double>(c.received));
        requests.Add(station(i) + ",result=\"lost\"", static_cast<double>(c.lost));
        requests.Add(station(i) + ",result=\"refused\"", static_cast<double>(c.refused));
    }
    Family stations(out, "volnar_exporter_stations", "gauge", "Stations polled.");
    stations.Add({}, rows);
    Family duration(out, "volnar_exporter_poll_duration_seconds", "gauge",
                    "How long the last round of status polls took to settle.");
    duration.Add({}, static_cast<double>(poller.LastRoundMs()) / 1000.0);
    return out;
}

}  // namespace volnar
