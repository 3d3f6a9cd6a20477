// SPDX-License-Identifier: GPL-3.0-or-later
// The fleet window against 20 simulated stations: one never answers, one
// answers 1.5 s late, one is stopped during the test (and is told, when the
// operator asked for it).
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QTableView>
#include <QTest>

#include <functional>

#include "fleet/fleet_health.h"
#include "fleet/fleet_poller.h"
#include "fleet_view/fleet_table_model.h"
#include "fleet_view/fleet_window.h"
#include "support/gui_helpers.h"
#include "support/station_simulator.h"

namespace volnar {
namespace {

using testing::StationSimulator;
using testing::WaitFor;

int RowOf(const QAbstractItemModel& model, const QString& address) {
    for (int row = 0; row < model.rowCount(); ++row) {
        if (model.index(row, FleetTableModel::kAddress).data().toString() == address) {
            return row;
        }
    }
    return -1;
}

// The counts above the table, the accessible names, Tab.
void ExpectCountsNamesAndTab(FleetWindow& window) {
    // The counts above the table; a station that never answered is not
    // counted as silent.
    auto* summary = window.findChild<QLabel*>(QStringLiteral("fleetSummary"));
    EXPECT_TRUE(WaitFor([&] {
        return summary->text() == QStringLiteral("answering 18 · late 0 · silent 1 · never 1");
    })) << summary->text().toStdString();

    // Named for a screen reader; Tab goes from widget to widget, not from
    // cell to cell.
    const struct {
        const char* object;
        const char* name;
    } named[] = {{.object = "fleetFilter", .name = "Filter stations"},
                 {.object = "fleetPeriod", .name = "Poll period"},
                 {.object = "fleetTable", .name = "Stations"}};
    for (const auto& n : named) {
        auto* widget = window.findChild<QWidget*>(QString::fromLatin1(n.object));
        ASSERT_NE(widget, nullptr) << n.object;
        EXPECT_EQ(widget->accessibleName(), QString::fromLatin1(n.name)) << n.object;
    }
    window.View()->setFocus();
    QTest::keyClick(window.View(), Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), window.View());
}

// Last seen, the last hour's loss and the alarm of the stations read from the
// simulator (no trigger enabled there: "none" once all eight are read).
void ExpectHealthColumns(const QAbstractItemModel& proxy,
                         const std::function<int(const QString&)>& rowOf) {
    const auto cell = [&](const char* address, int column) {
        return proxy.index(rowOf(QString::fromLatin1(address)), column).data().toString();
    };
    EXPECT_TRUE(WaitFor([&] { return cell("127.0.1.1", FleetTableModel::kAlarm) == u"none"; }))
        << qPrintable(cell("127.0.1.1", FleetTableModel::kAlarm));
    EXPECT_TRUE(cell("127.0.1.1", FleetTableModel::kLoss).endsWith(u" %"));
    EXPECT_NE(cell("127.0.1.1", FleetTableModel::kLoss), QStringLiteral("100 %"));
    EXPECT_EQ(cell("127.0.1.5", FleetTableModel::kLoss), QStringLiteral("100 %"));
    EXPECT_EQ(cell("127.0.1.5", FleetTableModel::kLastSeen), QString());
    EXPECT_EQ(cell("127.0.1.1", FleetTableModel::kLastSeen).size(), 8);  // "hh:mm:ss"
    EXPECT_EQ(cell("127.0.1.5", FleetTableModel::kAlarm), QString());
}

// The row menu by the Menu key and Shift+F10: its actions emit for the
// current row; "Watch" takes the station out of the polling and back.
void ExpectRowMenu(FleetWindow& window, const QString& address) {
    QSignalSpy trend(&window, &FleetWindow::TrendRequested);
    QSignalSpy start(&window, &FleetWindow::StartRequested);
    QSignalSpy chosen(&window, &FleetWindow::StationChosen);
    QSignalSpy copy(&window, &FleetWindow::CopyRequested);
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* action;
    } steps[] = {{.key = Qt::Key_Menu, .modifiers = Qt::NoModifier, .action = "fleetTrend"},
                 {.key = Qt::Key_F10, .modifiers = Qt::ShiftModifier, .action = "fleetStart"},
                 {.key = Qt::Key_Menu, .modifiers = Qt::NoModifier, .action = "fleetChoose"},
                 {.key = Qt::Key_Menu, .modifiers = Qt::NoModifier, .action = "fleetWatch"},
                 {.key = Qt::Key_Menu, .modifiers = Qt::NoModifier, .action = "fleetWatch"},
                 {.key = Qt::Key_Menu, .modifiers = Qt::NoModifier, .action = "fleetCopyFrom"}};
    int index = 0;
    while (window.Poller().Row(index).address != address) {
        ++index;
    }
    QStringList names;
    for (QAction* action : window.RowActions()) {
        names << (action->isSeparator() ? QStringLiteral("|") : action->objectName());
    }
    EXPECT_EQ(names.join(u' '),
              QStringLiteral("fleetChoose fleetTrend fleetStart fleetWatch | fleetCopyFrom"));
    for (const auto& step : steps) {
        window.View()->setFocus();
        QTest::keyClick(window.View(), step.key, step.modifiers);
        ASSERT_TRUE(WaitFor([&] { return window.RowMenu()->isVisible(); }, 2000)) << step.action;
        auto* action = window.findChild<QAction*>(QString::fromLatin1(step.action));
        ASSERT_NE(action, nullptr);
        const bool watched = window.Poller().Row(index).watched;
        if (action->isCheckable()) {
            EXPECT_EQ(action->isChecked(), watched);
        }
        action->trigger();
        window.RowMenu()->close();
        if (action->isCheckable()) {
            EXPECT_EQ(window.Poller().Row(index).watched, !watched);
            EXPECT_EQ(FleetSettings::Unwatched().contains(address), watched);
            EXPECT_EQ(window.Poller().StateOf(index) == FleetState::Unwatched, watched);
        }
    }
    // A right click makes the row under the pointer the current one first.
    window.View()->setCurrentIndex({});
    QWidget* viewport = window.View()->viewport();
    const QPoint at = window.View()->visualRect(window.View()->model()->index(0, 1)).center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
    QApplication::sendEvent(viewport, &click);
    EXPECT_TRUE(window.RowMenu()->isVisible());
    EXPECT_EQ(window.CurrentAddress(), address);
    window.RowMenu()->close();
    for (const QSignalSpy* spy : {&trend, &start, &chosen, &copy}) {
        ASSERT_EQ(spy->size(), 1);
        EXPECT_EQ(spy->at(0).at(0).toStringList().join(u' '), address);
    }
}

