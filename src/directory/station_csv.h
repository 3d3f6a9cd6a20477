// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

#include "core/station_record.h"

// The station table as a CSV file, in the form `mdb-export VOLN.MDB main`
// (mdbtools) writes it from the older system's database file: a header row of
// the column names, unquoted; every text field wrapped in double quotes, a
// double quote inside one doubled, line breaks inside kept as they are; an
// empty or null field written as nothing at all; fields separated by ",",
// rows ended by LF; UTF-8 text. Plain code: the import dialog and the command
// line only show what it plans.
namespace volnar {

// The column names, in the table's order.
inline constexpr const char* kStationCsvColumns[] = {"IPADDRESS", "PASSWORD", "COMMENT", "DEFAULT",
                                                     "PORT",      "TIMEOUT",  "RETRIES"};
// A larger file is refused before it is read: a directory of thousands of
// stations is a few hundred kilobytes.
inline constexpr qint64 kStationCsvMaxBytes = 16 * 1024 * 1024;

// Every row, the template's included, in the given order: mdb-export's form,
// UTF-8, LF line ends. Stored text goes out unchanged, byte for byte.
QByteArray StationCsv(const std::vector<StationRecord>& records);

enum class CsvEncoding { Utf8, Windows1252 };

// A file's text: valid UTF-8 (a byte-order mark is dropped) is read as UTF-8;
// anything else as Windows-1252, the code page of the older system's Western
// Windows desktops, where every byte is a character. Pure ASCII reads the
// same either way and counts as UTF-8.
struct CsvText {
    QString text;
    CsvEncoding encoding = CsvEncoding::Utf8;
};
CsvText DecodeCsvText(const QByteArray& bytes);

// One record of a CSV text: its fields, the line it starts on (1 is the
// first line of the file), and what is wrong with its quoting (empty when
// nothing is). Lines end with LF or CR LF, also inside quotes.
struct CsvRecord {
    int line = 0;
    QStringList fields;
    QString problem;
};
// Every record of the text; an empty line is no record. A quote left open
// runs to the end of the text and is that record's problem.
std::vector<CsvRecord> ParseCsv(const QString& text);

// What an import will do with one file against the directory as it is now.
struct ImportRow {
    int line = 0;
    StationRecord record;  // as it will be stored: never the default
};
struct SkippedRow {
    int line = 0;
    QString address;
    QString reason;  // "already in the directory", "the same address as line 4"
};
struct RefusedRow {
    int line = 0;
    QString reason;
};
struct StationImportPlan {
    CsvEncoding encoding = CsvEncoding::Utf8;
    QString fileProblem;  // the file as a whole cannot be read: nothing is added
    std::vector<ImportRow> add;
    std::vector<SkippedRow> duplicates;
    std::vector<RefusedRow> refused;

    std::vector<StationRecord> Records() const;
};

// Reads the file's bytes and checks every row by the rules of the Add IP
// dialog: a whole dotted address (four numbers 0-255, no leading zeros), a
// password, port 1-65535, time-out and retries in the dialog's ranges (an
// empty time-out or retries, or a time-out of 0, as older rows hold them,
// leaves the link's default), and no field longer than the table's column or
// holding a control character. A row whose address is already in
// `existingAddresses`, or on an earlier row of the file, is skipped. Columns
// are found by their header names, in any order and case.
StationImportPlan PlanStationImport(const QByteArray& bytes, const QStringList& existingAddresses);

// "1 station", "5 stations".
QString StationCount(qsizetype count);

// The plan in the operator's words, one line per row named; what the import
// dialog and the command line show.
QString PlanSummary(const StationImportPlan& plan);
QStringList PlanDetails(const StationImportPlan& plan);

}  // namespace volnar
