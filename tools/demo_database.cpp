// volnar-demo-db FILE PORT COMMUNITY
// Writes a fresh station database for the demo: the template's table holding
// one station only, 127.0.0.1 on the simulator's port and community, as the
// default. The template's own station is left out, so nothing the demo offers
// can reach beyond the loopback simulator. Refuses to
// touch an existing file, so it can never overwrite an operator's directory.
#include <sqlite3.h>

#include <QCoreApplication>
#include <QTextStream>

#include "directory/database_template.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    QTextStream err(stderr);
    if (args.size() != 4) {
        err << "usage: volnar-demo-db FILE PORT COMMUNITY\n";
        return 2;
    }
    bool portOk = false;
    const int port = args[2].toInt(&portOk);
    if (!portOk || port < 1 || port > 65535) {
        err << "volnar-demo-db: bad port " << args[2] << "\n";
        return 2;
    }
    if (volnar::CreateDatabaseTemplate(args[1]) != volnar::TemplateResult::Created) {
        err << "volnar-demo-db: " << args[1] << " exists or cannot be created\n";
        return 1;
    }
    sqlite3* db = nullptr;
    sqlite3_stmt* insert = nullptr;
    const QByteArray path = args[1].toUtf8();
    const QByteArray portText = args[2].toUtf8();
    const QByteArray community = args[3].toUtf8();
    bool ok = sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
              sqlite3_exec(db, "DELETE FROM main", nullptr, nullptr, nullptr) == SQLITE_OK &&
              sqlite3_prepare_v2(db,
                                 "INSERT INTO main (IPADDRESS, PASSWORD, COMMENT, \"DEFAULT\", "
                                 "PORT, TIMEOUT, RETRIES) VALUES ('127.0.0.1', ?, "
                                 "'Demo station (simulator)', 'YES', ?, '2', '1')",
                                 -1, &insert, nullptr) == SQLITE_OK &&
              sqlite3_bind_text(insert, 1, community.constData(), -1, SQLITE_STATIC) == SQLITE_OK &&
              sqlite3_bind_text(insert, 2, portText.constData(), -1, SQLITE_STATIC) == SQLITE_OK &&
              sqlite3_step(insert) == SQLITE_DONE;
    if (!ok) {
        err << "volnar-demo-db: " << (db ? sqlite3_errmsg(db) : "cannot open") << "\n";
    }
    sqlite3_finalize(insert);
    sqlite3_close(db);
    return ok ? 0 : 1;
}
