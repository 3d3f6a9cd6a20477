// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/station_csv.h"

#include <QHash>
#include <QSet>
#include <QStringDecoder>
#include <algorithm>
#include <array>
#include <optional>

#include "core/station_text.h"
#include "directory/station_directory.h"
#include "directory/station_form.h"

namespace volnar {
namespace {

constexpr int kColumnCount = 7;
// More records than this make the file refused whole, so a hostile file of
// millions of short lines costs no more than this many rows.
constexpr int kMaxRecords = 100000;
// Fields past this many are counted but not kept.
constexpr int kMaxFieldsKept = 32;

enum Column { kAddress, kPassword, kComment, kDefault, kPort, kTimeout, kRetries };

QString Latin1(const char* text) {
    return QString::fromLatin1(text);
}

QString* FieldOf(StationRecord& record, int column) {
    const std::array<QString*, kColumnCount> fields = {
        &record.IPADDRESS, &record.PASSWORD, &record.COMMENT, &record.DEFAULT,
        &record.PORT,      &record.TIMEOUT,  &record.RETRIES};
    return fields[static_cast<size_t>(column)];
}

void AppendField(QByteArray& out, const QString& text) {
    if (text.isEmpty()) {
        return;  // empty and null alike: nothing between the commas
    }
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    out += '"';
    out += quoted.toUtf8();
    out += '"';
}

// One pass over the text, record by record.
class CsvReader {
public:
    explicit CsvReader(const QString& text) : m_text(text) {}

    // False at the end of the text.
    bool Next(CsvRecord& record) {
        while (m_pos < m_text.size()) {
            record = CsvRecord{.line = m_line, .fields = {}, .problem = {}};
            if (ReadRecord(record)) {
                return true;
            }
        }
        return false;
    }

private:
    bool AtLineEnd() const {
        const QChar c = m_text[m_pos];
        return c == u'\n' ||
               (c == u'\r' && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == u'\n');
    }
    void SkipLineEnd() {
        m_pos += m_text[m_pos] == u'\r' ? 2 : 1;
        ++m_line;
    }
    void Problem(CsvRecord& record, const char* text) {
        if (record.problem.isEmpty()) {
            record.problem = Latin1(text);
        }
    }
    void Keep(CsvRecord& record, QString&& field) {
        if (++m_fieldCount <= kMaxFieldsKept) {
            record.fields << std::move(field);
        }
    }

    // One record; false for an empty line.
    bool ReadRecord(CsvRecord& record) {
        m_fieldCount = 0;
        if (AtLineEnd()) {
            SkipLineEnd();
            return false;
        }
        while (true) {
            QString field = ReadField(record);
            Keep(record, std::move(field));
            if (m_pos >= m_text.size()) {
                break;
            }
            if (m_text[m_pos] == u',') {
                ++m_pos;
                continue;
            }
            SkipLineEnd();
            break;
        }
        if (m_fieldCount > kMaxFieldsKept) {
            record.fields << QString();  // so the count is known to be wrong
        }
        return true;
    }

    QString ReadField(CsvRecord& record) {
        QString field;
        const bool quoted = m_pos < m_text.size() && m_text[m_pos] == u'"';
        if (quoted) {
            ReadQuoted(record, field);
        }
        // Unquoted text, or what follows a closing quote.
        while (m_pos < m_text.size() && m_text[m_pos] != u',' && !AtLineEnd()) {
            if (quoted) {
                Problem(record, "text follows a closing quote");
            } else if (m_text[m_pos] == u'"') {
                Problem(record, "a quote inside a field that does not start with one");
            }
            field += m_text[m_pos++];
        }
        return field;
    }

    void ReadQuoted(CsvRecord& record, QString& field) {
        ++m_pos;
        while (m_pos < m_text.size()) {
            const QChar c = m_text[m_pos++];
            if (c == u'\n') {
                ++m_line;
            }
            if (c != u'"') {
                field += c;
            } else if (m_pos < m_text.size() && m_text[m_pos] == u'"') {
                field += c;
                ++m_pos;
            } else {
                return;
            }
        }
        Problem(record, "a quote opened on this line is never closed");
    }

    const QString& m_text;
    qsizetype m_pos = 0;
    int m_line = 1;
    int m_fieldCount = 0;
};

int CharacterCount(const QString& text) {
    return static_cast<int>(QStringView(text).toUcs4().size());
}

bool IsDottedAddress(const QString& text) {
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4) {
        return false;
    }
    for (const QString& part : parts) {
        if (part.isEmpty() || part.size() > 3 || (part.size() > 1 && part[0] == u'0')) {
            return false;
        }
        for (const QChar c : part) {
            if (c < u'0' || c > u'9') {
                return false;
            }
        }
        if (part.toInt() > 255) {
            return false;
        }
    }
    return true;
}

bool HasControl(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F);
    });
}

