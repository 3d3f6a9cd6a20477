// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/station_directory.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QMutex>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <atomic>
#include <cctype>
#include <functional>

#include "directory/database_template.h"

#include "directory/logging.h"

namespace volnar {

Q_LOGGING_CATEGORY(lcDirectory, "volnar.directory")
namespace {

// Columns are named, not taken by position, so a table whose columns were
// created in another order still reads right. DEFAULT is an SQL keyword and
// is always quoted.
constexpr char kSelectAll[] =
    "SELECT IPADDRESS, PASSWORD, COMMENT, \"DEFAULT\", PORT, TIMEOUT, RETRIES FROM main";

QString Text(const QVariant& value) {
    return value.isNull() ? QString() : value.toString();
}

// A null column is bound as an empty text, as the dialogs hand it over.
QVariant Bind(const QString& text) {
    return text.isNull() ? QString(QLatin1String("")) : text;
}

StationRecord RecordFrom(const QSqlQuery& query) {
    StationRecord record;
    record.IPADDRESS = Text(query.value(0));
    record.PASSWORD = Text(query.value(1));
    record.COMMENT = Text(query.value(2));
    record.DEFAULT = Text(query.value(3));
    record.PORT = Text(query.value(4));
    record.TIMEOUT = Text(query.value(5));
    record.RETRIES = Text(query.value(6));
    return record;
}

QString DriverText(const QSqlError& error) {
    QStringList parts;
    if (!error.databaseText().isEmpty()) {
        parts << error.databaseText();
    }
    if (!error.driverText().isEmpty()) {
        parts << error.driverText();
    }
    return parts.join(QLatin1String("\n"));
}

}  // namespace

QString StationEntry(const QString& address, const QString& comment) {
    QString entry = address;
    if (address.size() >= 7 && address.size() <= 15) {
        entry += QString(17 - address.size(), QLatin1Char(' '));
    }
    entry += comment;
    return entry.left(80);
}

bool IsConnectionString(const QString& location) {
    static const QRegularExpression form(QStringLiteral("^\\s*(DRIVER|DSN|FILEDSN)\\s*="),
                                         QRegularExpression::CaseInsensitiveOption);
    return form.match(location).hasMatch();
}

QString ConnectionStringFor(const QString& location) {
    if (location.isEmpty()) {
        return {};
    }
    if (IsConnectionString(location)) {
        return location;
    }
    // The SQLite3 driver cuts an attribute at ";" and takes no braced value,
    // but it opens URIs: every byte outside the unreserved set is
    // percent-encoded, so no character of the path can end the attribute.
    // Timeout is its busy wait in milliseconds on a locked file.
    QByteArray uri("file:");
    for (const char c : QFile::encodeName(location)) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || byte == '/' || byte == '-' || byte == '.' || byte == '_' ||
            byte == '~') {
            uri += c;
        } else {
            uri += '%';
            uri += QByteArray::number(byte, 16).rightJustified(2, '0').toUpper();
        }
    }
    return QStringLiteral("DRIVER={SQLite3};Database=%1?mode=rw;Timeout=2000")
        .arg(QString::fromLatin1(uri));
}

namespace {

QMutex& OdbcLock() {
    static QMutex lock;
    return lock;
}

}  // namespace

bool OdbcDriverAvailable() {
    const QMutexLocker lock(&OdbcLock());
    return QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC"));
}

QSqlDatabase AddOdbcConnection(const QString& name) {
    const QMutexLocker lock(&OdbcLock());
    return QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
}

bool OpenOdbcDatabase(QSqlDatabase& db) {
    const QMutexLocker lock(&OdbcLock());
    return db.open();
}

void RemoveOdbcConnection(QSqlDatabase& db) {
    const QString name = db.connectionName();
    const QMutexLocker lock(&OdbcLock());
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(name);
}

StationDirectory::StationDirectory() {
    static std::atomic<int> counter{0};
    m_connectionName = QStringLiteral("volnar-directory-%1").arg(++counter);
}

