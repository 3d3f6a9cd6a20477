#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include "core/result.h"

namespace volnar {

class StatusPanel;

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
QStringList CsvHeader(const StatusPanel& panel);
// One status answer as shown: `time` is written in ISO 8601 UTC with
// milliseconds.
QStringList CsvRow(const StatusPanel& panel, const QDateTime& time, const QString& address);

// Appends one row per status answer to a regular file, each row written to
// the system as it comes, so a crash loses at most the row being written.
// Never truncates what was there: the header goes only into an empty file. A
// failed or short write cuts the file back to its last whole row and stops
// the recording. Nothing here waits: a device, a pipe or a socket is
// refused, since opening or writing one could block or kill the program.
class CsvRecorder final {
public:
    CsvRecorder() = default;
    ~CsvRecorder();
    CsvRecorder(const CsvRecorder&) = delete;
    CsvRecorder& operator=(const CsvRecorder&) = delete;

    // Opens `path` (created when missing) for appending; why, when it cannot
    // be opened or is not a regular file.
    Result<void> Start(const QString& path);
    // Appends `row`, after `header` when the file is empty. On a failed or
    // short write the file is cut back, the recording stops and the failure
    // names the file and the system's reason.
    Result<void> Write(const QStringList& header, const QStringList& row);
    void Stop();

    bool IsRecording() const { return m_fd >= 0; }
    const QString& Path() const { return m_path; }
    int RowsWritten() const { return m_rows; }

private:
    Result<void> Fail(const QString& reason);

    int m_fd = -1;
    QString m_path;
    int m_rows = 0;
};

}  // namespace volnar
