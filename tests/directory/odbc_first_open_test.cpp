// SPDX-License-Identifier: GPL-3.0-or-later
// ODBC connections opened by several threads at once. Debian 12's driver
// manager sets up the name of its driver list lazily and without a lock:
// two first connections of a process meeting there could make every
// connection of that process fail for 20 s ("Can't open lib 'SQLite3'").
// Qt 6.4's list of SQL drivers has a lazy set-up of its own: two threads
// meeting there made the process spin for ever when it quit, after its
// test had passed.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <atomic>
#include <iostream>
#include <thread>
#include <vector>

#include "directory/database_template.h"
#include "directory/station_directory.h"

namespace volnar {
namespace {

constexpr char kChildFlag[] = "VOLNAR_ODBC_FIRST_OPEN_CHILD";
constexpr int kThreads = 4;
constexpr int kProcesses = 100;
constexpr qint64 kBudgetMs = 90000;  // on a loaded machine the runs stop early

// A process's first connections, from several threads released at once. Run
// by NeverFailInFreshProcesses in a process of its own each time.
TEST(OdbcFirstOpen, ThreadsOpenTheProcesssFirstConnectionsAtOnce) {
    if (!qEnvironmentVariableIsSet(kChildFlag)) {
        GTEST_SKIP() << "run in fresh processes by OdbcFirstOpen.NeverFailInFreshProcesses";
    }
    QTemporaryDir folder;
    std::atomic<int> waiting{kThreads};
    std::vector<QString> failures(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        const QString path = folder.filePath(QStringLiteral("%1.db").arg(i));
        ASSERT_EQ(CreateDatabaseTemplate(path), TemplateResult::Created);
        threads.emplace_back([&waiting, &failures, path, i] {
            StationDirectory directory;
            // Released together; yielding while they wait, so that on a
            // loaded machine the spinning threads do not starve the one
            // still creating the files and starting the others.
            for (--waiting; waiting > 0;) {
                std::this_thread::yield();
            }
            Result<void> opened = directory.ConnectDatabase(path);
            if (opened) {
                const auto list = directory.LoadStationList();
                opened = list ? Result<void>() : Result<void>(list.failure());
            }
            if (!opened) {
                failures[i] = opened.error() + u'|' + opened.failure().details;
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int i = 0; i < kThreads; ++i) {
        EXPECT_TRUE(failures[i].isEmpty()) << i << ": " << failures[i].toStdString();
    }
}

// The race needs exact timing and a fresh process: it hit one process in
// some two thousand before the opens were serialised. Each run is a new
// process; the count of runs is bounded by time as well.
TEST(OdbcFirstOpen, NeverFailInFreshProcesses) {
    if (qEnvironmentVariableIsSet(kChildFlag)) {
        GTEST_SKIP();
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kChildFlag), QStringLiteral("1"));
    QElapsedTimer spent;
    spent.start();
    int runs = 0;
    for (; runs < kProcesses && spent.elapsed() < kBudgetMs; ++runs) {
        QProcess child;
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_filter=OdbcFirstOpen.ThreadsOpen*")});
        if (!child.waitForFinished(60000)) {
            // What it printed tells where it stopped.
            child.kill();
            child.waitForFinished(5000);
            FAIL() << "run " << runs << " did not end within 60 s:\n"
                   << child.readAll().toStdString();
        }
        ASSERT_TRUE(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0)
            << "run " << runs << ":\n"
            << child.readAll().toStdString();
    }
    std::cout << "odbc_first_open_processes=" << runs << std::endl;
}

// Opens go one at a time: while one waits for a server that never answers
// its login, another thread's open of a file waits too, and so never meets
// it inside the driver manager. When the file is open, the other has given
// up and closed its socket.
TEST(OdbcFirstOpen, AnOpenWaitingForALoginHoldsBackTheOthers) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(listener, 8), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("voln.db"));
    ASSERT_EQ(CreateDatabaseTemplate(file), TemplateResult::Created);

    std::thread silent([port = ntohs(address.sin_port)] {
        QSqlDatabase db = AddOdbcConnection(QStringLiteral("silent"));
        db.setDatabaseName(QStringLiteral("DRIVER={PostgreSQL Unicode};Server=127.0.0.1;"
                                          "Port=%1;Database=postgres;Uid=postgres;Pwd=;")
                               .arg(port));
        db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=2"));
        EXPECT_FALSE(OpenOdbcDatabase(db));
        RemoveOdbcConnection(db);
    });
    // The silent open has connected: it waits in the listener's queue.
    pollfd pending{listener, POLLIN, 0};
    EXPECT_EQ(::poll(&pending, 1, 30000), 1);
    StationDirectory directory;
    EXPECT_TRUE(directory.ConnectDatabase(file));
    const int peer = ::accept(listener, nullptr, nullptr);
    char bytes[256];
    ssize_t read = 0;
    while ((read = ::recv(peer, bytes, sizeof(bytes), MSG_DONTWAIT)) > 0) {
    }
    EXPECT_EQ(read, 0) << "the file opened while the other open still waited";
    silent.join();
    ::close(peer);
    ::close(listener);
}

}  // namespace
}  // namespace volnar
