// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <QFile>
#include <algorithm>

#include "support/qt_print.h"

namespace volnar {
namespace {

TEST(CommandLine, ArgumentsAreReadOrRefusedOnOneLine) {
    const auto S = [](const char* text) { return QString::fromUtf8(text); };
    const struct {
        QStringList arguments = {};
        QString database = {};
        QString connect = {};
        QString importStations = {};
        QString exportStations = {};
        bool version = false;
        bool help = false;
        bool refused = false;
    } cases[] = {
        {.arguments = {}},
        {.arguments = {S("--database"), S("/tmp/a b.db"), S("--connect"), S("127.0.0.1")},
         .database = S("/tmp/a b.db"),
         .connect = S("127.0.0.1")},
        {.arguments = {S("--database=DRIVER={SQLite3};Database=x")},
         .database = S("DRIVER={SQLite3};Database=x")},
        {.arguments = {S("--database"), S("a.db"), S("--import-stations"), S("in.csv")},
         .database = S("a.db"),
         .importStations = S("in.csv")},
        {.arguments = {S("--export-stations"), S("-"), S("--database"), S("a.db")},
         .database = S("a.db"),
         .exportStations = S("-")},
        {.arguments = {S("--import-stations"), S("in.csv")}, .refused = true},
        {.arguments = {S("--database"), S("a.db"), S("--import-stations"), S("in.csv"),
                       S("--export-stations"), S("out.csv")},
         .refused = true},
        {.arguments = {S("--version")}, .version = true},
        {.arguments = {S("-h")}, .help = true},
        {.arguments = {S("--help")}, .help = true},
        {.arguments = {S("--verbose")}, .refused = true},
        {.arguments = {S("-x")}, .refused = true},
        {.arguments = {S("--database")}, .refused = true},
        {.arguments = {S("--connect")}, .refused = true},
        {.arguments = {S("--version=1")}, .refused = true},
        {.arguments = {S("stations.db")}, .refused = true},
        {.arguments = {S("--bad\noption\r\x1b[2J\u009b2J")}, .refused = true},
        {.arguments = {S("--version"), S("extra\nline")}, .refused = true},
    };
    for (const auto& c : cases) {
        const Result<CommandLine> parsed = ParseCommandLine(QStringList{S("volnar")} + c.arguments);
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
        ASSERT_EQ(!parsed.has_value(), c.refused);
        if (c.refused) {
            EXPECT_FALSE(parsed.error().isEmpty());
            for (const QChar ch : parsed.error()) {
                EXPECT_NE(ch.category(), QChar::Other_Control) << parsed.error().toStdString();
            }
            continue;
        }
        const CommandLine& line = *parsed;
        EXPECT_EQ(line.database, c.database);
        EXPECT_EQ(line.connect, c.connect);
        EXPECT_EQ(line.importStations, c.importStations);
        EXPECT_EQ(line.exportStations, c.exportStations);
        EXPECT_EQ(line.version, c.version);
        EXPECT_EQ(line.help, c.help);
    }
}

// Every option is in the usage, in the help with a working example, and in
// the manual page.
TEST(CommandLine, HelpAndManualPageListEveryOption) {
    QFile manual(QStringLiteral(VOLNAR_SOURCE_DIR "/docs/man/volnar.1.in"));
    ASSERT_TRUE(manual.open(QIODevice::ReadOnly));
    const QString page = QString::fromUtf8(manual.readAll());
    const QString help = HelpText();
    EXPECT_TRUE(help.startsWith(UsageText() + QLatin1Char('\n')));
    EXPECT_FALSE(UsageText().contains(QLatin1Char('\n')));
    ASSERT_FALSE(CommandLineOptions().empty());
    for (const CommandLineOption& option : CommandLineOptions()) {
        const QString name = QStringLiteral("--") + QLatin1String(option.name);
        SCOPED_TRACE(name.toStdString());
        // Its description starts in the descriptions' column, two spaces at
        // least after it, or on the next line.
        QString head = QStringLiteral("  ");
        if (option.shortName != nullptr) {
            head += QLatin1Char('-') + QLatin1String(option.shortName) + QStringLiteral(", ");
        }
        head += name;
        if (option.valueName != nullptr) {
            head += QLatin1Char(' ') + QLatin1String(option.valueName);
        }
        const QStringList lines = help.split(QLatin1Char('\n'));
        const auto at = std::find_if(lines.begin(), lines.end(), [&](const QString& line) {
            return line == head || line.startsWith(head + QLatin1Char(' '));
        });
        ASSERT_NE(at, lines.end());
        const QString& described = *at == head ? *(at + 1) : *at;
        EXPECT_EQ(described.left(24).trimmed(), *at == head ? QString() : head.trimmed());
        EXPECT_NE(described.at(24), QLatin1Char(' '));
        EXPECT_TRUE(*at == head || at->mid(head.size()).startsWith(QLatin1String("  ")));
        EXPECT_TRUE(UsageText().contains(QLatin1Char('[') + name));
        EXPECT_TRUE(help.contains(QStringLiteral("Example: ") + QLatin1String(option.example)));
        EXPECT_TRUE(page.contains(QStringLiteral("\\-\\-") + QLatin1String(option.name)));
        // The example is itself a command line this parser accepts.
        const QStringList example = QString::fromLatin1(option.example).split(QLatin1Char(' '));
        EXPECT_EQ(example.first(), QStringLiteral("volnar"));
        EXPECT_TRUE(example.contains(name));
        EXPECT_TRUE(ParseCommandLine(example).has_value());
    }
}

}  // namespace
}  // namespace volnar
