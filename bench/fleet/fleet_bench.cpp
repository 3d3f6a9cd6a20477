// SPDX-License-Identifier: GPL-3.0-or-later
// volnar-bench-fleet: the exporter's poller, its metrics and its HTTP server
// in one process against N simulated stations on loopback, first polling
// alone (one scrape a second), then under 8 clients scraping back to back.
//   volnar-bench-fleet [--stations 5000] [--period 10] [--seconds 30]
// Prints what it cost: CPU, memory, descriptors, scrape time and the round
// trips of the answers in each phase.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <thread>
#include <utility>

#include "bench_support.h"
#include "core/file_limit.h"
#include "exporter/http_server.h"
#include "exporter/metrics_board.h"
#include "exporter/routes.h"
#include "fleet/fleet_poller.h"
#include "options.h"

namespace {

constexpr char kFirstAddress[] = "127.0.1.1";

double CpuSeconds(int who = RUSAGE_SELF) {
    rusage usage{};
    getrusage(who, &usage);
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

// One GET /metrics on a fresh connection: its milliseconds to the first
// byte of the answer and to the last, or -1.
struct ScrapeTimes {
    double firstByte = -1;
    double total = -1;
};

ScrapeTimes Scrape(quint16 port) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto since = [start] {
        return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    };
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    const char request[] = "GET /metrics HTTP/1.1\r\nHost: bench\r\nConnection: close\r\n\r\n";
    ok = ok && send(fd, request, sizeof request - 1, 0) == static_cast<ssize_t>(sizeof request - 1);
    char buffer[65536];
    qint64 total = 0;
    ScrapeTimes times;
    for (ssize_t got = 1; ok && got > 0; total += got) {
        got = recv(fd, buffer, sizeof buffer, 0);
        ok = got >= 0;
        if (total == 0 && got > 0) {
            times.firstByte = since();
        }
    }
    close(fd);
    if (ok && total > 0) {
        times.total = since();
    }
    return times;
}

struct Phase {
    double cpuPercent = 0;        // the whole process, scraping clients included
    double pollerCpuPercent = 0;  // the poller's thread alone
    std::vector<double> roundTrips;
    std::vector<double> scrapes;
    std::vector<double> firstBytes;
};

// One client scraping once a second (phase 1) or eight back to back (phase
// 2), each GET on a new connection; the times go to the phase in force.
class Scrapers {
public:
    Scrapers(quint16 port, Phase** phase) : m_port(port), m_phase(phase) {
        m_threads.emplace_back([this] { Loop(true); });
        for (int i = 0; i < 8; ++i) {
            m_threads.emplace_back([this] { Loop(false); });
        }
    }
    void Switch(Phase* phase, int clients) {
        const std::lock_guard lock(m_mutex);
        *m_phase = phase;
        m_clients = clients;
    }
    void Stop() {
        m_running = false;
        for (std::thread& thread : m_threads) {
            thread.join();
        }
    }

private:
    void Loop(bool paced) {
        while (m_running) {
            const bool active = paced ? m_clients == 1 : m_clients > 1;
            if (active) {
                const ScrapeTimes times = Scrape(m_port);
                const std::lock_guard lock(m_mutex);
                if (times.total >= 0 && m_running) {
                    (*m_phase)->scrapes.push_back(times.total);
                    (*m_phase)->firstBytes.push_back(times.firstByte);
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(active && !paced ? 0 : 1000));
        }
    }

    quint16 m_port;
    Phase** m_phase;
    std::mutex m_mutex;
    std::atomic<int> m_clients{0};
    std::atomic<bool> m_running{true};
    std::vector<std::thread> m_threads;
};

// The exporter's HTTP server on a thread of its own, as volnar-exporter runs it.
quint16 StartServer(QThread& thread, volnar::MetricsBoard& board) {
    auto* server =
        new volnar::HttpServer(volnar::HttpLimits{}, [&board](const volnar::HttpRequest& request) {
            return volnar::ExporterRoute(request, board,
                                         [](int, const std::function<void()>& done) { done(); });
        });
    // As volnar-exporter: memory goes back once scrapes pause.
    QObject::connect(server, &volnar::HttpServer::Quiet, server, &volnar::ReturnFreedMemory);
    server->moveToThread(&thread);
    QObject::connect(&thread, &QThread::finished, server, &QObject::deleteLater);
    thread.start();
    quint16 port = 0;
    QMetaObject::invokeMethod(
        server, [&] { port = server->Listen(QHostAddress::LocalHost, 0); },
        Qt::BlockingQueuedConnection);
    return port;
}

double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Milliseconds of formatting the whole /metrics text, kMinRounds times: on
// the wall clock and in the thread's CPU time (which other programs on the
// machine do not inflate).
std::pair<std::vector<double>, std::vector<double>> TimeFormats(const volnar::MetricsBoard& board) {
    std::vector<double> wall;
    std::vector<double> cpu;
    for (int i = 0; i < volnar::bench::kMinRounds; ++i) {
        QElapsedTimer format;
        format.start();
        const double cpuBefore = ThreadCpuMs();
        const QByteArray text = board.Format();
        cpu.push_back(ThreadCpuMs() - cpuBefore);
        wall.push_back(static_cast<double>(format.nsecsElapsed()) / 1e6);
    }
    return {wall, cpu};
}

struct Figures {
    int period = 0;
    int seconds = 0;
    double rss = 0;
    double rssAfter = 0;
    long long fds = 0;
    std::vector<double> formats;
    std::vector<double> formatsCpu;
    qsizetype bytes = 0;
};

void Report(const volnar::FleetPoller& poller, const Phase (&phases)[2], const Figures& figures) {
    const volnar::FleetCounters totals = poller.Totals();
    using volnar::bench::SpreadOf;
    std::printf("stations=%d\n", poller.RowCount());
    std::printf("period_seconds=%d\n", figures.period);
    std::printf("phase_seconds=%d\n", figures.seconds);
    std::printf("received=%llu\n", static_cast<unsigned long long>(totals.received));
    std::printf("lost=%llu\n", static_cast<unsigned long long>(totals.lost));
    std::printf("refused=%llu\n", static_cast<unsigned long long>(totals.refused));
    std::printf("no_socket=%llu\n", static_cast<unsigned long long>(totals.noSocket));
    std::printf("missed_polls=%llu\n",
                static_cast<unsigned long long>(totals.missed + totals.lost + totals.noSocket));
    std::printf("cpu_percent=%.1f\n", phases[0].cpuPercent);
    std::printf("cpu_percent_8_scrapers=%.1f\n", phases[1].cpuPercent);
    std::printf("poller_thread_cpu_percent=%.1f\n", phases[0].pollerCpuPercent);
    std::printf("poller_thread_cpu_percent_8_scrapers=%.1f\n", phases[1].pollerCpuPercent);
    std::printf("rss_mib=%.1f\n", figures.rss);
    std::printf("rss_mib_after_8_scrapers=%.1f\n", figures.rssAfter);
    std::printf("format_ms=%.1f\n", SpreadOf(figures.formats).median);
    std::printf("format_cpu_ms=%.1f\n", SpreadOf(figures.formatsCpu).median);
    std::printf("metrics_bytes=%lld\n", static_cast<long long>(figures.bytes));
    std::printf("fds=%lld\n", figures.fds);
    std::printf("scrapes=%zu\n", phases[0].scrapes.size());
    std::printf("scrapes_8_scrapers=%zu\n", phases[1].scrapes.size());
    std::printf("scrape_ms_8_scrapers=%.1f\n", SpreadOf(phases[1].scrapes).median);
    std::printf("rtt_ms_median=%.2f\n", SpreadOf(phases[0].roundTrips).median);
    std::printf("rtt_ms_median_8_scrapers=%.2f\n", SpreadOf(phases[1].roundTrips).median);
    std::printf("scrape_first_byte_ms=%.1f\n", SpreadOf(phases[0].firstBytes).median);
    std::printf("scrape_ms=%.1f\n", SpreadOf(phases[0].scrapes).median);
}

// The simulator serving `stations` stations; its port once every station
// listens, empty when it does not start.
QString StartSimulator(QProcess& sim, int stations) {
    sim.start(
        QStringLiteral(VOLNAR_SIM_BINARY),
        {QStringLiteral("--listen"), QString::fromLatin1(kFirstAddress) + QStringLiteral(":0"),
         QStringLiteral("--stations"), QString::number(stations), QStringLiteral("--seed"),
         QStringLiteral("1")});
    if (!sim.waitForReadyRead(20000)) {
        std::fprintf(stderr, "volnar-bench-fleet: the simulator did not start\n");
        return {};
    }
    const auto match = QRegularExpression(QStringLiteral("listening on [0-9.]+:(\\d+)"))
                           .match(QString::fromUtf8(sim.readLine()));
    if (!match.hasMatch()) {
        std::fprintf(stderr, "volnar-bench-fleet: no port from the simulator\n");
        return {};
    }
    // One line per station, once its socket is open.
    int listening = 1;
    QElapsedTimer settle;
    settle.start();
    while (listening < stations && settle.elapsed() < 60000) {
        sim.waitForReadyRead(200);
        listening += static_cast<int>(sim.readAll().count("listening on"));
    }
    return match.captured(1);
}

std::vector<volnar::StationRecord> Records(int stations, const QString& port) {
    std::vector<volnar::StationRecord> records;
    for (int k = 1; k <= stations; ++k) {
        records.push_back(
            {.IPADDRESS = QString::fromStdString(volnar::sim::StationAddress(kFirstAddress, k)),
             .PASSWORD = QStringLiteral("public"),
             .COMMENT = QStringLiteral("bench"),
             .DEFAULT = QStringLiteral("NO"),
             .PORT = port,
             .TIMEOUT = QStringLiteral("2"),
             .RETRIES = QStringLiteral("0")});
    }
    return records;
}

struct Options {
    int stations = 0;
    int period = 0;   // seconds between polls
    int seconds = 0;  // length of each phase
};

Options ParseOptions(const QCoreApplication& app) {
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("stations"), QStringLiteral("stations"), QStringLiteral("N"),
                      QStringLiteral("5000")});
    parser.addOption({QStringLiteral("period"), QStringLiteral("seconds between polls"),
                      QStringLiteral("S"), QStringLiteral("10")});
    parser.addOption({QStringLiteral("seconds"), QStringLiteral("length of each phase"),
                      QStringLiteral("S"), QStringLiteral("30")});
    parser.process(app);
    return {.stations = parser.value(QStringLiteral("stations")).toInt(),
            .period = parser.value(QStringLiteral("period")).toInt(),
            .seconds = parser.value(QStringLiteral("seconds")).toInt()};
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const auto [stations, period, seconds] = ParseOptions(app);
    qInstallMessageHandler(volnar::bench::FilterQtMessages);
    volnar::RaiseOpenFileLimit();

