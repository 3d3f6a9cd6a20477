// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace volnar {

enum class TemplateResult {
    Created,        // the file did not exist and now holds the template
    AlreadyExists,  // something exists at the path; it was not touched
    Failed          // no file could be created, or the template could not be written
};

// Writes an empty station database with table `main` and its one row (the
// protected station) at path, only when nothing exists there. Creation is
// exclusive: an existing file of any content is never opened for writing.
// A file this call created but could not complete is removed again.
TemplateResult CreateDatabaseTemplate(const QString& path);

// The table definition the template uses (SQLite).
extern const char kTemplateSchema[];

enum class StationFileCheck {
    Station,    // an SQLite database holding a table `main`
    Missing,    // nothing at the path
    NotSQLite,  // a folder, or a file that is no SQLite database
    NoTable,    // an SQLite database (an empty file is one) without `main`
    CannotTell  // locked, unreadable or damaged: the connection will say
};

// What is at path, read without writing or creating anything.
StationFileCheck CheckStationFile(const QString& path);

}  // namespace volnar
