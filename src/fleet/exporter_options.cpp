#include "fleet/exporter_options.h"

namespace volnar {

const char* const kExporterHelp =
    "usage: volnar-exporter --database LOCATION [--listen 127.0.0.1:9850] [--period 10]\n"
    "\n"
    "Polls the status record of every station of a Volnar station directory and\n"
    "serves their readings to Prometheus at http://ADDRESS:PORT/metrics.\n"
    "\n"
    "Options:\n"
    "  --database LOCATION   the station directory: a SQLite file or an ODBC\n"
    "                        connection string (DSN=..., DRIVER=...), as in the client\n"
    "  --listen ADDRESS:PORT where /metrics is served (default 127.0.0.1:9850)\n"
    "  --period SECONDS      seconds between two status polls of a station,\n"
    "                        1 to 3600 (default 10)\n"
    "  -h, --help            print this help and exit\n"
    "\n"
    "Example: volnar-exporter --database /var/lib/volnar/stations.db --listen 127.0.0.1:9850\n";

Result<ExporterOptions> ParseExporterOptions(const QStringList& args) {
    ExporterOptions options;
    const auto fail = [](const QString& text) { return Failure{text}; };
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& name = args[i];
        if (name == QLatin1String("-h") || name == QLatin1String("--help")) {
            options.help = true;
            return options;
        }
        if (i + 1 >= args.size()) {
            return fail(name.startsWith(QLatin1String("--"))
                            ? name + QStringLiteral(" needs a value")
                            : QStringLiteral("unknown argument ") + name);
        }
        const QString& value = args[++i];
        if (name == QLatin1String("--database")) {
            options.database = value;
        } else if (name == QLatin1String("--listen")) {
            const qsizetype colon = value.lastIndexOf(QLatin1Char(':'));
            bool portOk = false;
            const uint port = colon < 0 ? 0 : value.mid(colon + 1).toUInt(&portOk);
            QHostAddress address;
            if (colon < 0 || !portOk || port > 65535 || !address.setAddress(value.left(colon)) ||
                address.protocol() != QAbstractSocket::IPv4Protocol) {
                return fail(QStringLiteral("--listen takes ADDRESS:PORT, an IPv4 address, not ") +
                            value);
            }
            options.listenAddress = address;
            options.listenPort = static_cast<quint16>(port);
        } else if (name == QLatin1String("--period")) {
            bool ok = false;
            const int seconds = value.toInt(&ok);
            if (!ok || seconds < 1 || seconds > 3600) {
                return fail(QStringLiteral("--period takes seconds from 1 to 3600"));
            }
            options.periodSeconds = seconds;
        } else {
            return fail(QStringLiteral("unknown argument ") + name);
        }
    }
    if (options.database.isEmpty()) {
        return fail(QStringLiteral("--database LOCATION is required"));
    }
    return options;
}

}  // namespace volnar
