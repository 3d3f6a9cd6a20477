#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFile>
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

// Appends one row per status answer to a file, flushed as it comes, so a
// crash loses at most the row being written. Never truncates: the header
// goes only into a new or empty file. Any write error stops the recording
// and is reported once.
class CsvRecorder final {
public:
    CsvRecorder() = default;
    CsvRecorder(const CsvRecorder&) = delete;
    CsvRecorder& operator=(const CsvRecorder&) = delete;

    // Opens `path` for appending; why, when it cannot be opened.
    Result<void> Start(const QString& path);
    // Writes the header first when the file is empty. On a failed or short
    // write the recording stops and says why.
    Result<void> Write(const QStringList& header, const QStringList& row);
    void Stop();

    bool IsRecording() const { return m_file.isOpen(); }
    const QString& Path() const { return m_path; }
    int RowsWritten() const { return m_rows; }

private:
    Result<void> WriteLine(const QByteArray& line);

    QFile m_file;
    QString m_path;
    int m_rows = 0;
};

}  // namespace volnar
