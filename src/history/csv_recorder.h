// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include "core/result.h"

namespace volnar {

struct StatusRecord;

// One field quoted as RFC 4180 asks: in double quotes, inner quotes doubled,
// when it holds a comma, a quote, a CR or an LF; as it is otherwise. A text
// a spreadsheet would take for a formula (one that begins with =, +, -, @, a
// tab or a CR and is not a plain number) gets a leading single quote, so a
// station or relay name never runs as a formula; -1.5 stays a number.
QString CsvField(const QString& text);
// One record: the fields joined by commas, ended by CRLF, in UTF-8.
QByteArray CsvLine(const QStringList& fields);

// The header of a recording: time, station address and name, each channel
// with its name and unit, both temperatures, each relay with its name.
QStringList CsvHeader(const StatusRecord& record);
// One status answer, the readings as the panel shows them: `time` is written
// in ISO 8601 UTC with milliseconds.
QStringList CsvRow(const StatusRecord& record, const QDateTime& time, const QString& address);

// Appends one row per status answer to a regular file, each row written to
// the system as it comes, so a crash loses at most the row being written.
//
// Every row of a file stands under that file's first line: the header goes
// into an empty file, and a file whose header differs (or that does not end
// with a whole row) is never written to; the rows go on in the first file
// beside it (`name-2.csv`, `name-3.csv`, …) that is new, empty or has this
// header. A failed or short write cuts the file back to its last whole row
// and stops the recording. Nothing here waits: a device, a pipe or a socket
// is refused, since opening or writing one could block or kill the program.
class CsvRecorder final {
public:
    CsvRecorder() = default;
    ~CsvRecorder();
    CsvRecorder(const CsvRecorder&) = delete;
    CsvRecorder& operator=(const CsvRecorder&) = delete;

    // Opens `path` (created when missing) for appending; why, when it cannot
    // be opened or is not a regular file.
    Result<void> Start(const QString& path);
    // Appends `row` under `header`. When the path no longer names the open
    // file (moved or deleted, as log rotation does) the path is opened again.
    // Gives a note for the operator when the rows went on in another file
    // than before, an empty text otherwise. On a failed or short write the
    // file is cut back, the recording stops and the failure names the file
    // and the system's reason.
    Result<QString> Write(const QStringList& header, const QStringList& row);
    void Stop();

    bool IsRecording() const { return m_fd >= 0; }
    // The file the rows go into: the one started, or one beside it.
    const QString& Path() const { return m_path; }
    int RowsWritten() const { return m_rows; }

private:
    // Opens the first file from the one started on whose header is
    // `headerLine` or that is empty or new.
    Result<void> OpenFileFor(const QByteArray& headerLine);
    // Whether the path still names the open file.
    bool PathNamesOpenFile() const;
    Result<QString> Fail(const QString& reason);

    int m_fd = -1;
    QString m_started;  // the path asked for; the files beside it are named after it
    QString m_path;
    QByteArray m_headerLine;  // the open file's header, once known
    int m_rows = 0;
};

}  // namespace volnar
