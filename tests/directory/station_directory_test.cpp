// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/station_directory.h"

#include <sqlite3.h>

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QVariant>
#include <functional>
#include <optional>
#include <thread>

#include "directory/database_template.h"
#include "directory/postgres_server.h"

namespace volnar {
namespace {

using Cell = std::optional<QString>;
using Row = std::array<Cell, 7>;

enum class Backend { SQLite, PostgreSQL };

QString S(const char* text) {
    return QString::fromUtf8(text);
}

// The same suite runs against the embedded SQLite file (through the SQLite3
// ODBC driver) and a real PostgreSQL server (through psqlODBC): SQLite is
// lenient about quoted names and text sizes, PostgreSQL is not.
class DirectoryTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        if (GetParam() == Backend::PostgreSQL) {
            auto& server = testing::PostgresServer::Instance();
            if (!server.Available()) {
                GTEST_SKIP() << "PostgreSQL unavailable: " << server.SkipReason().toStdString();
            }
            m_location = server.ConnectionString();
            const QString failed = server.CreateStationTable();
            ASSERT_TRUE(failed.isEmpty()) << failed.toStdString();
        } else {
            ASSERT_TRUE(m_folder.isValid());
            m_location = m_folder.filePath(S("voln.db"));
            ASSERT_EQ(CreateDatabaseTemplate(m_location), TemplateResult::Created);
        }
        ASSERT_NO_FATAL_FAILURE(OpenAdmin());
        ASSERT_NO_FATAL_FAILURE(Exec(S("DELETE FROM main")));
    }

    void TearDown() override {
        m_directory.DisconnectDatabase();
        if (m_admin.isValid()) {
            RemoveOdbcConnection(m_admin);
        }
    }

    void OpenAdmin() {
        m_admin = AddOdbcConnection(S("admin"));
        m_admin.setDatabaseName(ConnectionStringFor(m_location));
        ASSERT_TRUE(OpenOdbcDatabase(m_admin)) << m_admin.lastError().text().toStdString();
    }

    void Exec(const QString& sql) {
        QSqlQuery query(m_admin);
        ASSERT_TRUE(query.exec(sql))
            << sql.toStdString() << ": " << query.lastError().text().toStdString();
    }

    void Insert(const Row& row) {
        QSqlQuery query(m_admin);
        query.prepare(
            S("INSERT INTO main (IPADDRESS, PASSWORD, COMMENT, \"DEFAULT\", PORT, TIMEOUT, "
              "RETRIES) VALUES (?, ?, ?, ?, ?, ?, ?)"));
        for (const Cell& cell : row) {
            query.addBindValue(cell ? QVariant(*cell) : QVariant(QMetaType::fromType<QString>()));
        }
        ASSERT_TRUE(query.exec()) << query.lastError().text().toStdString();
    }

    // The rows as stored, in table order, read by the admin connection.
    std::vector<Row> Rows() {
        std::vector<Row> rows;
        QSqlQuery query(m_admin);
        EXPECT_TRUE(
            query.exec(S("SELECT IPADDRESS, PASSWORD, COMMENT, \"DEFAULT\", PORT, TIMEOUT, RETRIES "
                         "FROM main ORDER BY IPADDRESS")));
        while (query.next()) {
            Row row;
            for (int i = 0; i < 7; ++i) {
                row[i] = query.value(i).isNull() ? Cell() : Cell(query.value(i).toString());
            }
            rows.push_back(row);
        }
        return rows;
    }

    void Connect() { ASSERT_TRUE(m_directory.ConnectDatabase(m_location)); }

    QTemporaryDir m_folder;
    QString m_location;
    StationDirectory m_directory;
    QSqlDatabase m_admin;  // the test's own connection to the same table
};

// What a failed operation says, and of which kind ("" when it succeeded).
template <typename T>
std::pair<QString, FailureKind> Said(const Result<T>& result) {
    return result ? std::pair(QString(), FailureKind::Refused)
                  : std::pair(result.error(), result.kind());
}

Row Station(const char* address, const char* def = "NO", const char* comment = "c") {
    return {S(address), S("public"), S(comment), S(def), S("161"), S("5"), S("2")};
}

