// SPDX-License-Identifier: GPL-3.0-or-later
// File > Back Up Station…, Compare Station with File…, Restore Station from
// File… through the real windows against volnar-station: the plan shown for
// the operator to confirm, each item marked with its result, a summary; the
// main window's polling goes on meanwhile.
#include <QFile>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>

#include "app/main_window.h"
#include "app/station_configuration.h"
#include "e2e/app_fixture.h"
#include "station_config/config_compare.h"
#include "station_config/station_config.h"
#include "station_config_view/configuration_dialog.h"

namespace volnar::testing {
namespace {

// The texts of the buttons a dialog shows, sorted.
QStringList ShownButtons(const QDialog* dialog) {
    QStringList texts;
    for (const QPushButton* button : dialog->findChildren<QPushButton*>()) {
        if (button->isVisible()) {
            texts << button->text();
        }
    }
    texts.sort();
    return texts;
}

class ConfigWindowE2E : public AppE2E {
protected:
    ConfigurationDialog* RunAndWait(ConfigurationCommand command, const QString& path,
                                    const QString& summaryStart) {
        app->Configuration().Run(command, path);
        ConfigurationDialog* dialog = app->Configuration().LastDialog();
        EXPECT_TRUE(WaitFor([&] { return dialog->Summary().startsWith(summaryStart); }, 20000))
            << dialog->Summary().toStdString();
        return dialog;
    }
};

TEST_F(ConfigWindowE2E, RestorePlanConfirmedAppliedItemByItem) {
    ASSERT_NO_FATAL_FAILURE(Begin({"--scripts", "2"}));
    const QString backup = folder.filePath("station.conf");
    const ConfigurationDialog* backedUp =
        RunAndWait(ConfigurationCommand::BackUp, backup, "Backed up to");
    // No blank button beside Close; the reads' bar full.
    EXPECT_EQ(ShownButtons(backedUp), QStringList({"&Close"}));
    const auto* bar = backedUp->findChild<QProgressBar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
    QFile file(backup);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    Result<config::StationConfig> read = config::ParseConfigFile(file.readAll());
    ASSERT_TRUE(read) << read.error().toStdString();
    config::StationConfig wanted = *read;
    wanted.name =
        "Pumpwerk S\xFC"
        "d";
    wanted.relays[0].notes = "Zeile 1\r\nZeile 2";
    wanted.channels[2].highValue = "2.1";
    wanted.scripts[1].fields[1] = "Nachtbetrieb";
    wanted.scripts.push_back({9,
                              {"relay",
                               "Sp\xFC"
                               "len",
                               "", "00"}});
    const QString path = folder.filePath("wanted.conf");
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(config::WriteConfigFile(wanted));
    out.close();

    const ConfigurationDialog* compared =
        RunAndWait(ConfigurationCommand::Compare, path, "5 difference(s)");
    EXPECT_TRUE(compared->Lines().contains("channel 3 trigger high: 2.1 -> 0.0000"))
        << compared->Lines().join('|').toStdString();

    ConfigurationDialog* dialog =
        RunAndWait(ConfigurationCommand::Restore, path, "Nothing has been sent");
    EXPECT_EQ(dialog->Lines(),
              QStringList({"station name: VOLN-SIM -> Pumpwerk Süd",
                           "relay 1 notes: \"\" -> Zeile 1\\r\\nZeile 2", "update script 2: name",
                           "add script \"Spülen\" (script 9 of the file)",
                           "channel 3 settings: trigger high"}));
    if (const QByteArray dir = qgetenv("VOLNAR_SCREENSHOT_DIR"); !dir.isEmpty()) {
        dialog->resize(640, 300);
        QCoreApplication::processEvents();
        dialog->grab().save(QString::fromLocal8Bit(dir) + "/restore-plan.png");
    }
    EXPECT_EQ(ShownButtons(dialog), QStringList({"&Close", "&Restore to 127.0.0.1"}));
    const int setsBefore = static_cast<int>(RequestsOn(board::kSysName, "SET").size());
    EXPECT_EQ(setsBefore, 0) << "nothing is sent before the operator confirms";
    QPushButton* confirm = nullptr;
    for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
        if (button->text() == "&Restore to 127.0.0.1") {
            confirm = button;
        }
    }
    ASSERT_NE(confirm, nullptr);
    const int received = app->Link().ReceivedCount();
    QSignalSpy counted(dialog->findChild<QProgressBar*>(), &QProgressBar::valueChanged);
    confirm->click();
    ASSERT_TRUE(WaitFor([&] { return dialog->Summary() == "5 applied, 0 failed."; }, 30000))
        << dialog->Summary().toStdString() << dialog->Lines().join('|').toStdString();
    for (const QString& line : dialog->Lines()) {
        EXPECT_TRUE(line.startsWith(QString::fromUtf8("\u2713 "))) << line.toStdString();
    }
    // Every change counted as it ended.
    QList<int> steps;
    for (const QList<QVariant>& step : counted) {
        steps << step.at(0).toInt();
    }
    EXPECT_EQ(steps, QList<int>({1, 2, 3, 4, 5}));
    // The main window's polling was never stopped: its next answer comes.
    EXPECT_TRUE(WaitFor([&] { return app->Link().ReceivedCount() > received; }, 10000));
    RunAndWait(ConfigurationCommand::Compare, path, "The station holds the file's configuration.");
}

}  // namespace
}  // namespace volnar::testing
