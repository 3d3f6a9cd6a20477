// SPDX-License-Identifier: GPL-3.0-or-later
// The exporter against simulated stations: its /metrics passes promtool and
// matches the simulator's state, and a real Prometheus on loopback scrapes it.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <map>
#include <memory>
#include <string>

#include <poll.h>
#include <signal.h>

#include "support/snmp_datagram.h"
#include "support/station_simulator.h"

namespace volnar {
namespace {

using testing::StationSimulator;

QByteArray HttpGet(const QString& url) {
    QNetworkAccessManager manager;
    std::unique_ptr<QNetworkReply> reply(manager.get(QNetworkRequest(QUrl(url))));
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    return reply->isFinished() && reply->error() == QNetworkReply::NoError ? reply->readAll()
                                                                           : QByteArray();
}

quint16 FreeTcpPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

int RunProgram(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    process.waitForFinished(10000);
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// A --database that is no station directory (a mistyped path, an empty
// file) ends the exporter with the reason, and no file is made or changed.
TEST(Exporter, ADatabaseThatIsNoStationDirectoryIsRefusedWithItsReason) {
    QTemporaryDir dir;
    const QString empty = dir.filePath(QStringLiteral("empty.db"));
    QFile(empty).open(QIODevice::WriteOnly);
    const struct {
        QString path;
        QString reason;
    } cases[] = {
        {dir.filePath(QStringLiteral("mistyped.db")),
         QStringLiteral("There is no station database at ") +
             dir.filePath(QStringLiteral("mistyped.db"))},
        {empty, empty + QStringLiteral(" is not a station database: it holds no table main")},
    };
    for (const auto& c : cases) {
        QProcess exporter;
        exporter.start(QStringLiteral(VOLNAR_EXPORTER_BINARY),
                       {QStringLiteral("--database"), c.path, QStringLiteral("--listen"),
                        QStringLiteral("127.0.0.1:0")});
        ASSERT_TRUE(exporter.waitForFinished(10000));
        EXPECT_EQ(exporter.exitCode(), 1);
        const QString said = QString::fromLocal8Bit(exporter.readAllStandardError());
        EXPECT_TRUE(said.contains(c.reason)) << said.toStdString();
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("empty.db")});
    EXPECT_EQ(QFileInfo(empty).size(), 0);
}

// A directory that cannot be reached is read again and again, ever later,
// while /metrics answers that it is down.
TEST(Exporter, AnUnreachableDirectoryIsRetriedWhileMetricsAnswers) {
    QProcess exporter;
    exporter.start(QStringLiteral(VOLNAR_EXPORTER_BINARY),
                   {QStringLiteral("--database"), QStringLiteral("DRIVER={volnar-no-such-driver}"),
                    QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")});
    ASSERT_TRUE(exporter.waitForReadyRead(10000));
    const auto match = QRegularExpression(QStringLiteral("http://(127\\.0\\.0\\.1:\\d+)/metrics"))
                           .match(QString::fromUtf8(exporter.readAllStandardOutput()));
    ASSERT_TRUE(match.hasMatch());
    QByteArray said;
    for (QDeadlineTimer deadline(10000);
         !deadline.hasExpired() && !said.contains("reading the directory again in 2 s");) {
        exporter.waitForReadyRead(200);
        said += exporter.readAllStandardError();
    }
    EXPECT_TRUE(said.contains("reading the directory again in 1 s")) << said.constData();
    EXPECT_TRUE(said.contains("reading the directory again in 2 s")) << said.constData();
    const QByteArray metrics =
        HttpGet(QStringLiteral("http://") + match.captured(1) + QStringLiteral("/metrics"));
    EXPECT_TRUE(metrics.contains("volnar_exporter_directory_up 0\n")) << metrics.constData();
    EXPECT_TRUE(metrics.contains("volnar_exporter_stations 0\n"));
    exporter.terminate();
    EXPECT_TRUE(exporter.waitForFinished(5000));
    EXPECT_EQ(exporter.exitCode(), 0);
}

// Lines that end it before any directory is read: what it says, on which
// stream, with which status.
TEST(Exporter, VersionHelpAndWrongOptions) {
    const struct {
        QStringList args;
        int status;
        const char* says;
    } cases[] = {
        {{QStringLiteral("--version")},
         0,
         "volnar-exporter " VOLNAR_VERSION_TEXT "\nLicense GPL-3.0-or-later"},
        {{QStringLiteral("--help")}, 0, "--listen ADDRESS:PORT"},
        {{QStringLiteral("--verbose")}, 2, "Unknown option 'verbose'"},
        {{QStringLiteral("--database")}, 2, "Missing value after '--database'"},
        {{QStringLiteral("--database"), QStringLiteral("x.db"), QStringLiteral("--listen"),
          QStringLiteral("host:1")},
         2,
         "--listen takes ADDRESS:PORT"},
    };
    for (const auto& c : cases) {
        QProcess exporter;
        exporter.start(QStringLiteral(VOLNAR_EXPORTER_BINARY), c.args);
        ASSERT_TRUE(exporter.waitForFinished(10000));
        EXPECT_EQ(exporter.exitCode(), c.status) << qPrintable(c.args.join(u' '));
        const QByteArray said =
            c.status == 0 ? exporter.readAllStandardOutput() : exporter.readAllStandardError();
        EXPECT_TRUE(said.contains(c.says)) << said.constData();
    }
}

// Four simulated stations on 127.0.0.1-4 (the second never answers), their
// directory, and the exporter polling them every second.
class ExporterFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_sim.Start()) << qPrintable(m_sim.errorText());
        const QString port = QString::number(m_sim.port());
        m_db = m_dir.filePath(QStringLiteral("fleet.db"));
        ASSERT_EQ(RunProgram(QStringLiteral(VOLNAR_DEMO_DB_BINARY),
                             {m_db, port, QStringLiteral("public"), QStringLiteral("4"),
                              QStringLiteral("127.0.0.1")}),
                  0);
        m_exporter.start(
            QStringLiteral(VOLNAR_EXPORTER_BINARY),
            {QStringLiteral("--database"), m_db, QStringLiteral("--listen"),
             QStringLiteral("127.0.0.1:0"), QStringLiteral("--period"), QStringLiteral("1"),
             QStringLiteral("--idle-timeout"), QStringLiteral("1")});
        ASSERT_TRUE(m_exporter.waitForReadyRead(10000));
        const auto match =
            QRegularExpression(QStringLiteral("http://(127\\.0\\.0\\.1:\\d+)/metrics"))
                .match(QString::fromUtf8(m_exporter.readAllStandardOutput()));
        ASSERT_TRUE(match.hasMatch());
        m_endpoint = match.captured(1);
        // It serves before the directory is read; the tests start once read.
        for (QDeadlineTimer deadline(10000);
             !deadline.hasExpired() && !Metrics().contains("volnar_exporter_directory_up 1\n");) {
            QTest::qWait(50);
        }
    }
    QByteArray Metrics() const {
        return HttpGet(QStringLiteral("http://") + m_endpoint + QStringLiteral("/metrics"));
    }
    // What the exporter holds in memory now (VmRSS), in MiB.
    double ExporterRssMib() const {
        QFile status(QStringLiteral("/proc/%1/status").arg(m_exporter.processId()));
        if (!status.open(QIODevice::ReadOnly)) {
            return -1;
        }
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:")) {
                return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
            }
        }
        return -1;
    }
    void TearDown() override {
        m_exporter.terminate();
        EXPECT_TRUE(m_exporter.waitForFinished(5000));
        EXPECT_EQ(m_exporter.exitCode(), 0);
    }

    StationSimulator m_sim{{QStringLiteral("--stations"), QStringLiteral("4"),
                            QStringLiteral("--drop"), QStringLiteral("1@2")}};
    QTemporaryDir m_dir;
    QString m_db;
    QProcess m_exporter;
    QString m_endpoint;
};

