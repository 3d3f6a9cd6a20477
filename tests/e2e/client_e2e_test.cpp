// The real client binary against volnar-station on loopback: started with
// --database and --connect, it polls the status record once a second.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "directory/database_template.h"
#include "directory/station_directory.h"
#include "link/board_objects.h"
#include "support/recording_message_service.h"
#include "support/station_simulator.h"

namespace volnar {
namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

// A station directory in `folder` whose only station is the simulator; empty
// when it could not be made.
QString StationDatabase(const QTemporaryDir& folder, const testing::StationSimulator& sim) {
    const QString database = folder.filePath(S("stations.db"));
    testing::RecordingMessageService messages;
    StationDirectory directory(messages);
    const bool made = CreateDatabaseTemplate(database) == TemplateResult::Created &&
                      directory.ConnectDatabase(database) &&
                      directory.AddStation({sim.host(),
                                            sim.community(),
                                            S("e2e"),
                                            {},
                                            QString::number(sim.port()),
                                            S("2"),
                                            S("1")}) &&
                      // Only the loopback simulator in the directory the client runs with.
                      directory.DeleteStation(S("10.10.10.10")) == WriteStatus::Done;
    return made ? database : QString();
}

// The real client against the simulator: --database, --connect and --record.
bool StartClient(QProcess& client, const QString& database, const QString& record) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(S("QT_QPA_PLATFORM"), S("offscreen"));
    client.setProcessEnvironment(environment);
    client.start(S(VOLNAR_CLIENT_BINARY), {S("--database"), database, S("--connect"),
                                           S("127.0.0.1"), S("--record"), record});
    return client.waitForStarted(10000);
}

QList<QJsonObject> StatusGets(const testing::StationSimulator& sim) {
    QList<QJsonObject> gets;
    for (const QJsonObject& line : sim.Requests()) {
        if (line[S("pdu")].toString() == S("GET") &&
            line[S("oid")].toString() ==
                QString::fromLatin1(board::kStatusRecord.data(), board::kStatusRecord.size())) {
            gets << line;
        }
    }
    return gets;
}

TEST(ClientE2E, StationConnectPollsStatusOnceASecondWithTheStationsCommunity) {
    testing::StationSimulator sim({S("--seed"), S("3")}, S("e2e-secret"));
    ASSERT_TRUE(sim.Start()) << sim.errorText().toStdString();
    QTemporaryDir folder;
    const QString database = StationDatabase(folder, sim);
    ASSERT_FALSE(database.isEmpty());

    // --record: one row per answer (appending and the header are the recorder's tests).
    const QString record = folder.filePath(S("record.csv"));
    QProcess client;
    client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    ASSERT_TRUE(StartClient(client, database, record));
    auto statusGets = [&sim] { return StatusGets(sim); };
    const bool polled =
        sim.WaitForLog([&](const QJsonObject&) { return statusGets().size() >= 4; }, 15000);
    client.terminate();
    client.waitForFinished(5000);
    ASSERT_TRUE(polled) << "status GETs seen: " << statusGets().size();

    QFile file(record);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = file.readAll().split('\n');
    ASSERT_GE(rows.size(), 4);  // the header, at least two answers, the empty rest
    for (qsizetype i = 1; i + 1 < rows.size(); ++i) {
        EXPECT_TRUE(rows[i].contains(",127.0.0.1,")) << rows[i].toStdString();
    }

    const QList<QJsonObject> gets = statusGets();
    for (qsizetype i = 0; i < 4; ++i) {
        EXPECT_EQ(gets[i][S("request_id")].toInt(), 501 + i);
        EXPECT_EQ(gets[i][S("community")].toString(), S("e2e-secret"));
        EXPECT_EQ(gets[i][S("error_status")].toInt(-1), 0);
        if (i > 0) {
            // The poll timer is re-armed by each answer: about a second apart.
            const double gap = gets[i][S("time")].toDouble() - gets[i - 1][S("time")].toDouble();
            EXPECT_GT(gap, 0.7) << i;
            EXPECT_LT(gap, 3.0) << i;
        }
    }
    // The client never asked for anything it was not told to.
    for (const QJsonObject& line : sim.Requests()) {
        EXPECT_EQ(line[S("community")].toString(), S("e2e-secret"));
    }
}

// A FIFO nobody reads (opening it would wait for a reader) and a pipe whose
// reader left (writing would end the client by SIGPIPE) are refused. In the
// second case the client's own output, its warning too, goes into that pipe.
TEST(ClientE2E, RecordingIntoAPipeOrAFifoNeverStopsTheClient) {
    testing::StationSimulator sim({}, S("e2e-secret"));
    ASSERT_TRUE(sim.Start()) << sim.errorText().toStdString();
    QTemporaryDir folder;
    const QString database = StationDatabase(folder, sim);
    ASSERT_FALSE(database.isEmpty());
    const QString fifo = folder.filePath(S("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& record : {fifo, S("/dev/stdout")}) {
        SCOPED_TRACE(record.toStdString());
        int ends[2] = {-1, -1};
        ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
        ::close(ends[0]);
        QProcess client;
        client.setProcessChannelMode(QProcess::ForwardedChannels);
        if (record != fifo) {
            client.setChildProcessModifier([end = ends[1]] {
                ::dup2(end, STDOUT_FILENO);
                ::dup2(end, STDERR_FILENO);
            });
        }
        const bool started = StartClient(client, database, record);
        ::close(ends[1]);
        ASSERT_TRUE(started);
        // The recording starts with the first answer; polling goes on past it.
        const qsizetype before = StatusGets(sim).size();
        const bool polled = sim.WaitForLog(
            [&](const QJsonObject&) { return StatusGets(sim).size() >= before + 4; }, 15000);
        EXPECT_EQ(client.state(), QProcess::Running) << "exit status " << client.exitCode();
        client.terminate();
        client.waitForFinished(5000);
        EXPECT_TRUE(polled) << "status GETs seen: " << StatusGets(sim).size() - before;
    }
}

}  // namespace
}  // namespace volnar
