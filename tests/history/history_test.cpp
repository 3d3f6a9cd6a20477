// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "core/relay_confirmation.h"
#include "core/status_panel.h"
#include "history/csv_recorder.h"
#include "history/link_health.h"
#include "history/sample_history.h"
#include "support/param_name.h"
#include "support/status_fields.h"

namespace volnar {
namespace {

// A status record: inputs 1-7 voltmeters reading n.5, input 8 an ammeter
// (100 A / 50 mV shunt) reading 0.02 V, relays as given.
std::string StatusRecord(const std::string& relays = "0101", const std::string& name8 = "Load") {
    testing::StatusFields record;
    for (int n = 1; n <= 7; ++n) {
        record.AdcName(n) = "In " + std::to_string(n);
        record.Reading(n) = std::to_string(n) + ".5";
        record.Precision(n) = "1";
    }
    record.AdcName(8) = name8;
    record.Reading(8) = "0.02";
    record.Unit(8) = "a";
    for (int r = 1; r <= 4; ++r) {
        record.RelayState(r) = relays.substr(static_cast<std::size_t>(r - 1), 1);
    }
    return record.Join();
}

// Appends in order: a sample (gap None) or a gap, at steady and wall times.
struct Appended {
    std::int64_t steadyMs, wallMs;
    Gap gap = Gap::None;
};
// What the ring holds afterwards, oldest first.
struct Held {
    std::int64_t steadyMs;
    Gap gap = Gap::None;
    bool clockStep = false;
};

TEST(SampleHistory, RingKeepsStationOrderByTheSteadyClockSharesGapsAndMarksClockSettings) {
    const struct {
        const char* name;
        std::vector<Appended> appended;
        std::vector<Held> held;
    } cases[] = {
        {"the latest three",
         {{1, 1}, {2, 2}, {3, 3}, {4, 4}},
         {{.steadyMs = 2}, {.steadyMs = 3}, {.steadyMs = 4}}},
        {"gaps in a row are one, which says not polled when one does",
         {{1, 1}, {2, 2, Gap::Lost}, {3, 3, Gap::NotPolled}, {4, 4, Gap::Lost}, {5, 5}},
         {{.steadyMs = 1}, {.steadyMs = 2, .gap = Gap::NotPolled}, {.steadyMs = 5}}},
        {"wall clock set back an hour, then forward 2 s; slewed 0.9 s: not a setting",
         {{1000, 9'000'000}, {2000, 5'401'000}, {5000, 5'406'000}, {6000, 5'407'900}},
         {{.steadyMs = 2000, .clockStep = true},
          {.steadyMs = 5000, .clockStep = true},
          {.steadyMs = 6000}}},
        {"a steady time before the latest is taken as the latest",
         {{5000, 5000}, {3000, 3000}, {6000, 6000}},
         {{.steadyMs = 5000},
          {.steadyMs = 5000, .clockStep = true},
          {.steadyMs = 6000, .clockStep = true}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SampleHistory history(3);
        for (const Appended& a : c.appended) {
            if (a.gap == Gap::None) {
                history.Append({.steadyMs = a.steadyMs, .wallMs = a.wallMs});
            } else {
                history.AppendGap({a.steadyMs, a.wallMs}, a.gap);
            }
        }
        ASSERT_EQ(history.Size(), c.held.size());
        for (std::size_t n = 0; n < c.held.size(); ++n) {
            EXPECT_EQ(history.At(n).steadyMs, c.held[n].steadyMs) << n;
            EXPECT_EQ(history.At(n).gap, c.held[n].gap) << n;
            EXPECT_EQ(history.At(n).clockStep, c.held[n].clockStep) << n;
            EXPECT_EQ(std::isnan(history.At(n).readings[0]), history.At(n).IsGap()) << n;
        }
    }
}

// Four stations polled in turn with room for three: the one polled least
// recently goes; the others keep their samples.
TEST(SampleHistory, StationsKeepTheirHistoriesUpToTheBound) {
    StationHistories histories(3, 10);
    for (const char* station : {"a", "b", "c", "a", "d"}) {
        histories.Of(QString::fromLatin1(station)).Append({});
    }
    EXPECT_EQ(histories.Count(), 3U);
    EXPECT_EQ(histories.Recall(QStringLiteral("b")), nullptr);
    ASSERT_NE(histories.Recall(QStringLiteral("a")), nullptr);
    EXPECT_EQ(histories.Recall(QStringLiteral("a"))->Size(), 2U);
    EXPECT_EQ(histories.Of(QStringLiteral("c")).station, QStringLiteral("c"));
    EXPECT_EQ(histories.MostBytes(), 3 * 10 * sizeof(HistorySample));
}

TEST(SampleHistory, SampleTakesTheNumbersTheOperatorSees) {
    StatusPanel panel;
    panel.ShowStatusRecord(StatusRecord("0171"));
    const HistorySample s = SampleOf(panel.Record(), {42, 43});
    EXPECT_FLOAT_EQ(s.readings[0], 1.5F);
    EXPECT_FLOAT_EQ(s.readings[7], 40.0F);  // 0.02 V over a 100 A / 50 mV shunt
    EXPECT_FLOAT_EQ(s.celsius, 21.5F);
    EXPECT_FALSE(s.RelayOn(1));
    EXPECT_TRUE(s.RelayOn(2));
    EXPECT_FALSE(s.RelayKnown(3));
    EXPECT_TRUE(s.RelayKnown(4));
    EXPECT_FALSE(s.IsGap());
    EXPECT_EQ(s.wallMs, 43);
}

TEST(Csv, FieldsAreQuotedOnlyWhenTheyMustBeAndNeverReadAsFormulas) {
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {.text = "plain", .expected = "plain"},
        {.text = "a,b", .expected = "\"a,b\""},
        {.text = "say \"hi\"", .expected = "\"say \"\"hi\"\"\""},
        {.text = "two\r\nlines", .expected = "\"two\r\nlines\""},
        {.text = " spaced ", .expected = " spaced "},
        {.text = "", .expected = ""},
        {.text = "=HYPERLINK(\"http://x\")", .expected = "\"'=HYPERLINK(\"\"http://x\"\")\""},
        {.text = "+cmd|' /C calc'!A0", .expected = "'+cmd|' /C calc'!A0"},
        {.text = "@SUM(A1)", .expected = "'@SUM(A1)"},
        {.text = "-", .expected = "'-"},
        {.text = "\tTab", .expected = "'\tTab"},
        {.text = "\rCR", .expected = "\"'\rCR\""},
        {.text = "-1.5", .expected = "-1.5"},
        {.text = "+2e-3", .expected = "+2e-3"},
        {.text = "-1.5+A1", .expected = "'-1.5+A1"},
        {.text = "a=b", .expected = "a=b"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CsvField(QString::fromUtf8(c.text)), QString::fromUtf8(c.expected)) << c.text;
    }
    EXPECT_EQ(CsvLine({QStringLiteral("a"), QStringLiteral("b,c")}), QByteArray("a,\"b,c\"\r\n"));
}

TEST(Csv, HeaderAndRowCarryNamesUnitsAndUtcTime) {
    StatusPanel panel;
    panel.ShowStatusRecord(StatusRecord("0101", "Load, \"main\""));
    const QStringList header = CsvHeader(panel.Record());
    ASSERT_EQ(header.size(), 3 + 8 + 2 + 4);
    EXPECT_EQ(header[3], QStringLiteral("In 1 (V)"));
    EXPECT_EQ(CsvLine({header[10]}), QByteArray("\"Load, \"\"main\"\" (A)\"\r\n"));
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(1'700'000'000'123, Qt::UTC);
    const QStringList row =
        CsvRow(panel.Record(), time.toTimeZone(QTimeZone(3600)), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(row[0], QStringLiteral("2023-11-14T22:13:20.123Z"));
    EXPECT_EQ(row[2], QStringLiteral("North gate"));
    EXPECT_EQ(row[10], QStringLiteral("40.00"));
    EXPECT_EQ(row.last(), QStringLiteral("ON"));
}

// One unit rule: the header, the plot's and the exporter's sample say the
// unit the panel converted the reading with ("v" alone is a voltmeter).
TEST(Csv, HeaderAndSampleSayTheUnitThePanelConvertsWith) {
    for (const char* unit : {"v", "V", "v ", " v", "a", ""}) {
        testing::StatusFields fields;
        fields.Unit(1) = unit;
        fields.Reading(1) = "0.02";
        StatusPanel panel;
        panel.ShowStatusRecord(fields.Join());
        // 0.02 V over a 100 A / 50 mV shunt is 40 A.
        const bool amperes = panel.AdcValue(1) == QStringLiteral(" 40.00");
        EXPECT_TRUE(amperes || panel.AdcValue(1) == QStringLiteral(" 0.02")) << unit;
        EXPECT_EQ(CsvHeader(panel.Record())[3],
                  amperes ? QStringLiteral("Input 1 (A)") : QStringLiteral("Input 1 (V)"))
            << unit;
        EXPECT_FLOAT_EQ(SampleOf(panel.Record(), {}).readings[0], amperes ? 40.0F : 0.02F) << unit;
        EXPECT_EQ(amperes, std::string_view(unit) != "v") << unit;
    }
}

std::string Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : "(none)";
}

TEST(Csv, RecorderRefusesWhatItCannotAppendToAndNeverWaitsToOpen) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const struct {
        QString path;
        QString reason;
    } cases[] = {
        {.path = "/nonexistent-dir/rec.csv", .reason = qt_error_string(ENOENT)},
        {.path = "/dev/full", .reason = "not a regular file"},
        {.path = fifo, .reason = "not a regular file"},  // nobody reads it: open() would wait
        {.path = dir.path(), .reason = "not a regular file"},
    };
    for (const auto& c : cases) {
        CsvRecorder recorder;
        const Result<void> started = recorder.Start(c.path);
        ASSERT_FALSE(started.has_value()) << c.path.toStdString();
        EXPECT_TRUE(started.error().contains(c.path) && started.error().contains(c.reason))
            << started.error().toStdString();
        EXPECT_FALSE(recorder.IsRecording());
        EXPECT_TRUE(recorder.Write({"h"}, {"1"}).has_value()) << "not recording: nothing tried";
    }
}

// What happens to the path before a row is written.
enum class Before { Nothing, Rename, Delete, Empty };

struct FilesCase {
    const char* name;
    std::vector<std::pair<const char*, const char*>> files;  // in the folder at the start
    std::vector<std::pair<const char*, Before>> writes;      // header, then the row "r<n>"
    std::vector<std::pair<const char*, const char*>> after;  // every file in the folder
    const char* path;                                        // where the rows go at the end
    const char* note;                                        // of the last write
};

const FilesCase kFilesCases[] = {
    {.name = "the same header: appended",
     .files = {{"rec.csv", "h\r\nold\r\n"}},
     .writes = {{"h", Before::Nothing}},
     .after = {{"rec.csv", "h\r\nold\r\nr0\r\n"}},
     .path = "rec.csv",
     .note = ""},
    {.name = "another header: a file beside",
     .files = {{"rec.csv", "x\r\nold\r\n"}},
     .writes = {{"h", Before::Nothing}},
     .after = {{"rec.csv", "x\r\nold\r\n"}, {"rec-2.csv", "h\r\nr0\r\n"}},
     .path = "rec-2.csv",
     .note = "rec.csv has other columns"},
    {.name = "a cut last row: a file beside",
     .files = {{"rec.csv", "h\r\nol"}},
     .writes = {{"h", Before::Nothing}},
     .after = {{"rec.csv", "h\r\nol"}, {"rec-2.csv", "h\r\nr0\r\n"}},
     .path = "rec-2.csv",
     .note = "rec.csv has other columns"},
    {.name = "the file beside with this header goes on",
     .files = {{"rec.csv", "x\r\n"}, {"rec-2.csv", "h\r\nold\r\n"}, {"rec-3.csv", ""}},
     .writes = {{"h", Before::Nothing}},
     .after = {{"rec.csv", "x\r\n"}, {"rec-2.csv", "h\r\nold\r\nr0\r\n"}, {"rec-3.csv", ""}},
     .path = "rec-2.csv",
     .note = "rec.csv has other columns"},
    {.name = "the columns change and change back",
     .files = {},
     .writes = {{"h", Before::Nothing}, {"h2", Before::Nothing}, {"h", Before::Nothing}},
     .after = {{"rec.csv", "h\r\nr0\r\nr2\r\n"}, {"rec-2.csv", "h2\r\nr1\r\n"}},
     .path = "rec.csv",
     .note = "the columns changed"},
    {.name = "moved away: the path again",
     .files = {},
     .writes = {{"h", Before::Nothing}, {"h", Before::Rename}},
     .after = {{"moved.csv", "h\r\nr0\r\n"}, {"rec.csv", "h\r\nr1\r\n"}},
     .path = "rec.csv",
     .note = "reopened: the file was moved or deleted"},
    {.name = "deleted: the path again",
     .files = {},
     .writes = {{"h", Before::Nothing}, {"h", Before::Delete}},
     .after = {{"rec.csv", "h\r\nr1\r\n"}},
     .path = "rec.csv",
     .note = "reopened: the file was moved or deleted"},
    {.name = "emptied in place: the header again",
     .files = {},
     .writes = {{"h", Before::Nothing}, {"h", Before::Empty}},
     .after = {{"rec.csv", "h\r\nr1\r\n"}},
     .path = "rec.csv",
     .note = ""},
};

TEST(Csv, RecorderWritesEveryRowUnderItsOwnHeaderAndFollowsItsPath) {
    for (const FilesCase& c : kFilesCases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        for (const auto& [name, bytes] : c.files) {
            QFile file(dir.filePath(name));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        const QString path = dir.filePath("rec.csv");
        CsvRecorder recorder;
        ASSERT_TRUE(recorder.Start(path).has_value());
        Result<QString> written = QString();
        for (std::size_t n = 0; n < c.writes.size(); ++n) {
            const Before before = c.writes[n].second;
            if (before == Before::Rename) {
                ASSERT_TRUE(QFile::rename(path, dir.filePath("moved.csv")));
            } else if (before == Before::Delete) {
                ASSERT_TRUE(QFile::remove(path));
            } else if (before == Before::Empty) {
                ASSERT_TRUE(QFile::resize(path, 0));
            }
            written = recorder.Write({c.writes[n].first}, {QStringLiteral("r%1").arg(n)});
            ASSERT_TRUE(written.has_value()) << written.error().toStdString();
        }
        EXPECT_EQ(*written, c.note);
        EXPECT_EQ(recorder.Path(), dir.filePath(c.path));
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), std::ssize(c.after));
        for (const auto& [name, bytes] : c.after) {
            EXPECT_EQ(Contents(dir.filePath(name)), bytes) << name;
        }
    }
}

// A full disk (a tiny tmpfs) or a file-size limit: a write that falls short.
struct ShortWriteCase {
    const char* name;
    bool tmpfs;  // otherwise RLIMIT_FSIZE
    int error;
};
VOLNAR_PRINT_CASE_NAME(ShortWriteCase)

class RecorderShortWrite : public ::testing::TestWithParam<ShortWriteCase> {
protected:
    void TearDown() override {
        if (m_mounted) {
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
        }
        if (m_limited) {
            ::setrlimit(RLIMIT_FSIZE, &m_limit);
            std::signal(SIGXFSZ, m_handler);
        }
    }

