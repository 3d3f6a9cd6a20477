#include "app/command_line.h"

#include <QCommandLineParser>
#include <array>

namespace volnar {
namespace {

constexpr std::array<CommandLineOption, 5> kOptions = {{
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
    result.version = parser.isSet(QStringLiteral("version"));
    result.help = parser.isSet(QStringLiteral("help"));
    return result;
}

}  // namespace volnar