TEST_F(ExporterFixture, MetricsPassPromtoolAndMatchTheStations) {
    QTest::qWait(3000);  // the silent station's first request times out (2 x 1.28 s)
    const QByteArray metrics =
        HttpGet(QStringLiteral("http://") + m_endpoint + QStringLiteral("/metrics"));
    ASSERT_FALSE(metrics.isEmpty());
    const QString promtool = QStandardPaths::findExecutable(QStringLiteral("promtool"));
    if (!promtool.isEmpty()) {
        QProcess check;
        check.start(promtool, {QStringLiteral("check"), QStringLiteral("metrics")});
        check.write(metrics);
        check.closeWriteChannel();
        ASSERT_TRUE(check.waitForFinished(10000));
        EXPECT_EQ(check.exitCode(), 0) << check.readAll().constData() << metrics.constData();
    }
    for (const char* line : {
             "volnar_up{address=\"127.0.0.1\"} 1\n",
             "volnar_up{address=\"127.0.0.2\"} 0\n",
             "volnar_station_info{address=\"127.0.0.1\",station=\"VOLN-SIM-1\",",
             "volnar_station_info{address=\"127.0.0.2\",station=\"\",",
             "volnar_relay_on{address=\"127.0.0.4\",relay=\"2\"} 0\n",
             "volnar_relay_info{address=\"127.0.0.4\",relay=\"2\",name=\"Fan\"} 1\n",
             "volnar_requests_total{address=\"127.0.0.2\",result=\"received\"} 0\n",
             "volnar_exporter_stations 4\n",
             "volnar_exporter_directory_up 1\n",
         }) {
        EXPECT_TRUE(metrics.contains(line)) << line << metrics.constData();
    }
    EXPECT_FALSE(
        metrics.contains("volnar_requests_total{address=\"127.0.0.2\",result=\"lost\"} 0\n"));
    // Every reading within the simulator's channel range, in its unit.
    const QRegularExpression channel(
        QStringLiteral("volnar_channel_(volts|amperes)\\{address=\"127\\.0\\.0\\.(\\d)\",channel="
                       "\"(\\d)\"\\} (\\S+)\n"));
    int readings = 0;
    for (auto it = channel.globalMatch(QString::fromUtf8(metrics)); it.hasNext(); ++readings) {
        const auto m = it.next();
        const int n = m.captured(3).toInt();
        const double value = m.captured(4).toDouble();
        const bool amperes = m.captured(1) == QLatin1String("amperes");
        const double range = amperes ? 50.0 : n <= 3 ? 2.5 : n <= 6 ? 30 : 60;
        EXPECT_GE(value, 0.0) << qPrintable(m.captured(0));
        EXPECT_LE(value, range) << qPrintable(m.captured(0));
        EXPECT_EQ(amperes, n == 6) << qPrintable(m.captured(0));
    }
    EXPECT_EQ(readings, 3 * 8);
    // Every metric the dashboard and the alerts name is one the exporter
    // serves (a recording rule, volnar:..., is the site's own).
    for (const char* file :
         {"docs/grafana/volnar-dashboard.json", "docs/prometheus/volnar-alerts.yml"}) {
        QFile text(QStringLiteral(VOLNAR_SOURCE_DIR "/") + QLatin1String(file));
        ASSERT_TRUE(text.open(QIODevice::ReadOnly)) << file;
        const QRegularExpression name(QStringLiteral("\\b(volnar_[a-z_]+|process_[a-z_]+)\\b"));
        int names = 0;
        for (auto it = name.globalMatch(QString::fromUtf8(text.readAll())); it.hasNext(); ++names) {
            const QString metric = it.next().captured(1);
            EXPECT_TRUE(metrics.contains("# TYPE " + metric.toUtf8() + ' '))
                << file << " names " << qPrintable(metric) << ", which /metrics does not have";
        }
        EXPECT_GT(names, 3) << file;
    }
}