TEST_P(DirectoryTest, ChooserListsEveryRowAndTheLaterExactYesIsTheDefault) {
    ASSERT_NO_FATAL_FAILURE(Connect());
    const auto empty = m_directory.LoadStationList();
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->entries.isEmpty());
    EXPECT_EQ(empty->defaultIndex, -1);
    ASSERT_NO_FATAL_FAILURE(Insert(Station("127.0.0.1", "YES", "first")));
    ASSERT_NO_FATAL_FAILURE(Insert(Station("127.0.0.2", "yes", "lower")));
    ASSERT_NO_FATAL_FAILURE(Insert(Station("127.0.0.3", "YES", "second")));
    ASSERT_NO_FATAL_FAILURE(Insert(Station("127.0.0.4", "NO", "last")));
    const auto list = m_directory.LoadStationList();
    ASSERT_TRUE(list);
    ASSERT_EQ(list->entries.size(), 4);
    EXPECT_EQ(list->defaultIndex, 2);
    EXPECT_EQ(list->entries[2], S("127.0.0.3        second"));
}

TEST_P(DirectoryTest, NullColumnsReadAsEmptyTextAndLookupMatchesWholeAddresses) {
    ASSERT_NO_FATAL_FAILURE(Insert({S("127.0.0.9"), std::nullopt, std::nullopt, std::nullopt,
                                    std::nullopt, std::nullopt, std::nullopt}));
    ASSERT_NO_FATAL_FAILURE(
        Insert({std::nullopt, S("x"), S("no address"), S("NO"), S("1"), S("1"), S("1")}));
    ASSERT_NO_FATAL_FAILURE(Insert(Station("127.0.0.10")));
    ASSERT_NO_FATAL_FAILURE(Connect());
    const auto list = m_directory.LoadStationList();
    ASSERT_TRUE(list);
    EXPECT_EQ(list->entries.value(0), S("127.0.0.9        "));
    const LookupResult found = m_directory.LookupStation(S("127.0.0.9"));
    ASSERT_EQ(found.status, LookupStatus::Found);
    EXPECT_EQ(found.record, (StationRecord{S("127.0.0.9"), {}, {}, {}, {}, {}, {}}));
    // An empty address never matches, not even a row without an address.
    for (const char* other : {"", "127.0.0.1", "127.0.0.10 "}) {
        EXPECT_EQ(m_directory.LookupStation(S(other)).status, LookupStatus::NotFound) << other;
    }
    EXPECT_EQ(m_directory.LookupStation(S("127.0.0.10")).status, LookupStatus::Found);
}

TEST_P(DirectoryTest, LongestAndAwkwardTextsRoundTripWhole) {
    ASSERT_NO_FATAL_FAILURE(Connect());
    const QString password(kPasswordMaxLength, u'p');
    const QString comment(kCommentMaxLength, u'c');
    const QString digits = S("1234567890");
    ASSERT_TRUE(m_directory.AddStation(
        {S("255.255.255.255"), password, comment, {}, digits, digits, digits}));
    const LookupResult found = m_directory.LookupStation(S("255.255.255.255"));
    EXPECT_EQ(found.record.PASSWORD, password);  // all 35 characters, not 25
    EXPECT_EQ(found.record.COMMENT, comment);
    const auto list = m_directory.LoadStationList();
    ASSERT_TRUE(list);
    // A 15-character address gets exactly two spaces, and the chooser's cut
    // to 15 characters still yields the whole address.
    EXPECT_EQ(list->entries.value(0), S("255.255.255.255  ") + comment);
    EXPECT_EQ(ChosenStation(list->entries.value(0)), S("255.255.255.255"));

    // clang-format off
    const StationRecord station{S("127.0.0.5"), S("it's|a\\\"pw\"'"), S("O'Brien; DROP TABLE main --"), S("ignored"), S("1610"), S("10"), S("3")};
    // clang-format on
    ASSERT_TRUE(m_directory.AddStation(station));
    StationRecord expected = station;
    expected.DEFAULT = S("NO");  // a new station is never the default
    EXPECT_EQ(m_directory.LookupStation(station.IPADDRESS).record, expected);
    StationRecord edited = expected;
    edited.COMMENT = S("Zürich – Ωmega “quoted” ✓");
    edited.PASSWORD = S("pässwörd");
    ASSERT_TRUE(m_directory.UpdateStation(edited));
    EXPECT_EQ(m_directory.LookupStation(station.IPADDRESS).record, edited);
}

