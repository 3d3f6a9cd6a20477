// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/database_template.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QLoggingCategory>
#include <cerrno>

#include "directory/logging.h"

namespace volnar {

// SQLite does not enforce declared text sizes, so each column carries its
// limit as a CHECK; a value that does not fit fails its statement instead of
// being stored and cut elsewhere.
const char kTemplateSchema[] = R"sql(
CREATE TABLE main (
    IPADDRESS VARCHAR(15) CHECK (length(IPADDRESS) <= 15),
    PASSWORD  VARCHAR(35) CHECK (length(PASSWORD) <= 35),
    COMMENT   VARCHAR(50) CHECK (length(COMMENT) <= 50),
    "DEFAULT" VARCHAR(10) CHECK (length("DEFAULT") <= 10),
    PORT      VARCHAR(10) DEFAULT '161' CHECK (length(PORT) <= 10),
    TIMEOUT   VARCHAR(10) DEFAULT '5' CHECK (length(TIMEOUT) <= 10),
    RETRIES   VARCHAR(10) DEFAULT '0' CHECK (length(RETRIES) <= 10)
);
INSERT INTO main (IPADDRESS, PASSWORD, COMMENT, "DEFAULT", PORT, TIMEOUT, RETRIES)
    VALUES ('10.10.10.10', 'none', 'Default IP', 'YES', '161', NULL, '0');
)sql";

TemplateResult CreateDatabaseTemplate(const QString& path) {
    if (path.isEmpty()) {
        return TemplateResult::Failed;
    }
    const QByteArray native = QFile::encodeName(path);
    // O_EXCL makes the existence test and the creation one step: whatever
    // exists at the path (a file, a folder, a link) is left alone.
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        return errno == EEXIST ? TemplateResult::AlreadyExists : TemplateResult::Failed;
    }
    ::close(fd);

    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(native.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
    char* error = nullptr;
    ok = ok && sqlite3_exec(db, "BEGIN", nullptr, nullptr, &error) == SQLITE_OK &&
         sqlite3_exec(db, kTemplateSchema, nullptr, nullptr, &error) == SQLITE_OK &&
         sqlite3_exec(db, "COMMIT", nullptr, nullptr, &error) == SQLITE_OK;
    if (!ok) {
        qCWarning(lcDirectory) << "template not written:"
                               << (error ? error
                                   : db  ? sqlite3_errmsg(db)
                                         : "no memory");
    }
    sqlite3_free(error);
    ok = sqlite3_close(db) == SQLITE_OK && ok;
    if (!ok) {
        ::unlink(native.constData());
        return TemplateResult::Failed;
    }
    return TemplateResult::Created;
}

StationFileCheck CheckStationFile(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    if (::stat(native.constData(), &info) != 0) {
        return errno == ENOENT ? StationFileCheck::Missing : StationFileCheck::CannotTell;
    }
    if (!S_ISREG(info.st_mode)) {
        return StationFileCheck::NotSQLite;
    }
    // Read-only and without SQLITE_OPEN_CREATE: nothing is written, and a
    // file deleted meanwhile is not made again. Reading the schema is what
    // tells a database from other bytes; a lock held by another program
    // answers SQLITE_BUSY at once (no busy time-out here). The SQLite3 ODBC
    // driver uses this same shared library, which keeps one process's locks
    // on one file together, so closing this handle drops no lock of another
    // connection of the process to the file.
    sqlite3* db = nullptr;
    StationFileCheck check = StationFileCheck::CannotTell;
    if (sqlite3_open_v2(native.constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        const int prepared = sqlite3_prepare_v2(
            db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'main' COLLATE NOCASE",
            -1, &statement, nullptr);
        const int stepped = prepared == SQLITE_OK ? sqlite3_step(statement) : prepared;
        check = stepped == SQLITE_ROW      ? StationFileCheck::Station
                : stepped == SQLITE_DONE   ? StationFileCheck::NoTable
                : stepped == SQLITE_NOTADB ? StationFileCheck::NotSQLite
                                           : StationFileCheck::CannotTell;
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return check;
}

}  // namespace volnar
