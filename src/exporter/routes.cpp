#include "exporter/routes.h"

#include "exporter/metrics_board.h"

namespace volnar {

HttpResponse ExporterRoute(const HttpRequest& request, const MetricsBoard& board) {
    if (request.path == "/metrics") {
        return {.status = 200,
                .contentType = "text/plain; version=0.0.4; charset=utf-8",
                .body = board.Format()};
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
    return {.status = 404, .contentType = "text/plain; charset=utf-8", .body = "Not Found\n"};
}

}  // namespace volnar
