#include "history/csv_recorder.h"

#include <QFileInfo>

#include "core/station_text.h"
#include "core/status_record.h"

namespace volnar {

QString CsvField(const QString& text) {
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

Result<void> CsvRecorder::Start(const QString& path) {
    Stop();
    m_file.setFileName(path);
    // Rows are appended to a file; a device or a pipe (/dev/full, a FIFO)
    // has no end to seek to and nothing to overwrite.
    const QFileInfo info(path);
    const bool device = info.exists() && !info.isFile() && !info.isDir();
    const QIODevice::OpenMode mode =
        device ? QIODevice::WriteOnly : QIODevice::WriteOnly | QIODevice::Append;
    if (!m_file.open(mode)) {
        const QString error = m_file.errorString();
        return Failure{QStringLiteral("Cannot record to %1: %2").arg(path, error)};
    }
    m_path = path;
    m_rows = 0;
    return {};
}

Result<void> CsvRecorder::Write(const QStringList& header, const QStringList& row) {
    if (!m_file.isOpen()) {
        return {};
    }
    // size() of a device (/dev/full, a pipe) is 0: the header goes there too.
    if (m_rows == 0 && m_file.size() == 0) {
        if (Result<void> written = WriteLine(CsvLine(header)); !written) {
            return written;
        }
    }
    if (Result<void> written = WriteLine(CsvLine(row)); !written) {
        return written;
    }
    ++m_rows;
    return {};
}

Result<void> CsvRecorder::WriteLine(const QByteArray& line) {
    const qint64 written = m_file.write(line);
    if (written != line.size() || !m_file.flush()) {
        const QString error = m_file.errorString();
        const QString path = m_path;
        Stop();
        return Failure{QStringLiteral("Recording to %1 stopped: %2").arg(path, error)};
    }
    return {};
}

void CsvRecorder::Stop() {
    if (m_file.isOpen()) {
        m_file.close();
    }
}

}  // namespace volnar
