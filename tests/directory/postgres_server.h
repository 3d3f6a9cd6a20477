// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <csignal>

namespace volnar::testing {

// A throw-away PostgreSQL server for this test process: initdb in a
// temporary folder, listening on 127.0.0.1 on a free port with trust
// authentication, stopped and removed at exit. Started on first use.
class PostgresServer final {
public:
    static PostgresServer& Instance();

    bool Available() const { return m_available; }
    QString SkipReason() const { return m_skipReason; }
    // An ODBC connection string for the server's "postgres" database.
    QString ConnectionString() const;

    // Drops the station table `main` and creates it empty from the
    // project's PostgreSQL schema; the failing statement, or empty.
    QString CreateStationTable() const;

    // Stops the server (fast shutdown: sessions are cut) and starts it again
    // on the same port, for tests of a lost and regained connection. Restart
    // gives what pg_ctl and the server's log said when it did not start.
    bool Stop();
    bool Restart(QString* why = nullptr);
    // Stops every process of the server (SIGSTOP) and lets them go on
    // (SIGCONT): a server that stopped answering with its sockets open.
    bool Freeze() { return Signal(SIGSTOP); }
    bool Thaw() { return Signal(SIGCONT); }

    ~PostgresServer();
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

private:
    PostgresServer();
    bool RunAsServerUser(const QStringList& command, QString* output);
    bool StartServer(QString* output);
    // pg_ctl on the data folder, waiting for it to finish.
    bool PgCtl(const QStringList& arguments, QString* output);
    bool Signal(int signal);

    bool m_available = false;
    QString m_skipReason;
    QString m_folder;
    QString m_binDir;
    int m_port = 0;
};

}  // namespace volnar::testing
