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

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const int rows = qEnvironmentVariableIsSet("VOLNAR_BENCH_ROWS")
                         ? qEnvironmentVariableIntValue("VOLNAR_BENCH_ROWS")
                         : 1000;
    const int rounds = qEnvironmentVariableIsSet("VOLNAR_BENCH_ROUNDS")
                           ? std::max(1, qEnvironmentVariableIntValue("VOLNAR_BENCH_ROUNDS"))
                           : 5;
    QTemporaryDir work;
    if (!work.isValid()) {
        return Fail("no temporary folder");
    }

    QProcess station;
    station.setProgram(QStringLiteral(VOLNAR_SIM_BINARY));
    station.setArguments({QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                          QStringLiteral("--scripts"), QString::number(rows),
                          QStringLiteral("--seed"), QStringLiteral("1")});
    station.start();
    quint16 port = 0;
    const QRegularExpression listening(QStringLiteral("^listening on 127\\.0\\.0\\.1:(\\d+)"));
    QByteArray output;
    if (!WaitFor([&] {
            output += station.readAllStandardOutput();
            const auto match = listening.match(QString::fromLatin1(output));
            if (match.hasMatch()) {
                port = static_cast<quint16>(match.captured(1).toUInt());
            }
            return port != 0 || station.state() == QProcess::NotRunning;
        }) ||
        port == 0) {
        return Fail("the simulator did not start");
    }

    SilentMessages messages;
    const volnar::StationRecord record{QStringLiteral("127.0.0.1"), QStringLiteral("public"),
                                       QStringLiteral("bench"),     QStringLiteral("YES"),
                                       QString::number(port),       QStringLiteral("20"),
                                       QStringLiteral("1")};
    volnar::BoardLink link(
        messages,
        [&record](const QString& address) -> std::optional<volnar::StationRecord> {
            if (address == record.IPADDRESS) {
                return record;
            }
            return std::nullopt;
        },
        [] { return QStringLiteral("127.0.0.1"); });
    if (!link.StartSnmpSession()) {
        return Fail("no SNMP session");
    }
    volnar::scripts::ScriptScreens screens(link, messages, nullptr);

    double clientBest = 1e300;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        screens.OpenList();
        volnar::TableListDialog* list = screens.List();
        if (list == nullptr || !WaitFor([&] { return !list->IsWalking(); })) {
            return Fail("the list walk did not end");
        }
        const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        if (messages.failed || list->Grid().RowCount() != rows) {
            return Fail("the list does not hold every row");
        }
        clientBest = std::min(clientBest, ms);
        std::printf("client_ms_round_%d=%.3f\n", round + 1, ms);
        list->close();
        QCoreApplication::processEvents();
    }

    // The same table with the net-snmp tool, kept off the machine's own
    // configuration and state.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("SNMPCONFPATH"), work.path());
    environment.insert(QStringLiteral("SNMP_PERSISTENT_DIR"), work.path());
    environment.insert(QStringLiteral("MIBS"), QString());
    const QString table = QString::fromLatin1(volnar::board::kScriptTable);
    double walkBest = 1e300;
    for (int round = 0; round < rounds; ++round) {
        QProcess walk;
        walk.setProcessEnvironment(environment);
        QElapsedTimer timer;
        timer.start();
        walk.start(
            QStringLiteral("snmpwalk"),
            {QStringLiteral("-v1"), QStringLiteral("-c"), QStringLiteral("public"),
             QStringLiteral("-m"), QString(), QStringLiteral("-M"), QStringLiteral("/dev/null"),
             QStringLiteral("-On"), QStringLiteral("-t"), QStringLiteral("2"), QStringLiteral("-r"),
             QStringLiteral("1"), QStringLiteral("127.0.0.1:%1").arg(port), table});
        if (!walk.waitForFinished(kTimeoutMs) || walk.exitCode() != 0) {
            return Fail("snmpwalk failed");
        }
        const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        const int walked = static_cast<int>(walk.readAllStandardOutput().count("\n."));
        if (walked + 1 < rows) {
            return Fail("snmpwalk did not walk every row");
        }
        walkBest = std::min(walkBest, ms);
        std::printf("snmpwalk_ms_round_%d=%.3f\n", round + 1, ms);
    }
    station.terminate();
    station.waitForFinished(5000);

    std::printf("rows=%d\n", rows);
    std::printf("client_ms=%.3f\n", clientBest);
    std::printf("snmpwalk_ms=%.3f\n", walkBest);
    std::printf("walk_ratio=%.4f\n", clientBest / walkBest);
    return 0;
}
