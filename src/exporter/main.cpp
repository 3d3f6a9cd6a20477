// SPDX-License-Identifier: GPL-3.0-or-later
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
#include <cstdlib>

#include "core/file_limit.h"
#include "core/licence.h"
#include "directory/station_directory.h"
#include "exporter/directory_reader.h"
#include "exporter/exporter_options.h"
#include "exporter/http_server.h"
#include "exporter/metrics_board.h"
#include "exporter/routes.h"
#include "fleet/fleet_poller.h"

namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int number) {
    const char byte = static_cast<char>(number);
    [[maybe_unused]] const auto written = write(g_signalPipe[1], &byte, 1);
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

// SIGTERM and SIGINT end the event loop; SIGHUP reads the directory again.
void HandleSignals(QCoreApplication& app, volnar::DirectoryReader& reader) {
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app, &reader] {
        char byte = 0;
        if (read(g_signalPipe[0], &byte, 1) == 1 && byte == SIGHUP) {
            QTextStream(stderr) << "volnar-exporter: SIGHUP: reading the directory again\n";
            reader.Read();
        } else {
            app.quit();
        }
    });
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGHUP, OnSignal);
}

// Serves HTTP on `thread`; the port, 0 when it cannot listen.
quint16 StartServer(QThread& thread, const volnar::ExporterOptions& options,
                    volnar::MetricsBoard& board, volnar::FleetPoller& poller) {
    volnar::HttpLimits limits;
    limits.idleTimeoutMs = options.idleTimeoutSeconds * 1000;
    limits.requestTimeoutMs = std::min(limits.requestTimeoutMs, limits.idleTimeoutMs);
    const volnar::ProbeStation probe = [&poller](int index, std::function<void()> done) {
        QMetaObject::invokeMethod(
            &poller, [&poller, index, done] { poller.Probe(index, done); }, Qt::QueuedConnection);
    };
    auto* server =
        new volnar::HttpServer(limits, [&board, probe](const volnar::HttpRequest& request) {
            return volnar::ExporterRoute(request, board, probe);
        });
    QObject::connect(server, &volnar::HttpServer::Quiet, server, &volnar::ReturnFreedMemory);
    server->moveToThread(&thread);
    QObject::connect(&thread, &QThread::finished, server, &QObject::deleteLater);
    thread.start();
    quint16 port = 0;
    QMetaObject::invokeMethod(
        server, [&] { port = server->Listen(options.listenAddress, options.listenPort); },
        Qt::BlockingQueuedConnection);
    return port;
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
    if (options.help || options.version) {
        QTextStream(stdout) << (options.help
                                    ? volnar::ExporterHelp()
                                    : QStringLiteral("volnar-exporter " VOLNAR_VERSION_TEXT "\n") +
                                          QString::fromLatin1(volnar::kLicenceText));
        return 0;
    }
    // One socket per station: the usual soft limit of 1,024 is no fleet's.
    volnar::RaiseOpenFileLimit();
    std::signal(SIGPIPE, SIG_IGN);  // a scraper that hangs up is no reason to end

    volnar::FleetPoller poller;
    poller.SetPeriodMs(options.periodSeconds * 1000);
    volnar::MetricsBoard board;
    QObject::connect(&poller, &volnar::FleetPoller::RowChanged, &poller,
                     [&board, &poller](int index) { board.Update(poller, index); });
    // HTTP is served on a thread of its own, from before the directory is
    // read: a scrape or a hostile client never delays the poller, whose
    // thread times the answers, and a slow directory never keeps /metrics
    // (volnar_exporter_directory_up 0) from answering.
    QThread httpThread;
    const quint16 port = StartServer(httpThread, options, board, poller);
    if (port == 0) {
        QTextStream(stderr) << "volnar-exporter: cannot listen on "
                            << ListenText(options.listenAddress, options.listenPort) << '\n';
        httpThread.quit();
        httpThread.wait();
        return 1;
    }
    QTextStream(stdout) << "volnar-exporter: serving http://"
                        << ListenText(options.listenAddress, port) << "/metrics" << Qt::endl;

    volnar::DirectoryReader reader(options.database);
    QObject::connect(&reader, &volnar::DirectoryReader::Loaded, &poller,
                     [&](const std::vector<volnar::StationRecord>& records) {
                         poller.SetStations(records);
                         board.SetStations(poller);
                         board.SetDirectoryUp(true);
                         QTextStream(stdout)
                             << "volnar-exporter: " << poller.RowCount() << " stations" << Qt::endl;
                         poller.Start();
                     });
    // A directory file that is missing or no station database is a mistake
    // to fix, not to wait out: at start it ends the exporter.
    bool everRead = false;
    QObject::connect(&reader, &volnar::DirectoryReader::Loaded, &app,
                     [&everRead] { everRead = true; });
    QObject::connect(&reader, &volnar::DirectoryReader::Failed, &app, [&](bool late) {
        board.SetDirectoryUp(false);
        if (!late && !everRead && !volnar::IsConnectionString(options.database)) {
            QCoreApplication::exit(1);
        }
    });
    HandleSignals(app, reader);
    reader.Read();
    const int status = QCoreApplication::exec();
    httpThread.quit();
    httpThread.wait();
    if (reader.Reading()) {
        // A directory read still hangs in its driver: nothing it may return
        // to is torn down, and nobody waits for it.
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
