// volnar-bench-fleet: the fleet poller against 1,000 simulated stations on
// loopback at a 1 s period for 30 s (VOLNAR_BENCH_SECONDS to change), and
// what it cost this process.
#include <sys/resource.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include <cstdio>

#include "fleet/fleet_poller.h"
#include "options.h"

namespace {

constexpr int kStations = 1000;
constexpr char kFirstAddress[] = "127.0.1.1";

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double RssMib() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int seconds = qEnvironmentVariableIsSet("VOLNAR_BENCH_SECONDS")
                            ? qEnvironmentVariableIntValue("VOLNAR_BENCH_SECONDS")
                            : 30;
    QProcess sim;
    sim.start(
        QStringLiteral(VOLNAR_SIM_BINARY),
        {QStringLiteral("--listen"), QString::fromLatin1(kFirstAddress) + QStringLiteral(":0"),
         QStringLiteral("--stations"), QString::number(kStations), QStringLiteral("--seed"),
         QStringLiteral("1")});
    if (!sim.waitForReadyRead(20000)) {
        std::fprintf(stderr, "volnar-bench-fleet: the simulator did not start\n");
        return 1;
    }
    const auto match = QRegularExpression(QStringLiteral("listening on [0-9.]+:(\\d+)"))
                           .match(QString::fromUtf8(sim.readLine()));
    if (!match.hasMatch()) {
        std::fprintf(stderr, "volnar-bench-fleet: no port from the simulator\n");
        return 1;
    }
    std::vector<volnar::StationRecord> records;
    for (int k = 1; k <= kStations; ++k) {
        records.push_back(
            {.IPADDRESS = QString::fromStdString(volnar::sim::StationAddress(kFirstAddress, k)),
             .PASSWORD = QStringLiteral("public"),
             .COMMENT = QStringLiteral("bench"),
             .DEFAULT = QStringLiteral("NO"),
             .PORT = match.captured(1),
             .TIMEOUT = QStringLiteral("1"),
             .RETRIES = QStringLiteral("0")});
    }
    // Let the simulator open all its sockets.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 1000) {
        sim.waitForReadyRead(100);
        sim.readAll();
    }

    const double cpuBefore = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    volnar::FleetPoller poller;
    poller.SetPeriodMs(1000);
    poller.SetStations(records);
    poller.Start();
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    QCoreApplication::exec();
    poller.Stop();
    const double elapsed = static_cast<double>(wall.elapsed()) / 1000.0;
    const double cpu = CpuSeconds() - cpuBefore;
    const volnar::FleetCounters totals = poller.Totals();
    sim.terminate();
    sim.waitForFinished(5000);

    std::printf("stations=%d\n", poller.RowCount());
    std::printf("seconds=%.1f\n", elapsed);
    std::printf("lost=%llu\n", static_cast<unsigned long long>(totals.lost));
    std::printf("refused=%llu\n", static_cast<unsigned long long>(totals.refused));
    std::printf("missed_polls=%llu\n",
                static_cast<unsigned long long>(totals.missed + totals.lost));
    std::printf("cpu_percent=%.1f\n", 100.0 * cpu / elapsed);
    std::printf("rss_mib=%.1f\n", RssMib());
    std::printf("answers_per_second=%.0f\n", static_cast<double>(totals.received) / elapsed);
    return 0;
}
