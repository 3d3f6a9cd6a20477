#pragma once

#include <QHostAddress>
#include <QString>
#include <QStringList>

#include "core/result.h"

namespace volnar {

// volnar-exporter's command line.
struct ExporterOptions {
    QString database;  // the directory's location, as the client takes it
    QHostAddress listenAddress{QHostAddress::LocalHost};
    quint16 listenPort = 9850;
    int periodSeconds = 10;
    bool help = false;
};

// Parses the arguments (without the program name): --database LOCATION
// (required), --listen ADDRESS:PORT (an IPv4 address), --period SECONDS
// (1 to 3600), -h/--help. A refusal is one line saying what is wrong.
Result<ExporterOptions> ParseExporterOptions(const QStringList& args);

extern const char* const kExporterHelp;

}  // namespace volnar
