#pragma once

#include <QByteArray>
#include <QString>

namespace volnar {

class FleetPoller;

// A label value in the Prometheus text format: backslash, double quote and
// line feed escaped; any other character as UTF-8.
QByteArray MetricLabelValue(const QString& value);

// Every station's readings and the poller's own figures in the Prometheus
// text exposition format (version 0.0.4). Readings that are no number (a
// station that has not answered yet, an ammeter on a 0 mV shunt) are left
// out rather than written as a made-up value.
QByteArray FormatMetrics(const FleetPoller& poller);

}  // namespace volnar
