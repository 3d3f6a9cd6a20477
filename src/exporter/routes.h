// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include "exporter/http_server.h"

namespace volnar {

class MetricsBoard;

// Polls row `index` once and calls done when that poll has ended; on the
// poller's thread, whatever thread it is called from.
using ProbeStation = std::function<void(int index, std::function<void()> done)>;

// The exporter's pages: /metrics, /probe?target=ADDRESS (a station of the
// directory, polled once: its families only; anything else 400), a landing
// page at /, 404 for the rest.
HttpResponse ExporterRoute(const HttpRequest& request, const MetricsBoard& board,
                           const ProbeStation& probe);

}  // namespace volnar
