// SPDX-License-Identifier: GPL-3.0-or-later
// volnar-screenshot-fleet --port P --stop-pid PID --out DIR [--suffix S]
// The fleet overview against the simulated stations 127.0.2.1-6 on port P
// (started by scripts/screenshot-fleet): 127.0.2.7 has no station behind it,
// 127.0.2.8 is not watched, and the simulator of 127.0.2.6 (PID) is paused
// once every station has answered, so that it shows silent. Saves
// fleet-overview-first-open<S>.png (the note before the first poll) and
// fleet-overview<S>.png. Run under Xvfb with its own settings folder.
#include <QApplication>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QDir>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTextStream>

#include <functional>

#include <signal.h>

#include "app/database_location.h"
#include "core/status_panel.h"
#include "fleet/fleet_health.h"
#include "fleet/fleet_poller.h"
#include "fleet_view/fleet_window.h"

namespace {

bool WaitFor(const std::function<bool()>& done, int milliseconds) {
    QDeadlineTimer deadline(milliseconds);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return done();
}

std::vector<volnar::StationRecord> Stations(const QString& port) {
    const char* comments[] = {"North gate", "Pump house", "Water tower", "Relay hut",
                              "Depot",      "East mast",  "Spare board", "Trial row"};
    std::vector<volnar::StationRecord> records;
    for (int k = 1; k <= 8; ++k) {
        records.push_back({.IPADDRESS = QStringLiteral("127.0.2.%1").arg(k),
                           .PASSWORD = QStringLiteral("public"),
                           .COMMENT = QString::fromLatin1(comments[k - 1]),
                           .DEFAULT = QStringLiteral("NO"),
                           .PORT = port,
                           .TIMEOUT = QStringLiteral("1"),
                           .RETRIES = QStringLiteral("0")});
    }
    return records;
}

bool Answered(volnar::FleetPoller& poller, int index) {
    const volnar::FleetRow& row = poller.Row(index);
    return row.lastAnswerMs && row.triggers.back().has_value();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QString::fromLatin1(volnar::kSettingsOrganization));
    QCoreApplication::setApplicationName(QString::fromLatin1(volnar::kSettingsApplication));
    QCommandLineParser parser;
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("port"),
                                  QStringLiteral("P"));
    const QCommandLineOption stopPid(QStringLiteral("stop-pid"),
                                     QStringLiteral("the simulator paused"), QStringLiteral("PID"));
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("folder"),
                                 QStringLiteral("DIR"));
    const QCommandLineOption suffix(QStringLiteral("suffix"), QStringLiteral("name suffix"),
                                    QStringLiteral("S"));
    parser.addOptions({port, stopPid, out, suffix});
    parser.process(app);

    volnar::FleetSettings::SetNotifySilence(true);
    volnar::FleetSettings::SetWatched(QStringLiteral("127.0.2.8"), false);
    volnar::FleetWindow window;
    window.resize(1500, 360);
    window.show();
    window.findChild<QSpinBox*>(QStringLiteral("fleetPeriod"))->setValue(1);
    window.SetStations(Stations(parser.value(port)));
    volnar::FleetPoller& poller = window.Poller();
    // Opened for the first time: the note, and nothing polled yet.
    WaitFor([] { return false; }, 300);
    const QDir folder(parser.value(out));
    const QString first =
        QStringLiteral("fleet-overview-first-open%1.png").arg(parser.value(suffix));
    if (!window.grab().save(folder.filePath(first))) {
        QTextStream(stderr) << "volnar-screenshot-fleet: cannot save " << first << "\n";
        return 1;
    }
    window.findChild<QPushButton*>(QStringLiteral("fleetStartPolling"))->click();
    const auto all = [&] {
        for (int k = 0; k < 6; ++k) {
            if (!Answered(poller, k)) {
                return false;
            }
        }
        return true;
    };
    if (!WaitFor(all, 20000)) {
        QTextStream(stderr) << "volnar-screenshot-fleet: the stations did not answer\n";
        return 1;
    }
    // A relay switch asked for that 127.0.2.2 does not follow (nothing is
    // sent): after three answers, the row's alarm.
    int relayRow = 0;
    while (relayRow < poller.RowCount() &&
           poller.Row(relayRow).address != QStringLiteral("127.0.2.2")) {
        ++relayRow;
    }
    if (relayRow < poller.RowCount()) {
        poller.ExpectRelay(QStringLiteral("127.0.2.2"), 1,
                           poller.Row(relayRow).readings->RelayState(1) == 1 ? 0 : 1);
    }
    const auto paused = static_cast<pid_t>(parser.value(stopPid).toInt());
    if (paused <= 0 || kill(paused, SIGSTOP) != 0) {
        QTextStream(stderr) << "volnar-screenshot-fleet: cannot pause " << paused << "\n";
        return 1;
    }
    const bool silent =
        WaitFor([&] { return poller.StateOf(5) == volnar::FleetState::Silent; }, 15000);
    if (!silent) {
        kill(paused, SIGCONT);
        QTextStream(stderr) << "volnar-screenshot-fleet: 127.0.2.6 did not fall silent\n";
        return 1;
    }
    if (relayRow < poller.RowCount() && !WaitFor(
                                            [&] {
                                                return poller.Row(relayRow).relays.StatusOf(1) ==
                                                       volnar::RelayConfirmation::Status::Mismatch;
                                            },
                                            10000)) {
        kill(paused, SIGCONT);
        QTextStream(stderr) << "volnar-screenshot-fleet: no relay alarm on 127.0.2.2\n";
        return 1;
    }
    // A tick of the window's clock: the counts above the table catch up.
    window.View()->clearFocus();
    WaitFor([] { return false; }, 1200);
    window.Resort();
    const QString file =
        folder.filePath(QStringLiteral("fleet-overview%1.png").arg(parser.value(suffix)));
    const bool saved = window.grab().save(file);
    kill(paused, SIGCONT);
    if (!saved) {
        QTextStream(stderr) << "volnar-screenshot-fleet: cannot save " << file << "\n";
        return 1;
    }
    return 0;
}
