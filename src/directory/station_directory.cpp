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

Q_LOGGING_CATEGORY(lcDirectory, "volnar.directory")

namespace volnar {
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

bool OpenOdbcDatabase(QSqlDatabase& db) {
    static QMutex opening;
    const QMutexLocker lock(&opening);
    return db.open();
}

StationDirectory::StationDirectory(MessageService& messages) : m_messages(messages) {
    static std::atomic<int> counter{0};
    m_connectionName = QStringLiteral("volnar-directory-%1").arg(++counter);
}

StationDirectory::~StationDirectory() {
    DisconnectDatabase();
}

void StationDirectory::ReportConnection(const QString& detail) {
    m_failures.Failure(QStringLiteral("connection failed: ") + detail);
    m_messages.ShowDetailed(MessageIcon::Error, QString::fromLatin1(kConnectionFailed), detail);
}

bool StationDirectory::CheckFile(const QString& location) {
    const QString path = QDir::toNativeSeparators(location);
    switch (CheckStationFile(location)) {
        case StationFileCheck::Station:
        case StationFileCheck::CannotTell:
            return true;
        case StationFileCheck::Missing:
            ReportConnection(QStringLiteral("There is no station database at %1.").arg(path));
            return false;
        case StationFileCheck::NotSQLite:
            ReportConnection(
                QStringLiteral("%1 is not a station database: it is not an SQLite database.")
                    .arg(path));
            return false;
        case StationFileCheck::NoTable:
            ReportConnection(
                QStringLiteral("%1 is not a station database: it holds no table main.").arg(path));
            return false;
    }
    return false;
}

bool StationDirectory::ConnectDatabase(const QString& location, const QString& connectOptions) {
    DisconnectDatabase();
    if (location.trimmed().isEmpty()) {
        // An empty name would make the driver invent a file of its own.
        ReportConnection(QStringLiteral("No database location is set."));
        return false;
    }
    if (!IsConnectionString(location) && !CheckFile(location)) {
        return false;
    }
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC"))) {
        // No ODBC driver manager or no Qt ODBC plugin: nothing to open.
        m_failures.Failure(QStringLiteral("no QODBC driver"));
        m_messages.ShowError(QString::fromLatin1(kEnvironmentFailed));
        return false;
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_connectionName);
        db.setDatabaseName(ConnectionStringFor(location));
        db.setConnectOptions(connectOptions);
        if (OpenOdbcDatabase(db)) {
            m_failures.Note(QStringLiteral("connected"));
            return true;
        }
        ReportConnection(DriverText(db.lastError()));
    }
    QSqlDatabase::removeDatabase(m_connectionName);
    return false;
}

void StationDirectory::DisconnectDatabase() {
    if (!QSqlDatabase::contains(m_connectionName)) {
        return;
    }
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

bool StationDirectory::IsConnected() const {
    return QSqlDatabase::contains(m_connectionName) &&
           QSqlDatabase::database(m_connectionName, false).isOpen();
}

QSqlDatabase StationDirectory::Held() const {
    return QSqlDatabase::database(m_connectionName, false);
}

bool StationDirectory::Ready() {
    if (IsConnected()) {
        return true;
    }
    m_failures.Failure(QStringLiteral("no connection"));
    m_messages.ShowError(QString::fromLatin1(kStatementFailed));
    return false;
}

void StationDirectory::ReportExecution(const QString& driverText) {
    m_failures.Failure(QStringLiteral("statement failed: ") + driverText);
    m_messages.ShowDetailed(MessageIcon::Error, QString::fromLatin1(kExecutionFailed), driverText);
}

bool StationDirectory::ReadsTable() {
    if (!Ready()) {
        return false;
    }
    const QSqlDatabase db = Held();
    QSqlQuery query(db);
    if (!query.exec(QString::fromLatin1(kSelectAll) + QStringLiteral(" WHERE 1 = 0"))) {
        ReportExecution(DriverText(query.lastError()));
        return false;
    }
    m_failures.Success();
    return true;
}

bool StationDirectory::ReadRows(const std::function<bool(StationRecord&&)>& row) {
    if (!Ready()) {
        return false;
    }
    const QSqlDatabase db = Held();
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QString::fromLatin1(kSelectAll))) {
        ReportExecution(DriverText(query.lastError()));
        return false;
    }
    m_failures.Success();
    while (query.next()) {
        if (!row(RecordFrom(query))) {
            return true;
        }
    }
    if (query.lastError().isValid()) {
        ReportExecution(DriverText(query.lastError()));
        return false;
    }
    return true;
}

std::optional<StationList> StationDirectory::LoadStationList() {
    StationList list;
    const bool read = ReadRows([&list](StationRecord&& row) {
        list.entries << StationEntry(row.IPADDRESS, row.COMMENT);
        if (row.DEFAULT == QLatin1String("YES")) {
            list.defaultIndex = static_cast<int>(list.entries.size()) - 1;
        }
        return true;
    });
    return read ? std::optional(list) : std::nullopt;
}

std::optional<AddressList> StationDirectory::LoadAddressList() {
    AddressList list;
    const bool read = ReadRows([&list](StationRecord&& row) {
        list.addresses << row.IPADDRESS;
        if (row.DEFAULT == QLatin1String("YES")) {
            list.defaultAddress = row.IPADDRESS;
        }
        return true;
    });
    return read ? std::optional(list) : std::nullopt;
}

std::optional<std::vector<StationRecord>> StationDirectory::LoadStationRecords() {
    std::vector<StationRecord> records;
    const bool read = ReadRows([&records](StationRecord&& row) {
        records.push_back(std::move(row));
        return true;
    });
    return read ? std::optional(std::move(records)) : std::nullopt;
}

