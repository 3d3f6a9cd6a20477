#pragma once

#include "exporter/http_server.h"

namespace volnar {

class MetricsBoard;

// The exporter's pages: /metrics, a landing page at /, 404 for the rest.
HttpResponse ExporterRoute(const HttpRequest& request, const MetricsBoard& board);

}  // namespace volnar
