// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <span>

class QCommandLineParser;

namespace volnar {

// One option of a program's command line, as its help and manual page list
// it. Each program keeps its options as one table of these.
struct CommandLineOption {
    const char* shortName;  // "h", or nullptr
    const char* name;       // "database"
    const char* valueName;  // "LOCATION", or nullptr for a flag
    const char* description;
    const char* example;  // a whole command line
};

// Declares every option of the table to the parser.
void AddOptions(QCommandLineParser& parser, std::span<const CommandLineOption> options);

// "Usage: PROGRAM [--name VALUE] ..." on one line.
QString OptionsUsage(const char* program, std::span<const CommandLineOption> options);

// The usage, the description and every option with its example, wrapped at
// 80 columns.
QString OptionsHelp(const char* program, const char* description,
                    std::span<const CommandLineOption> options);

// An argument is typed by the operator and may hold anything, line breaks
// and terminal escapes included: control characters become '?', so an error
// naming it stays one plain line.
QString OneLine(QString text);

}  // namespace volnar
