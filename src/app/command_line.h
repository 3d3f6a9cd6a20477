#pragma once

#include <QString>
#include <QStringList>

namespace volnar {

// volnar [--database LOCATION] [--connect ADDRESS] [--record FILE] [--version] [--help]
struct CommandLine {
    QString database;  // used for this run only, never stored
    QString connect;   // chosen and started once the window is shown
    QString record;    // CSV file the status answers are appended to
    bool version = false;
    bool help = false;
    QString error;  // set when the arguments could not be read
    QString helpText;
};

CommandLine ParseCommandLine(const QStringList& arguments);

}  // namespace volnar
