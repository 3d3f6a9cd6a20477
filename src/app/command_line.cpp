// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_line.h"

#include <QCommandLineParser>
#include <array>

namespace volnar {
namespace {

constexpr std::array<CommandLineOption, 7> kOptions = {{
    {.shortName = nullptr,
     .name = "database",
     .valueName = "LOCATION",
     .description = "Use LOCATION (a file path or an ODBC connection string) as the station "
                    "directory for this run, without storing it.",
     .example = "volnar --database ~/stations.db"},
    {.shortName = nullptr,
     .name = "connect",
     .valueName = "ADDRESS",
     .description = "Choose the station ADDRESS and start polling it once the window is shown.",
     .example = "volnar --connect 127.0.0.1"},
    {.shortName = nullptr,
     .name = "record",
     .valueName = "FILE",
     .description = "Append one CSV row per status answer to FILE, a regular file, from the "
                    "first answer on (with --connect, for unattended use); nothing is ever "
                    "overwritten: rows of other columns go into FILE-2 beside it.",
     .example = "volnar --connect 127.0.0.1 --record ~/station.csv"},
    {.shortName = nullptr,
     .name = "import-stations",
     .valueName = "FILE",
     .description = "Add the stations of the CSV file FILE (as mdb-export writes the station "
                    "table) to the directory named by --database, all or none, and exit: "
                    "stations already listed are skipped, and a row that is refused adds "
                    "nothing at all.",
     .example = "volnar --database ~/stations.db --import-stations stations.csv"},
    {.shortName = nullptr,
     .name = "export-stations",
     .valueName = "FILE",
     .description = "Write every station of the directory named by --database to the CSV file "
                    "FILE (\"-\" for the standard output) and exit.",
     .example = "volnar --database ~/stations.db --export-stations stations.csv"},
    {.shortName = nullptr,
     .name = "version",
     .valueName = nullptr,
     .description = "Print the build number and exit.",
     .example = "volnar --version"},
    {.shortName = "h",
     .name = "help",
     .valueName = nullptr,
     .description = "Print this help and exit.",
     .example = "volnar --help"},
}};

constexpr char kDescription[] = "Watches and manages a Volnar station over SNMP.";

}  // namespace

std::span<const CommandLineOption> CommandLineOptions() {
    return kOptions;
}

QString UsageText() {
    return OptionsUsage("volnar", CommandLineOptions());
}

QString HelpText() {
    return OptionsHelp("volnar", kDescription, CommandLineOptions());
}

Result<CommandLine> ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    AddOptions(parser, CommandLineOptions());

    if (!parser.parse(arguments)) {
        return Failure{OneLine(parser.errorText())};
    }
    if (!parser.positionalArguments().isEmpty()) {
        return Failure{OneLine(QStringLiteral("Unexpected argument: ") +
                               parser.positionalArguments().first())};
    }
    CommandLine result;
    result.database = parser.value(QStringLiteral("database"));
    result.connect = parser.value(QStringLiteral("connect"));
    result.record = parser.value(QStringLiteral("record"));
    result.importStations = parser.value(QStringLiteral("import-stations"));
    result.exportStations = parser.value(QStringLiteral("export-stations"));
    if (!result.importStations.isEmpty() && !result.exportStations.isEmpty()) {
        return Failure{QStringLiteral("--import-stations and --export-stations go one at a time")};
    }
    if ((!result.importStations.isEmpty() || !result.exportStations.isEmpty()) &&
        result.database.isEmpty()) {
        return Failure{
            QStringLiteral("--import-stations and --export-stations need --database "
                           "LOCATION")};
    }
    result.version = parser.isSet(QStringLiteral("version"));
    result.help = parser.isSet(QStringLiteral("help"));
    return result;
}

}  // namespace volnar
