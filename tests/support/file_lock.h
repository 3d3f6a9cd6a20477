// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QString>
#include <utility>

namespace volnar::testing {

// Another program holding a SQLite file locked until Release().
class FileLock final {
public:
    explicit FileLock(const QString& file) {
        EXPECT_EQ(sqlite3_open(file.toUtf8().constData(), &m_db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(m_db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    ~FileLock() { Release(); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    void Release() {
        sqlite3_close(std::exchange(m_db, nullptr));  // the transaction rolls back
    }

private:
    sqlite3* m_db = nullptr;
};

}  // namespace volnar::testing