StationDirectory::~StationDirectory() {
    DisconnectDatabase();
}

Failure StationDirectory::ConnectionFailed(const QString& detail) {
    m_failures.Failure(QStringLiteral("connection failed: ") + detail);
    return Failure(QString::fromLatin1(kConnectionFailed), FailureKind::Unavailable, detail);
}

Result<void> StationDirectory::CheckFile(const QString& location) {
    const QString path = QDir::toNativeSeparators(location);
    switch (CheckStationFile(location)) {
        case StationFileCheck::Station:
        case StationFileCheck::CannotTell:
            return {};
        case StationFileCheck::Missing:
            return ConnectionFailed(
                QStringLiteral("There is no station database at %1.").arg(path));
        case StationFileCheck::NotSQLite:
            return ConnectionFailed(
                QStringLiteral("%1 is not a station database: it is not an SQLite database.")
                    .arg(path));
        case StationFileCheck::NoTable:
            return ConnectionFailed(
                QStringLiteral("%1 is not a station database: it holds no table main.").arg(path));
    }
    return ConnectionFailed(path);
}

Result<void> StationDirectory::ConnectDatabase(const QString& location,
                                               const QString& connectOptions) {
    DisconnectDatabase();
    if (location.trimmed().isEmpty()) {
        // An empty name would make the driver invent a file of its own.
        return ConnectionFailed(QStringLiteral("No database location is set."));
    }
    if (!IsConnectionString(location)) {
        if (Result<void> checked = CheckFile(location); !checked) {
            return checked;
        }
    }
    if (!OdbcDriverAvailable()) {
        // No ODBC driver manager or no Qt ODBC plugin: nothing to open.
        m_failures.Failure(QStringLiteral("no QODBC driver"));
        return Failure(QString::fromLatin1(kEnvironmentFailed), FailureKind::Unavailable);
    }
    m_db = AddOdbcConnection(m_connectionName);
    m_db.setDatabaseName(ConnectionStringFor(location));
    m_db.setConnectOptions(connectOptions);
    if (OpenOdbcDatabase(m_db)) {
        m_failures.Note(QStringLiteral("connected"));
        return {};
    }
    const QString detail = DriverText(m_db.lastError());
    RemoveOdbcConnection(m_db);
    return ConnectionFailed(detail);
}

void StationDirectory::DisconnectDatabase() {
    if (m_db.isValid()) {
        RemoveOdbcConnection(m_db);
    }
}

bool StationDirectory::IsConnected() const {
    return m_db.isOpen();
}

Result<void> StationDirectory::Ready() {
    if (IsConnected()) {
        return {};
    }
    m_failures.Failure(QStringLiteral("no connection"));
    return Failure(QString::fromLatin1(kStatementFailed), FailureKind::Unavailable);
}

Failure StationDirectory::ExecutionFailed(const QString& driverText) {
    m_failures.Failure(QStringLiteral("statement failed: ") + driverText);
    return Failure(QString::fromLatin1(kExecutionFailed), FailureKind::Unavailable, driverText);
}

Result<void> StationDirectory::Written(int affectedRows) {
    m_failures.Success();
    if (affectedRows > 0) {
        return {};
    }
    return Failure(QStringLiteral("This IP Address is not in the database!"),
                   FailureKind::NotFound);
}

Result<void> StationDirectory::ReadsTable() {
    if (Result<void> ready = Ready(); !ready) {
        return ready;
    }
    QSqlQuery query(m_db);
    if (!query.exec(QString::fromLatin1(kSelectAll) + QStringLiteral(" WHERE 1 = 0"))) {
        return ExecutionFailed(DriverText(query.lastError()));
    }
    m_failures.Success();
    return {};
}

Result<void> StationDirectory::ReadRows(const std::function<bool(StationRecord&&)>& row) {
    if (Result<void> ready = Ready(); !ready) {
        return ready;
    }
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.exec(QString::fromLatin1(kSelectAll))) {
        return ExecutionFailed(DriverText(query.lastError()));
    }
    m_failures.Success();
    while (query.next()) {
        if (!row(RecordFrom(query))) {
            return {};
        }
    }
    if (query.lastError().isValid()) {
        return ExecutionFailed(DriverText(query.lastError()));
    }
    return {};
}

