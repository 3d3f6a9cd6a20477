#include "directory/database_template.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "directory/station_directory.h"
#include "support/recording_message_service.h"

namespace volnar {
namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

TEST(DatabaseTemplate, NewFileHoldsTheTableAndTheProtectedStation) {
    QTemporaryDir folder;
    const QString path = folder.filePath(S("VOLN.db"));
    ASSERT_EQ(CreateDatabaseTemplate(path), TemplateResult::Created);

    testing::RecordingMessageService messages;
    StationDirectory directory(messages);
    ASSERT_TRUE(directory.ConnectDatabase(path));
    const auto list = directory.LoadStationList();
    ASSERT_TRUE(list);
    EXPECT_EQ(list->entries, QStringList{S("10.10.10.10      Default IP")});
    EXPECT_EQ(list->defaultIndex, 0);
    const LookupResult found = directory.LookupStation(S("10.10.10.10"));
    ASSERT_EQ(found.status, LookupStatus::Found);
    EXPECT_EQ(found.record.PORT, S("161"));
    EXPECT_EQ(found.record.RETRIES, S("0"));
    EXPECT_EQ(found.record.TIMEOUT, QString());
    EXPECT_EQ(found.record.PASSWORD.size(), 4);

    // Column defaults apply to a row written without them.
    ASSERT_TRUE(directory.AddStation({S("127.0.0.1"), S("public"), {}, {}, {}, {}, {}}));
    EXPECT_EQ(directory.LookupStation(S("127.0.0.1")).record.PORT, S(""));
    EXPECT_TRUE(messages.boxes.empty());
}

TEST(DatabaseTemplate, AnythingAlreadyAtThePathIsLeftByteForByteAndAMissingFolderFails) {
    QTemporaryDir folder;
    struct Case {
        const char* name;
        QByteArray content;
    } const cases[] = {
        {"empty.db", QByteArray()},
        {"text.db", QByteArray("not a database\n")},
        {"binary.db", QByteArray("\x00\x01\x00\x00Standard Jet DB\xff", 20)},
    };
    for (const Case& c : cases) {
        const QString path = folder.filePath(S(c.name));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.content);
        file.close();
        EXPECT_EQ(CreateDatabaseTemplate(path), TemplateResult::AlreadyExists) << c.name;
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), c.content) << c.name;
    }
    // A folder at the path is left alone too.
    ASSERT_TRUE(QDir(folder.path()).mkdir(S("folder.db")));
    EXPECT_EQ(CreateDatabaseTemplate(folder.filePath(S("folder.db"))),
              TemplateResult::AlreadyExists);
    // A missing folder fails without creating anything.
    const QString missing = folder.filePath(S("missing/VOLN.db"));
    EXPECT_EQ(CreateDatabaseTemplate(missing), TemplateResult::Failed);
    EXPECT_FALSE(QFile::exists(missing));
    EXPECT_EQ(CreateDatabaseTemplate(QString()), TemplateResult::Failed);
}

}  // namespace
}  // namespace volnar