// Sends `request` on a new connection, then `body` in 1 MiB chunks while the
// connection lasts (at most `bodyMib` of them); what came back until the
// exporter closed or `waitMs` passed without a byte.
QByteArray Exchange(const QString& endpoint, const QByteArray& request, int bodyMib = 0,
                    int waitMs = 3000) {
    QTcpSocket socket;
    const qsizetype colon = endpoint.lastIndexOf(u':');
    socket.connectToHost(endpoint.left(colon), endpoint.mid(colon + 1).toUShort());
    if (!socket.waitForConnected(5000)) {
        return {};
    }
    socket.write(request);
    const QByteArray chunk(1 << 20, 'x');
    QByteArray answer;
    for (int i = 0; i < bodyMib && socket.state() == QAbstractSocket::ConnectedState; ++i) {
        socket.write(chunk);
        socket.waitForBytesWritten(1000);
        answer += socket.readAll();
    }
    while (socket.waitForReadyRead(waitMs)) {
        answer += socket.readAll();
    }
    return socket.isOpen() ? answer + socket.readAll() : answer;
}

// Hostile or broken clients, each bounded: the exporter answers what it
// must, closes what it must, and neither memory nor connections grow.
TEST_F(ExporterFixture, HostileClientsCostItNeitherMemoryNorService) {
    struct Case {
        const char* what;
        QByteArray request;
        int bodyMib;
        const char* answerStarts;
        int responses;  // HTTP responses in the answer
    } const cases[] = {
        {"512 MiB POST", "POST /metrics HTTP/1.1\r\nContent-Length: 536870912\r\n\r\n", 512,
         "HTTP/1.1 405", 1},
        {"a body on GET", "GET /metrics HTTP/1.1\r\nContent-Length: 10\r\n\r\n0123456789", 0,
         "HTTP/1.1 413", 1},
        {"DELETE", "DELETE /metrics HTTP/1.1\r\n\r\n", 0, "HTTP/1.1 405", 1},
        {"20 KiB of headers", "GET /metrics HTTP/1.1\r\nX: " + QByteArray(20000, 'x') + "\r\n\r\n",
         0, "HTTP/1.1 431", 1},
        {"300 pipelined", QByteArray("GET /metrics HTTP/1.1\r\nHost: a\r\n\r\n").repeated(300), 0,
         "HTTP/1.1 200", 300},
        {"half a request", "GET /metrics HTTP/1.1\r\nHost:", 0, "", 0},
        {"nothing at all", "", 0, "", 0},
    };
    for (const Case& c : cases) {
        const QByteArray answer = Exchange(m_endpoint, c.request, c.bodyMib);
        EXPECT_TRUE(answer.startsWith(c.answerStarts))
            << c.what << ": " << answer.left(80).constData();
        EXPECT_EQ(answer.count("HTTP/1.1 "), c.responses) << c.what;
        EXPECT_LT(ExporterRssMib(), 100) << c.what;
    }
    // HEAD: the headers of a GET and no body, so the GET after it on the
    // same connection is read whole.
    const QByteArray both = Exchange(
        m_endpoint,
        "HEAD /metrics HTTP/1.1\r\n\r\nGET /metrics HTTP/1.1\r\nConnection: close\r\n\r\n");
    const qsizetype second = both.indexOf("HTTP/1.1 200", 1);
    ASSERT_GT(second, 0) << both.left(300).constData();
    EXPECT_TRUE(both.left(second).endsWith("\r\n\r\n")) << both.left(second).constData();
    EXPECT_TRUE(both.mid(second).contains("\r\n\r\n# HELP volnar_up "));
    EXPECT_TRUE(
        Exchange(m_endpoint, "DELETE / HTTP/1.1\r\n\r\n").contains("\r\nAllow: GET, HEAD\r\n"));
}

