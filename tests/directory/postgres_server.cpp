// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/postgres_server.h"

#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include "directory/station_directory.h"

namespace volnar::testing {
namespace {

int FreeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        return 0;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(fd);
    return port;
}

QString FindServerBinaries() {
    const QDir versions(QStringLiteral("/usr/lib/postgresql"));
    for (const QString& version :
         versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::Reversed)) {
        const QString bin = versions.filePath(version + QStringLiteral("/bin"));
        if (QFile::exists(bin + QStringLiteral("/initdb")) &&
            QFile::exists(bin + QStringLiteral("/pg_ctl"))) {
            return bin;
        }
    }
    return {};
}

}  // namespace

PostgresServer& PostgresServer::Instance() {
    static PostgresServer server;
    return server;
}

bool PostgresServer::RunAsServerUser(const QStringList& command, QString* output) {
    QProcess process;
    QStringList arguments = command;
    QString program = arguments.takeFirst();
    // The server refuses to run as root; run it as the packaged "postgres" user.
    if (::geteuid() == 0) {
        arguments = QStringList{QStringLiteral("-u"), QStringLiteral("postgres"),
                                QStringLiteral("--"), program} +
                    arguments;
        program = QStringLiteral("runuser");
    }
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool finished = process.waitForFinished(60000);
    if (output) {
        *output = QString::fromLocal8Bit(process.readAll());
    }
    return finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

PostgresServer::PostgresServer() {
    m_binDir = FindServerBinaries();
    if (m_binDir.isEmpty()) {
        m_skipReason = QStringLiteral("PostgreSQL server binaries are not installed");
        return;
    }
    if (::geteuid() == 0 && ::getpwnam("postgres") == nullptr) {
        m_skipReason = QStringLiteral("running as root and there is no postgres user");
        return;
    }
    char pattern[] = "/tmp/volnar-pg-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        m_skipReason = QStringLiteral("no temporary folder");
        return;
    }
    m_folder = QString::fromLocal8Bit(pattern);
    if (::geteuid() == 0) {
        const passwd* user = ::getpwnam("postgres");
        if (::chown(pattern, user->pw_uid, user->pw_gid) != 0) {
            m_skipReason = QStringLiteral("cannot hand the folder to the postgres user");
            return;
        }
    }
    m_port = FreeLoopbackPort();
    QString output;
    if (!RunAsServerUser(QStringList{m_binDir + QStringLiteral("/initdb"), QStringLiteral("-D"),
                                     m_folder + QStringLiteral("/data")} +
                             QStringLiteral("-A trust -U postgres -E UTF8 --no-sync").split(u' '),
                         &output)) {
        m_skipReason = QStringLiteral("initdb failed: ") + output;
        return;
    }
    if (!StartServer(&output)) {
        m_skipReason = QStringLiteral("the server did not start: ") + output;
        return;
    }
    m_available = true;
}

bool PostgresServer::PgCtl(const QStringList& arguments, QString* output) {
    return RunAsServerUser(QStringList{m_binDir + QStringLiteral("/pg_ctl"), QStringLiteral("-D"),
                                       m_folder + QStringLiteral("/data"), QStringLiteral("-w")} +
                               arguments,
                           output);
}

bool PostgresServer::StartServer(QString* output) {
    const QString options = QStringLiteral(
                                "-c listen_addresses=127.0.0.1 -p %1 -k %2 -c fsync=off "
                                "-c full_page_writes=off")
                                .arg(m_port)
                                .arg(m_folder);
    return PgCtl({QStringLiteral("-o"), options, QStringLiteral("-l"),
                  m_folder + QStringLiteral("/server.log"), QStringLiteral("-t"),
                  QStringLiteral("60"), QStringLiteral("start")},
                 output);
}

bool PostgresServer::Stop() {
    return m_available && PgCtl(QStringLiteral("-m fast stop").split(u' '), nullptr);
}

bool PostgresServer::Restart(QString* why) {
    if (!m_available) {
        return false;
    }
    // While the server was down, the free port it had may have been given
    // to another process's connection for a moment: a few more tries.
    QString output;
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (StartServer(&output)) {
            return true;
        }
        ::usleep(500000);
    }
    if (why) {
        QFile log(m_folder + QStringLiteral("/server.log"));
        const QString logged = log.open(QIODevice::ReadOnly)
                                   ? QString::fromLocal8Bit(log.readAll().right(2000))
                                   : QString();
        *why = output + QStringLiteral("\nserver.log: ") + logged;
    }
    return false;
}

bool PostgresServer::Signal(int signal) {
    QFile pidFile(m_folder + QStringLiteral("/data/postmaster.pid"));
    if (!m_available || !pidFile.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QString postmaster = QString::fromLatin1(pidFile.readLine()).trimmed();
    QStringList pids{postmaster};
    // The backends: every process whose parent is the postmaster (field 4 of
    // /proc/<pid>/stat, after the parenthesised name).
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (pid.toInt() > 0 && stat.open(QIODevice::ReadOnly)) {
            const QByteArray text = stat.readAll();
            const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
            if (fields.size() > 1 && QString::fromLatin1(fields[1]) == postmaster) {
                pids << pid;
            }
        }
    }
    bool ok = true;
    for (const QString& pid : pids) {
        ok = ::kill(pid.toInt(), signal) == 0 && ok;
    }
    return ok;
}

PostgresServer::~PostgresServer() {
    if (m_available) {
        Thaw();  // a test that failed may have left it stopped
        PgCtl(QStringLiteral("-m immediate stop").split(u' '), nullptr);
    }
    if (!m_folder.isEmpty()) {
        QDir(m_folder).removeRecursively();
    }
}

QString PostgresServer::ConnectionString() const {
    return QStringLiteral(
               "DRIVER={PostgreSQL Unicode};Server=127.0.0.1;Port=%1;Database=postgres;"
               "Uid=postgres;Pwd=;")
        .arg(m_port);
}

QString PostgresServer::CreateStationTable() const {
    QFile schema(QString::fromLatin1(VOLNAR_POSTGRES_SCHEMA));
    if (!schema.open(QIODevice::ReadOnly)) {
        return schema.fileName() + QStringLiteral(": ") + schema.errorString();
    }
    QString text;
    for (const QString& line : QString::fromUtf8(schema.readAll()).split(u'\n')) {
        if (!line.trimmed().startsWith(QLatin1String("--"))) {
            text += line + u'\n';
        }
    }
    const QString name = QStringLiteral("schema");
    QString failed;
    QSqlDatabase db = AddOdbcConnection(name);
    {
        db.setDatabaseName(ConnectionString());
        if (!OpenOdbcDatabase(db)) {
            failed = db.lastError().text();
        }
        QSqlQuery query(db);
        for (const QString& statement :
             text.prepend(QStringLiteral("DROP TABLE IF EXISTS main;")).split(u';')) {
            if (failed.isEmpty() && !statement.trimmed().isEmpty() && !query.exec(statement)) {
                failed = statement + QStringLiteral(": ") + query.lastError().text();
            }
        }
    }
    RemoveOdbcConnection(db);
    return failed;
}

}  // namespace volnar::testing
