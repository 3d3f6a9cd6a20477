// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/database_location.h"

#include <gtest/gtest.h>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>

#include "app/database_options_dialog.h"

namespace volnar {
namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

QSettings Store() {
    return QSettings(QString::fromLatin1(kSettingsOrganization),
                     QString::fromLatin1(kSettingsApplication));
}

class DatabaseLocationTest : public ::testing::Test {
protected:
    void SetUp() override {
        Store().clear();
        QFile::remove(DefaultDatabaseLocation());
    }
};

// What the template holds and that the chooser preselects its protected
// station: ApplicationTest.FirstStartShowsTheTemplateStationIdleAndSendsNothing.
TEST_F(DatabaseLocationTest, FirstStartStoresTheDefaultAndWritesTheTemplateOnce) {
    ASSERT_FALSE(Store().contains(S(kLocationKey)));
    const StartupLocation startup = PrepareDatabaseLocation();
    EXPECT_EQ(startup.location, DefaultDatabaseLocation());
    EXPECT_TRUE(startup.location.endsWith(S("/VOLN.db")));
    EXPECT_TRUE(startup.templateWritten);
    EXPECT_EQ(Store().value(S(kLocationKey)).toString(), DefaultDatabaseLocation());
    EXPECT_TRUE(QFile::exists(startup.location));
    EXPECT_FALSE(PrepareDatabaseLocation().templateWritten) << "the second start writes nothing";
}

TEST_F(DatabaseLocationTest,
       StoredLocationsAreReadWholeOverridesNeverStoredConnectionStringsNeverTemplated) {
    QTemporaryDir folder;
    // Far longer than the 250 bytes the old reader kept.
    const QString deep = folder.filePath(QString(120, u'd') + S("/") + QString(120, u'e'));
    ASSERT_TRUE(QDir().mkpath(deep));
    const QString path = deep + S("/stations.db");
    QFile existing(path);
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("operator's own file");
    existing.close();

    StoreDatabaseLocation(path);
    const StartupLocation startup = PrepareDatabaseLocation();
    EXPECT_EQ(startup.location, path);
    EXPECT_FALSE(startup.templateWritten);
    ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
    EXPECT_EQ(existing.readAll(), QByteArray("operator's own file"));

    // An override is used (and templated) but not stored; a stored
    // connection string is not templated.
    const QString override = folder.filePath(S("demo.db"));
    const StartupLocation overridden = PrepareDatabaseLocation(override);
    EXPECT_EQ(overridden.location, override);
    EXPECT_TRUE(overridden.templateWritten);
    EXPECT_NE(Store().value(S(kLocationKey)).toString(), override);

    const QString shared = S("DRIVER={PostgreSQL Unicode};Server=127.0.0.1;Database=v;");
    StoreDatabaseLocation(shared);
    const StartupLocation fromStore = PrepareDatabaseLocation();
    EXPECT_EQ(fromStore.location, shared);
    EXPECT_FALSE(fromStore.templateWritten);
}

TEST_F(DatabaseLocationTest, OptionsDialogStoresOnOkOnlyAndNeverAnEmptyLocation) {
    StoreDatabaseLocation(S("/old/VOLN.db"));
    {
        DatabaseOptionsDialog dialog(ReadDatabaseLocation(), S("/in/use.db"));
        auto* edit = dialog.findChild<QLineEdit*>(S("locationEdit"));
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->text(), S("/old/VOLN.db"));
        EXPECT_EQ(dialog.findChild<QLineEdit*>(S("inUseEdit"))->text(), S("/in/use.db"));
        EXPECT_TRUE(
            dialog.findChild<QLabel*>(S("nextStartLabel"))->text().contains(S("next start")));
        // "...." then cancelling the file dialog changes nothing.
        dialog.SetFileChooser([](QWidget*, const QString&) { return QString(); });
        dialog.findChild<QPushButton*>(S("browseButton"))->click();
        EXPECT_EQ(edit->text(), S("/old/VOLN.db"));
        // A chosen file replaces the text but is not stored yet; the file
        // dialog belongs to this dialog, so the keyboard comes back here.
        QWidget* owner = nullptr;
        dialog.SetFileChooser([&owner](QWidget* o, const QString&) {
            owner = o;
            return S("/new/VOLN.db");
        });
        dialog.findChild<QPushButton*>(S("browseButton"))->click();
        EXPECT_EQ(owner, &dialog);
        EXPECT_EQ(edit->text(), S("/new/VOLN.db"));
        EXPECT_EQ(ReadDatabaseLocation(), S("/old/VOLN.db"));
        // An empty location cannot be stored.
        auto* ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        for (const char* blank : {"", "   "}) {
            edit->setText(S(blank));
            EXPECT_FALSE(ok->isEnabled()) << blank;
            ok->click();
            EXPECT_EQ(ReadDatabaseLocation(), S("/old/VOLN.db")) << blank;
        }
        dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
        EXPECT_EQ(ReadDatabaseLocation(), S("/old/VOLN.db"));
    }
    DatabaseOptionsDialog dialog(ReadDatabaseLocation(), {});
    const QString longPath = S("/") + QString(300, u'x') + S("/VOLN.db");
    dialog.findChild<QLineEdit*>(S("locationEdit"))->setText(longPath);
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    EXPECT_EQ(ReadDatabaseLocation(), longPath);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);

    // An empty location stored by other means reads as the default.
    Store().setValue(S(kLocationKey), QString());
    EXPECT_EQ(ReadDatabaseLocation(), DefaultDatabaseLocation());
}

}  // namespace
}  // namespace volnar
