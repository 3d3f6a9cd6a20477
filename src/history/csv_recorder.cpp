// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/csv_recorder.h"

#include <QFile>
#include <QRegularExpression>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

#include "core/station_text.h"
#include "core/status_record.h"

namespace volnar {
namespace {

// How many files beside the one asked for are tried for other columns.
constexpr int kFilesBeside = 1000;

// A text a spreadsheet reads as a formula: it begins with =, +, -, @, a tab
// or a CR (the usual CSV injection guidance) and is not a plain number.
bool ReadsAsFormula(const QString& text) {
    if (text.isEmpty()) {
        return false;
    }
    const QChar first = text.front();
    if (first != u'=' && first != u'+' && first != u'-' && first != u'@' && first != u'\t' &&
        first != u'\r') {
        return false;
    }
    static const QRegularExpression number(
        QStringLiteral("^[-+]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][-+]?[0-9]+)?$"));
    return !number.match(text).hasMatch();
}

// "rec.csv" gives "rec-2.csv"; "rec" (and ".rec") gives "rec-2" (".rec-2").
QString Beside(const QString& path, int n) {
    const qsizetype slash = path.lastIndexOf(u'/');
    const qsizetype dot = path.lastIndexOf(u'.');
    const qsizetype end = dot > slash + 1 ? dot : path.size();
    return path.left(end) + QStringLiteral("-%1").arg(n) + path.mid(end);
}

QString FileName(const QString& path) {
    return path.mid(path.lastIndexOf(u'/') + 1);
}

Result<int> OpenRegular(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    const Failure notRegular{
        QStringLiteral("Cannot record to %1: not a regular file (a device, a pipe or a folder "
                       "cannot be recorded to)")
            .arg(path)};
    // Looked at before opening: opening a FIFO waits for a reader, and
    // opening a device can act on it.
    struct stat info {};
    if (::stat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
        return notRegular;
    }
    // Non-blocking all the same: the path may name a FIFO by now.
    const int fd = ::open(name.constData(),
                          O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    if (fd < 0) {
        return Failure{QStringLiteral("Cannot record to %1: %2").arg(path, qt_error_string(errno))};
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return notRegular;
    }
    return fd;
}

off_t SizeOf(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 ? info.st_size : -1;
}

// Rows under `headerLine` may go into a file that is empty, or that begins
// with that header and ends with a whole row.
bool Fits(int fd, const QByteArray& headerLine) {
    const off_t size = SizeOf(fd);
    if (size == 0) {
        return true;
    }
    if (size < headerLine.size()) {
        return false;
    }
    QByteArray first(headerLine.size(), '\0');
    char last = 0;
    return ::pread(fd, first.data(), static_cast<std::size_t>(first.size()), 0) == first.size() &&
           first == headerLine && ::pread(fd, &last, 1, size - 1) == 1 && last == '\n';
}

// All of `bytes`, or the system's reason; a failed or short write is cut
// off again, so that the next row (of this or a later session) is not glued
// to a part of a row.
Result<void> WriteWhole(int fd, const QByteArray& bytes) {
    const off_t before = SizeOf(fd);
    const char* next = bytes.constData();
    auto left = static_cast<std::size_t>(bytes.size());
    while (left > 0) {
        const ssize_t written = ::write(fd, next, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            QString reason = qt_error_string(written < 0 ? errno : EIO);
            if (before < 0 || ::ftruncate(fd, before) != 0) {
                reason += QStringLiteral(" (the cut row stays: %1)").arg(qt_error_string(errno));
            }
            return Failure{reason};
        }
        next += written;
        left -= static_cast<std::size_t>(written);
    }
    return {};
}

}  // namespace

QString CsvField(const QString& text) {
    if (ReadsAsFormula(text)) {
        return CsvField(QLatin1Char('\'') + text);
    }
    const bool quote = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
                       text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
    if (!quote) {
        return text;
    }
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QByteArray CsvLine(const QStringList& fields) {
    QStringList quoted;
    quoted.reserve(fields.size());
    for (const QString& field : fields) {
        quoted << CsvField(field);
    }
    return (quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n")).toUtf8();
}

QStringList CsvHeader(const StatusRecord& record) {
    QStringList header{QStringLiteral("time (UTC)"), QStringLiteral("station address"),
                       QStringLiteral("station name")};
    for (const ChannelStatus& channel : record.channels) {
        header << StationText(channel.name).trimmed() + QStringLiteral(" (") +
                      UnitSymbol(channel.unit) + QLatin1Char(')');
    }
    header << QStringLiteral("temperature (°C)") << QStringLiteral("temperature (°F)");
    for (int r = 1; r <= kRelayCount; ++r) {
        header << QStringLiteral("relay %1 ").arg(r) + StationText(record.Relay(r).name).trimmed();
    }
    return header;
}

QStringList CsvRow(const StatusRecord& record, const QDateTime& time, const QString& address) {
    QStringList row{time.toUTC().toString(Qt::ISODateWithMs), address,
                    StationText(record.stationName).trimmed()};
    for (const ChannelStatus& channel : record.channels) {
        row << QString::fromLatin1(ReadingText(channel)).trimmed();
    }
    row << StationText(record.celsius).trimmed() << StationText(record.fahrenheit).trimmed();
    for (const RelayStatus& relay : record.relays) {
        const std::optional<bool> on = relay.On();
        row << (!on ? QString() : *on ? QStringLiteral("ON") : QStringLiteral("OFF"));
    }
    return row;
}

CsvRecorder::~CsvRecorder() {
    Stop();
}

Result<void> CsvRecorder::Start(const QString& path) {
    Stop();
    Result<int> fd = OpenRegular(path);
    if (!fd) {
        return Failure{fd.error()};
    }
    m_fd = *fd;
    m_started = m_path = path;
    m_headerLine.clear();
    m_rows = 0;
    return {};
}

Result<QString> CsvRecorder::Write(const QStringList& header, const QStringList& row) {
    if (m_fd < 0) {
        return QString();
    }
    const QByteArray headerLine = CsvLine(header);
    QString note;
    if (headerLine != m_headerLine || !PathNamesOpenFile()) {
        const bool known = !m_headerLine.isEmpty();
        const bool moved = known && headerLine == m_headerLine;
        const QString before = m_path;
        if (Result<void> opened = OpenFileFor(headerLine); !opened) {
            Stop();
            return Failure{opened.error()};
        }
        if (moved) {
            note = QStringLiteral("reopened: the file was moved or deleted");
        } else if (m_path != before) {
            note = known ? QStringLiteral("the columns changed")
                         : QStringLiteral("%1 has other columns").arg(FileName(before));
        }
    }
    // Emptied in place (rotation by copy and truncate): the header again.
    if (SizeOf(m_fd) == 0) {
        if (Result<void> written = WriteWhole(m_fd, headerLine); !written) {
            return Fail(written.error());
        }
    }
    if (Result<void> written = WriteWhole(m_fd, CsvLine(row)); !written) {
        return Fail(written.error());
    }
    ++m_rows;
    return note;
}

Result<void> CsvRecorder::OpenFileFor(const QByteArray& headerLine) {
    for (int n = 1; n <= kFilesBeside; ++n) {
        const QString candidate = n == 1 ? m_started : Beside(m_started, n);
        Result<int> fd = OpenRegular(candidate);
        if (!fd) {
            return Failure{fd.error()};
        }
        if (Fits(*fd, headerLine)) {
            Stop();
            m_fd = *fd;
            m_path = candidate;
            m_headerLine = headerLine;
            return {};
        }
        ::close(*fd);
    }
    return Failure{QStringLiteral("Cannot record to %1: no file beside it takes these columns")
                       .arg(m_started)};
}

bool CsvRecorder::PathNamesOpenFile() const {
    struct stat named {};
    struct stat open {};
    return ::stat(QFile::encodeName(m_path).constData(), &named) == 0 &&
           ::fstat(m_fd, &open) == 0 && named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

Result<QString> CsvRecorder::Fail(const QString& reason) {
    Stop();
    return Failure{QStringLiteral("Recording to %1 stopped: %2").arg(m_path, reason)};
}

void CsvRecorder::Stop() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

}  // namespace volnar