// SIGHUP reads the directory again: a station that is gone goes, the others
// keep their counters; the exporter goes on.
TEST_F(ExporterFixture, SighupReadsTheDirectoryAgainKeepingTheCounters) {
    const QRegularExpression received(QStringLiteral(
        "volnar_requests_total\\{address=\"127\\.0\\.0\\.1\",result=\"received\"\\} (\\d+)\n"));
    const auto answers = [&] {
        return received.match(QString::fromUtf8(Metrics())).captured(1).toInt();
    };
    for (QDeadlineTimer deadline(10000); !deadline.hasExpired() && answers() < 2;) {
        QTest::qWait(200);
    }
    const int before = answers();
    ASSERT_GE(before, 2);
    const QString smaller = m_dir.filePath(QStringLiteral("three.db"));
    ASSERT_EQ(RunProgram(QStringLiteral(VOLNAR_DEMO_DB_BINARY),
                         {smaller, QString::number(m_sim.port()), QStringLiteral("public"),
                          QStringLiteral("3"), QStringLiteral("127.0.0.1")}),
              0);
    ASSERT_TRUE(QFile::remove(m_db));
    ASSERT_TRUE(QFile::rename(smaller, m_db));
    ASSERT_EQ(kill(static_cast<pid_t>(m_exporter.processId()), SIGHUP), 0);
    QByteArray metrics;
    for (QDeadlineTimer deadline(10000);
         !deadline.hasExpired() && !metrics.contains("volnar_exporter_stations 3\n");) {
        QTest::qWait(100);
        metrics = Metrics();
    }
    EXPECT_TRUE(metrics.contains("volnar_exporter_stations 3\n")) << metrics.constData();
    EXPECT_FALSE(metrics.contains("address=\"127.0.0.4\""));
    EXPECT_GE(answers(), before);
    EXPECT_EQ(m_exporter.state(), QProcess::Running);
}

