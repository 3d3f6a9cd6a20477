#include "history/csv_recorder.h"

#include <QFileInfo>
#include <QRegularExpression>

#include "core/status_panel.h"

namespace volnar {
namespace {

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

QStringList CsvHeader(const StatusPanel& panel) {
    QStringList header{QStringLiteral("time (UTC)"), QStringLiteral("station address"),
                       QStringLiteral("station name")};
    for (int n = 1; n <= StatusPanel::kAdcInputCount; ++n) {
        const QString unit = panel.AdcUnit(n).trimmed();
        // The station writes "v" for a voltmeter; any other unit is an
        // ammeter, shown in amperes.
        const QString shown =
            unit == QStringLiteral("v") ? QStringLiteral("V") : QStringLiteral("A");
        header << panel.AdcName(n).trimmed() + QStringLiteral(" (") + shown + QLatin1Char(')');
    }
    header << QStringLiteral("temperature (°C)") << QStringLiteral("temperature (°F)");
    for (int r = 1; r <= StatusPanel::kRelayCount; ++r) {
        header << QStringLiteral("relay %1 ").arg(r) + panel.RelayName(r).trimmed();
    }
    return header;
}

QStringList CsvRow(const StatusPanel& panel, const QDateTime& time, const QString& address) {
    QStringList row{time.toUTC().toString(Qt::ISODateWithMs), address,
                    panel.StationName().trimmed()};
    for (int n = 1; n <= StatusPanel::kAdcInputCount; ++n) {
        row << panel.AdcValue(n).trimmed();
    }
    row << panel.TemperatureCelsius().trimmed() << panel.TemperatureFahrenheit().trimmed();
    for (int r = 1; r <= StatusPanel::kRelayCount; ++r) {
        row << panel.RelayStateText(r).trimmed();
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
