// The fleet window against 20 simulated stations: one never answers, one
// answers 1.5 s late, one is stopped during the test.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QTableView>

#include "fleet/fleet_poller.h"
#include "fleet_view/fleet_table_model.h"
#include "fleet_view/fleet_window.h"
#include "support/gui_helpers.h"
#include "support/station_simulator.h"

namespace volnar {
namespace {

using testing::StationSimulator;
using testing::WaitFor;

TEST(FleetWindowE2E, TwentyStationsShowTheirStates) {
    StationSimulator nineteen({QStringLiteral("--listen"), QStringLiteral("127.0.1.1:0"),
                               QStringLiteral("--stations"), QStringLiteral("19"),
                               QStringLiteral("--drop"), QStringLiteral("1@5"),
                               QStringLiteral("--delay"), QStringLiteral("1500@7")});
    ASSERT_TRUE(nineteen.Start()) << qPrintable(nineteen.errorText());
    const QString port = QString::number(nineteen.port());
    StationSimulator last({QStringLiteral("--listen"), QStringLiteral("127.0.1.20:") + port});
    ASSERT_TRUE(last.Start()) << qPrintable(last.errorText());

    std::vector<StationRecord> records;
    for (int k = 1; k <= 20; ++k) {
        // TIMEOUT 1 (0.64 s), no retry: a silent station shows within seconds;
        // the slow one is given 3.2 s.
        records.push_back({.IPADDRESS = QStringLiteral("127.0.1.%1").arg(k),
                           .PASSWORD = QStringLiteral("public"),
                           .COMMENT = QStringLiteral("site %1").arg(QChar(u'A' + k - 1)),
                           .DEFAULT = QStringLiteral("NO"),
                           .PORT = port,
                           .TIMEOUT = k == 7 ? QStringLiteral("5") : QStringLiteral("1"),
                           .RETRIES = QStringLiteral("0")});
    }

    FleetWindow window;
    window.show();
    window.findChild<QSpinBox*>(QStringLiteral("fleetPeriod"))->setValue(1);
    window.SetStations(records);
    FleetPoller& poller = window.Poller();
    // Only loopback stations here: that the template station is never polled
    // is the poller's unit test, with a transport that sends nothing.
    ASSERT_EQ(poller.RowCount(), 20);

    const auto state = [&poller](int k) { return poller.StateOf(k - 1); };
    ASSERT_TRUE(WaitFor([&] { return poller.Row(6).counters.received >= 2; }, 10000));
    for (int k = 1; k <= 20; ++k) {
        EXPECT_EQ(state(k), k == 5 ? FleetState::Silent : FleetState::Answering) << k;
    }
    EXPECT_GE(*poller.Row(6).rttMs, 1400);
    EXPECT_GT(poller.Row(4).counters.lost, 0u);

    ASSERT_TRUE(last.Stop());
    EXPECT_TRUE(WaitFor([&] { return state(20) == FleetState::Late; }, 5000));
    EXPECT_TRUE(WaitFor([&] { return state(20) == FleetState::Silent; }, 8000));
    EXPECT_EQ(state(1), FleetState::Answering);

    // What the table shows: silent rows marked, sorted by state, filtered.
    auto* proxy = qobject_cast<QSortFilterProxyModel*>(window.View()->model());
    ASSERT_NE(proxy, nullptr);
    window.View()->sortByColumn(FleetTableModel::kState, Qt::DescendingOrder);
    QStringList silent;
    for (int row = 0; row < proxy->rowCount(); ++row) {
        if (proxy->index(row, 0).data(FleetTableModel::kSilentRole).toInt() == 1) {
            silent << proxy->index(row, FleetTableModel::kAddress).data().toString();
        }
    }
    silent.sort();
    EXPECT_EQ(silent, QStringList({QStringLiteral("127.0.1.20"), QStringLiteral("127.0.1.5")}))
        << qPrintable(silent.join(u' '));
    EXPECT_TRUE(proxy->index(0, FleetTableModel::kState).data().toString().startsWith(u"silent"));
    EXPECT_TRUE(proxy->index(proxy->rowCount() - 1, FleetTableModel::kState)
                    .data()
                    .toString()
                    .startsWith(u"answering"));

    window.Filter()->setText(QStringLiteral("site t"));
    ASSERT_EQ(proxy->rowCount(), 1);
    EXPECT_EQ(proxy->index(0, FleetTableModel::kAddress).data().toString(),
              QStringLiteral("127.0.1.20"));
    QSignalSpy chosen(&window, &FleetWindow::StationChosen);
    Q_EMIT window.View()->doubleClicked(proxy->index(0, FleetTableModel::kState));
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen[0][0].toString(), QStringLiteral("127.0.1.20"));
}

}  // namespace
}  // namespace volnar