// /probe polls one station of the directory, named by its address as the
// directory's rows are read, and answers its families only; anything else
// is refused.
TEST_F(ExporterFixture, ProbeAnswersOneStationOfTheDirectoryOnly) {
    const struct {
        const char* query;
        const char* status;
        const char* contains;
    } cases[] = {
        {"target=127.0.0.01", "HTTP/1.1 200", "\nvolnar_up{address=\"127.0.0.1\"} 1\n"},
        {"target=127.0.0.3", "HTTP/1.1 200",
         "\nvolnar_channel_volts{address=\"127.0.0.3\",channel=\"1\"} "},
        {"target=127.0.0.2", "HTTP/1.1 200",
         "volnar_requests_total{address=\"127.0.0.2\",result=\"lost\"}"},
        {"target=127.0.0.9", "HTTP/1.1 400", "no station of the directory"},
        {"target=10.10.10.10", "HTTP/1.1 400", "no station of the directory"},
        {"target=localhost", "HTTP/1.1 400", "no ADDRESS"},
        {"", "HTTP/1.1 400", "no ADDRESS"},
    };
    for (const auto& c : cases) {
        const QByteArray answer =
            Exchange(m_endpoint, QByteArray("GET /probe?") + c.query +
                                     " HTTP/1.1\r\nConnection: close\r\n\r\n");
        EXPECT_TRUE(answer.startsWith(c.status)) << c.query << ": " << answer.left(200).constData();
        EXPECT_TRUE(answer.contains(c.contains)) << c.query << ": " << answer.constData();
        if (answer.startsWith("HTTP/1.1 200")) {
            EXPECT_EQ(answer.count("\nvolnar_up{"), 1) << c.query;
            EXPECT_FALSE(answer.contains("volnar_exporter_stations")) << c.query;
        }
    }
}