// Why the row cannot be added as it stands; nothing when it can.
std::optional<QString> RowProblem(const StationRecord& record) {
    StationRecord row = record;
    static constexpr std::array<int, kColumnCount> kLimits = {
        kAddressMaxLength,     kPasswordMaxLength,    kCommentMaxLength,    kNumberFieldMaxLength,
        kNumberFieldMaxLength, kNumberFieldMaxLength, kNumberFieldMaxLength};
    for (int column = 0; column < kColumnCount; ++column) {
        const QString& text = *FieldOf(row, column);
        const QString name = Latin1(kStationCsvColumns[column]);
        if (CharacterCount(text) > kLimits[static_cast<size_t>(column)]) {
            return QStringLiteral("%1 is longer than %2 characters.")
                .arg(name)
                .arg(kLimits[static_cast<size_t>(column)]);
        }
        if (HasControl(text)) {
            return QStringLiteral("%1 holds a control character (a line break, tab or NUL).")
                .arg(name);
        }
    }
    if (!IsDottedAddress(row.IPADDRESS)) {
        return QStringLiteral("\"%1\" is not an IP address of four numbers from 0 to 255.")
            .arg(row.IPADDRESS);
    }
    if (row.PASSWORD.isEmpty()) {
        return QStringLiteral("The password is empty.");
    }
    // What older rows hold and the link reads as its default.
    if (row.TIMEOUT.isEmpty() || row.TIMEOUT == QLatin1String("0")) {
        row.TIMEOUT = QString::number(kTimeoutMin);
    }
    if (row.RETRIES.isEmpty()) {
        row.RETRIES = QString::number(kRetriesMin);
    }
    const StationForm form{.opened = {},
                           .filledAddressFields = 4,
                           .address = row.IPADDRESS,
                           .password = row.PASSWORD,
                           .comment = row.COMMENT,
                           .port = row.PORT,
                           .timeout = row.TIMEOUT,
                           .retries = row.RETRIES};
    const FieldProblem numbers = CheckNumberFields(StationDialogMode::Add, form);
    if (numbers.field != StationFormField::None) {
        return numbers.text;
    }
    return std::nullopt;
}

QString ColumnList() {
    QStringList names;
    for (const char* name : kStationCsvColumns) {
        names << Latin1(name);
    }
    return names.join(QLatin1String(", "));
}

// The column of each header name; empty with `problem` set when the header
// does not name the seven columns once each.
std::vector<int> HeaderColumns(const CsvRecord& header, QString& problem) {
    std::vector<int> columns;
    QSet<int> seen;
    for (const QString& raw : header.fields) {
        const QString name = raw.trimmed().toUpper();
        const auto* found =
            std::find_if(std::begin(kStationCsvColumns), std::end(kStationCsvColumns),
                         [&name](const char* column) { return name == Latin1(column); });
        if (found == std::end(kStationCsvColumns) ||
            seen.contains(static_cast<int>(found - std::begin(kStationCsvColumns)))) {
            problem = QStringLiteral("Line 1 must name the columns %1, each once; \"%2\" is %3.")
                          .arg(ColumnList(), raw.left(40),
                               found == std::end(kStationCsvColumns) ? Latin1("not one of them")
                                                                     : Latin1("named twice"));
            return {};
        }
        const int column = static_cast<int>(found - std::begin(kStationCsvColumns));
        seen.insert(column);
        columns.push_back(column);
    }
    if (columns.size() != kColumnCount || !header.problem.isEmpty()) {
        problem = QStringLiteral("Line 1 must name the columns %1.").arg(ColumnList());
        return {};
    }
    return columns;
}

void PlanRow(const CsvRecord& row, const std::vector<int>& columns, const QSet<QString>& existing,
             QHash<QString, int>& added, StationImportPlan& plan) {
    if (!row.problem.isEmpty()) {
        plan.refused.push_back(
            {row.line, row.problem[0].toUpper() + row.problem.mid(1) + Latin1(".")});
        return;
    }
    if (row.fields.size() != kColumnCount) {
        plan.refused.push_back(
            {row.line,
             QStringLiteral("The row has %1 fields; line 1 names %2 columns.")
                 .arg(row.fields.size() > kMaxFieldsKept ? QStringLiteral("too many")
                                                         : QString::number(row.fields.size()))
                 .arg(kColumnCount)});
        return;
    }
    StationRecord record;
    for (int i = 0; i < kColumnCount; ++i) {
        *FieldOf(record, columns[static_cast<size_t>(i)]) = row.fields[i];
    }
    if (existing.contains(record.IPADDRESS)) {
        plan.duplicates.push_back({row.line, record.IPADDRESS, Latin1("already in the directory")});
        return;
    }
    if (const auto problem = RowProblem(record)) {
        plan.refused.push_back({row.line, *problem});
        return;
    }
    if (const auto earlier = added.constFind(record.IPADDRESS); earlier != added.constEnd()) {
        plan.duplicates.push_back({row.line, record.IPADDRESS,
                                   QStringLiteral("the same address as line %1").arg(*earlier)});
        return;
    }
    added.insert(record.IPADDRESS, row.line);
    record.DEFAULT = Latin1("NO");  // a new station is never the default
    plan.add.push_back({row.line, std::move(record)});
}

}  // namespace