    // 4 KiB left for the recording, or a skip saying why there cannot be.
    void LeaveFourKilobytes() {
        if (!GetParam().tmpfs) {
            // A write past the limit then fails with EFBIG instead of a signal.
            m_handler = std::signal(SIGXFSZ, SIG_IGN);
            ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &m_limit), 0);
            rlimit small = m_limit;
            small.rlim_cur = 4096;
            m_limited = ::setrlimit(RLIMIT_FSIZE, &small) == 0;
            ASSERT_TRUE(m_limited);
            return;
        }
        if (::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0, "size=16k") !=
            0) {
            GTEST_SKIP() << "no tmpfs can be mounted here: " << std::strerror(errno);
        }
        m_mounted = true;
        QFile filler(m_dir.filePath("filler"));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        ASSERT_EQ(filler.write(QByteArray(12 * 1024, 'f')), 12 * 1024);
    }

    void MakeRoom() {
        if (m_limited) {
            ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &m_limit), 0);
            m_limited = false;
        }
        if (m_mounted) {
            ASSERT_TRUE(QFile::remove(m_dir.filePath("filler")));
        }
    }

    QTemporaryDir m_dir;
    bool m_mounted = false;
    bool m_limited = false;
    rlimit m_limit{};
    void (*m_handler)(int) = SIG_DFL;
};