// Opened for the first time: the note says what will be polled, and nothing
// is until it has been read. Silence is told once the box is ticked.
void StartAfterTheNote(FleetWindow& window, std::vector<QString>& notices) {
    auto* note = window.findChild<QWidget*>(QStringLiteral("fleetPollNote"));
    ASSERT_TRUE(note->isVisible());
    EXPECT_TRUE(window.findChild<QLabel*>(QStringLiteral("fleetPollNoteText"))
                    ->text()
                    .contains(QStringLiteral("each of the 20 watched stations every 1 s")));
    QTest::qWait(300);
    EXPECT_EQ(window.Poller().Totals().received + window.Poller().Totals().lost, 0u);
    // Not asked is not silent: no red rows before the first poll.
    const QModelIndex first = window.View()->model()->index(0, FleetTableModel::kState);
    EXPECT_EQ(first.data().toString(), QStringLiteral("not asked yet"));
    EXPECT_EQ(first.data(FleetTableModel::kSilentRole).toInt(), 0);
    window.findChild<QPushButton*>(QStringLiteral("fleetStartPolling"))->click();
    EXPECT_FALSE(note->isVisible());
    EXPECT_TRUE(FleetSettings::PollNoteRead());
    // Told when a watched station goes silent, only once asked.
    window.SetNotifier(
        [&notices](const QString&, const QString& body) { notices.push_back(body); });
    window.findChild<QCheckBox*>(QStringLiteral("fleetNotify"))->setChecked(true);
    EXPECT_TRUE(FleetSettings::NotifySilence());
}

std::vector<StationRecord> TwentyStations(const QString& port) {
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
    return records;
}

