// volnar-exporter: polls every station of a directory and serves their
// readings at /metrics in the Prometheus text format.
#include <QCoreApplication>
#include <QHttpServer>
#include <QHttpServerResponse>
#include <QSocketNotifier>
#include <QTextStream>

#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "directory/station_directory.h"
#include "fleet/exporter_options.h"
#include "fleet/fleet_poller.h"
#include "fleet/metrics_text.h"

namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = write(g_signalPipe[1], &byte, 1);
}

// A failure goes to the journal (stderr), never to a box: the text, and the
// driver's own words or why a location is no station directory.
int Fail(const volnar::Failure& failure) {
    QString line = failure.text;
    if (!failure.details.isEmpty()) {
        line += QStringLiteral(": ") + failure.details;
    }
    QTextStream(stderr) << "volnar-exporter: " << line.simplified() << '\n';
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const volnar::Result<volnar::ExporterOptions> parsed =
        volnar::ParseExporterOptions(QCoreApplication::arguments().mid(1));
    if (!parsed) {
        QTextStream(stderr) << "volnar-exporter: " << parsed.error() << '\n'
                            << "usage: volnar-exporter --database LOCATION "
                               "[--listen 127.0.0.1:9850] [--period 10]\n";
        return 2;
    }
    const volnar::ExporterOptions& options = *parsed;
    if (options.help) {
        std::fputs(volnar::kExporterHelp, stdout);
        return 0;
    }

    volnar::StationDirectory directory;
    if (const volnar::Result<void> opened = directory.ConnectDatabase(options.database); !opened) {
        return Fail(opened.failure());
    }
    volnar::Result<std::vector<volnar::StationRecord>> rows = directory.LoadStationRecords();
    if (!rows) {
        return Fail(rows.failure());
    }
    std::vector<volnar::StationRecord> records = std::move(*rows);
    directory.DisconnectDatabase();

    volnar::FleetPoller poller;
    poller.SetPeriodMs(options.periodSeconds * 1000);
    poller.SetStations(records);

    QHttpServer server;
    server.route(QStringLiteral("/metrics"), [&poller] {
        return QHttpServerResponse(QByteArrayLiteral("text/plain; version=0.0.4; charset=utf-8"),
                                   volnar::FormatMetrics(poller));
    });
    const quint16 port = server.listen(options.listenAddress, options.listenPort);
    if (port == 0) {
        QTextStream(stderr) << "volnar-exporter: cannot listen on "
                            << options.listenAddress.toString() << ':' << options.listenPort
                            << '\n';
        return 1;
    }
    QTextStream(stdout) << "volnar-exporter: " << poller.RowCount() << " stations, serving http://"
                        << options.listenAddress.toString() << ':' << port << "/metrics"
                        << Qt::endl;

    // SIGTERM and SIGINT end the event loop cleanly.
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) == 0) {
        auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
        std::signal(SIGTERM, OnSignal);
        std::signal(SIGINT, OnSignal);
    }
    std::signal(SIGPIPE, SIG_IGN);  // a scraper that hangs up is no reason to end
    poller.Start();
    return QCoreApplication::exec();
}
