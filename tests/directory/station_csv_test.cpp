// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/station_csv.h"

#include <gtest/gtest.h>
#include <QRandomGenerator>
#include <QSet>

#include "support/qt_print.h"

namespace volnar {
namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

QByteArray B(const char* text) {
    return QByteArray(text);
}

constexpr char kHeader[] = "IPADDRESS,PASSWORD,COMMENT,DEFAULT,PORT,TIMEOUT,RETRIES\n";

StationRecord Station(const char* address, const char* comment = "c", const char* def = "NO") {
    return {S(address), S("public"), S(comment), S(def), S("161"), S("5"), S("2")};
}

// What mdb-export writes: every text quoted, quotes doubled, empty and null
// fields as nothing, line breaks kept inside the quotes, LF after each row,
// UTF-8.
TEST(StationCsv, ExportWritesEveryRowInMdbExportsForm) {
    const struct {
        const char* name;
        std::vector<StationRecord> rows;
        QByteArray expected;
    } cases[] = {
        {"no rows: the header alone", {}, B(kHeader)},
        {"the template's row, a null time-out",
         {{S("10.10.10.10"), S("none"), S("Default IP"), S("YES"), S("161"), QString(), S("0")}},
         B(kHeader) + B("\"10.10.10.10\",\"none\",\"Default IP\",\"YES\",\"161\",,\"0\"\n")},
        {"quotes doubled, commas and line breaks inside the quotes",
         {{S("127.0.0.2"), S("a\"b"), S("x, \"y\"\r\nz"), QString(), S(""), S("5"), S("2")}},
         B(kHeader) + B("\"127.0.0.2\",\"a\"\"b\",\"x, \"\"y\"\"\r\nz\",,,\"5\",\"2\"\n")},
        {"non-ASCII as UTF-8, byte for byte",
         {Station("127.0.0.3", "Süd-Ost € “Halle”"), Station("127.0.0.4", "Ünterwerk\u00a0B")},
         B(kHeader) +
             B("\"127.0.0.3\",\"public\",\"S\xc3\xbc"
               "d-Ost \xe2\x82\xac \xe2\x80\x9cHalle\xe2\x80\x9d\",\"NO\",\"161\",\"5\",\"2\"\n"
               "\"127.0.0.4\",\"public\",\"\xc3\x9cnterwerk\xc2\xa0"
               "B\",\"NO\",\"161\",\"5\",\"2\"\n")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StationCsv(c.rows), c.expected) << c.name;
    }
}

TEST(StationCsv, UnreadableUtf8IsWindows1252) {
    const struct {
        QByteArray bytes;
        QString text;
        CsvEncoding encoding;
    } cases[] = {
        {B("plain"), S("plain"), CsvEncoding::Utf8},
        {B("S\xc3\xbc"
           "d \xe2\x82\xac"),
         S("Süd €"), CsvEncoding::Utf8},
        {B("\xef\xbb\xbfS\xc3\xbc"
           "d"),
         S("Süd"), CsvEncoding::Utf8},
        {B("S\xfc"
           "d \x80 \x93x\x94"),
         S("Süd € “x”"), CsvEncoding::Windows1252},
        {B("cut \xc3"), S("cut Ã"), CsvEncoding::Windows1252},
        {B("\xc3\xbc and \xfc"), S("Ã¼ and ü"), CsvEncoding::Windows1252},
    };
    for (const auto& c : cases) {
        const CsvText decoded = DecodeCsvText(c.bytes);
        EXPECT_EQ(decoded.text, c.text) << c.bytes.toHex().toStdString();
        EXPECT_EQ(decoded.encoding, c.encoding) << c.bytes.toHex().toStdString();
    }
}

TEST(StationCsv, RecordsKeepTheirFieldsAndStartingLines) {
    const QString nul = QString(QChar(0));
    const struct {
        const char* name;
        QString text;
        std::vector<std::pair<int, QStringList>> records;
        std::vector<int> problemLines = {};
    } cases[] = {
        {"LF", S("a,b\nc,d\n"), {{1, {S("a"), S("b")}}, {2, {S("c"), S("d")}}}},
        {"CR LF, no final line end",
         S("a,b\r\nc,\"d\""),
         {{1, {S("a"), S("b")}}, {2, {S("c"), S("d")}}}},
        {"empty lines are no records", S("\n\r\na\n\n"), {{3, {S("a")}}}},
        {"empty fields, quoted and not", S(",\"\",\n"), {{1, {QString(), QString(), QString()}}}},
        {"doubled quotes, a quoted line break counts its line",
         S("\"x\"\"y\",\"1\r\n2\n3\"\nnext\n"),
         {{1, {S("x\"y"), S("1\r\n2\n3")}}, {4, {S("next")}}}},
        {"a lone CR stays in the field", S("a\rb\n"), {{1, {S("a\rb")}}}},
        {"NUL kept",
         S("a") + nul + S("b,\"") + nul + S("\"\n"),
         {{1, {S("a") + nul + S("b"), nul}}}},
        {"text after a closing quote",
         S("\"a\"b,c\nok\n"),
         {{1, {S("ab"), S("c")}}, {2, {S("ok")}}},
         {1}},
        {"a quote inside an unquoted field", S("a\"b,c\n"), {{1, {S("a\"b"), S("c")}}}, {1}},
        {"a quote never closed runs to the end",
         S("ok\n\"a,b\nc\n"),
         {{1, {S("ok")}}, {2, {S("a,b\nc\n")}}},
         {2}},
    };
    for (const auto& c : cases) {
        const std::vector<CsvRecord> records = ParseCsv(c.text);
        ASSERT_EQ(records.size(), c.records.size()) << c.name;
        std::vector<int> problems;
        for (size_t i = 0; i < records.size(); ++i) {
            EXPECT_EQ(records[i].line, c.records[i].first) << c.name;
            EXPECT_EQ(records[i].fields, c.records[i].second) << c.name;
            if (!records[i].problem.isEmpty()) {
                problems.push_back(records[i].line);
            }
        }
        EXPECT_EQ(problems, c.problemLines) << c.name;
    }
}

struct Expected {
    std::vector<int> added;
    std::vector<std::pair<int, QString>> skipped;  // line, address
    std::vector<std::pair<int, QString>> refused;  // line, a word of the reason
    QString fileProblem = {};
};

void ExpectPlan(const char* name, const StationImportPlan& plan, const Expected& expected) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(expected.fileProblem.isEmpty() ? plan.fileProblem.isEmpty()
                                               : plan.fileProblem.contains(expected.fileProblem))
        << plan.fileProblem.toStdString();
    std::vector<int> added;
    for (const ImportRow& row : plan.add) {
        added.push_back(row.line);
        EXPECT_EQ(row.record.DEFAULT, S("NO"));
    }
    EXPECT_EQ(added, expected.added);
    ASSERT_EQ(plan.duplicates.size(), expected.skipped.size());
    for (size_t i = 0; i < plan.duplicates.size(); ++i) {
        EXPECT_EQ(plan.duplicates[i].line, expected.skipped[i].first);
        EXPECT_EQ(plan.duplicates[i].address, expected.skipped[i].second);
    }
    ASSERT_EQ(plan.refused.size(), expected.refused.size());
    for (size_t i = 0; i < plan.refused.size(); ++i) {
        EXPECT_EQ(plan.refused[i].line, expected.refused[i].first);
        EXPECT_TRUE(plan.refused[i].reason.contains(expected.refused[i].second))
            << plan.refused[i].reason.toStdString();
    }
}