// Idle connections never lock a scraper out: past the cap the longest-open
// ones are closed to make room, the others after the idle time-out (1 s
// here), and /metrics answers at once while they are open.
TEST_F(ExporterFixture, IdleConnectionsAreCappedAndTimedOut) {
    const qsizetype colon = m_endpoint.lastIndexOf(u':');
    std::vector<std::unique_ptr<QTcpSocket>> idle;
    for (int i = 0; i < 40; ++i) {
        idle.push_back(std::make_unique<QTcpSocket>());
        idle.back()->connectToHost(m_endpoint.left(colon), m_endpoint.mid(colon + 1).toUShort());
        ASSERT_TRUE(idle.back()->waitForConnected(5000));
    }
    EXPECT_TRUE(HttpGet(QStringLiteral("http://") + m_endpoint + QStringLiteral("/metrics"))
                    .contains("volnar_exporter_stations 4\n"));
    int closed = 0;
    for (const auto& socket : idle) {
        closed += socket->state() == QAbstractSocket::UnconnectedState ||
                          socket->waitForDisconnected(5000)
                      ? 1
                      : 0;
    }
    EXPECT_EQ(closed, 40);
}

// Renames the simulator's station at `address` (a loopback address) as the
// client's dialog does, with a SET of its name; true once it answered.
bool RenameStation(const char* address, quint16 port, const std::string& name) {
    const testing::LoopbackSender sender;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    if (!sender.Ok() || inet_pton(AF_INET, address, &to.sin_addr) != 1 ||
        ntohl(to.sin_addr.s_addr) >> 24 != 127) {
        return false;
    }
    const std::string set = testing::V1Message(testing::kSet, "public", 7, "1.3.6.1.2.1.1.5", name);
    pollfd answer{.fd = sender.Socket(), .events = POLLIN, .revents = 0};
    return sendto(sender.Socket(), set.data(), set.size(), 0, reinterpret_cast<sockaddr*>(&to),
                  sizeof to) == static_cast<ssize_t>(set.size()) &&
           poll(&answer, 1, 3000) == 1;
}

// A Prometheus server on loopback scraping the exporter's /metrics (job
// "volnar") and, as docs/exporter.md shows, stations 3 and 4 through /probe
// (job "volnar-probe").
class PrometheusServer {
public:
    PrometheusServer(const QString& program, const QString& exporter) {
        const QString config = m_data.filePath(QStringLiteral("prometheus.yml"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly)) {
            return;
        }
        file.write(
            "global:\n  scrape_interval: 1s\nscrape_configs:\n  - job_name: volnar\n"
            "    static_configs:\n      - targets: ['" +
            exporter.toUtf8() +
            "']\n"
            "  - job_name: volnar-probe\n    metrics_path: /probe\n"
            "    static_configs:\n      - targets: ['127.0.0.3', '127.0.0.4']\n"
            "    relabel_configs:\n"
            "      - source_labels: [__address__]\n        target_label: __param_target\n"
            "      - source_labels: [__param_target]\n        target_label: instance\n"
            "      - target_label: __address__\n        replacement: '" +
            exporter.toUtf8() + "'\n");
        file.close();
        m_web = QStringLiteral("127.0.0.1:") + QString::number(FreeTcpPort());
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.start(program, {QStringLiteral("--config.file=") + config,
                                 QStringLiteral("--storage.tsdb.path=") +
                                     m_data.filePath(QStringLiteral("tsdb")),
                                 QStringLiteral("--web.listen-address=") + m_web});
        m_server.waitForStarted(10000);
    }
    ~PrometheusServer() {
        m_server.terminate();
        m_server.waitForFinished(10000);
    }
    PrometheusServer(const PrometheusServer&) = delete;
    PrometheusServer& operator=(const PrometheusServer&) = delete;

