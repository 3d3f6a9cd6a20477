// SPDX-License-Identifier: GPL-3.0-or-later
// The fleet overview's "Copy configuration from…" through the real windows
// against three simulated stations: two rows selected, station 1 chosen as
// the source, every plan shown before anything is sent, then applied
// station by station with a summary.
#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QTableView>

#include "app/main_window.h"
#include "app/station_configuration.h"
#include "e2e/app_fixture.h"
#include "fleet_view/fleet_table_model.h"
#include "fleet_view/fleet_window.h"
#include "link/board_commands.h"
#include "station_config_view/fleet_copy_dialog.h"

namespace volnar::testing {
namespace {

class FleetCopyWindowE2E : public AppE2E {
protected:
    qsizetype Sets() const {
        qsizetype sets = 0;
        for (const QJsonObject& line : sim->Requests()) {
            sets += line["pdu"].toString() == "SET";
        }
        return sets;
    }
};

TEST_F(FleetCopyWindowE2E, SelectedStationsGetTheSourcesConfigurationOnceConfirmed) {
    ASSERT_NO_FATAL_FAILURE(Begin({"--stations", "3"}));
    // 127.0.0.9: nothing answers there.
    for (const char* address : {"127.0.0.2", "127.0.0.3", "127.0.0.9"}) {
        ASSERT_TRUE(app->Directory().AddStation(
            {address, sim->community(), "simulator", {}, QString::number(sim->port()), "1", "0"}));
    }
    // Station 1, the source, set up as a technician would.
    BoardOperation* named = commands::SetRelayName(app->Link(), app.get(), 2, "L\u00fcfter Ost");
    ASSERT_TRUE(WaitFor([&] { return named->Ending() == OperationEnding::Done; }, 10000));
    BoardOperation* noted =
        commands::SetChannelNotes(app->Link(), app.get(), 3, "Batterie\r\n48 V");
    ASSERT_TRUE(WaitFor([&] { return noted->Ending() == OperationEnding::Done; }, 10000));
    const qsizetype setsBefore = Sets();
    StationConfiguration& configuration = app->Configuration();
    app->Window().findChild<QAction*>("fleetAction")->trigger();
    auto* fleet = app->Window().findChild<FleetWindow*>();
    ASSERT_NE(fleet, nullptr);
    QAbstractItemModel* rows = fleet->View()->model();
    ASSERT_TRUE(WaitFor([&] { return rows->rowCount() == 4; }, 10000));
    auto* copy = fleet->findChild<QPushButton*>("fleetCopy");
    EXPECT_FALSE(copy->isEnabled()) << "nothing selected";
    for (int row = 0; row < rows->rowCount(); ++row) {
        const QModelIndex index = rows->index(row, FleetTableModel::kAddress);
        if (index.data().toString() != "127.0.0.1") {
            fleet->View()->selectionModel()->select(
                index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    ASSERT_TRUE(copy->isEnabled());
    copy->click();
    ASSERT_TRUE(WaitFor([&] { return configuration.LastSourceDialog() != nullptr; }, 10000));
    CopySourceDialog* source = configuration.LastSourceDialog();
    const auto* offered = source->findChild<QComboBox*>();
    ASSERT_EQ(offered->count(), 1) << "a target is never its own source";
    EXPECT_EQ(offered->itemText(0), "127.0.0.1");
    source->ChooseStation("127.0.0.1");
    source->Accept();

    FleetCopyDialog* dialog = configuration.LastCopyDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(
        WaitFor([&] { return dialog->Summary().startsWith("Nothing has been sent yet"); }, 30000))
        << dialog->Summary().toStdString();
    const QStringList plan = dialog->Lines();
    for (const char* line :
         {"127.0.0.2: 2 change(s)", "  relay 2 name: Fan -> Lüfter Ost",
          "  channel 3 notes: \"\" -> Batterie\\r\\n48 V", "127.0.0.3: 2 change(s)",
          "127.0.0.9: unreachable: the station does not answer"}) {
        EXPECT_TRUE(plan.contains(line)) << line << " in " << plan.join('|').toStdString();
    }
    EXPECT_EQ(Sets(), setsBefore) << "nothing is sent before the operator confirms";
    EXPECT_FALSE(dialog->CancelButton()->isVisible());
    if (const QByteArray dir = qgetenv("VOLNAR_SCREENSHOT_DIR"); !dir.isEmpty()) {
        dialog->resize(720, 360);
        QCoreApplication::processEvents();
        dialog->grab().save(QString::fromLocal8Bit(dir) + "/fleet-copy-plan.png");
    }
    ASSERT_EQ(dialog->ConfirmButton()->text(), "&Copy to 2 station(s)");
    dialog->ConfirmButton()->click();
    EXPECT_TRUE(dialog->CancelButton()->isVisible()) << "cancelled, not closed, while sending";
    dialog->reject();
    EXPECT_TRUE(dialog->isVisible());
    ASSERT_TRUE(WaitFor(
        [&] { return dialog->Summary() == "3 station(s): 2 copied, 1 unreachable."; }, 30000))
        << dialog->Summary().toStdString() << dialog->Lines().join('|').toStdString();
    const QStringList applied = {"  \u2713 relay 2 name: Fan -> Lüfter Ost [applied]",
                                 "  \u2713 channel 3 notes: \"\" -> Batterie\\r\\n48 V [applied]"};
    EXPECT_EQ(dialog->Lines(),
              QStringList({"127.0.0.2: 2 applied"}) + applied +
                  QStringList({"127.0.0.3: 2 applied"}) + applied +
                  QStringList({"127.0.0.9: unreachable: the station does not answer"}));
    EXPECT_EQ(Sets(), setsBefore + 4);
    EXPECT_FALSE(dialog->CancelButton()->isVisible());
}

}  // namespace
}  // namespace volnar::testing