QByteArray StationCsv(const std::vector<StationRecord>& records) {
    QByteArray out;
    for (int column = 0; column < kColumnCount; ++column) {
        out += column == 0 ? "" : ",";
        out += kStationCsvColumns[column];
    }
    out += '\n';
    for (StationRecord record : records) {
        for (int column = 0; column < kColumnCount; ++column) {
            if (column > 0) {
                out += ',';
            }
            AppendField(out, *FieldOf(record, column));
        }
        out += '\n';
    }
    return out;
}

CsvText DecodeCsvText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError()) {
        if (text.startsWith(QChar(0xFEFF))) {
            text.remove(0, 1);
        }
        return {std::move(text), CsvEncoding::Utf8};
    }
    return {StationText(bytes), CsvEncoding::Windows1252};
}

std::vector<CsvRecord> ParseCsv(const QString& text) {
    std::vector<CsvRecord> records;
    CsvReader reader(text);
    CsvRecord record;
    while (records.size() <= kMaxRecords && reader.Next(record)) {
        records.push_back(std::move(record));
    }
    return records;
}

std::vector<StationRecord> StationImportPlan::Records() const {
    std::vector<StationRecord> records;
    for (const ImportRow& row : add) {
        records.push_back(row.record);
    }
    return records;
}

StationImportPlan PlanStationImport(const QByteArray& bytes, const QStringList& existingAddresses) {
    StationImportPlan plan;
    if (bytes.size() > kStationCsvMaxBytes) {
        plan.fileProblem = QStringLiteral("The file is larger than %1 MB: it is no station list.")
                               .arg(kStationCsvMaxBytes / (1024 * 1024));
        return plan;
    }
    const CsvText decoded = DecodeCsvText(bytes);
    plan.encoding = decoded.encoding;
    const std::vector<CsvRecord> records = ParseCsv(decoded.text);
    if (records.empty()) {
        plan.fileProblem = QStringLiteral("The file is empty.");
        return plan;
    }
    if (records.size() > kMaxRecords) {
        plan.fileProblem = QStringLiteral("The file has more than %1 rows.").arg(kMaxRecords);
        return plan;
    }
    for (const CsvRecord& record : records) {
        if (record.problem.startsWith(QLatin1String("a quote opened"))) {
            plan.fileProblem = QStringLiteral(
                                   "Line %1: a quote opened there is never closed, so "
                                   "the rows after it cannot be told apart.")
                                   .arg(record.line);
            return plan;
        }
    }
    const std::vector<int> columns = HeaderColumns(records.front(), plan.fileProblem);
    if (columns.empty()) {
        return plan;
    }
    const QSet<QString> existing(existingAddresses.begin(), existingAddresses.end());
    QHash<QString, int> added;
    for (size_t i = 1; i < records.size(); ++i) {
        PlanRow(records[i], columns, existing, added, plan);
    }
    return plan;
}

QString StationCount(qsizetype count) {
    return QStringLiteral("%1 %2").arg(count).arg(count == 1 ? Latin1("station")
                                                             : Latin1("stations"));
}

QString PlanSummary(const StationImportPlan& plan) {
    const QString encoding =
        plan.encoding == CsvEncoding::Utf8 ? Latin1("UTF-8") : Latin1("Windows-1252");
    if (!plan.fileProblem.isEmpty()) {
        return plan.fileProblem + QStringLiteral(" Nothing will be added.");
    }
    return QStringLiteral("Adds %1; skips %2 already listed; refuses %3 %4. Read as %5.")
        .arg(StationCount(static_cast<qsizetype>(plan.add.size())))
        .arg(plan.duplicates.size())
        .arg(plan.refused.size())
        .arg(plan.refused.size() == 1 ? Latin1("row") : Latin1("rows"), encoding);
}

QStringList PlanDetails(const StationImportPlan& plan) {
    std::vector<std::pair<int, QString>> lines;
    for (const ImportRow& row : plan.add) {
        const QString comment = row.record.COMMENT.isEmpty()
                                    ? QString()
                                    : QStringLiteral(" (%1)").arg(row.record.COMMENT);
        lines.emplace_back(
            row.line,
            QStringLiteral("Line %1: adds %2%3").arg(row.line).arg(row.record.IPADDRESS, comment));
    }
    for (const SkippedRow& row : plan.duplicates) {
        lines.emplace_back(
            row.line,
            QStringLiteral("Line %1: skips %2, %3").arg(row.line).arg(row.address, row.reason));
    }
    for (const RefusedRow& row : plan.refused) {
        lines.emplace_back(row.line,
                           QStringLiteral("Line %1: refused: %2").arg(row.line).arg(row.reason));
    }
    std::stable_sort(lines.begin(), lines.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    QStringList details;
    for (auto& line : lines) {
        details << std::move(line.second);
    }
    return details;
}

}  // namespace volnar