TEST(FleetWindowE2E, TwentyStationsShowTheirStates) {
    StationSimulator nineteen({QStringLiteral("--listen"), QStringLiteral("127.0.1.1:0"),
                               QStringLiteral("--stations"), QStringLiteral("19"),
                               QStringLiteral("--drop"), QStringLiteral("1@5"),
                               QStringLiteral("--delay"), QStringLiteral("1500@7")});
    ASSERT_TRUE(nineteen.Start()) << qPrintable(nineteen.errorText());
    const QString port = QString::number(nineteen.port());
    StationSimulator last({QStringLiteral("--listen"), QStringLiteral("127.0.1.20:") + port});
    ASSERT_TRUE(last.Start()) << qPrintable(last.errorText());

    const std::vector<StationRecord> records = TwentyStations(port);

    FleetWindow window;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.findChild<QSpinBox*>(QStringLiteral("fleetPeriod"))->setValue(1);
    window.SetStations(records);
    FleetPoller& poller = window.Poller();
    // Only loopback stations here: that the template station is never polled
    // is the poller's unit test, with a transport that sends nothing.
    ASSERT_EQ(poller.RowCount(), 20);
    std::vector<QString> notices;
    StartAfterTheNote(window, notices);

    const auto state = [&poller](int k) { return poller.StateOf(k - 1); };
    ASSERT_TRUE(WaitFor([&] { return poller.Row(6).counters.received >= 2; }, 10000));
    for (int k = 1; k <= 20; ++k) {
        EXPECT_EQ(state(k), k == 5 ? FleetState::Silent : FleetState::Answering) << k;
    }
    EXPECT_GE(*poller.Row(6).rttMs, 1400);
    EXPECT_GT(poller.Row(4).counters.lost, 0u);

    // Rows sorted by state hold still while the keyboard is busy on the
    // table, however the states change; Sort now sorts them.
    auto* proxy = qobject_cast<QSortFilterProxyModel*>(window.View()->model());
    ASSERT_NE(proxy, nullptr);
    const auto rowOf = [proxy](const QString& address) { return RowOf(*proxy, address); };
    window.View()->sortByColumn(FleetTableModel::kState, Qt::DescendingOrder);
    window.View()->setFocus();
    const QString twenty = QStringLiteral("127.0.1.20");
    const int heldRow = rowOf(twenty);
    ASSERT_GE(heldRow, 1);
    const auto busy = [&] { QTest::keyClick(window.View(), Qt::Key_Shift); };
    ASSERT_TRUE(last.Stop());
    EXPECT_TRUE(WaitFor([&] { return busy(), state(20) == FleetState::Late; }, 5000));
    EXPECT_TRUE(WaitFor([&] { return busy(), state(20) == FleetState::Silent; }, 8000));
    EXPECT_EQ(state(1), FleetState::Answering);
    QTest::qWait(1100);  // a tick of the window's clock while still in use
    EXPECT_EQ(rowOf(twenty), heldRow);
    window.findChild<QPushButton*>(QStringLiteral("fleetResort"))->click();
    EXPECT_LE(rowOf(twenty), 1);
    ExpectCountsNamesAndTab(window);
    // The one that answered and fell silent is told; the one that never
    // answered is not.
    EXPECT_EQ(notices, std::vector<QString>{QStringLiteral("127.0.1.20 went silent")});
    ExpectHealthColumns(*proxy, rowOf);

    // What the table shows: silent rows marked, sorted by state, filtered.
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
    // Chosen by a double click or by Enter on the row.
    QSignalSpy chosen(&window, &FleetWindow::StationChosen);
    Q_EMIT window.View()->doubleClicked(proxy->index(0, FleetTableModel::kState));
    window.View()->setFocus();
    window.View()->setCurrentIndex(proxy->index(0, FleetTableModel::kComment));
    QTest::keyClick(window.View(), Qt::Key_Return);
    ASSERT_EQ(chosen.size(), 2);
    EXPECT_EQ(chosen[0][0].toString(), QStringLiteral("127.0.1.20"));
    EXPECT_EQ(chosen[1][0].toString(), QStringLiteral("127.0.1.20"));
    ExpectRowMenu(window, twenty);
}

}  // namespace
}  // namespace volnar
