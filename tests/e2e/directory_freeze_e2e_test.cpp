// SPDX-License-Identifier: GPL-3.0-or-later
// The window and the poll cycle never wait on the station directory: a
// SQLite file locked for ten seconds, a PostgreSQL server stopped and started
// again while polling, and a server that accepts and never answers. Each
// test prints the longest time the GUI thread was blocked.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <future>
#include <iostream>

#include "app/application.h"
#include "directory/database_template.h"
#include "directory/postgres_server.h"
#include "support/gui_block_probe.h"
#include "support/qt_print.h"
#include "support/recording_message_service.h"
#include "support/station_simulator.h"

namespace volnar {
namespace {

using testing::GuiBlockProbe;

// Short enough that the tests do not wait long for the directory to come
// back; the window is measured, not these.
constexpr DirectoryTimings kTimings{.loginTimeoutSeconds = 2,
                                    .statementTimeoutMs = 1000,
                                    .lateMs = 500,
                                    .firstRetryMs = 100,
                                    .longestRetryMs = 1000};
constexpr int kWaitMs = 20000;

class DirectoryFreezeE2E : public ::testing::Test {
protected:
    // The simulator as the only station of the directory at `location`, the
    // client on that directory polling it.
    void StartPolling(const QString& location) {
        sim = std::make_unique<testing::StationSimulator>(QStringList{}, QStringLiteral("e2e"));
        ASSERT_TRUE(sim->Start()) << sim->errorText().toStdString();
        {
            StationDirectory directory;
            ASSERT_TRUE(directory.ConnectDatabase(location));
            ASSERT_TRUE(directory.AddStation({sim->host(),
                                              sim->community(),
                                              QStringLiteral("simulator"),
                                              {},
                                              QString::number(sim->port()),
                                              QStringLiteral("2"),
                                              QStringLiteral("1")}));
            ASSERT_TRUE(directory.DeleteStation(QStringLiteral("10.10.10.10")));
        }
        StartApp(location);
        app->ConnectTo(sim->host());
        ASSERT_TRUE(QTest::qWaitFor([this] { return app->Link().ReceivedCount() >= 1; }, kWaitMs))
            << messages.Texts().join(u'|').toStdString();
    }

    void StartApp(const QString& location) {
        app =
            std::make_unique<Application>(StartupOptions{location, {}, 2026, kTimings}, &messages);
        app->Show();
    }

    bool ShowsNotAnswering() {
        return QTest::qWaitFor(
            [this] { return DirectoryText() == QLatin1String(kDirectoryNotAnswering); }, kWaitMs);
    }

    // The directory answers again, polling went on, no box was shown.
    void ExpectBack(const char* test) {
        EXPECT_TRUE(QTest::qWaitFor([this] { return DirectoryText().isEmpty(); }, kWaitMs))
            << "the directory did not come back";
        EXPECT_TRUE(PollsFor(1500, 1));
        EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();
        Report(test);
    }

    QString DirectoryText() const { return app->Window().StatusDirectoryText(); }

    // Waits while polling goes on; true when at least `answers` more came in.
    bool PollsFor(int ms, int answers) {
        const int before = app->Link().ReceivedCount();
        QTest::qWait(ms);
        return app->Link().State() == ConnectionState::Connected &&
               app->Link().ReceivedCount() >= before + answers;
    }

    void Report(const char* test) {
        const int blocked = probe.MaxBlockMs();
        std::cout << test << ": max_gui_block_ms=" << blocked << std::endl;
        // A wait on the directory would block for its time-outs (seconds).
        EXPECT_LT(blocked, 1000);
    }

    void TearDown() override {
        app.reset();
        if (sim) {
            sim->Stop();
        }
    }

    testing::RecordingMessageService messages;
    std::unique_ptr<testing::StationSimulator> sim;
    std::unique_ptr<Application> app;
    GuiBlockProbe probe;
};

TEST_F(DirectoryFreezeE2E, SqliteFileLockedTenSecondsFreezesNothing) {
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("stations.db"));
    ASSERT_EQ(CreateDatabaseTemplate(file), TemplateResult::Created);
    ASSERT_NO_FATAL_FAILURE(StartPolling(file));

