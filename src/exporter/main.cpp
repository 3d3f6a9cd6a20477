// volnar-exporter: polls every station of a directory and serves their
// readings at /metrics in the Prometheus text format.
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>
#include <QThread>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>

#include "core/file_limit.h"
#include "directory/station_directory.h"
#include "exporter/exporter_options.h"
#include "exporter/http_server.h"
#include "exporter/metrics_board.h"
#include "exporter/routes.h"
#include "fleet/fleet_poller.h"

namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = write(g_signalPipe[1], &byte, 1);
}

// The directory's reports go to the journal (stderr), never to a box.
class StderrMessages final : public volnar::MessageService {
public:
    bool Show(volnar::MessageIcon, const QString& text, volnar::MessageButtons,
              const QString&) override {
        QTextStream(stderr) << "volnar-exporter: " << text.simplified() << '\n';
        return false;
    }
    // The driver's own words, or why a location is no station directory.
    void ShowDetailed(volnar::MessageIcon icon, const QString& text,
                      const QString& details) override {
        Show(icon, details.isEmpty() ? text : text + QStringLiteral(": ") + details,
             volnar::MessageButtons::Ok, QString());
    }
};

std::optional<std::vector<volnar::StationRecord>> LoadDirectory(const QString& location) {
    StderrMessages messages;
    volnar::StationDirectory directory(messages);
    if (!directory.ConnectDatabase(location)) {
        return std::nullopt;
    }
    auto rows = directory.LoadStationRecords();
    directory.DisconnectDatabase();
    if (!rows) {
        return std::nullopt;
    }
    return std::move(*rows);
}

QString ListenText(const QHostAddress& address, quint16 port) {
    if (address == QHostAddress::Any) {
        return QStringLiteral(":") + QString::number(port);
    }
    return address.protocol() == QAbstractSocket::IPv6Protocol
               ? QLatin1Char('[') + address.toString() + QStringLiteral("]:") +
                     QString::number(port)
               : address.toString() + QLatin1Char(':') + QString::number(port);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const volnar::Result<volnar::ExporterOptions> parsed =
        volnar::ParseExporterOptions(QCoreApplication::arguments());
    if (!parsed) {
        QTextStream(stderr) << "volnar-exporter: " << parsed.error() << '\n'
                            << volnar::ExporterUsage() << '\n'
                            << "Try 'volnar-exporter --help' for more.\n";
        return 2;
    }
    const volnar::ExporterOptions& options = *parsed;
    if (options.help) {
        QTextStream(stdout) << volnar::ExporterHelp();
        return 0;
    }
    if (options.version) {
        QTextStream(stdout) << "volnar-exporter " VOLNAR_VERSION_TEXT "\n";
        return 0;
    }
    // One socket per station: the usual soft limit of 1,024 is no fleet's.
    volnar::RaiseOpenFileLimit();

    const auto records = LoadDirectory(options.database);
    if (!records) {
        return 1;
    }
    volnar::FleetPoller poller;
    poller.SetPeriodMs(options.periodSeconds * 1000);
    poller.SetStations(*records);
    volnar::MetricsBoard board;
    board.SetStations(poller);
    board.SetDirectoryUp(true);
    QObject::connect(&poller, &volnar::FleetPoller::RowChanged, &poller,
                     [&board, &poller](int index) { board.Update(poller, index); });

    // HTTP is served on a thread of its own: a scrape or a hostile client
    // never delays the poller, whose thread times the answers.
    QThread httpThread;
    volnar::HttpLimits limits;
    limits.idleTimeoutMs = options.idleTimeoutSeconds * 1000;
    limits.requestTimeoutMs = std::min(limits.requestTimeoutMs, limits.idleTimeoutMs);
    auto* server =
        new volnar::HttpServer(limits, [&board, &poller](const volnar::HttpRequest& request) {
            return volnar::ExporterRoute(
                request, board, [&poller](int index, std::function<void()> done) {
                    QMetaObject::invokeMethod(
                        &poller, [&poller, index, done] { poller.Probe(index, done); },
                        Qt::QueuedConnection);
                });
        });
    server->moveToThread(&httpThread);
    QObject::connect(&httpThread, &QThread::finished, server, &QObject::deleteLater);
    httpThread.start();
    quint16 port = 0;
    QMetaObject::invokeMethod(
        server, [&] { port = server->Listen(options.listenAddress, options.listenPort); },
        Qt::BlockingQueuedConnection);
    if (port == 0) {
        QTextStream(stderr) << "volnar-exporter: cannot listen on "
                            << ListenText(options.listenAddress, options.listenPort) << '\n';
        httpThread.quit();
        httpThread.wait();
        return 1;
    }
    QTextStream(stdout) << "volnar-exporter: " << poller.RowCount() << " stations, serving http://"
                        << ListenText(options.listenAddress, port) << "/metrics" << Qt::endl;

    // SIGTERM and SIGINT end the event loop cleanly.
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) == 0) {
        auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
        std::signal(SIGTERM, OnSignal);
        std::signal(SIGINT, OnSignal);
    }
    std::signal(SIGPIPE, SIG_IGN);  // a scraper that hangs up is no reason to end
    poller.Start();
    const int status = QCoreApplication::exec();
    httpThread.quit();
    httpThread.wait();
    return status;
}