QByteArray Row(const char* address,
               const char* rest = "\"public\",\"c\",\"NO\",\"161\",\"5\",\"2\"") {
    return B("\"") + B(address) + B("\",") + B(rest) + B("\n");
}

struct PlanCase {
    const char* name;
    QByteArray file;
    Expected expected;
};

void ExpectPlans(std::initializer_list<PlanCase> cases) {
    const QStringList existing = {S("10.10.10.10"), S("127.0.0.9")};
    for (const PlanCase& c : cases) {
        ExpectPlan(c.name, PlanStationImport(c.file, existing), c.expected);
    }
}

// Every row is checked as the Add IP dialog checks it, with the table's
// column sizes; duplicates of the directory or of an earlier row are skipped.
TEST(StationCsv, PlanChecksEveryRowAsTheAddDialogDoes) {
    static const char kNulRow[] = "\"127.0.0.3\",\"p\",\"a\0b\",,\"161\",,\n";
    const QByteArray longComment = B("\"public\",\"") + QByteArray(51, 'x') + B("\",,\"161\",,");
    const QByteArray fullUmlauts =
        B("\"public\",\"") + QString(50, QChar(0xFC)).toUtf8() + B("\",,\"161\",,");
    const QByteArray hugeField =
        B("\"public\",\"") + QByteArray(1 << 20, 'y') + B("\",\"NO\",\"161\",\"5\",\"2\"");
    ExpectPlans({
        {"an export of the older system, template included",
         B(kHeader) + B("\"10.10.10.10\",\"none\",\"Default IP\",\"YES\",\"161\",,\"0\"\n") +
             Row("127.0.0.1") + Row("127.0.0.2", "\"p\",,,\"161\",\"0\","),
         {.added = {3, 4}, .skipped = {{2, S("10.10.10.10")}}, .refused = {}}},
        {"duplicates of the directory and of an earlier line",
         B(kHeader) + Row("127.0.0.9") + Row("127.0.0.1") + Row("127.0.0.1"),
         {.added = {3}, .skipped = {{2, S("127.0.0.9")}, {4, S("127.0.0.1")}}, .refused = {}}},
        {"addresses not as the address field writes them",
         B(kHeader) + Row("127.0.0.256") + Row("127.0.0.01") + Row("127.0.1") + Row("") +
             Row(" 127.0.0.1") + Row("127.0.0.1.") + Row("a.b.c.d") + Row("0.0.0.0"),
         {.added = {9},
          .skipped = {},
          .refused = {{2, S("IP address")},
                      {3, S("IP address")},
                      {4, S("IP address")},
                      {5, S("IP address")},
                      {6, S("IP address")},
                      {7, S("IP address")},
                      {8, S("IP address")}}}},
        {"ports, time-outs and retries in the dialog's ranges",
         B(kHeader) + Row("127.0.0.1", "\"p\",,,\"0\",\"5\",\"2\"") +
             Row("127.0.0.2", "\"p\",,,\"65536\",\"5\",\"2\"") +
             Row("127.0.0.3", "\"p\",,,,\"5\",\"2\"") +
             Row("127.0.0.4", "\"p\",,,\"161\",\"101\",\"2\"") +
             Row("127.0.0.5", "\"p\",,,\"161\",\"5\",\"11\"") +
             Row("127.0.0.6", "\"p\",,,\"161\",\"-1\",\"2\"") +
             Row("127.0.0.7", "\"p\",,,\"65535\",\"100\",\"10\""),
         {.added = {8},
          .skipped = {},
          .refused = {{2, S("Port")},
                      {3, S("Port")},
                      {4, S("Port")},
                      {5, S("Timeout")},
                      {6, S("Retries")},
                      {7, S("Timeout")}}}},
        {"passwords and comments by the table's sizes, counted in characters",
         B(kHeader) + Row("127.0.0.1", "\"\",,,\"161\",,") +
             Row("127.0.0.2", "\"123456789012345678901234567890123456\",,,\"161\",,") +
             Row("127.0.0.3", longComment.constData()) + Row("127.0.0.4", fullUmlauts.constData()) +
             Row("127.0.0.5", hugeField.constData()),
         {.added = {5},
          .skipped = {},
          .refused = {{2, S("password is empty")},
                      {3, S("PASSWORD is longer than 35")},
                      {4, S("COMMENT is longer than 50")},
                      {6, S("COMMENT is longer")}}}},
        {"control characters and broken quoting",
         B(kHeader) + Row("127.0.0.1", "\"p\",\"a\r\nb\",,\"161\",,") +
             Row("127.0.0.2", "\"p\",\"a\tb\",,\"161\",,") +
             QByteArray(kNulRow, sizeof kNulRow - 1) + B("\"127.0.0.4\"x,\"p\",,,\"161\",,\n") +
             B("127.0.0.5,p\"q,,,161,,\n") + B("127.0.0.6,p,,,161,,\n"),
         {.added = {8},
          .skipped = {},
          .refused = {{2, S("control character")},
                      {4, S("control character")},
                      {5, S("control character")},
                      {6, S("closing quote")},
                      {7, S("quote inside")}}}},
        {"rows of another width",
         B(kHeader) + B("\"127.0.0.1\",\"p\"\n") + B("127.0.0.2,p,,,161,,,\n") + B("127.0.0.3") +
             QByteArray(100000, ',') + B("\n"),
         {.added = {},
          .skipped = {},
          .refused = {{2, S("2 fields")}, {3, S("8 fields")}, {4, S("too many")}}}},
    });
}