Result<StationList> StationDirectory::LoadStationList() {
    StationList list;
    Result<void> read = ReadRows([&list](StationRecord&& row) {
        list.entries << StationEntry(row.IPADDRESS, row.COMMENT);
        if (row.DEFAULT == QLatin1String("YES")) {
            list.defaultIndex = static_cast<int>(list.entries.size()) - 1;
        }
        return true;
    });
    return read ? Result<StationList>(std::move(list)) : read.failure();
}

Result<AddressList> StationDirectory::LoadAddressList() {
    AddressList list;
    Result<void> read = ReadRows([&list](StationRecord&& row) {
        list.addresses << row.IPADDRESS;
        if (row.DEFAULT == QLatin1String("YES")) {
            list.defaultAddress = row.IPADDRESS;
        }
        return true;
    });
    return read ? Result<AddressList>(std::move(list)) : read.failure();
}

Result<std::vector<StationRecord>> StationDirectory::LoadStationRecords() {
    std::vector<StationRecord> records;
    Result<void> read = ReadRows([&records](StationRecord&& row) {
        records.push_back(std::move(row));
        return true;
    });
    return read ? Result<std::vector<StationRecord>>(std::move(records)) : read.failure();
}

LookupResult StationDirectory::LookupStation(const QString& address) {
    // The rows are compared here rather than in a WHERE clause so the match
    // is exact on every driver (no collation, no padding rules); an empty
    // address matches no row.
    LookupResult result;
    Result<void> read = ReadRows([&](StationRecord&& row) {
        if (address.isEmpty() || row.IPADDRESS != address) {
            return true;
        }
        result = {LookupStatus::Found, std::move(row), std::nullopt};
        return false;
    });
    if (!read) {
        return {LookupStatus::Failed, {}, read.failure()};
    }
    return result;
}

Result<void> StationDirectory::SetDefaultStation(const QString& address) {
    const Failure notInTable(QString::fromLatin1(kDefaultNotInTable), FailureKind::NotFound);
    if (Result<void> ready = Ready(); !ready) {
        return ready;
    }
    if (address.isEmpty()) {
        return notInTable;
    }
    // One transaction: the first statement writes (and so locks) every row
    // in one sweep, so two operators setting defaults wait for each other
    // rather than deadlock; the second marks the row again, and its
    // affected-row count says whether the row still exists. A row deleted
    // meanwhile by another operator rolls everything back.
    const bool inTransaction = m_db.transaction();
    QSqlQuery sweep(m_db);
    QSqlQuery mark(m_db);
    bool ok = sweep.prepare(QStringLiteral("UPDATE main SET \"DEFAULT\" = CASE WHEN IPADDRESS = "
                                           "? THEN 'YES' ELSE 'NO' END")) &&
              (sweep.addBindValue(address), sweep.exec());
    QString failure = ok ? QString() : DriverText(sweep.lastError());
    int marked = 0;
    if (ok) {
        ok = mark.prepare(
                 QStringLiteral("UPDATE main SET \"DEFAULT\" = 'YES' WHERE IPADDRESS = ?")) &&
             (mark.addBindValue(address), mark.exec());
        marked = ok ? mark.numRowsAffected() : 0;
        failure = ok ? QString() : DriverText(mark.lastError());
    }
    if (ok && marked > 0 && inTransaction && !m_db.commit()) {
        ok = false;
        failure = DriverText(m_db.lastError());
    }
    if (ok) {
        m_failures.Success();
    }
    if (!ok || marked <= 0) {
        if (inTransaction) {
            m_db.rollback();
        }
        return ok ? notInTable : ExecutionFailed(failure);
    }
    return {};
}