TEST_P(DirectoryTest, TooLongValuesFailCleanlyAndChangeNothing) {
    ASSERT_NO_FATAL_FAILURE(Insert(Station("127.0.0.1", "YES")));
    ASSERT_NO_FATAL_FAILURE(Connect());
    const auto before = Rows();
    const StationRecord tooLong[] = {
        {S("127.0.0.2"), QString(kPasswordMaxLength + 1, u'p'), {}, {}, {}, {}, {}},
        {S("127.0.0.2"), S("pw"), QString(kCommentMaxLength + 1, u'c'), {}, {}, {}, {}},
        {S("127.0.0.2"), S("pw"), {}, {}, S("12345678901"), {}, {}},
        {S("1234567890123456"), S("pw"), {}, {}, {}, {}, {}},
    };
    const auto executionFailed =
        std::pair(S("Execution of SQL statement failed"), FailureKind::Unavailable);
    for (const StationRecord& record : tooLong) {
        EXPECT_EQ(Said(m_directory.AddStation(record)), executionFailed);
    }
    StationRecord update{S("127.0.0.1"), QString(kPasswordMaxLength + 1, u'p'), {}, {}, {}, {}, {}};
    EXPECT_EQ(Said(m_directory.UpdateStation(update)), executionFailed);
    EXPECT_EQ(Rows(), before);
}

TEST_P(DirectoryTest, UpdateKeepsDefaultAndAddressAndWritesSayWhetherTheRowWasThere) {
    ASSERT_NO_FATAL_FAILURE(Insert(Station("127.0.0.1", "YES", "old")));
    ASSERT_NO_FATAL_FAILURE(Insert(Station("192.168.100.200")));
    ASSERT_NO_FATAL_FAILURE(Connect());
    StationRecord edited{S("127.0.0.1"), S("new"), S("new comment"), S("NO"), S("162"),
                         S(""),          S("1")};
    ASSERT_TRUE(m_directory.UpdateStation(edited));
    edited.DEFAULT = S("YES");
    EXPECT_EQ(m_directory.LookupStation(S("127.0.0.1")).record, edited);
    edited.IPADDRESS = S("127.0.0.99");
    EXPECT_EQ(Said(m_directory.UpdateStation(edited)).second, FailureKind::NotFound);
    EXPECT_EQ(Rows().size(), 2u);

    EXPECT_EQ(Said(m_directory.DeleteStation(S("127.0.0.7"))).second, FailureKind::NotFound);
    EXPECT_TRUE(m_directory.DeleteStation(S("192.168.100.200")));
    EXPECT_EQ(m_directory.LookupStation(S("192.168.100.200")).status, LookupStatus::NotFound);
    const auto addresses = m_directory.LoadAddressList();
    ASSERT_TRUE(addresses);
    EXPECT_EQ(addresses->addresses, QStringList{S("127.0.0.1")});
    EXPECT_EQ(addresses->defaultAddress, S("127.0.0.1"));
}

TEST_P(DirectoryTest, SetDefaultMarksOneRowAndConfirmsOrRefusesAnUnknownAddress) {
    ASSERT_NO_FATAL_FAILURE(Insert(Station("127.0.0.1", "YES")));
    ASSERT_NO_FATAL_FAILURE(Insert(Station("127.0.0.2", "yes")));
    ASSERT_NO_FATAL_FAILURE(Insert(Station("127.0.0.3", "NO")));
    ASSERT_NO_FATAL_FAILURE(Insert({std::nullopt, S("x"), S("no address"), S("YES"), {}, {}, {}}));
    ASSERT_NO_FATAL_FAILURE(Connect());
    const auto before = Rows();
    for (const char* unknown : {"127.0.0.5", ""}) {
        EXPECT_EQ(Said(m_directory.SetDefaultStation(S(unknown))),
                  std::pair(S(kDefaultNotInTable), FailureKind::NotFound));
        EXPECT_EQ(Rows(), before) << unknown;
    }
    ASSERT_TRUE(m_directory.SetDefaultStation(S("127.0.0.3")));
    for (const Row& row : Rows()) {
        EXPECT_EQ(row[3], row[0] == S("127.0.0.3") ? S("YES") : S("NO"))
            << (row[0] ? row[0]->toStdString() : "null");
    }
    const auto list = m_directory.LoadStationList();
    ASSERT_TRUE(list);
    EXPECT_EQ(ChosenStation(list->entries.value(list->defaultIndex)), S("127.0.0.3"));
}