TEST_P(RecorderShortWrite, CutsTheFileBackToItsLastWholeRowAndGoesOnOnceThereIsRoom) {
    LeaveFourKilobytes();
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    const QString path = m_dir.filePath("rec.csv");
    const QStringList header{"time", "reading"};
    QByteArray whole = CsvLine(header);
    CsvRecorder recorder;
    ASSERT_TRUE(recorder.Start(path).has_value());
    Result<QString> written = QString();
    for (int n = 0; n < 100 && written.has_value(); ++n) {
        const QStringList row{QStringLiteral("row %1").arg(n), QString(90, u'7')};
        if (written = recorder.Write(header, row); written.has_value()) {
            whole += CsvLine(row);
        }
    }
    ASSERT_FALSE(written.has_value()) << "4 KiB take fewer than 100 rows of 100 bytes";
    EXPECT_TRUE(written.error().contains(path) &&
                written.error().contains(qt_error_string(GetParam().error)))
        << written.error().toStdString();
    EXPECT_FALSE(recorder.IsRecording());
    EXPECT_EQ(Contents(path), whole.toStdString());

    MakeRoom();
    ASSERT_TRUE(recorder.Start(path).has_value());
    ASSERT_TRUE(recorder.Write(header, {"again", "1"}).has_value());
    EXPECT_EQ(Contents(path), (whole + "again,1\r\n").toStdString());
}

