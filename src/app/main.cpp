// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QTextStream>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "app/about_text.h"
#include "app/application.h"
#include "app/command_line.h"
#include "app/database_location.h"
#include "app/station_transfer.h"
#include "core/file_limit.h"
#include "core/licence.h"

int main(int argc, char** argv) {
    // A write into a pipe whose reader left, or past a file-size limit, then
    // fails with EPIPE or EFBIG, which ends what was writing (a recording,
    // with a box), instead of killing the program by signal.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    // --help and --version answer without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    const volnar::Result<volnar::CommandLine> parsed = volnar::ParseCommandLine(arguments);
    if (!parsed) {
        QTextStream(stderr) << "volnar: " << parsed.error() << "\n"
                            << volnar::UsageText() << "\n"
                            << "Try 'volnar --help' for more.\n";
        return 2;
    }
    const volnar::CommandLine& command = *parsed;
    if (command.help) {
        QTextStream(stdout) << volnar::HelpText();
        return 0;
    }
    if (command.version) {
        QTextStream(stdout) << "volnar " << volnar::BuildNumberText(VOLNAR_VERSION_TEXT) << "\n"
                            << volnar::kLicenceText;
        return 0;
    }

    if (!command.importStations.isEmpty() || !command.exportStations.isEmpty()) {
        QCoreApplication app(argc, argv);
        QTextStream out(stdout);
        QTextStream err(stderr);
        return volnar::RunStationTransferCommand(command, out, err);
    }

    // The fleet window holds a socket per station: the usual soft limit of
    // 1,024 descriptors is no fleet's.
    volnar::RaiseOpenFileLimit();
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QString::fromLatin1(volnar::kSettingsOrganization));
    QCoreApplication::setApplicationName(QString::fromLatin1(volnar::kSettingsApplication));
    QCoreApplication::setApplicationVersion(QStringLiteral(VOLNAR_VERSION_TEXT));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Volnar"));
    QGuiApplication::setDesktopFileName(QStringLiteral("volnar"));

    int status = 0;
    {
        volnar::Application program({.databaseOverride = command.database,
                                     .connectAddress = command.connect,
                                     .recordPath = command.record});
        program.Show();
        status = QApplication::exec();
    }
    // The directory's thread is still in a statement that a stopped server
    // holds (quitting waited two seconds for it): nothing it may return to
    // is torn down, and the program does not wait for it either.
    if (volnar::DirectoryWorker::ThreadsLeftRunning() > 0) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
