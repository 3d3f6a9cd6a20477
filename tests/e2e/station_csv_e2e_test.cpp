// SPDX-License-Identifier: GPL-3.0-or-later
// Stations in and out as CSV, end to end: the volnar program's
// --export-stations and --import-stations, and File > Import Stations…
// through the real window, against a SQLite file and a PostgreSQL server.
#include <gtest/gtest.h>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

#include "app/application.h"
#include "directory/database_template.h"
#include "directory/postgres_server.h"
#include "directory_view/station_import_dialog.h"
#include "support/qt_print.h"
#include "support/recording_message_service.h"

// Qt texts in the failure messages.
inline std::ostream& operator<<(std::ostream& os, const QString& text) {
    return os << text.toStdString();
}

namespace volnar {
namespace {

using Cell = std::optional<QString>;
using Row = std::array<Cell, 7>;
enum class Backend { SQLite, PostgreSQL };

QString S(const char* text) {
    return QString::fromUtf8(text);
}

constexpr char kHeader[] = "IPADDRESS,PASSWORD,COMMENT,DEFAULT,PORT,TIMEOUT,RETRIES\n";
const Row kTemplate = {S("10.10.10.10"), S("none"), S("Default IP"), S("YES"),
                       S("161"),         Cell(),    S("0")};

struct Ran {
    int status = -1;
    QString out;
    QString err;
};

class StationCsvE2E : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        if (GetParam() == Backend::PostgreSQL) {
            auto& server = testing::PostgresServer::Instance();
            if (!server.Available()) {
                GTEST_SKIP() << "PostgreSQL unavailable: " << server.SkipReason().toStdString();
            }
            m_location = server.ConnectionString();
            const QString failed = server.CreateStationTable();
            ASSERT_TRUE(failed.isEmpty()) << failed.toStdString();
        } else {
            m_location = m_folder.filePath(S("voln.db"));
            ASSERT_EQ(CreateDatabaseTemplate(m_location), TemplateResult::Created);
        }
        m_admin = AddOdbcConnection(S("admin"));
        m_admin.setDatabaseName(ConnectionStringFor(m_location));
        ASSERT_TRUE(OpenOdbcDatabase(m_admin)) << m_admin.lastError().text().toStdString();
        ASSERT_NO_FATAL_FAILURE(Reset());
    }

    void TearDown() override {
        m_app.reset();
        if (m_admin.isValid()) {
            RemoveOdbcConnection(m_admin);
        }
    }

    void Exec(const QString& sql) {
        QSqlQuery query(m_admin);
        ASSERT_TRUE(query.exec(sql)) << sql << ": " << query.lastError().text();
    }

    void Insert(const Row& row) {
        QSqlQuery query(m_admin);
        query.prepare(
            S("INSERT INTO main (IPADDRESS, PASSWORD, COMMENT, \"DEFAULT\", PORT, TIMEOUT, "
              "RETRIES) VALUES (?, ?, ?, ?, ?, ?, ?)"));
        for (const Cell& cell : row) {
            query.addBindValue(cell ? QVariant(*cell) : QVariant(QMetaType::fromType<QString>()));
        }
        ASSERT_TRUE(query.exec()) << query.lastError().text();
    }

    // The template's row alone, as a new directory holds it.
    void Reset() {
        ASSERT_NO_FATAL_FAILURE(Exec(S("DELETE FROM main")));
        ASSERT_NO_FATAL_FAILURE(Insert(kTemplate));
    }

    // Every row as stored, in table order; empty text and null alike.
    std::vector<StationRecord> Rows() {
        std::vector<StationRecord> rows;
        QSqlQuery query(m_admin);
        EXPECT_TRUE(
            query.exec(S("SELECT IPADDRESS, PASSWORD, COMMENT, \"DEFAULT\", PORT, "
                         "TIMEOUT, RETRIES FROM main")));
        while (query.next()) {
            rows.push_back({query.value(0).toString(), query.value(1).toString(),
                            query.value(2).toString(), query.value(3).toString(),
                            query.value(4).toString(), query.value(5).toString(),
                            query.value(6).toString()});
        }
        return rows;
    }

    Ran Volnar(const QStringList& arguments) {
        QProcess volnar;
        volnar.start(S(VOLNAR_CLIENT_BINARY), QStringList{S("--database"), m_location} + arguments);
        Ran run;
        if (volnar.waitForFinished(30000) && volnar.exitStatus() == QProcess::NormalExit) {
            run.status = volnar.exitCode();
        }
        run.out = QString::fromUtf8(volnar.readAllStandardOutput());
        run.err = QString::fromUtf8(volnar.readAllStandardError());
        return run;
    }

