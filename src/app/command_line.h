// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <span>

#include "core/option_table.h"
#include "core/result.h"

namespace volnar {

// volnar [--database LOCATION] [--connect ADDRESS] [--record FILE]
//        [--import-stations FILE] [--export-stations FILE] [--version] [--help]
struct CommandLine {
    QString database;  // used for this run only, never stored
    QString connect;   // chosen and started once the window is shown
    QString record;    // CSV file the status answers are appended to
    // With --database, without a window: the directory's rows from or to a
    // CSV file, then exit.
    QString importStations;
    QString exportStations;
    bool version = false;
    bool help = false;
};

std::span<const CommandLineOption> CommandLineOptions();

// arguments[0] is the program name, as in QCoreApplication::arguments().
// When the arguments cannot be read, why, on one line.
Result<CommandLine> ParseCommandLine(const QStringList& arguments);

// "Usage: volnar [--database LOCATION] ..." on one line.
QString UsageText();
// The usage, what the program does and every option with an example.
QString HelpText();

}  // namespace volnar