    // An instant query's values by job ("volnar", "volnar-probe").
    std::map<QString, QString> ByJob(const QString& expression) const {
        const QByteArray body =
            HttpGet(QStringLiteral("http://") + m_web + QStringLiteral("/api/v1/query?query=") +
                    QString::fromUtf8(QUrl::toPercentEncoding(expression)));
        std::map<QString, QString> values;
        for (const QJsonValue result : QJsonDocument::fromJson(body)
                                           .object()[QStringLiteral("data")]
                                           .toObject()[QStringLiteral("result")]
                                           .toArray()) {
            values[result[QStringLiteral("metric")][QStringLiteral("job")].toString()] =
                result[QStringLiteral("value")][1].toString();
        }
        return values;
    }
    // Polls the query (every 250 ms, up to ms) until it has these values.
    bool WaitFor(const QString& expression, const std::map<QString, QString>& values, int ms) {
        for (QDeadlineTimer deadline(ms); !deadline.hasExpired(); QTest::qWait(250)) {
            if (ByJob(expression) == values) {
                return true;
            }
        }
        return false;
    }
    QByteArray Log() { return m_server.readAll().right(2000); }

private:
    QTemporaryDir m_data;
    QString m_web;
    QProcess m_server;
};

// Series are named by address: renaming a station moves its name in
// volnar_station_info and ends no other series of it, in either job.
TEST_F(ExporterFixture, PrometheusScrapesItAndARenameSplitsNoSeries) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("prometheus"));
    if (program.isEmpty()) {
        GTEST_SKIP() << "prometheus is not installed (scripts/install-deps installs it)";
    }
    PrometheusServer prometheus(program, m_endpoint);
    const std::map<QString, QString> both{{QStringLiteral("volnar"), QStringLiteral("1")},
                                          {QStringLiteral("volnar-probe"), QStringLiteral("1")}};
    ASSERT_TRUE(prometheus.WaitFor(QStringLiteral("volnar_up{address=\"127.0.0.3\"}"), both, 40000))
        << prometheus.Log().constData();
    const QString volts = prometheus.ByJob(QStringLiteral(
        "volnar_channel_volts{address=\"127.0.0.4\",channel=\"4\"}"))[QStringLiteral("volnar")];
    bool ok = false;
    EXPECT_TRUE(volts.toDouble(&ok) >= 0 && ok && volts.toDouble() <= 30) << qPrintable(volts);

    ASSERT_TRUE(RenameStation("127.0.0.3", m_sim.port(), "Renamed 3"));
    EXPECT_TRUE(prometheus.WaitFor(
        QStringLiteral("volnar_station_info{address=\"127.0.0.3\",station=\"Renamed 3\"}"), both,
        10000));
    // A series that a scrape no longer has is marked stale at once: every
    // series of the station seen since the start is there now, but for the
    // info series of the old name, which ended (two seen, one there).
    const auto seen = [&prometheus](const char* selector) {
        return prometheus.ByJob(QStringLiteral("count by (job) (last_over_time(") +
                                QLatin1String(selector) + QStringLiteral("[10m]))"));
    };
    const auto now = [&prometheus](const char* selector) {
        return prometheus.ByJob(QStringLiteral("count by (job) (") + QLatin1String(selector) +
                                QLatin1Char(')'));
    };
    const char* readings = "{address=\"127.0.0.3\",__name__!=\"volnar_station_info\"}";
    EXPECT_EQ(seen(readings), now(readings));
    EXPECT_GE(now(readings)[QStringLiteral("volnar-probe")].toInt(), 20);
    const char* info = "volnar_station_info{address=\"127.0.0.3\"}";
    const std::map<QString, QString> two{{QStringLiteral("volnar"), QStringLiteral("2")},
                                         {QStringLiteral("volnar-probe"), QStringLiteral("2")}};
    EXPECT_EQ(seen(info), two);
    EXPECT_EQ(now(info), both);
}

}  // namespace
}  // namespace volnar