// The columns are found by their names; a file whose rows cannot be told
// apart, or that is too large to be a station list, adds nothing.
TEST(StationCsv, PlanReadsTheHeaderOrRefusesTheWholeFile) {
    ExpectPlans({
        {"columns found by name, in any order and case, CR LF line ends",
         B("retries,Port,COMMENT,ipaddress,PASSWORD,TIMEOUT,DEFAULT\r\n"
           "2,161,\"x\",127.0.0.1,p,5,YES\r\n"),
         {.added = {2}, .skipped = {}, .refused = {}}},
        {"a header without a column",
         B("IPADDRESS,PASSWORD,COMMENT,DEFAULT,PORT,TIMEOUT\n"),
         {.added = {}, .skipped = {}, .refused = {}, .fileProblem = S("Line 1 must name")}},
        {"a header with a column twice",
         B("IPADDRESS,PASSWORD,COMMENT,DEFAULT,PORT,TIMEOUT,PORT\n"),
         {.added = {}, .skipped = {}, .refused = {}, .fileProblem = S("named twice")}},
        {"no header at all",
         Row("127.0.0.1"),
         {.added = {}, .skipped = {}, .refused = {}, .fileProblem = S("not one of them")}},
        {"a quote never closed refuses the file",
         B(kHeader) + Row("127.0.0.1") + B("\"127.0.0.2,p,,,161,,\n") + B("127.0.0.3,p,,,161,,\n"),
         {.added = {}, .skipped = {}, .refused = {}, .fileProblem = S("Line 3: a quote")}},
        {"an empty file",
         B(""),
         {.added = {}, .skipped = {}, .refused = {}, .fileProblem = S("empty")}},
        {"the header alone", B(kHeader), {.added = {}, .skipped = {}, .refused = {}}},
        {"too many rows",
         B(kHeader) + QByteArray(100001, 'x').replace('x', "a\n"),
         {.added = {}, .skipped = {}, .refused = {}, .fileProblem = S("more than 100000 rows")}},
        {"too large",
         QByteArray(kStationCsvMaxBytes + 1, ' '),
         {.added = {}, .skipped = {}, .refused = {}, .fileProblem = S("larger than 16 MB")}},
    });
}