Result<void> StationDirectory::AddStation(const StationRecord& record) {
    if (Result<void> ready = Ready(); !ready) {
        return ready;
    }
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral(
        "INSERT INTO main (IPADDRESS, PASSWORD, COMMENT, \"DEFAULT\", PORT, TIMEOUT, RETRIES) "
        "VALUES (?, ?, ?, 'NO', ?, ?, ?)"));
    for (const QString* field : {&record.IPADDRESS, &record.PASSWORD, &record.COMMENT, &record.PORT,
                                 &record.TIMEOUT, &record.RETRIES}) {
        query.addBindValue(Bind(*field));
    }
    if (!query.exec()) {
        return ExecutionFailed(DriverText(query.lastError()));
    }
    m_failures.Success();
    return {};
}

Result<void> StationDirectory::UpdateStation(const StationRecord& record) {
    if (Result<void> ready = Ready(); !ready) {
        return ready;
    }
    if (record.IPADDRESS.isEmpty()) {
        return Written(0);
    }
    // No separate look-up first: the statement's own affected-row count is
    // the only word on whether the row was there when it was written.
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral(
        "UPDATE main SET PASSWORD = ?, COMMENT = ?, PORT = ?, TIMEOUT = ?, RETRIES = ? "
        "WHERE IPADDRESS = ?"));
    for (const QString* field : {&record.PASSWORD, &record.COMMENT, &record.PORT, &record.TIMEOUT,
                                 &record.RETRIES, &record.IPADDRESS}) {
        query.addBindValue(Bind(*field));
    }
    if (!query.exec()) {
        return ExecutionFailed(DriverText(query.lastError()));
    }
    return Written(query.numRowsAffected());
}

Result<void> StationDirectory::DeleteStation(const QString& address) {
    if (Result<void> ready = Ready(); !ready) {
        return ready;
    }
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("DELETE FROM main WHERE IPADDRESS = ?"));
    query.addBindValue(Bind(address));
    if (!query.exec()) {
        return ExecutionFailed(DriverText(query.lastError()));
    }
    return Written(query.numRowsAffected());
}

Result<int> StationDirectory::AddStations(const std::vector<StationRecord>& records) {
    if (Result<void> ready = Ready(); !ready) {
        return ready.failure();
    }
    const auto failed = [this](const QString& driverText) -> Result<int> {
        m_db.rollback();
        return ExecutionFailed(driverText);
    };
    if (!m_db.transaction()) {
        return failed(DriverText(m_db.lastError()));
    }
    QSet<QString> adding;
    for (const StationRecord& record : records) {
        adding.insert(record.IPADDRESS);
    }
    {
        QSqlQuery read(m_db);
        read.setForwardOnly(true);
        if (!read.exec(QStringLiteral("SELECT IPADDRESS FROM main"))) {
            return failed(DriverText(read.lastError()));
        }
        while (read.next()) {
            const QString address = Text(read.value(0));
            if (adding.contains(address)) {
                read.finish();
                m_db.rollback();
                return Failure{QStringLiteral("%1 is in the directory by now (another operator "
                                              "added it). Nothing was added.")
                                   .arg(address)};
            }
        }
    }
    QSqlQuery insert(m_db);
    if (!insert.prepare(QStringLiteral(
            "INSERT INTO main (IPADDRESS, PASSWORD, COMMENT, \"DEFAULT\", PORT, TIMEOUT, RETRIES) "
            "VALUES (?, ?, ?, ?, ?, ?, ?)"))) {
        return failed(DriverText(insert.lastError()));
    }
    for (const StationRecord& record : records) {
        int position = 0;
        for (const QString* field :
             {&record.IPADDRESS, &record.PASSWORD, &record.COMMENT, &record.DEFAULT, &record.PORT,
              &record.TIMEOUT, &record.RETRIES}) {
            insert.bindValue(position++, Bind(*field));
        }
        if (!insert.exec()) {
            return failed(DriverText(insert.lastError()));
        }
    }
    if (!m_db.commit()) {
        return failed(DriverText(m_db.lastError()));
    }
    m_failures.Success();
    return static_cast<int>(records.size());
}

}  // namespace volnar
