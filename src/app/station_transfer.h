// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

#include "app/command_line.h"

class QDialog;
class QWidget;
class QTextStream;

namespace volnar {

class DirectoryWorker;
class MessageService;
class StationImportDialog;

// File > Import Stations… and Export Stations…: the file chosen, read or
// written here, the directory reached through its worker, the import's plan
// shown in StationImportDialog. Boxes go through the message service, the
// file choosers and the import dialog through `show`.
class StationTransfer final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StationTransfer)

public:
    using ShowDialog = std::function<void(QDialog*)>;
    StationTransfer(QWidget& window, DirectoryWorker& worker, MessageService& messages,
                    ShowDialog show);
    ~StationTransfer() override;

    // Ask for the file, then Import / Export it.
    void ChooseImportFile();
    void ChooseExportFile();
    // Reads the file, plans it against the directory's rows and opens the
    // import dialog over the window.
    void Import(const QString& path);
    // Writes every row of the directory to `path`, replacing it whole.
    void Export(const QString& path);

private:
    QWidget& m_window;
    DirectoryWorker& m_worker;
    MessageService& m_messages;
    ShowDialog m_show;
};

// --import-stations / --export-stations: runs without a window against
// `command.database`; the plan and the outcome go to `out`, failures to
// `err`. The exit status: 0 done, 1 nothing (or not everything) done.
int RunStationTransferCommand(const CommandLine& command, QTextStream& out, QTextStream& err);

}  // namespace volnar