TEST_P(DirectoryTest, UnreachableDatabaseReportsEveryOperationAndChangesNothing) {
    ASSERT_NO_FATAL_FAILURE(Insert(Station("127.0.0.1", "YES")));
    const auto before = Rows();
    QString unreachable;
    if (GetParam() == Backend::PostgreSQL) {
        // Nothing listens on port 1.
        unreachable =
            S("DRIVER={PostgreSQL Unicode};Server=127.0.0.1;Port=1;Database=postgres;"
              "Uid=postgres;Pwd=;");
    } else {
        unreachable = m_folder.filePath(S("missing-folder/voln.db"));
    }
    EXPECT_EQ(Said(m_directory.ConnectDatabase(unreachable)),
              std::pair(S("Connection attempt failed"), FailureKind::Unavailable));

    const auto noConnection =
        std::pair(S("Statement handle allocation failed"), FailureKind::Unavailable);
    EXPECT_EQ(Said(m_directory.LoadStationList()), noConnection);
    EXPECT_EQ(Said(m_directory.LoadAddressList()), noConnection);
    const LookupResult lookup = m_directory.LookupStation(S("127.0.0.1"));
    EXPECT_EQ(lookup.status, LookupStatus::Failed);
    EXPECT_EQ(Said(Result<void>(*lookup.failure)), noConnection);
    EXPECT_EQ(Said(m_directory.SetDefaultStation(S("127.0.0.1"))), noConnection);
    EXPECT_EQ(Said(m_directory.AddStation({S("127.0.0.2"), S("p"), {}, {}, {}, {}, {}})),
              noConnection);
    EXPECT_EQ(Said(m_directory.UpdateStation({S("127.0.0.1"), S("p"), {}, {}, {}, {}, {}})),
              noConnection);
    EXPECT_EQ(Said(m_directory.DeleteStation(S("127.0.0.1"))), noConnection);
    EXPECT_EQ(Rows(), before);
}

