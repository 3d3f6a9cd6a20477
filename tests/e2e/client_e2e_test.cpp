// SPDX-License-Identifier: GPL-3.0-or-later
// The real client binary against volnar-station on loopback: started with
// --database and --connect, it polls the status record once a second, and
// unattended it keeps going through what a station or a directory does.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <iostream>

#include "directory/database_template.h"
#include "directory/station_directory.h"
#include "link/board_objects.h"
#include "support/file_lock.h"
#include "support/station_simulator.h"

namespace volnar {
namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

// A directory holding only the simulator, and the client run against it.
class ClientE2E : public ::testing::Test {
protected:
    void Begin(QStringList simArgs, QString community = S("e2e-secret")) {
        sim = std::make_unique<testing::StationSimulator>(std::move(simArgs), community);
        ASSERT_TRUE(sim->Start()) << sim->errorText().toStdString();
        database = folder.filePath(S("stations.db"));
        ASSERT_EQ(CreateDatabaseTemplate(database), TemplateResult::Created);
        StationDirectory directory;
        ASSERT_TRUE(directory.ConnectDatabase(database));
        ASSERT_TRUE(directory.AddStation({sim->host(),
                                          sim->community(),
                                          S("e2e"),
                                          {},
                                          QString::number(sim->port()),
                                          S("2"),
                                          S("1")}));
        // Only the loopback simulator in the directory the client runs with.
        ASSERT_TRUE(directory.DeleteStation(S("10.10.10.10")));
    }

    void RunClient(const QStringList& extraArgs = {},
                   QProcess::ProcessChannelMode channels = QProcess::ForwardedErrorChannel) {
        client.setProcessChannelMode(channels);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(S("QT_QPA_PLATFORM"), S("offscreen"));
        // Its log says when, in seconds since it started, for a failure's story.
        environment.insert(S("QT_MESSAGE_PATTERN"), S("%{time process} %{category}: %{message}"));
        client.setProcessEnvironment(environment);
        clientStarted = QDateTime::currentMSecsSinceEpoch();
        client.start(
            S(VOLNAR_CLIENT_BINARY),
            QStringList{S("--database"), database, S("--connect"), S("127.0.0.1")} + extraArgs);
        ASSERT_TRUE(client.waitForStarted(10000));
    }

    QList<QJsonObject> StatusGets() const {
        QList<QJsonObject> gets;
        for (const QJsonObject& line : sim->Requests()) {
            if (line[S("pdu")].toString() == S("GET") &&
                line[S("oid")].toString() ==
                    QString::fromLatin1(board::kStatusRecord.data(), board::kStatusRecord.size())) {
                gets << line;
            }
        }
        return gets;
    }

    // On a time-out it prints when each status GET came, to tell a client
    // that started late from one that stopped polling.
    bool WaitForGets(int count, int ms) {
        if (sim->WaitForLog([&](const QJsonObject&) { return StatusGets().size() >= count; }, ms)) {
            return true;
        }
        std::cerr << "status GETs, seconds after the client started:";
        for (const QJsonObject& get : StatusGets()) {
            std::cerr << ' ' << get[S("time")].toDouble() - clientStarted / 1000.0;
        }
        std::cerr << std::endl;
        return false;
    }

    void TearDown() override {
        if (client.state() != QProcess::NotRunning) {
            client.terminate();
            client.waitForFinished(5000);
        }
    }

