// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/database_template.h"

#include <sqlite3.h>

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "directory/station_directory.h"

namespace volnar {
namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

TEST(DatabaseTemplate, NewFileHoldsTheTableAndTheProtectedStation) {
    QTemporaryDir folder;
    const QString path = folder.filePath(S("VOLN.db"));
    ASSERT_EQ(CreateDatabaseTemplate(path), TemplateResult::Created);

    StationDirectory directory;
    ASSERT_TRUE(directory.ConnectDatabase(path));
    const auto list = directory.LoadStationList();
    ASSERT_TRUE(list);
    EXPECT_EQ(list->entries, QStringList{S("10.10.10.10      Default IP")});
    EXPECT_EQ(list->defaultIndex, 0);
    const LookupResult found = directory.LookupStation(S("10.10.10.10"));
    ASSERT_EQ(found.status, LookupStatus::Found);
    EXPECT_EQ(found.record.PORT, S("161"));
    EXPECT_EQ(found.record.RETRIES, S("0"));
    EXPECT_EQ(found.record.TIMEOUT, QString());
    EXPECT_EQ(found.record.PASSWORD.size(), 4);

    // Column defaults apply to a row written without them.
    ASSERT_TRUE(directory.AddStation({S("127.0.0.1"), S("public"), {}, {}, {}, {}, {}}));
    EXPECT_EQ(directory.LookupStation(S("127.0.0.1")).record.PORT, S(""));
}

// The bytes of an SQLite database made by `sql`.
QByteArray SQLiteFile(const char* sql) {
    QTemporaryDir folder;
    const QString path = folder.filePath(S("made.db"));
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Neither the template nor a connection writes over what is at the path; a
// connection refuses what is no station database, saying why, rather than
// opening it and failing at every statement; a missing file is not made.
TEST(DatabaseTemplate, WhatIsNoStationDatabaseIsLeftByteForByteAndRefusedWithItsReason) {
    QTemporaryDir folder;
    struct Case {
        const char* name;
        QByteArray content;
        const char* reason;
    } const cases[] = {
        {"empty.db", QByteArray(), "it holds no table main"},
        {"text.db", QByteArray("not a database\n"), "it is not an SQLite database"},
        {"binary.db", QByteArray("\x00\x01\x00\x00Standard Jet DB\xff", 20),
         "it is not an SQLite database"},
        {"other.db", SQLiteFile("CREATE TABLE other (a TEXT)"), "it holds no table main"},
    };
    const auto refused = [](const QString& path, const char* reason) {
        StationDirectory directory;
        const Result<void> opened = directory.ConnectDatabase(path);
        ASSERT_FALSE(opened) << path.toStdString();
        EXPECT_EQ(opened.error(), S("Connection attempt failed"));
        EXPECT_TRUE(opened.failure().details.contains(S(reason)))
            << opened.failure().details.toStdString();
    };
    for (const Case& c : cases) {
        const QString path = folder.filePath(S(c.name));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.content);
        file.close();
        EXPECT_EQ(CreateDatabaseTemplate(path), TemplateResult::AlreadyExists) << c.name;
        refused(path, c.reason);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), c.content) << c.name;
    }
    // A folder at the path is left alone too.
    ASSERT_TRUE(QDir(folder.path()).mkdir(S("folder.db")));
    EXPECT_EQ(CreateDatabaseTemplate(folder.filePath(S("folder.db"))),
              TemplateResult::AlreadyExists);
    refused(folder.filePath(S("folder.db")), "it is not an SQLite database");
    // A missing file is refused and not made; a missing folder fails the
    // template without creating anything.
    const QString gone = folder.filePath(S("gone.db"));
    refused(gone, "There is no station database at");
    EXPECT_FALSE(QFile::exists(gone));
    const QString missing = folder.filePath(S("missing/VOLN.db"));
    EXPECT_EQ(CreateDatabaseTemplate(missing), TemplateResult::Failed);
    EXPECT_FALSE(QFile::exists(missing));
    EXPECT_EQ(CreateDatabaseTemplate(QString()), TemplateResult::Failed);
}

}  // namespace
}  // namespace volnar
