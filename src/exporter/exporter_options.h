// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHostAddress>
#include <QString>
#include <QStringList>

#include <span>

#include "core/option_table.h"
#include "core/result.h"

namespace volnar {

// volnar-exporter's command line.
struct ExporterOptions {
    QString database;  // the directory's location, as the client takes it
    QHostAddress listenAddress{QHostAddress::LocalHost};
    quint16 listenPort = 9850;
    int periodSeconds = 10;
    int idleTimeoutSeconds = 60;  // HTTP: idle connections; requests get at most 10 s
    bool version = false;
    bool help = false;
};

std::span<const CommandLineOption> ExporterOptionTable();

// Reads arguments[1...] (arguments[0] is the program, as in
// QCoreApplication::arguments()): --database LOCATION (required unless
// --help or --version), --listen ADDRESS:PORT, --period SECONDS (1 to 3600).
// --listen takes an IPv4 address, an IPv6 one in brackets ([::1]:9850), or
// none at all (:9850, every address), as Prometheus exporters do. A refusal
// is one line saying what is wrong.
Result<ExporterOptions> ParseExporterOptions(const QStringList& arguments);

QString ExporterUsage();
QString ExporterHelp();

}  // namespace volnar
