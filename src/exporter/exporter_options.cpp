// SPDX-License-Identifier: GPL-3.0-or-later
#include "exporter/exporter_options.h"

#include <QCommandLineParser>

#include <array>

namespace volnar {
namespace {

constexpr std::array<CommandLineOption, 6> kOptions = {{
    {.shortName = nullptr,
     .name = "database",
     .valueName = "LOCATION",
     .description = "The station directory: a SQLite file or an ODBC connection string "
                    "(DSN=..., DRIVER=...), as the client takes it. Required.",
     .example = "volnar-exporter --database /var/lib/volnar/stations.db"},
    {.shortName = nullptr,
     .name = "listen",
     .valueName = "ADDRESS:PORT",
     .description = "Where /metrics is served: an IPv4 address, an IPv6 address in brackets, "
                    "or :PORT for every address (default 127.0.0.1:9850).",
     .example = "volnar-exporter --database stations.db --listen [::1]:9850"},
    {.shortName = nullptr,
     .name = "period",
     .valueName = "SECONDS",
     .description = "Seconds between two status polls of a station, 1 to 3600 (default 10).",
     .example = "volnar-exporter --database stations.db --period 30"},
    {.shortName = nullptr,
     .name = "idle-timeout",
     .valueName = "SECONDS",
     .description = "HTTP connections idle this long, or whose request is not whole after "
                    "it or 10 s, whichever is less, are closed; 1 to 3600 (default 60).",
     .example = "volnar-exporter --database stations.db --idle-timeout 30"},
    {.shortName = nullptr,
     .name = "version",
     .valueName = nullptr,
     .description = "Print the version and exit.",
     .example = "volnar-exporter --version"},
    {.shortName = "h",
     .name = "help",
     .valueName = nullptr,
     .description = "Print this help and exit.",
     .example = "volnar-exporter --help"},
}};

constexpr char kDescription[] =
    "Polls the status record of every station of a Volnar station directory and\n"
    "serves their readings to Prometheus at http://ADDRESS:PORT/metrics.";

// "127.0.0.1:9850", "[::1]:9850" or ":9850"; false for anything else.
bool ReadListen(const QString& value, ExporterOptions& options) {
    const qsizetype colon = value.lastIndexOf(QLatin1Char(':'));
    if (colon < 0) {
        return false;
    }
    bool portOk = false;
    const uint port = value.mid(colon + 1).toUInt(&portOk);
    if (!portOk || port > 65535) {
        return false;
    }
    QString host = value.left(colon);
    QHostAddress address(QHostAddress::Any);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']'))) {
        host = host.mid(1, host.size() - 2);
        if (!address.setAddress(host) || address.protocol() != QAbstractSocket::IPv6Protocol) {
            return false;
        }
    } else if (!host.isEmpty() &&
               (!address.setAddress(host) || address.protocol() != QAbstractSocket::IPv4Protocol)) {
        return false;
    }
    options.listenAddress = address;
    options.listenPort = static_cast<quint16>(port);
    return true;
}

}  // namespace

std::span<const CommandLineOption> ExporterOptionTable() {
    return kOptions;
}

QString ExporterUsage() {
    return OptionsUsage("volnar-exporter", kOptions);
}

QString ExporterHelp() {
    return OptionsHelp("volnar-exporter", kDescription, kOptions);
}

Result<ExporterOptions> ParseExporterOptions(const QStringList& arguments) {
    QCommandLineParser parser;
    AddOptions(parser, kOptions);
    if (!parser.parse(arguments)) {
        return Failure{OneLine(parser.errorText())};
    }
    if (!parser.positionalArguments().isEmpty()) {
        return Failure{OneLine(QStringLiteral("Unexpected argument: ") +
                               parser.positionalArguments().first())};
    }
    ExporterOptions options;
    options.help = parser.isSet(QStringLiteral("help"));
    options.version = parser.isSet(QStringLiteral("version"));
    if (options.help || options.version) {
        return options;
    }
    options.database = parser.value(QStringLiteral("database"));
    if (options.database.isEmpty()) {
        return Failure{QStringLiteral("--database LOCATION is required")};
    }
    if (parser.isSet(QStringLiteral("listen")) &&
        !ReadListen(parser.value(QStringLiteral("listen")), options)) {
        return Failure{OneLine(QStringLiteral("--listen takes ADDRESS:PORT ([IPv6]:PORT, :PORT "
                                              "for every address), not ") +
                               parser.value(QStringLiteral("listen")))};
    }
    if (parser.isSet(QStringLiteral("period"))) {
        bool ok = false;
        const int seconds = parser.value(QStringLiteral("period")).toInt(&ok);
        if (!ok || seconds < 1 || seconds > 3600) {
            return Failure{QStringLiteral("--period takes seconds from 1 to 3600")};
        }
        options.periodSeconds = seconds;
    }
    if (parser.isSet(QStringLiteral("idle-timeout"))) {
        bool ok = false;
        const int seconds = parser.value(QStringLiteral("idle-timeout")).toInt(&ok);
        if (!ok || seconds < 1 || seconds > 3600) {
            return Failure{QStringLiteral("--idle-timeout takes seconds from 1 to 3600")};
        }
        options.idleTimeoutSeconds = seconds;
    }
    return options;
}

}  // namespace volnar