TEST(StationCsv, Windows1252FileReadsAsItsCharacters) {
    const QByteArray file = B(kHeader) + B("\"127.0.0.1\",\"p\",\"S\xfc"
                                           "d \x80\",,\"161\",,\r\n");
    const StationImportPlan plan = PlanStationImport(file, {});
    ASSERT_EQ(plan.add.size(), 1u);
    EXPECT_EQ(plan.encoding, CsvEncoding::Windows1252);
    EXPECT_EQ(plan.add[0].record.COMMENT, S("Süd €"));
    EXPECT_TRUE(PlanSummary(plan).contains(S("Windows-1252")));
}

// Whatever a file holds, every row is accounted for once by its line, and
// what the plan adds is accepted again, unchanged, when written out and read
// back: the planner never lets through what it would itself refuse.
TEST(StationCsv, HostileFilesAreAccountedForAndAddedRowsRoundTrip) {
    std::vector<StationRecord> rows = {
        Station("127.0.0.1", "Süd \"Nord\", € ü"),
        {S("127.0.0.2"), S("p,\"q\""), QString(), S("YES"), S("161"), QString(), QString()},
        Station("127.0.0.3", "\u00a0 padded  "),
    };
    const QByteArray exported = StationCsv(rows);
    const StationImportPlan clean = PlanStationImport(exported, {});
    ASSERT_EQ(clean.add.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        rows[i].DEFAULT = S("NO");
        EXPECT_EQ(clean.add[i].record, rows[i]);
    }
    QRandomGenerator random(27);
    const char alphabet[] = {'"', ',', '\n', '\r', '\0', 'a', '1', '.', '\xfc', '\xc3'};
    for (int round = 0; round < 3000; ++round) {
        QByteArray file = exported;
        const int edits = 1 + static_cast<int>(random.bounded(6));
        for (int e = 0; e < edits; ++e) {
            const auto at = static_cast<qsizetype>(random.bounded(static_cast<int>(file.size())));
            const char c = alphabet[random.bounded(static_cast<int>(sizeof alphabet))];
            if (random.bounded(2) == 0) {
                file[at] = c;
            } else {
                file.insert(at, c);
            }
        }
        const StationImportPlan plan = PlanStationImport(file, {S("127.0.0.3")});
        QSet<int> lines;
        const auto account = [&](int line) {
            EXPECT_GE(line, 2) << file.toStdString();
            EXPECT_FALSE(lines.contains(line)) << file.toStdString();
            lines.insert(line);
        };
        for (const auto& row : plan.add)
            account(row.line);
        for (const auto& row : plan.duplicates)
            account(row.line);
        for (const auto& row : plan.refused)
            account(row.line);
        const StationImportPlan again = PlanStationImport(StationCsv(plan.Records()), {});
        EXPECT_EQ(again.Records(), plan.Records()) << file.toStdString();
        EXPECT_TRUE(again.refused.empty() && again.duplicates.empty()) << file.toStdString();
    }
}

}  // namespace
}  // namespace volnar