    QProcess sim;
    const QString simPort = StartSimulator(sim, stations);
    if (simPort.isEmpty()) {
        return 1;
    }
    const std::vector<volnar::StationRecord> records = Records(stations, simPort);
    volnar::FleetPoller poller;
    poller.SetPeriodMs(period * 1000);
    poller.SetStations(records);
    volnar::MetricsBoard board;
    board.SetStations(poller);
    Phase phases[2];
    Phase* phase = &phases[0];
    std::vector<quint64> answered(static_cast<std::size_t>(poller.RowCount()));
    QObject::connect(&poller, &volnar::FleetPoller::RowChanged, &poller, [&](int index) {
        board.Update(poller, index);
        const volnar::FleetRow& row = poller.Row(index);
        quint64& seen = answered[static_cast<std::size_t>(index)];
        if (row.counters.received != seen && row.rttMs) {
            phase->roundTrips.push_back(static_cast<double>(*row.rttMs));
        }
        seen = row.counters.received;
    });
    QThread httpThread;
    const quint16 port = StartServer(httpThread, board);
    Scrapers scrapers(port, &phase);
    const auto runPhase = [&](Phase& which, int clients) {
        scrapers.Switch(&which, clients);
        const double cpuBefore = CpuSeconds();
        const double threadBefore = CpuSeconds(RUSAGE_THREAD);
        QElapsedTimer wall;
        wall.start();
        QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
        QCoreApplication::exec();
        const double elapsed = static_cast<double>(wall.elapsed()) / 1000.0;
        which.cpuPercent = 100.0 * (CpuSeconds() - cpuBefore) / elapsed;
        which.pollerCpuPercent = 100.0 * (CpuSeconds(RUSAGE_THREAD) - threadBefore) / elapsed;
    };
    poller.Start();
    runPhase(phases[0], 1);
    const double rss = RssMib();
    const auto [formats, formatsCpu] = TimeFormats(board);
    runPhase(phases[1], 8);
    const qsizetype bytes = board.Format().size();  // while every reading is fresh
    poller.Stop();
    scrapers.Stop();
    // The memory the scrapes freed goes back once they pause.
    QThread::msleep(volnar::HttpServer::kQuietMs + 1000);
    const auto fds = QDir(QStringLiteral("/proc/self/fd"))
                         .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                         .size();
    const double rssAfter = RssMib();
    httpThread.quit();
    httpThread.wait();
    sim.terminate();
    sim.waitForFinished(20000);

    Report(poller, phases,
           {.period = period,
            .seconds = seconds,
            .rss = rss,
            .rssAfter = rssAfter,
            .fds = static_cast<long long>(fds),
            .formats = formats,
            .formatsCpu = formatsCpu,
            .bytes = bytes});
    return 0;
}
