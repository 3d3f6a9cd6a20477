#include "app/command_line.h"

#include <QCommandLineParser>

namespace volnar {

CommandLine ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Watches and manages a Volnar station over SNMP."));
    const QCommandLineOption database(
        QStringList{QStringLiteral("database")},
        QStringLiteral("Use LOCATION (a file path or an ODBC connection string) as the station "
                       "directory for this run, without storing it."),
        QStringLiteral("LOCATION"));
    const QCommandLineOption connect(
        QStringList{QStringLiteral("connect")},
        QStringLiteral("Choose the station ADDRESS and start polling it once the window is shown."),
        QStringLiteral("ADDRESS"));
    const QCommandLineOption record(
        QStringList{QStringLiteral("record")},
        QStringLiteral("Append one CSV row per status answer to FILE, from the first answer on "
                       "(with --connect, for unattended use)."),
        QStringLiteral("FILE"));
    const QCommandLineOption version(QStringList{QStringLiteral("version")},
                                     QStringLiteral("Print the build number and exit."));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Print this help and exit."));
    parser.addOption(database);
    parser.addOption(connect);
    parser.addOption(record);
    parser.addOption(version);
    parser.addOption(help);

    CommandLine result;
    result.helpText = parser.helpText();
    result.helpText.replace(QStringLiteral("<executable_name>"), QStringLiteral("volnar"));
    if (!parser.parse(arguments)) {
        result.error = parser.errorText();
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.error =
            QStringLiteral("Unexpected argument: ") + parser.positionalArguments().first();
        return result;
    }
    result.database = parser.value(database);
    result.connect = parser.value(connect);
    result.record = parser.value(record);
    result.version = parser.isSet(version);
    result.help = parser.isSet(help);
    return result;
}

}  // namespace volnar
