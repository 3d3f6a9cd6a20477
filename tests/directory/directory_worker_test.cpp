// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/directory_worker.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <functional>
#include <iostream>

#include "directory/database_template.h"
#include "directory/postgres_server.h"

namespace volnar {
namespace {

// Counts the lines of the directory's log while it lives.
class DirectoryLogCounter final {
public:
    DirectoryLogCounter() {
        s_lines = 0;
        s_previous = qInstallMessageHandler(Count);
    }
    ~DirectoryLogCounter() { qInstallMessageHandler(s_previous); }
    int Lines() const { return s_lines; }

private:
    static void Count(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (context.category != nullptr && qstrcmp(context.category, "volnar.directory") == 0) {
            ++s_lines;
        }
        s_previous(type, context, text);
    }
    static inline QtMessageHandler s_previous = nullptr;
    static inline std::atomic<int> s_lines{0};
};

bool Exec(const QString& location, const QString& sql) {
    QSqlDatabase db = AddOdbcConnection(QStringLiteral("fix"));
    db.setDatabaseName(location);
    const bool done = OpenOdbcDatabase(db) && QSqlQuery(db).exec(sql);
    RemoveOdbcConnection(db);
    return done;
}

// A directory that opens but is no station directory (an empty file left by
// a deleted one or a mistyped path; a server without the table): the worker
// retries ever more rarely, never says it answers, and logs a few lines
// rather than several per retry and per lookup. Made a station directory,
// it is back by itself.
TEST(DirectoryWorker, ANonStationDirectoryNeverAnswersAndIsPickedUpOnceItIsOne) {
    QTemporaryDir folder;
    struct Case {
        const char* name;
        std::function<QString()> broken;  // the location, or empty to skip
        std::function<bool(const QString&)> repair;
    } const cases[] = {
        {"empty file",
         [&folder] {
             const QString path = folder.filePath(QStringLiteral("voln.db"));
             QFile file(path);
             return file.open(QIODevice::WriteOnly) ? path : QString();
         },
         [](const QString& path) {
             return QFile::remove(path) && CreateDatabaseTemplate(path) == TemplateResult::Created;
         }},
        {"server without the table",
         [] {
             auto& server = testing::PostgresServer::Instance();
             return server.Available() && server.CreateStationTable().isEmpty() &&
                            Exec(server.ConnectionString(), QStringLiteral("DROP TABLE main"))
                        ? server.ConnectionString()
                        : QString();
         },
         [](const QString&) {
             return testing::PostgresServer::Instance().CreateStationTable().isEmpty();
         }},
    };
    for (const Case& c : cases) {
        const QString location = c.broken();
        if (location.isEmpty()) {
            std::cout << "skipped: " << c.name << std::endl;
            continue;
        }
        DirectoryWorker worker(DirectoryTimings{.firstRetryMs = 5, .longestRetryMs = 40});
        QSignalSpy reconnected(&worker, &DirectoryWorker::Reconnected);
        QSignalSpy answering(&worker, &DirectoryWorker::AnsweringChanged);
        {
            const DirectoryLogCounter log;
            worker.Connect(location);
            for (int i = 0; i < 40; ++i) {
                worker.LookupStation(QStringLiteral("127.0.0.1"));  // as polling asks
            }
            EXPECT_TRUE(QTest::qWaitFor([&] { return worker.Outstanding() == 0; }, 20000));
            QTest::qWait(300);  // many retries
            EXPECT_LE(log.Lines(), FailureLog::kFullLines + 2) << c.name;
        }
        EXPECT_TRUE(reconnected.isEmpty()) << c.name;
        EXPECT_FALSE(worker.IsAnswering()) << c.name;
        for (const QList<QVariant>& change : answering) {
            EXPECT_FALSE(change.at(0).toBool()) << c.name;
        }
        ASSERT_TRUE(c.repair(location)) << c.name;
        EXPECT_TRUE(QTest::qWaitFor([&] { return !reconnected.isEmpty(); }, 20000)) << c.name;
        EXPECT_TRUE(worker.IsAnswering()) << c.name;
    }
}

}  // namespace
}  // namespace volnar