    QTemporaryDir folder;
    QString database;
    std::unique_ptr<testing::StationSimulator> sim;
    QProcess client;
    qint64 clientStarted = 0;  // ms since the epoch
};

TEST_F(ClientE2E, StationConnectPollsStatusOnceASecondWithTheStationsCommunity) {
    ASSERT_NO_FATAL_FAILURE(Begin({S("--seed"), S("3")}));
    // --record: one row per answer (appending and the header are the recorder's tests).
    const QString record = folder.filePath(S("record.csv"));
    ASSERT_NO_FATAL_FAILURE(RunClient({S("--record"), record}));
    const bool polled = WaitForGets(4, 15000);
    client.terminate();
    client.waitForFinished(5000);
    ASSERT_TRUE(polled) << "status GETs seen: " << StatusGets().size();

    QFile file(record);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = file.readAll().split('\n');
    ASSERT_GE(rows.size(), 4);  // the header, at least two answers, the empty rest
    for (qsizetype i = 1; i + 1 < rows.size(); ++i) {
        EXPECT_TRUE(rows[i].contains(",127.0.0.1,")) << rows[i].toStdString();
    }

    const QList<QJsonObject> gets = StatusGets();
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
    for (const QJsonObject& line : sim->Requests()) {
        EXPECT_EQ(line[S("community")].toString(), S("e2e-secret"));
    }
}

// Unattended, a station that answers with an error, or with another object
// than the status record, is asked again and again: after a back-off (the
// first after 5 s) or, for a failed poll, at the next tick. No box waits.
TEST_F(ClientE2E, ConnectKeepsAskingAStationThatAnswersWrongly) {
    const QString status =
        QString::fromLatin1(board::kStatusRecord.data(), board::kStatusRecord.size());
    const struct {
        const char* name;
        QStringList fault;
        int gets;  // status GETs seen within 9 s
    } cases[] = {
        {"genErr", {S("--fail"), status + S("=genErr")}, 2},
        {"another identifier", {S("--status-oid"), status + S(".0")}, 5},
    };
    for (const auto& c : cases) {
        ASSERT_NO_FATAL_FAILURE(Begin(c.fault));
        ASSERT_NO_FATAL_FAILURE(RunClient());
        EXPECT_TRUE(WaitForGets(c.gets, 9000)) << c.name << ": " << StatusGets().size();
        EXPECT_EQ(client.state(), QProcess::Running) << c.name;
        TearDown();
        folder.remove();
        ASSERT_TRUE(QDir().mkpath(folder.path()));
    }
}

// A directory locked for longer than any of its time-outs at start-up: the
// client waits for it and polls as soon as it answers.
TEST_F(ClientE2E, ConnectWaitsForADirectoryLockedAtStartUp) {
    ASSERT_NO_FATAL_FAILURE(Begin({}));
    auto lock = std::make_unique<testing::FileLock>(database);
    ASSERT_NO_FATAL_FAILURE(RunClient());
    QTest::qWait(12000);
    EXPECT_TRUE(StatusGets().isEmpty());
    lock.reset();
    EXPECT_TRUE(WaitForGets(2, 15000)) << StatusGets().size();
}

// A FIFO nobody reads (opening it would wait for a reader) and a pipe whose
// reader left (writing would end the client by SIGPIPE) are refused. In the
// second case the client's own output, its warning too, goes into that pipe.
TEST_F(ClientE2E, RecordingIntoAPipeOrAFifoNeverStopsTheClient) {
    ASSERT_NO_FATAL_FAILURE(Begin({}));
    const QString fifo = folder.filePath(S("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& record : {fifo, S("/dev/stdout")}) {
        SCOPED_TRACE(record.toStdString());
        int ends[2] = {-1, -1};
        ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
        ::close(ends[0]);
        client.setChildProcessModifier([end = ends[1], pipe = record != fifo] {
            if (pipe) {
                ::dup2(end, STDOUT_FILENO);
                ::dup2(end, STDERR_FILENO);
            }
        });
        ASSERT_NO_FATAL_FAILURE(RunClient({S("--record"), record}, QProcess::ForwardedChannels));
        ::close(ends[1]);
        // The recording starts with the first answer; polling goes on past it.
        const qsizetype before = StatusGets().size();
        const bool polled = WaitForGets(static_cast<int>(before) + 4, 15000);
        EXPECT_EQ(client.state(), QProcess::Running) << "exit status " << client.exitCode();
        client.terminate();
        client.waitForFinished(5000);
        EXPECT_TRUE(polled) << "status GETs seen: " << StatusGets().size() - before;
    }
}

// Unattended, a recording whose write fails (here past the file-size limit,
// as on a full disk) is not ended behind a box nobody closes: once the
// limit is lifted, the rows go on in the same file.
TEST_F(ClientE2E, UnattendedRecordingTriesAgainAfterAFailedWrite) {
    ASSERT_NO_FATAL_FAILURE(Begin({}));
    const QString record = folder.filePath(S("record.csv"));
    constexpr rlim_t kLimit = 600;  // the header and a few rows
    client.setChildProcessModifier([] {
        const rlimit limit{kLimit, RLIM_INFINITY};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    ASSERT_NO_FATAL_FAILURE(RunClient({S("--record"), record}));
    const auto rows = [&record] {
        QFile file(record);
        return file.open(QIODevice::ReadOnly) ? file.readAll().count("\r\n") - 1 : -1;
    };
    // Enough answers to reach the limit and fail a few times.
    ASSERT_TRUE(WaitForGets(8, 20000)) << StatusGets().size();
    const qsizetype atLimit = rows();
    EXPECT_GT(atLimit, 0);
    EXPECT_LE(QFileInfo(record).size(), static_cast<qint64>(kLimit));
    const rlimit lifted{RLIM_INFINITY, RLIM_INFINITY};
    ASSERT_EQ(::prlimit(static_cast<pid_t>(client.processId()), RLIMIT_FSIZE, &lifted, nullptr), 0);
    const qsizetype before = StatusGets().size();
    ASSERT_TRUE(WaitForGets(static_cast<int>(before) + 4, 20000));
    EXPECT_EQ(client.state(), QProcess::Running);
    EXPECT_GE(rows(), atLimit + 2);
    QFile file(record);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().endsWith("\r\n"));  // whole rows only
}

}  // namespace
}  // namespace volnar
