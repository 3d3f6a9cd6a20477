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

#include <memory>

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
             QStringLiteral("127.0.0.1:0"), QStringLiteral("--period"), QStringLiteral("1")});
        ASSERT_TRUE(m_exporter.waitForReadyRead(10000));
        const auto match =
            QRegularExpression(QStringLiteral("http://(127\\.0\\.0\\.1:\\d+)/metrics"))
                .match(QString::fromUtf8(m_exporter.readAllStandardOutput()));
        ASSERT_TRUE(match.hasMatch());
        m_endpoint = match.captured(1);
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
}

TEST_F(ExporterFixture, PrometheusScrapesItOnLoopback) {
    const QString prometheus = QStandardPaths::findExecutable(QStringLiteral("prometheus"));
    if (prometheus.isEmpty()) {
        GTEST_SKIP() << "prometheus is not installed (scripts/install-deps installs it)";
    }
    QTemporaryDir data;
    const QString config = data.filePath(QStringLiteral("prometheus.yml"));
    QFile file(config);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        "global:\n  scrape_interval: 1s\nscrape_configs:\n  - job_name: volnar\n"
        "    static_configs:\n      - targets: ['" +
        m_endpoint.toUtf8() + "']\n");
    file.close();
    const QString web = QStringLiteral("127.0.0.1:") + QString::number(FreeTcpPort());
    QProcess server;
    server.setProcessChannelMode(QProcess::MergedChannels);
    server.start(prometheus,
                 {QStringLiteral("--config.file=") + config,
                  QStringLiteral("--storage.tsdb.path=") + data.filePath(QStringLiteral("tsdb")),
                  QStringLiteral("--web.listen-address=") + web});
    ASSERT_TRUE(server.waitForStarted(10000));
    const auto query = [&web](const char* expression) {
        const QByteArray body =
            HttpGet(QStringLiteral("http://") + web + QStringLiteral("/api/v1/query?query=") +
                    QString::fromUtf8(QUrl::toPercentEncoding(QString::fromUtf8(expression))));
        const QJsonArray result = QJsonDocument::fromJson(body)
                                      .object()[QStringLiteral("data")][QStringLiteral("result")]
                                      .toArray();
        return result.isEmpty() ? QString() : result[0][QStringLiteral("value")][1].toString();
    };
    QString up;
    QString reading;
    for (QDeadlineTimer deadline(40000);
         !deadline.hasExpired() && (up.isEmpty() || reading.isEmpty());) {
        QTest::qWait(500);
        up = query("volnar_up{address=\"127.0.0.1\"}");
        reading = query("volnar_channel_volts{address=\"127.0.0.4\",channel=\"4\"}");
    }
    server.terminate();
    server.waitForFinished(10000);
    EXPECT_EQ(up, QStringLiteral("1")) << server.readAll().right(2000).constData();
    bool ok = false;
    const double volts = reading.toDouble(&ok);
    EXPECT_TRUE(ok && volts >= 0 && volts <= 30) << qPrintable(reading);
}

}  // namespace
}  // namespace volnar
