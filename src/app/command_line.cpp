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

QString OptionSyntax(const CommandLineOption& option) {
    QString text = QStringLiteral("--") + QLatin1String(option.name);
    if (option.valueName != nullptr) {
        text += QLatin1Char(' ') + QLatin1String(option.valueName);
    }
    return text;
}

// An argument is typed by the operator and may hold anything, line breaks
// and terminal escapes included; the error stays one plain line.
QString OneLine(QString text) {
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control) {
            c = QLatin1Char('?');
        }
    }
    return text;
}

}  // namespace

std::span<const CommandLineOption> CommandLineOptions() {
    return kOptions;
}

QString UsageText() {
    QString text = QStringLiteral("Usage: volnar");
    for (const CommandLineOption& option : CommandLineOptions()) {
        text += QStringLiteral(" [") + OptionSyntax(option) + QLatin1Char(']');
    }
    return text;
}

QString HelpText() {
    constexpr qsizetype kColumn = 24;
    constexpr qsizetype kWidth = 80;
    const QString indent(kColumn, QLatin1Char(' '));
    QString text = UsageText() + QStringLiteral("\n\n") + QLatin1String(kDescription) +
                   QStringLiteral("\n\nOptions:\n");
    for (const CommandLineOption& option : CommandLineOptions()) {
        QString line = QStringLiteral("  ");
        if (option.shortName != nullptr) {
            line += QLatin1Char('-') + QLatin1String(option.shortName) + QStringLiteral(", ");
        }
        line += OptionSyntax(option);
        line = line.leftJustified(kColumn - 1) + QLatin1Char(' ');
        // The description wrapped at 80 columns under its own column.
        bool lineEmpty = true;
        const QStringList words = QString::fromLatin1(option.description).split(QLatin1Char(' '));
        for (const QString& word : words) {
            if (!lineEmpty && line.size() + 1 + word.size() > kWidth) {
                text += line + QLatin1Char('\n');
                line = indent;
                lineEmpty = true;
            }
            line += (lineEmpty ? QString() : QStringLiteral(" ")) + word;
            lineEmpty = false;
        }
        text += line + QLatin1Char('\n') + indent + QStringLiteral("Example: ") +
                QLatin1String(option.example) + QLatin1Char('\n');
    }
    return text;
}

Result<CommandLine> ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    for (const CommandLineOption& option : CommandLineOptions()) {
        QStringList names;
        if (option.shortName != nullptr) {
            names << QLatin1String(option.shortName);
        }
        names << QLatin1String(option.name);
        QCommandLineOption parsed(names);
        if (option.valueName != nullptr) {
            parsed.setValueName(QLatin1String(option.valueName));
        }
        parser.addOption(parsed);
    }

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