    sqlite3* locker = nullptr;
    ASSERT_EQ(sqlite3_open(file.toUtf8().constData(), &locker), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(locker, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    probe.Reset();
    ASSERT_TRUE(ShowsNotAnswering());
    EXPECT_TRUE(PollsFor(9000, 5)) << "polling stopped while the file was locked";
    sqlite3_exec(locker, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(locker);
    ExpectBack("sqlite_locked");
}

class PostgresFreezeE2E : public DirectoryFreezeE2E {
protected:
    // pg_ctl runs on a thread of its own: the GUI thread is the one measured.
    static bool OffGuiThread(const std::function<bool()>& work) {
        auto done = std::async(std::launch::async, work);
        static_cast<void>(QTest::qWaitFor(
            [&] { return done.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
            60000));
        return done.get();
    }

    void SetUp() override {
        auto& server = testing::PostgresServer::Instance();
        if (!server.Available()) {
            GTEST_SKIP() << "PostgreSQL unavailable: " << server.SkipReason().toStdString();
        }
        const QString failed = server.CreateStationTable();
        ASSERT_TRUE(failed.isEmpty()) << failed.toStdString();
    }
};

TEST_F(PostgresFreezeE2E, ServerStoppedAndRestartedWhilePolling) {
    auto& server = testing::PostgresServer::Instance();
    ASSERT_NO_FATAL_FAILURE(StartPolling(server.ConnectionString()));

    probe.Reset();
    ASSERT_TRUE(OffGuiThread([&] { return server.Stop(); }));
    ASSERT_TRUE(ShowsNotAnswering());
    EXPECT_TRUE(PollsFor(4000, 2)) << "polling stopped with the server";
    QString why;
    ASSERT_TRUE(OffGuiThread([&] { return server.Restart(&why); })) << why.toStdString();
    ExpectBack("postgres_restarted");
}

// Another operator's client holds the table locked: the statements waiting
// on it end at the statement time-out, and polling goes on.
TEST_F(PostgresFreezeE2E, TableLockedByAnotherClientWhilePolling) {
    auto& server = testing::PostgresServer::Instance();
    ASSERT_NO_FATAL_FAILURE(StartPolling(server.ConnectionString()));

    QSqlDatabase other = AddOdbcConnection(QStringLiteral("other"));
    other.setDatabaseName(server.ConnectionString());
    ASSERT_TRUE(OpenOdbcDatabase(other));
    ASSERT_TRUE(other.transaction());
    ASSERT_TRUE(QSqlQuery(other).exec(QStringLiteral("LOCK TABLE main IN ACCESS EXCLUSIVE MODE")));
    probe.Reset();
    QSignalSpy answers(&app->Worker(), &DirectoryWorker::StationLookedUp);
    ASSERT_TRUE(ShowsNotAnswering());
    EXPECT_TRUE(PollsFor(3000, 2)) << "polling stopped behind the lock";
    // The worker is not held for as long as the lock lasts: its statements
    // end at the time-out, failed (one under way as the lock came may not).
    ASSERT_FALSE(answers.isEmpty());
    EXPECT_EQ(answers.last().at(1).value<LookupResult>().status, LookupStatus::Failed);
    other.rollback();
    RemoveOdbcConnection(other);
    ExpectBack("postgres_locked");
}

// Quitting while the worker waits on a statement the server will never
// answer: the window goes at once, the directory's thread is left to end
// when the server comes back, and nothing it touches then is gone.
TEST_F(PostgresFreezeE2E, QuitWhileTheServerIsStoppedDoesNotWaitForIt) {
    auto& server = testing::PostgresServer::Instance();
    ASSERT_NO_FATAL_FAILURE(StartPolling(server.ConnectionString()));
    ASSERT_TRUE(server.Freeze());
    std::promise<void> quit;
    // Thaws the server after a minute at the latest; true when it had to.
    auto watchdog = std::async(std::launch::async, [&server, quitting = quit.get_future()] {
        const bool late = quitting.wait_for(std::chrono::minutes(1)) != std::future_status::ready;
        server.Thaw();
        return late;
    });
    // A lookup is held by the stopped server.
    ASSERT_TRUE(ShowsNotAnswering());
    app.reset();
    EXPECT_EQ(DirectoryWorker::ThreadsLeftRunning(), 1);
    quit.set_value();
    EXPECT_FALSE(watchdog.get()) << "quitting waited until the server came back";
    // The server is back: the thread ends by itself, and the next client
    // polls with the directory as before.
    EXPECT_TRUE(
        QTest::qWaitFor([] { return DirectoryWorker::ThreadsLeftRunning() == 0; }, kWaitMs));
    StartApp(server.ConnectionString());
    app->ConnectTo(sim->host());
    EXPECT_TRUE(QTest::qWaitFor([this] { return app->Link().ReceivedCount() >= 1; }, kWaitMs));
}

// A listening socket that never accepts: the kernel completes the handshake,
// the client's login waits for an answer that never comes.
TEST_F(DirectoryFreezeE2E, ServerThatNeverAnswersFreezesNothing) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(listener, 8), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const QString location =
        QStringLiteral(
            "DRIVER={PostgreSQL Unicode};Server=127.0.0.1;Port=%1;Database=postgres;Uid=postgres;"
            "Pwd=;")
            .arg(ntohs(address.sin_port));

    StartApp(location);
    probe.Reset();
    ASSERT_TRUE(ShowsNotAnswering());
    // The login time-out ends the first attempt with the familiar box; the
    // window answered all along.
    EXPECT_TRUE(QTest::qWaitFor([this] { return !messages.boxes.empty(); }, kWaitMs));
    EXPECT_EQ(messages.Texts().value(0), QString::fromLatin1(kConnectionFailed));
    EXPECT_TRUE(app->Window().isVisible());
    ::close(listener);
    Report("postgres_silent");
}

}  // namespace
}  // namespace volnar
