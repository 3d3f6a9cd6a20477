// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

#include "core/result.h"
#include "core/station_record.h"
#include "directory/failure_log.h"

namespace volnar {

// The station chooser's contents: one entry per row in table order, and the
// entry to preselect (the last row whose DEFAULT is exactly "YES"; -1 when
// none is).
struct StationList {
    QStringList entries;
    int defaultIndex = -1;
};

// The bare addresses of the table in order, and the default one (empty when
// none), as the Delete IP dialog lists them.
struct AddressList {
    QStringList addresses;
    QString defaultAddress;
};

enum class LookupStatus { Found, NotFound, Failed };

struct LookupResult {
    LookupStatus status = LookupStatus::NotFound;
    StationRecord record;            // the row when Found; empty otherwise
    std::optional<Failure> failure;  // why, when Failed
};

// Longest texts the table holds, per column.
inline constexpr int kAddressMaxLength = 15;
inline constexpr int kPasswordMaxLength = 35;
inline constexpr int kCommentMaxLength = 50;
inline constexpr int kNumberFieldMaxLength = 10;  // PORT, TIMEOUT, RETRIES, DEFAULT

// Error texts shown to the operator.
inline constexpr char kEnvironmentFailed[] = "Environment handle allocation failed";
inline constexpr char kConnectionFailed[] = "Connection attempt failed";
inline constexpr char kStatementFailed[] = "Statement handle allocation failed";
inline constexpr char kExecutionFailed[] = "Execution of SQL statement failed";
inline constexpr char kDefaultSet[] = "                   Default IP Address Set!";
inline constexpr char kDefaultNotInTable[] =
    "This IP Address is not in the database!\r\nThe default station is unchanged.";

// "address", padded with spaces to 17 characters when it has 7 to 15
// characters, then the comment; at most 80 characters.
QString StationEntry(const QString& address, const QString& comment);

// The ODBC connection string for a database location. A connection string
// is recognised by its form, a first attribute DRIVER=, DSN= or FILEDSN=,
// and used as it stands; anything else is the path of a SQLite file, named
// as a percent-encoded SQLite URI so that every character of the path
// (";", "=", braces, blanks) reaches the driver unchanged, opened read-write
// but never created (mode=rw): only the template makes a new file. An empty
// location names nothing (empty result).
QString ConnectionStringFor(const QString& location);
bool IsConnectionString(const QString& location);

// Every QODBC connection of the process is added, opened, closed and
// removed through these, one thread at a time:
// - Debian 12's unixODBC (2.3.11) sets up the name of its driver list
//   lazily and without a lock: two threads making the process's first
//   connections at the same moment can leave every connection of the
//   process failing for 20 s ("Can't open lib 'SQLite3'").
// - Qt 6.4 sets up its list of SQL drivers lazily too, and registers the
//   list's clean-up for the quit with an unguarded flag. Two threads making
//   their first connection (or asking for the drivers) at the same moment
//   can register it twice; the second clean-up then registers itself again
//   and again, and the process spins for ever when it quits (seen about
//   once in a thousand processes whose four threads connected at once,
//   under load). Nothing looks a connection up by name either: the
//   directory holds its handle.
// An open waiting for a server's login holds back the others, which only
// tests and tools make.
bool OdbcDriverAvailable();
QSqlDatabase AddOdbcConnection(const QString& name);
bool OpenOdbcDatabase(QSqlDatabase& db);
// Closes the connection, lets go of `db` and removes it from Qt's list.
void RemoveOdbcConnection(QSqlDatabase& db);

// The station table `main`, reached through ODBC. The connection lives from
// ConnectDatabase to DisconnectDatabase (or destruction). Every operation
// returns its failure as a value: FailureKind::Unavailable when the
// database did not work (the connection is then suspect), NotFound when the
// row named is not there; the caller decides whether a box shows it, and
// every failure is logged here. Writes use bound parameters only.
class StationDirectory final {
public:
    StationDirectory();
    ~StationDirectory();
    StationDirectory(const StationDirectory&) = delete;
    StationDirectory& operator=(const StationDirectory&) = delete;

    // Opens the connection for a database location; without it the program
    // goes on without a directory. A file path must name a
    // station database (SQLite, with table `main`): a missing file, an empty
    // one or one of other bytes is refused before the driver opens it.
    // `connectOptions` are the ODBC driver's (QSqlDatabase::setConnectOptions),
    // a login time-out for instance.
    Result<void> ConnectDatabase(const QString& location,
                                 const QString& connectOptions = QString());
    void DisconnectDatabase();
    bool IsConnected() const;
    // The connection (used on the thread that connected).
    QSqlDatabase Connection() const { return m_db; }
    // Where this connection's failures are logged.
    FailureLog& Failures() { return m_failures; }

    // Whether the station table reads (it returns no row).
    Result<void> ReadsTable();

    // A failure leaves the chooser as it was.
    Result<StationList> LoadStationList();
    Result<AddressList> LoadAddressList();
    // Every row in table order (the fleet overview and the exporter).
    Result<std::vector<StationRecord>> LoadStationRecords();

    // The row whose IPADDRESS is exactly this address (never an empty one).
    LookupResult LookupStation(const QString& address);

    // Makes the row with this address the only default, in one transaction
    // whose own affected-row count says whether the row is there. An address
    // in no row (also one deleted by another operator meanwhile) is NotFound
    // (kDefaultNotInTable) and nothing changes; nor does it on a failed write.
    Result<void> SetDefaultStation(const QString& address);

    // A new station is never the default.
    Result<void> AddStation(const StationRecord& record);
    // Rewrites the row with record.IPADDRESS, keeping its DEFAULT and its
    // address; NotFound when the statement changed no row.
    Result<void> UpdateStation(const StationRecord& record);
    Result<void> DeleteStation(const QString& address);

    // Adds every row as given, in one transaction, or none of them: the
    // number added, or why nothing was. A driver failure is reported (and
    // rolls everything back); an address that is in the table by now (added
    // by another operator since the rows were checked) refuses them all.
    Result<int> AddStations(const std::vector<StationRecord>& records);

private:
    Result<void> Ready();
    // Reads every row in table order, handing each to `row` until it returns
    // false; reports and returns false when the table could not be read.
    Result<void> ReadRows(const std::function<bool(StationRecord&&)>& row);
    Failure ExecutionFailed(const QString& driverText);
    // Refuses a file path that names no station database.
    Result<void> CheckFile(const QString& location);
    Failure ConnectionFailed(const QString& detail);
    // The row count of a write: NotFound when it changed none.
    Result<void> Written(int affectedRows);
    QString m_connectionName;
    // The connection, from ConnectDatabase to DisconnectDatabase. Holding it
    // matters beyond saving a look-up: when the program quits under a
    // statement that a stopped server holds, Qt's clean-up drops only its
    // own reference; holding the last, it would close the connection, which
    // psqlODBC makes wait for the statement.
    QSqlDatabase m_db;
    FailureLog m_failures;
};

}  // namespace volnar