INSTANTIATE_TEST_SUITE_P(Csv, RecorderShortWrite,
                         ::testing::Values(ShortWriteCase{"file size limit", false, EFBIG},
                                           ShortWriteCase{"full tmpfs", true, ENOSPC}),
                         testing::ByCaseName());

TEST(LinkHealth, StaleAfterThreeSilentPeriodsRestartsBackOffUpToFiveMinutes) {
    LinkHealth health(1000);
    health.Reset(0);
    health.OnAnswer(10'000, 35);
    const struct {
        std::int64_t now;
        bool stale;
        const char* state;
    } cases[] = {
        {.now = 10'500, .stale = false, .state = ""},
        {.now = 13'000, .stale = false, .state = ""},
        {.now = 13'001, .stale = true, .state = " No answer for 3 s"},
        {.now = 22'000, .stale = true, .state = " No answer for 12 s"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(health.IsStale(c.now), c.stale) << c.now;
        EXPECT_EQ(health.SilenceText(c.now), QString::fromLatin1(c.state));
    }
    EXPECT_EQ(health.HealthText(12'000), QStringLiteral("Last answer 2 s ago, round trip 35 ms"));
    health.OnTimeOut();
    health.OnTimeOut();
    EXPECT_EQ(health.LostInRow(), 2);
    health.OnAnswer(23'000, 40);
    EXPECT_EQ(health.LostInRow(), 0);
}

// The notes shown for each state: the end-to-end tests.
TEST(RelayConfirmation, PendingThenConfirmedOrMismatchUntilTheStationFollows) {
    using S = RelayConfirmation::Status;
    RelayConfirmation relays;
    relays.Expect(1, 1);  // followed at the second answer
    relays.Expect(2, 1);  // followed only at the fourth
    const struct {
        std::array<int, 4> states;
        S one, two;
    } steps[] = {
        {.states = {0, 0, 0, 0}, .one = S::Pending, .two = S::Pending},
        {.states = {1, 0, 0, 0}, .one = S::Confirmed, .two = S::Pending},
        {.states = {1, 0, 0, 0}, .one = S::Confirmed, .two = S::Mismatch},
        {.states = {1, 1, 0, 0}, .one = S::Confirmed, .two = S::Confirmed},
    };
    for (const auto& step : steps) {
        volnar::StatusRecord record;
        for (std::size_t r = 0; r < step.states.size(); ++r) {
            record.relays[r].state = step.states[r];
        }
        relays.OnStatus(record);
        EXPECT_EQ(relays.StatusOf(1), step.one);
        EXPECT_EQ(relays.StatusOf(2), step.two);
        EXPECT_EQ(relays.StatusOf(3), S::None);
    }
}

}  // namespace
}  // namespace volnar