// A second operator deletes the row while this one's write waits for its
// lock: the write must see that the row is gone and change nothing, rather
// than clear every default or report an update that changed nothing.
TEST_P(DirectoryTest, WriteRacingAnotherOperatorsDeleteChangesNothing) {
    if (GetParam() != Backend::PostgreSQL) {
        GTEST_SKIP() << "needs row locks held by a second connection";
    }
    struct Case {
        const char* name;
        std::function<bool(StationDirectory&)> write;  // true: it claimed success
    } const cases[] = {
        {"SetDefaultStation",
         [](StationDirectory& d) { return d.SetDefaultStation(S("127.0.0.2")).has_value(); }},
        {"UpdateStation",
         [](StationDirectory& d) {
             return d.UpdateStation({S("127.0.0.2"), S("new"), {}, {}, S("1"), S("1"), S("1")})
                 .has_value();
         }},
    };
    for (const Case& c : cases) {
        ASSERT_NO_FATAL_FAILURE(Exec(S("DELETE FROM main")));
        ASSERT_NO_FATAL_FAILURE(Insert(Station("127.0.0.1", "YES")));
        ASSERT_NO_FATAL_FAILURE(Insert(Station("127.0.0.2")));
        QSqlDatabase& admin = m_admin;
        ASSERT_TRUE(admin.transaction());
        ASSERT_NO_FATAL_FAILURE(Exec(S("DELETE FROM main WHERE IPADDRESS = '127.0.0.2'")));

        bool claimed = true;
        std::thread other([&] {
            StationDirectory directory;
            if (directory.ConnectDatabase(m_location)) {
                claimed = c.write(directory);
            }
        });
        // Commit once the other connection waits for the deleted row's lock.
        QSqlQuery waiting(admin);
        for (int i = 0; i < 200; ++i) {
            ASSERT_TRUE(
                waiting.exec(S("SELECT count(*) FROM pg_stat_activity "
                               "WHERE wait_event_type = 'Lock' AND query LIKE 'UPDATE main%'")));
            if (waiting.next() && waiting.value(0).toInt() > 0) {
                break;
            }
            QThread::msleep(50);
        }
        ASSERT_TRUE(admin.commit());
        other.join();
        EXPECT_FALSE(claimed) << c.name;
        const auto rows = Rows();
        ASSERT_EQ(rows.size(), 1u) << c.name;
        EXPECT_EQ(rows[0], Station("127.0.0.1", "YES")) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, DirectoryTest,
                         ::testing::Values(Backend::SQLite, Backend::PostgreSQL),
                         [](const auto& param) {
                             return param.param == Backend::SQLite ? "SQLite" : "PostgreSQL";
                         });

// A second program holding the SQLite file locked: the directory waits a
// bounded time, reports the failure, and the row it could not write is
// neither half-written nor lost later.
TEST(DirectorySQLiteLock, LockedFileFailsWithinBoundAndLosesNothing) {
    QTemporaryDir folder;
    const QString path = folder.filePath(S("voln.db"));
    ASSERT_EQ(CreateDatabaseTemplate(path), TemplateResult::Created);
    StationDirectory directory;
    ASSERT_TRUE(directory.ConnectDatabase(path));

    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);

    const StationRecord station{S("127.0.0.2"), S("pw"), S("c"), {}, S("161"), S("5"), S("2")};
    const Result<void> added = directory.AddStation(station);
    ASSERT_FALSE(added);
    EXPECT_EQ(added.error(), S("Execution of SQL statement failed"));
    EXPECT_TRUE(added.failure().details.contains(S("locked"), Qt::CaseInsensitive))
        << added.failure().details.toStdString();
    EXPECT_FALSE(directory.SetDefaultStation(S("10.10.10.10")));

    ASSERT_EQ(sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(other);
    // Once the lock is gone the same operations succeed.
    EXPECT_TRUE(directory.AddStation(station));
    EXPECT_TRUE(directory.SetDefaultStation(S("127.0.0.2")));
    EXPECT_EQ(directory.LookupStation(S("127.0.0.2")).record.DEFAULT, S("YES"));
    EXPECT_EQ(directory.LookupStation(S("10.10.10.10")).record.DEFAULT, S("NO"));
}

TEST(StationEntry, PadsAddressesOfSevenToFifteenCharacters) {
    struct Case {
        const char* address;
        const char* comment;
        const char* entry;
    } const cases[] = {
        {"1.2.3.4", "seven", "1.2.3.4          seven"},
        {"255.255.255.255", "fifteen", "255.255.255.255  fifteen"},
        {"1.2.3.", "six", "1.2.3.six"},
        {"1234567890123456", "sixteen", "1234567890123456sixteen"},
        {"", "", ""},
        {"10.10.10.10", "Default IP", "10.10.10.10      Default IP"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StationEntry(S(c.address), S(c.comment)), S(c.entry)) << c.address;
    }
    EXPECT_EQ(StationEntry(S("127.0.0.1"), QString(100, u'x')).size(), 80);
}

TEST(ChosenStation, CutsToFifteenAndTrimsTrailingBlanks) {
    struct Case {
        const char* chooser;
        const char* chosen;
    } const cases[] = {
        {"10.10.10.10      Default IP", "10.10.10.10"},
        {"127.0.0.1  ", "127.0.0.1"},
        {"127.0.0.1\t\r\n", "127.0.0.1"},
        {"   ", ""},
        {" 127.0.0.1", " 127.0.0.1"},
        {"255.255.255.255  x", "255.255.255.255"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ChosenStation(S(c.chooser)), S(c.chosen)) << c.chooser;
    }
}

// Every character a folder name may hold reaches the driver, and a location
// that names nothing is refused before the driver can invent a file.
TEST(DirectorySQLiteLocation, AnyPathOpensItsOwnFileAndNothingElse) {
    QTemporaryDir folder;
    const QString previous = QDir::currentPath();
    const auto restore = qScopeGuard([&previous] { QDir::setCurrent(previous); });
    ASSERT_TRUE(QDir::setCurrent(folder.path()));
    for (const char* name : {"a;b/voln.db", "DSN=x/voln.db", "s p {DRIVER=y}/v%41=ö.db"}) {
        const QString path = folder.filePath(S(name));
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
        ASSERT_EQ(CreateDatabaseTemplate(path), TemplateResult::Created) << name;
        StationDirectory directory;
        ASSERT_TRUE(directory.ConnectDatabase(path)) << name;
        const auto list = directory.LoadStationList();
        ASSERT_TRUE(list) << name;
        EXPECT_EQ(list->entries, QStringList{S("10.10.10.10      Default IP")}) << name;
    }
    StationDirectory directory;
    EXPECT_EQ(Said(directory.ConnectDatabase(QString())),
              std::pair(S("Connection attempt failed"), FailureKind::Unavailable));
    // Only the three folders: no stray database beside them.
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 3);
    EXPECT_TRUE(QDir(folder.filePath(S("a;b"))).entryList(QDir::Files) ==
                QStringList{S("voln.db")});
}

}  // namespace
}  // namespace volnar