    QString Write(const char* name, const QByteArray& bytes) {
        const QString path = m_folder.filePath(S(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        return path;
    }

    static QByteArray Read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("unreadable");
    }

    // Makes the directory refuse a row whose comment is "refused" at the
    // write itself, as a full disk or a lost server would, after the checks.
    void RefuseAtTheWrite(bool on) {
        const bool pg = GetParam() == Backend::PostgreSQL;
        if (on) {
            Exec(pg ? S("ALTER TABLE main ADD CONSTRAINT no_refused CHECK (COMMENT <> 'refused')")
                    : S("CREATE TRIGGER no_refused BEFORE INSERT ON main WHEN NEW.COMMENT = "
                        "'refused' BEGIN SELECT RAISE(ABORT, 'refused'); END"));
        } else {
            Exec(pg ? S("ALTER TABLE main DROP CONSTRAINT no_refused")
                    : S("DROP TRIGGER no_refused"));
        }
    }

    QTemporaryDir m_folder;
    QString m_location;
    QSqlDatabase m_admin;  // the test's own connection to the same table
    testing::RecordingMessageService m_messages;
    std::unique_ptr<Application> m_app;
};

// An export is mdb-export's form, byte for byte (the template's row and
// non-ASCII comments included), and importing it into a new directory gives
// the same export again.
TEST_P(StationCsvE2E, ExportAndImportRoundTripByteForByte) {
    Insert(
        {S("127.0.0.1"), S("public"), S("Süd-Ost € “Halle”"), S("NO"), S("161"), S("5"), S("2")});
    Insert(
        {S("127.0.0.2"), S("p\"q,r"), S("Ärger, \"quoted\""), S("NO"), S("1161"), S(""), S("0")});
    Insert({S("127.0.0.3"), S("x"), Cell(), S("NO"), S("161"), S("100"), S("10")});
    const QByteArray expected =
        QByteArray(kHeader) +
        "\"10.10.10.10\",\"none\",\"Default IP\",\"YES\",\"161\",,\"0\"\n"
        "\"127.0.0.1\",\"public\",\"S\xc3\xbc"
        "d-Ost \xe2\x82\xac \xe2\x80\x9cHalle\xe2\x80\x9d\",\"NO\",\"161\",\"5\",\"2\"\n"
        "\"127.0.0.2\",\"p\"\"q,r\",\"\xc3\x84rger, \"\"quoted\"\"\",\"NO\",\"1161\",,\"0\"\n"
        "\"127.0.0.3\",\"x\",,\"NO\",\"161\",\"100\",\"10\"\n";
    const QString first = m_folder.filePath(S("first.csv"));
    const Ran exported = Volnar({S("--export-stations"), first});
    ASSERT_EQ(exported.status, 0) << exported.err;
    EXPECT_EQ(Read(first), expected);
    const std::vector<StationRecord> before = Rows();

    ASSERT_NO_FATAL_FAILURE(Reset());
    const Ran imported = Volnar({S("--import-stations"), first});
    ASSERT_EQ(imported.status, 0) << imported.out << imported.err;
    EXPECT_TRUE(imported.out.contains(S("Line 2: skips 10.10.10.10, already in the directory")))
        << imported.out;
    EXPECT_TRUE(imported.out.contains(S("Line 3: adds 127.0.0.1 (Süd-Ost € “Halle”)")))
        << imported.out;
    EXPECT_TRUE(imported.out.contains(S("3 stations added."))) << imported.out;
    EXPECT_EQ(Rows(), before);
    const QString second = m_folder.filePath(S("second.csv"));
    ASSERT_EQ(Volnar({S("--export-stations"), second}).status, 0);
    EXPECT_EQ(Read(second), expected);

    // Importing the same file again adds nothing and is no failure.
    const Ran again = Volnar({S("--import-stations"), first});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_TRUE(again.out.contains(S("Adds 0 stations; skips 4 already listed"))) << again.out;
    EXPECT_EQ(Rows(), before);
}

// A Windows-1252 file with CR LF line ends, as a spreadsheet on Windows
// saves it: duplicates and refused rows are named with their lines, and a
// file with any refused row adds nothing; corrected, it adds every row.
TEST_P(StationCsvE2E, RefusedRowsAreNamedByLineAndAddNothing) {
    const QByteArray good = QByteArray(kHeader).replace("\n", "\r\n") +
                            "\"10.10.10.10\",\"none\",\"Default IP\",\"YES\",\"161\",,\"0\"\r\n"
                            "\"127.0.0.5\",\"public\",\"S\xfc"
                            "d \x80\",\"YES\",\"161\",\"5\",\"2\"\r\n"
                            "\"127.0.0.5\",\"public\",\"again\",\"NO\",\"161\",\"5\",\"2\"\r\n";
    const QByteArray bad = good +
                           "\"127.0.0.300\",\"public\",,,\"161\",\"5\",\"2\"\r\n"
                           "\"127.0.0.6\",\"public\",,,\"0\",\"5\",\"2\"\r\n"
                           "\"127.0.0.7\",\"public\",\"" +
                           QByteArray(51, 'x') + "\",,\"161\",\"5\",\"2\"\r\n";
    const std::vector<StationRecord> before = Rows();
    const Ran refused = Volnar({S("--import-stations"), Write("bad.csv", bad)});
    EXPECT_EQ(refused.status, 1);
    for (const char* line :
         {"Read as Windows-1252", "Line 2: skips 10.10.10.10", "Line 3: adds 127.0.0.5 (Süd €)",
          "Line 4: skips 127.0.0.5, the same address as line 3",
          "Line 5: refused: \"127.0.0.300\" is not an IP address", "Line 6: refused: Port Number",
          "Line 7: refused: COMMENT is longer"}) {
        EXPECT_TRUE(refused.out.contains(S(line))) << line << "\n" << refused.out;
    }
    EXPECT_TRUE(refused.err.contains(S("nothing was added"))) << refused.err;
    EXPECT_EQ(Rows(), before);

    const Ran added = Volnar({S("--import-stations"), Write("good.csv", good)});
    ASSERT_EQ(added.status, 0) << added.out << added.err;
    const std::vector<StationRecord> after = Rows();
    ASSERT_EQ(after.size(), 2u);
    // A new station is never the default.
    EXPECT_EQ(after[1], (StationRecord{S("127.0.0.5"), S("public"), S("Süd €"), S("NO"), S("161"),
                                       S("5"), S("2")}));
}

// File > Import Stations… through the window: the dialog lists the plan; a
// write that fails part-way leaves the directory as it was and says so; the
// same import then goes through and the chooser lists the new stations.
TEST_P(StationCsvE2E, ImportThroughTheWindowIsAllOrNothing) {
    const QString file = Write("gui.csv", QByteArray(kHeader) +
                                              "\"127.0.0.8\",\"public\",\"first\",,\"161\",,\n"
                                              "\"127.0.0.9\",\"public\",\"refused\",,\"161\",,\n"
                                              "\"127.0.0.1000\",\"public\",,,\"161\",,\n");
    m_app = std::make_unique<Application>(StartupOptions{m_location, {}, 2026, {}}, &m_messages);
    QPointer<StationImportDialog> dialog;
    QObject::connect(m_app.get(), &Application::DialogOpened, m_app.get(), [&dialog](QDialog* d) {
        if (auto* import = qobject_cast<StationImportDialog*>(d)) {
            dialog = import;
        }
    });
    m_app->Show();
    ASSERT_NO_FATAL_FAILURE(RefuseAtTheWrite(true));
    m_app->Transfer().Import(file);
    ASSERT_TRUE(QTest::qWaitFor([&dialog] { return dialog != nullptr; }, 20000));
    QStringList listed;
    for (int i = 0; i < dialog->Rows()->count(); ++i) {
        listed << dialog->Rows()->item(i)->text();
    }
    EXPECT_EQ(listed.size(), 3);
    EXPECT_TRUE(listed.last().startsWith(S("Line 4: refused: \"127.0.0.1000\""))) << listed.last();
    const std::vector<StationRecord> before = Rows();

    QTest::mouseClick(dialog->ImportButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&dialog] { return !dialog->Outcome().isEmpty(); }, 20000));
    EXPECT_TRUE(dialog->Outcome().contains(S("Nothing was added."))) << dialog->Outcome();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->Outcome().startsWith(S("Execution of SQL statement failed")))
        << dialog->Outcome();
    EXPECT_EQ(Rows(), before);

    ASSERT_NO_FATAL_FAILURE(RefuseAtTheWrite(false));
    ASSERT_TRUE(dialog->ImportButton()->isEnabled());
    QTest::mouseClick(dialog->ImportButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&dialog] { return dialog == nullptr; }, 20000));
    EXPECT_EQ(Rows().size(), before.size() + 2);
    EXPECT_TRUE(m_messages.Texts().contains(S("2 stations added to the directory.")));
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_app->Window().Chooser()->count() == 3; }, 20000));
    EXPECT_EQ(m_app->Window().Chooser()->itemText(1), S("127.0.0.8        first"));
}

INSTANTIATE_TEST_SUITE_P(Backends, StationCsvE2E,
                         ::testing::Values(Backend::SQLite, Backend::PostgreSQL),
                         [](const auto& param) {
                             return param.param == Backend::SQLite ? "SQLite" : "PostgreSQL";
                         });

}  // namespace
}  // namespace volnar
