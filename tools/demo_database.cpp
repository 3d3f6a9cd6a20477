// SPDX-License-Identifier: GPL-3.0-or-later
// volnar-demo-db FILE PORT COMMUNITY [STATIONS FIRST_ADDRESS]
// Writes a fresh station database for the demo: the template's table holding
// one station only, 127.0.0.1 on the simulator's port and community, as the
// default. With STATIONS and FIRST_ADDRESS it holds the stations of
// `volnar-station --listen FIRST_ADDRESS:PORT --stations STATIONS` instead,
// the first one the default. The template's own station is left out, so nothing the demo offers
// can reach beyond the loopback simulator. Refuses to
// touch an existing file, so it can never overwrite an operator's directory.
#include <sqlite3.h>

#include <QCoreApplication>
#include <QTextStream>

#include "directory/database_template.h"
#include "options.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    QTextStream err(stderr);
    if (args.size() != 4 && args.size() != 6) {
        err << "usage: volnar-demo-db FILE PORT COMMUNITY [STATIONS FIRST_ADDRESS]\n";
        return 2;
    }
    const int stations = args.size() == 6 ? args[4].toInt() : 1;
    const std::string first = args.size() == 6 ? args[5].toStdString() : "127.0.0.1";
    if (stations < 1 || stations > volnar::sim::kMaxStations ||
        volnar::sim::StationAddress(first, stations).empty() || first.rfind("127.", 0) != 0) {
        err << "volnar-demo-db: STATIONS from 1 to " << volnar::sim::kMaxStations
            << " loopback addresses from FIRST_ADDRESS\n";
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
                                 "PORT, TIMEOUT, RETRIES) VALUES (?, ?, ?, ?, ?, '2', '1')",
                                 -1, &insert, nullptr) == SQLITE_OK;
    for (int k = 1; ok && k <= stations; ++k) {
        const std::string address = stations == 1 ? first : volnar::sim::StationAddress(first, k);
        const std::string comment = stations == 1 ? std::string("Demo station (simulator)")
                                                  : "Simulated station " + std::to_string(k);
        ok = sqlite3_reset(insert) == SQLITE_OK &&
             sqlite3_bind_text(insert, 1, address.c_str(), -1, SQLITE_TRANSIENT) == SQLITE_OK &&
             sqlite3_bind_text(insert, 2, community.constData(), -1, SQLITE_STATIC) == SQLITE_OK &&
             sqlite3_bind_text(insert, 3, comment.c_str(), -1, SQLITE_TRANSIENT) == SQLITE_OK &&
             sqlite3_bind_text(insert, 4, k == 1 ? "YES" : "NO", -1, SQLITE_STATIC) == SQLITE_OK &&
             sqlite3_bind_text(insert, 5, portText.constData(), -1, SQLITE_STATIC) == SQLITE_OK &&
             sqlite3_step(insert) == SQLITE_DONE;
    }
    if (!ok) {
        err << "volnar-demo-db: " << (db ? sqlite3_errmsg(db) : "cannot open") << "\n";
    }
    sqlite3_finalize(insert);
    sqlite3_close(db);
    return ok ? 0 : 1;
}