LookupResult StationDirectory::LookupStation(const QString& address) {
    // The rows are compared here rather than in a WHERE clause so the match
    // is exact on every driver (no collation, no padding rules); an empty
    // address matches no row.
    LookupResult result;
    const bool read = ReadRows([&](StationRecord&& row) {
        if (address.isEmpty() || row.IPADDRESS != address) {
            return true;
        }
        result = {LookupStatus::Found, std::move(row)};
        return false;
    });
    return read ? result : LookupResult{LookupStatus::Failed, {}};
}

bool StationDirectory::SetDefaultStation(const QString& address) {
    if (!Ready()) {
        return false;
    }
    if (address.isEmpty()) {
        m_messages.ShowError(QString::fromLatin1(kDefaultNotInTable));
        return false;
    }
    // One transaction: the first statement writes (and so locks) every row
    // in one sweep, so two operators setting defaults wait for each other
    // rather than deadlock; the second marks the row again, and its
    // affected-row count says whether the row still exists. A row deleted
    // meanwhile by another operator rolls everything back.
    QSqlDatabase db = Held();
    const bool inTransaction = db.transaction();
    QSqlQuery sweep(db);
    QSqlQuery mark(db);
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
    if (ok && marked > 0 && inTransaction && !db.commit()) {
        ok = false;
        failure = DriverText(db.lastError());
    }
    if (ok) {
        m_failures.Success();
    }
    if (!ok || marked <= 0) {
        if (inTransaction) {
            db.rollback();
        }
        if (ok) {
            m_messages.ShowError(QString::fromLatin1(kDefaultNotInTable));
        } else {
            ReportExecution(failure);
        }
        return false;
    }
    m_messages.ShowPlain(QString::fromLatin1(kDefaultSet));
    return true;
}

bool StationDirectory::AddStation(const StationRecord& record) {
    if (!Ready()) {
        return false;
    }
    const QSqlDatabase db = Held();
    QSqlQuery query(db);
    query.prepare(QStringLiteral(
        "INSERT INTO main (IPADDRESS, PASSWORD, COMMENT, \"DEFAULT\", PORT, TIMEOUT, RETRIES) "
        "VALUES (?, ?, ?, 'NO', ?, ?, ?)"));
    for (const QString* field : {&record.IPADDRESS, &record.PASSWORD, &record.COMMENT, &record.PORT,
                                 &record.TIMEOUT, &record.RETRIES}) {
        query.addBindValue(Bind(*field));
    }
    if (!query.exec()) {
        ReportExecution(DriverText(query.lastError()));
        return false;
    }
    m_failures.Success();
    return true;
}

WriteStatus StationDirectory::UpdateStation(const StationRecord& record) {
    if (!Ready()) {
        return WriteStatus::Failed;
    }
    if (record.IPADDRESS.isEmpty()) {
        return WriteStatus::NotFound;
    }
    // No separate look-up first: the statement's own affected-row count is
    // the only word on whether the row was there when it was written.
    const QSqlDatabase db = Held();
    QSqlQuery query(db);
    query.prepare(QStringLiteral(
        "UPDATE main SET PASSWORD = ?, COMMENT = ?, PORT = ?, TIMEOUT = ?, RETRIES = ? "
        "WHERE IPADDRESS = ?"));
    for (const QString* field : {&record.PASSWORD, &record.COMMENT, &record.PORT, &record.TIMEOUT,
                                 &record.RETRIES, &record.IPADDRESS}) {
        query.addBindValue(Bind(*field));
    }
    if (!query.exec()) {
        ReportExecution(DriverText(query.lastError()));
        return WriteStatus::Failed;
    }
    m_failures.Success();
    return query.numRowsAffected() > 0 ? WriteStatus::Done : WriteStatus::NotFound;
}

WriteStatus StationDirectory::DeleteStation(const QString& address) {
    if (!Ready()) {
        return WriteStatus::Failed;
    }
    const QSqlDatabase db = Held();
    QSqlQuery query(db);
    query.prepare(QStringLiteral("DELETE FROM main WHERE IPADDRESS = ?"));
    query.addBindValue(Bind(address));
    if (!query.exec()) {
        ReportExecution(DriverText(query.lastError()));
        return WriteStatus::Failed;
    }
    m_failures.Success();
    return query.numRowsAffected() > 0 ? WriteStatus::Done : WriteStatus::NotFound;
}

Result<int> StationDirectory::AddStations(const std::vector<StationRecord>& records) {
    if (!Ready()) {
        return Failure{QString::fromLatin1(kStatementFailed)};
    }
    QSqlDatabase db = Held();
    const auto failed = [this, &db](const QString& driverText) -> Result<int> {
        db.rollback();
        ReportExecution(driverText);
        return Failure{QString::fromLatin1(kExecutionFailed)};
    };
    if (!db.transaction()) {
        return failed(DriverText(db.lastError()));
    }
    QSet<QString> adding;
    for (const StationRecord& record : records) {
        adding.insert(record.IPADDRESS);
    }
    {
        QSqlQuery read(db);
        read.setForwardOnly(true);
        if (!read.exec(QStringLiteral("SELECT IPADDRESS FROM main"))) {
            return failed(DriverText(read.lastError()));
        }
        while (read.next()) {
            const QString address = Text(read.value(0));
            if (adding.contains(address)) {
                read.finish();
                db.rollback();
                return Failure{QStringLiteral("%1 is in the directory by now (another operator "
                                              "added it). Nothing was added.")
                                   .arg(address)};
            }
        }
    }
    QSqlQuery insert(db);
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
    if (!db.commit()) {
        return failed(DriverText(db.lastError()));
    }
    m_failures.Success();
    return static_cast<int>(records.size());
}

}  // namespace volnar
