#pragma once

#include <QHostAddress>
#include <QString>
#include <QStringList>

#include <optional>

namespace volnar {

// volnar-exporter's command line.
struct ExporterOptions {
    QString database;  // the directory's location, as the client takes it
    QHostAddress listenAddress{QHostAddress::LocalHost};
    quint16 listenPort = 9850;
    int periodSeconds = 10;
    bool help = false;
};

struct ExporterOptionsResult {
    std::optional<ExporterOptions> options;
    QString error;  // one line, when options is empty
};

// Parses the arguments (without the program name): --database LOCATION
// (required), --listen ADDRESS:PORT (an IPv4 address), --period SECONDS
// (1 to 3600), -h/--help.
ExporterOptionsResult ParseExporterOptions(const QStringList& args);

extern const char* const kExporterHelp;

}  // namespace volnar
