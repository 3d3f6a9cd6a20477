// SPDX-License-Identifier: GPL-3.0-or-later
// volnar-bench-walk: how fast the script list fills from a 1000-row scripts
// table, beside `snmpwalk -v1` of the same table. Starts volnar-station on a
// free loopback port, opens the list (a real net-snmp session, the GETNEXT
// walk, one grid row per answer) until the walk has ended, then runs
// snmpwalk; best of VOLNAR_BENCH_ROUNDS rounds (default 5) each. Prints
// name=value lines, walk_ratio last (client / snmpwalk). Talks only to
// 127.0.0.1.
#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "bench_support.h"
#include "grid/my_ra_grid.h"
#include "link/board_link.h"
#include "link/board_objects.h"
#include "lists/table_list_dialog.h"
#include "scripts/script_editor_dialog.h"
#include "scripts/script_screens.h"

namespace {

constexpr int kTimeoutMs = 60000;

// Answers no question and shows nothing; the benchmark only reads.
class SilentMessages final : public volnar::MessageService {
public:
    bool Show(volnar::MessageIcon, const QString& text, volnar::MessageButtons,
              const QString&) override {
        std::fprintf(stderr, "volnar-bench-walk: %s\n", qPrintable(text));
        failed = true;
        return false;
    }
    bool failed = false;
};

int Fail(const char* what) {
    std::fprintf(stderr, "volnar-bench-walk: %s\n", what);
    return 1;
}

// Runs the event loop, sleeping while there is nothing to do, until done.
bool WaitFor(const std::function<bool()>& done) {
    QDeadlineTimer deadline(kTimeoutMs);
    QTimer wake;  // wakes the loop now and then to look at the deadline
    wake.start(100);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return done();
}

// Starts the simulator with `rows` scripts on a free loopback port; the
// port, or 0.
quint16 StartStation(QProcess& station, int rows) {
    station.setProgram(QStringLiteral(VOLNAR_SIM_BINARY));
    station.setArguments({QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                          QStringLiteral("--scripts"), QString::number(rows),
                          QStringLiteral("--seed"), QStringLiteral("1")});
    station.start();
    quint16 port = 0;
    const QRegularExpression listening(QStringLiteral("^listening on 127\\.0\\.0\\.1:(\\d+)"));
    QByteArray output;
    WaitFor([&] {
        output += station.readAllStandardOutput();
        const auto match = listening.match(QString::fromLatin1(output));
        if (match.hasMatch()) {
            port = static_cast<quint16>(match.captured(1).toUInt());
        }
        return port != 0 || station.state() == QProcess::NotRunning;
    });
    return port;
}

// The net-snmp tool kept off the machine's own configuration and state.
QProcessEnvironment ToolEnvironment(const QString& folder) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("SNMPCONFPATH"), folder);
    environment.insert(QStringLiteral("SNMP_PERSISTENT_DIR"), folder);
    environment.insert(QStringLiteral("MIBS"), QString());
    return environment;
}

// Milliseconds for snmpwalk over the scripts table, or a negative value.
double TimeSnmpwalk(const QProcessEnvironment& environment, quint16 port, int rows) {
    QProcess walk;
    walk.setProcessEnvironment(environment);
    QElapsedTimer timer;
    timer.start();
    walk.start(QStringLiteral("snmpwalk"),
               {QStringLiteral("-v1"), QStringLiteral("-c"), QStringLiteral("public"),
                QStringLiteral("-m"), QString(), QStringLiteral("-M"), QStringLiteral("/dev/null"),
                QStringLiteral("-On"), QStringLiteral("-t"), QStringLiteral("2"),
                QStringLiteral("-r"), QStringLiteral("1"), QStringLiteral("127.0.0.1:%1").arg(port),
                QString::fromLatin1(volnar::board::kScriptTable)});
    if (!walk.waitForFinished(kTimeoutMs) || walk.exitCode() != 0) {
        return -1;
    }
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    const int walked = static_cast<int>(walk.readAllStandardOutput().count("\n."));
    return walked + 1 < rows ? -1 : ms;
}

// Milliseconds for the script list to fill from the station, or a negative
// value.
double TimeClient(volnar::ListNavigator& screens, const SilentMessages& messages, int rows) {
    QElapsedTimer timer;
    timer.start();
    screens.OpenList();
    volnar::TableListDialog* list = screens.List();
    if (list == nullptr || !WaitFor([&] { return !list->IsWalking(); })) {
        return -1;
    }
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    const bool whole = !messages.failed && list->Grid().RowCount() == rows;
    list->close();
    QCoreApplication::processEvents();
    return whole ? ms : -1;
}

}  // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(volnar::bench::FilterQtMessages);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const int rows = qEnvironmentVariableIsSet("VOLNAR_BENCH_ROWS")
                         ? qEnvironmentVariableIntValue("VOLNAR_BENCH_ROWS")
                         : 1000;
    const int rounds = volnar::bench::RoundsFromEnvironment("VOLNAR_BENCH_ROUNDS");
    QTemporaryDir work;
    if (!work.isValid()) {
        return Fail("no temporary folder");
    }

    QProcess station;
    const quint16 port = StartStation(station, rows);
    if (port == 0) {
        return Fail("the simulator did not start");
    }

    SilentMessages messages;
    const volnar::StationRecord record{QStringLiteral("127.0.0.1"), QStringLiteral("public"),
                                       QStringLiteral("bench"),     QStringLiteral("YES"),
                                       QString::number(port),       QStringLiteral("20"),
                                       QStringLiteral("1")};
    volnar::BoardLink link(
        [&record](const QString& address) -> std::optional<volnar::StationRecord> {
            if (address == record.IPADDRESS) {
                return record;
            }
            return std::nullopt;
        });
    link.ChooseStation(QStringLiteral("127.0.0.1"));
    if (!link.StartSnmpSession()) {
        return Fail("no SNMP session");
    }
    volnar::ListNavigator screens(volnar::scripts::ScriptNavigation(), link, messages, nullptr);

    const QProcessEnvironment environment = ToolEnvironment(work.path());

    std::vector<double> clientMs;
    std::vector<double> walkMs;
    std::vector<double> ratios;
    for (int round = 0; round < rounds; ++round) {
        const double client = TimeClient(screens, messages, rows);
        if (client < 0) {
            return Fail("the list walk did not end with every row");
        }
        const double tool = TimeSnmpwalk(environment, port, rows);
        if (tool < 0) {
            return Fail("snmpwalk did not walk every row");
        }
        clientMs.push_back(client);
        walkMs.push_back(tool);
        ratios.push_back(client / tool);
    }
    station.terminate();
    station.waitForFinished(5000);

    std::printf("rows=%d\n", rows);
    std::printf("rounds=%d\n", rounds);
    volnar::bench::PrintSpread("client_ms", volnar::bench::SpreadOf(clientMs), 3);
    volnar::bench::PrintSpread("snmpwalk_ms", volnar::bench::SpreadOf(walkMs), 3);
    volnar::bench::PrintSpread("walk_ratio", volnar::bench::SpreadOf(ratios), 4);
    return 0;
}
