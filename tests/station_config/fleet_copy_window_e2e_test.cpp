// SPDX-License-Identifier: GPL-3.0-or-later
// The fleet overview's "Copy configuration from…" through the real windows
// against three simulated stations: two rows selected, station 1 chosen as
// the source, every plan shown before anything is sent, then applied
// station by station with a summary.
#include <QAction>
#include <QComboBox>
#include <QPointer>
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
    // The rows but station 1 selected, station 1 chosen as the source: the
    // copy dialog, reading.
    FleetCopyDialog* OpenCopy(int rowCount) {
        StationConfiguration& configuration = app->Configuration();
        app->Window().findChild<QAction*>("fleetAction")->trigger();
        auto* fleet = app->Window().findChild<FleetWindow*>();
        QAbstractItemModel* rows = fleet->View()->model();
        EXPECT_TRUE(WaitFor([&] { return rows->rowCount() == rowCount; }, 10000));
        auto* copy = fleet->findChild<QPushButton*>("fleetCopy");
        fleet->View()->clearSelection();
        EXPECT_FALSE(copy->isEnabled()) << "nothing selected";
        for (int row = 0; row < rows->rowCount(); ++row) {
            const QModelIndex index = rows->index(row, FleetTableModel::kAddress);
            if (index.data().toString() != "127.0.0.1") {
                fleet->View()->selectionModel()->select(
                    index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
            }
        }
        EXPECT_TRUE(copy->isEnabled());
        copy->click();
        EXPECT_TRUE(WaitFor([&] { return configuration.LastSourceDialog() != nullptr; }, 10000));
        CopySourceDialog* source = configuration.LastSourceDialog();
        const auto* offered = source->findChild<QComboBox*>();
        EXPECT_EQ(offered->count(), 1) << "a target is never its own source";
        EXPECT_EQ(offered->itemText(0), "127.0.0.1");
        source->ChooseStation("127.0.0.1");
        source->Accept();
        return configuration.LastCopyDialog();
    }

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
    FleetCopyDialog* dialog = OpenCopy(4);
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

// On a slow link the operator closes the dialog while the stations' answers
// are still arriving, and later cancels a copy on its way: nothing is sent
// after the close, and the cancelled copy ends after the change on its way.
TEST_F(FleetCopyWindowE2E, ClosedWhileReadingSendsNothingAndCancelledEndsTheChangeOnItsWay) {
    ASSERT_NO_FATAL_FAILURE(Begin({"--stations", "3", "--delay", "600:100"}));
    for (const char* address : {"127.0.0.2", "127.0.0.3"}) {
        ASSERT_TRUE(app->Directory().AddStation(
            {address, sim->community(), "simulator", {}, QString::number(sim->port()), "2", "1"}));
    }
    BoardOperation* named = commands::SetRelayName(app->Link(), app.get(), 2, "Pumpe");
    ASSERT_TRUE(WaitFor([&] { return named->Ending() == OperationEnding::Done; }, 10000));
    BoardOperation* noted = commands::SetRelayNotes(app->Link(), app.get(), 1, "Nord");
    ASSERT_TRUE(WaitFor([&] { return noted->Ending() == OperationEnding::Done; }, 10000));
    const qsizetype setsBefore = Sets();

    QPointer<FleetCopyDialog> reading = OpenCopy(3);
    ASSERT_NE(reading, nullptr);
    ASSERT_TRUE(WaitFor([&] { return reading->Summary() == "Reading the stations…"; }, 10000))
        << reading->Summary().toStdString();
    reading->reject();
    ASSERT_TRUE(WaitFor([&] { return reading.isNull(); }, 5000)) << "closed and gone";
    QTest::qWait(1500);  // the answers to the reads come in and meet nothing
    EXPECT_EQ(Sets(), setsBefore);

    QPointer<FleetCopyDialog> sending = OpenCopy(3);
    ASSERT_NE(sending, nullptr);
    ASSERT_TRUE(
        WaitFor([&] { return sending->Summary().startsWith("Nothing has been sent yet"); }, 30000))
        << sending->Summary().toStdString();
    sending->ConfirmButton()->click();
    // Cancelled once the first change has reached the station, before its
    // answer has come back.
    ASSERT_TRUE(WaitFor([&] { return Sets() == setsBefore + 1; }, 10000));
    sending->CancelButton()->click();
    ASSERT_TRUE(WaitFor([&] { return !sending->CancelButton()->isVisible(); }, 30000));
    EXPECT_TRUE(sending->Summary().contains("cancelled")) << sending->Summary().toStdString();
    EXPECT_EQ(Sets(), setsBefore + 1) << sending->Lines().join('|').toStdString();
    sending->reject();
    EXPECT_TRUE(WaitFor([&] { return sending.isNull(); }, 5000));
}

}  // namespace
}  // namespace volnar::testing
