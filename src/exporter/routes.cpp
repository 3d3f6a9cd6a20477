// SPDX-License-Identifier: GPL-3.0-or-later
#include "exporter/routes.h"

#include <QUrlQuery>

#include "exporter/metrics_board.h"

namespace volnar {

namespace {

constexpr char kMetricsType[] = "text/plain; version=0.0.4; charset=utf-8";

HttpResponse Probe(const HttpRequest& request, const MetricsBoard& board,
                   const ProbeStation& probe) {
    const QUrlQuery query(QString::fromUtf8(request.query));
    const Result<int> index = board.Target(query.queryItemValue(QStringLiteral("target")));
    if (!index) {
        return {.status = 400,
                .contentType = "text/plain; charset=utf-8",
                .body = index.error().toUtf8() + '\n',
                .deferred = false};
    }
    probe(*index, [&board, index = *index, reply = request.reply] {
        reply({.status = 200,
               .contentType = kMetricsType,
               .body = board.FormatStation(index),
               .deferred = false});
    });
    return {.status = 200, .contentType = {}, .body = {}, .deferred = true};
}

}  // namespace

HttpResponse ExporterRoute(const HttpRequest& request, const MetricsBoard& board,
                           const ProbeStation& probe) {
    if (request.path == "/probe") {
        return Probe(request, board, probe);
    }
    if (request.path == "/metrics") {
        return {
            .status = 200, .contentType = kMetricsType, .body = board.Format(), .deferred = false};
    }
    if (request.path == "/") {
        return {.status = 200,
                .contentType = "text/html; charset=utf-8",
                .body =
                    "<!DOCTYPE html>\n<html><head><title>Volnar exporter</title></head>\n"
                    "<body><h1>Volnar exporter</h1>\n"
                    "<p><a href=\"/metrics\">Metrics</a> of every station of the "
                    "directory.</p>\n<p>Version " VOLNAR_VERSION_TEXT
                    "</p>\n"
                    "</body></html>\n"};
    }
    return {.status = 404,
            .contentType = "text/plain; charset=utf-8",
            .body = "Not Found\n",
            .deferred = false};
}

}  // namespace volnar
