// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exporter/exporter_options.h"
#include "exporter/http_server.h"
#include "exporter/metrics_board.h"
#include "fleet/fleet_poller.h"
#include "link/board_objects.h"
#include "support/recording_transport.h"
#include "support/status_fields.h"

namespace volnar {
namespace {

TEST(ExporterOptions, CommandLines) {
    struct Case {
        const char* args;   // split at blanks
        const char* error;  // nullptr: accepted; else a part of the refusal
        const char* listen = "127.0.0.1:9850";
        int period = 10;
    } const cases[] = {
        // clang-format off
        {.args = "--database f.db", .error = nullptr},
        {.args = "--database f.db --listen 127.0.0.2:0 --period 1", .error = nullptr, .listen = "127.0.0.2:0", .period = 1},
        {.args = "--database f.db --listen [::1]:9850", .error = nullptr, .listen = "::1:9850"},
        {.args = "--database f.db --listen :9851", .error = nullptr, .listen = "0.0.0.0:9851"},
        {.args = "--help", .error = nullptr},
        {.args = "--version", .error = nullptr},
        {.args = "--period 5", .error = "--database LOCATION is required"},
        {.args = "--database", .error = "Missing value after '--database'"},
        {.args = "--database f.db --period 0", .error = "1 to 3600"},
        {.args = "--database f.db --period 3601", .error = "1 to 3600"},
        {.args = "--database f.db --idle-timeout 0", .error = "--idle-timeout takes"},
        {.args = "--database f.db --listen [127.0.0.1]:80", .error = "--listen takes"},
        {.args = "--database f.db --listen ::1:80", .error = "--listen takes"},
        {.args = "--database f.db --listen 127.0.0.1:65536", .error = "--listen takes"},
        {.args = "--database f.db --listen host:80", .error = "--listen takes"},
        {.args = "--database f.db --verbose", .error = "Unknown option 'verbose'"},
        {.args = "--database f.db extra", .error = "Unexpected argument: extra"},
        // clang-format on
    };
    for (const Case& c : cases) {
        const auto result = ParseExporterOptions(QStringList{QStringLiteral("volnar-exporter")} +
                                                 QString::fromLatin1(c.args).split(u' '));
        ASSERT_EQ(result.has_value(), c.error == nullptr) << c.args;
        if (!result) {
            EXPECT_TRUE(result.error().contains(QString::fromLatin1(c.error)))
                << c.args << ": " << qPrintable(result.error());
            continue;
        }
        EXPECT_EQ(result->listenAddress.toString() + u':' + QString::number(result->listenPort),
                  QString::fromLatin1(c.listen))
            << c.args;
        EXPECT_EQ(result->periodSeconds, c.period);
    }
    EXPECT_TRUE(ExporterHelp().contains(QStringLiteral("--listen ADDRESS:PORT")));
}

TEST(HttpRequests, HeadersOnlyGetAndHeadWithinTheLimit) {
    const HttpLimits limits{.maxHeaderBytes = 64,
                            .requestTimeoutMs = 1,
                            .idleTimeoutMs = 1,
                            .maxConnections = 1,
                            .maxRequestsPerConnection = 1};
    struct Case {
        QByteArray bytes;
        RequestVerdict verdict;
        const char* path = "";
        bool keepAlive = false;
    } const cases[] = {
        {"GET /metrics HTTP/1.1\r\nHost: a\r\n\r\nGET /", RequestVerdict::Complete, "/metrics",
         true},
        {"HEAD /probe?target=127.0.0.1 HTTP/1.1\r\n\r\n", RequestVerdict::Complete, "/probe", true},
        {"GET / HTTP/1.0\r\n\r\n", RequestVerdict::Complete, "/"},
        {"GET / HTTP/1.1\r\nConnection: Close\r\n\r\n", RequestVerdict::Complete, "/"},
        {"GET / HTTP/1.1\r\nContent-Length: 0\r\n\r\n", RequestVerdict::Complete, "/", true},
        {"GET /metrics HTTP/1.1\r\nHost: a\r\n", RequestVerdict::Incomplete},
        {QByteArray(65, 'x'), RequestVerdict::TooLarge},
        {"GET / HTTP/1.1\r\nX: " + QByteArray(60, 'x') + "\r\n\r\n", RequestVerdict::TooLarge},
        {"POST /metrics HTTP/1.1\r\nContent-Length: 536870912\r\n\r\n",
         RequestVerdict::MethodNotAllowed},
        {"GET / HTTP/1.1\r\ncontent-length: 5\r\n\r\n", RequestVerdict::BodyNotAllowed},
        {"GET / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", RequestVerdict::BodyNotAllowed},
        {"DELETE / HTTP/1.1\r\n\r\n", RequestVerdict::MethodNotAllowed},
        {"GET metrics HTTP/1.1\r\n\r\n", RequestVerdict::BadRequest},
        {"GET / SPDY/3\r\n\r\n", RequestVerdict::BadRequest},
    };
    for (const Case& c : cases) {
        const ParsedRequest parsed = ParseHttpRequest(c.bytes, limits);
        EXPECT_EQ(parsed.verdict, c.verdict) << c.bytes.constData();
        if (c.verdict == RequestVerdict::Complete) {
            EXPECT_EQ(parsed.request.path, QByteArray(c.path)) << c.bytes.constData();
            EXPECT_EQ(parsed.keepAlive, c.keepAlive) << c.bytes.constData();
            EXPECT_EQ(c.bytes.left(parsed.length).endsWith("\r\n\r\n"), true);
        }
    }
    EXPECT_EQ(
        ParseHttpRequest("HEAD /probe?target=127.0.0.1 HTTP/1.1\r\n\r\n", limits).request.query,
        QByteArray("target=127.0.0.1"));
}

StationRecord Station(const char* address, const char* port = "161") {
    return {.IPADDRESS = QString::fromLatin1(address),
            .PASSWORD = QStringLiteral("public"),
            .COMMENT = QStringLiteral("site \"") + QString::fromLatin1(address) + u'"',
            .DEFAULT = QStringLiteral("NO"),
            .PORT = QString::fromLatin1(port),
            .TIMEOUT = QStringLiteral("2"),
            .RETRIES = QStringLiteral("1")};
}

// Three stations (two sharing an address), the first answering: its series
// are named by address, its names are in the info families, and a silent
// station has counters but no readings.
TEST(MetricsBoard, SeriesByAddressNamesInInfoReadingsWhileFresh) {
    std::vector<RecordingTransport*> transports;
    FleetPoller poller{nullptr, [&transports] {
                           auto transport = std::make_unique<RecordingTransport>();
                           transports.push_back(transport.get());
                           return transport;
                       }};
    poller.SetStations({Station("127.0.1.1"), Station("127.0.1.2"), Station("127.0.1.2", "1161"),
                        Station("127.0.1.02")});
    MetricsBoard board;
    board.SetStations(poller);
    QObject::connect(&poller, &FleetPoller::RowChanged, &poller,
                     [&](int index) { board.Update(poller, index); });
    const QByteArray before = board.Format();
    EXPECT_TRUE(
        before.contains("volnar_station_info{address=\"127.0.1.1\",station=\"\",comment="
                        "\"site \\\"127.0.1.1\\\"\"} 1\n"))
        << before.constData();
    poller.PollAll();
    testing::StatusFields record;
    record.Reading(1) = "1.23456";
    record.RelayState(2) = "1";
    record.StationName() = "North";
    BoardResponse response;
    response.requestId = transports[0]->requests.back().requestId;
    response.oid = std::string(board::kStatusRecord);
    response.syntax = kSyntaxOctetString;
    response.value = QByteArray::fromStdString(record.Join());
    Q_EMIT transports[0]->ResponseReceived(response);
    Q_EMIT transports[1]->TimedOut(transports[1]->requests.back().requestId);

    const QByteArray metrics = board.Format();
    for (const char* line : {
             "volnar_up{address=\"127.0.1.1\"} 1\n",
             "volnar_up{address=\"127.0.1.2:161\"} 0\n",
             "volnar_up{address=\"127.0.1.2:1161\"} 0\n",
             "volnar_station_info{address=\"127.0.1.1\",station=\"North\",comment=\"site "
             "\\\"127.0.1.1\\\"\"} 1\n",
             "volnar_channel_info{address=\"127.0.1.1\",channel=\"1\",name=\"Input "
             "1\",unit=\"volts\"} 1\n",
             "volnar_channel_volts{address=\"127.0.1.1\",channel=\"1\"} 1.23\n",
             "volnar_relay_info{address=\"127.0.1.1\",relay=\"2\",name=\"Pump 2\"} 1\n",
             "volnar_relay_on{address=\"127.0.1.1\",relay=\"2\"} 1\n",
             "volnar_temperature_celsius{address=\"127.0.1.1\"} 21.5\n",
             "volnar_requests_total{address=\"127.0.1.2:161\",result=\"lost\"} 1\n",
             "volnar_exporter_stations 3\n",
             "volnar_exporter_duplicate_rows 1\n",
             "volnar_exporter_build_info{version=\"",
             "process_open_fds ",
             "process_max_fds ",
             "process_start_time_seconds ",
         }) {
        EXPECT_TRUE(metrics.contains(line)) << line << "\n" << metrics.constData();
    }
    EXPECT_FALSE(metrics.contains("volnar_channel_volts{address=\"127.0.1.2"));
    EXPECT_FALSE(metrics.contains("volnar_channel_value"));

    // A scrape reuses the last body's buffer only once no answer holds it.
    const QByteArray kept(metrics.constData(), metrics.size());
    // The stations' families but for the ages, which grow between scrapes.
    const auto stations = [](const QByteArray& text) {
        QByteArrayList lines = text.left(text.indexOf("# HELP process_")).split('\n');
        lines.removeIf([](const QByteArray& line) {
            return line.startsWith("volnar_last_answer_age_seconds{");
        });
        return lines;
    };
    for (int round = 0; round < 3; ++round) {
        const QByteArray next = board.Format();  // `metrics` is still held
        EXPECT_EQ(metrics, kept) << "a body still held was written over";
        EXPECT_EQ(stations(next), stations(kept)) << round;
    }
}

}  // namespace
}  // namespace volnar
