// SPDX-License-Identifier: GPL-3.0-or-later
#include "exporter/directory_reader.h"

#include <QTextStream>

#include <algorithm>
#include <optional>
#include <thread>

#include "directory/directory_worker.h"
#include "directory/station_directory.h"

namespace volnar {

namespace {

// A failure goes to the journal (stderr), never to a box: the text, and the
// driver's own words or why a location is no station directory.
void Log(const Failure& failure) {
    QString line = failure.text;
    if (!failure.details.isEmpty()) {
        line += QStringLiteral(": ") + failure.details;
    }
    QTextStream(stderr) << "volnar-exporter: " << line.simplified() << '\n';
}

std::optional<std::vector<StationRecord>> LoadDirectory(const QString& location) {
    StationDirectory directory;
    if (const Result<void> opened = directory.ConnectDatabase(
            location,
            DirectoryWorker::ConnectOptionsFor(location, DirectoryReader::kLoginTimeoutSeconds));
        !opened) {
        Log(opened.failure());
        return std::nullopt;
    }
    auto rows = directory.LoadStationRecords();
    directory.DisconnectDatabase();
    if (!rows) {
        Log(rows.failure());
        return std::nullopt;
    }
    return std::move(*rows);
}

}  // namespace

DirectoryReader::DirectoryReader(QString location, QObject* parent)
    : QObject(parent), m_location(std::move(location)) {
    m_late.setSingleShot(true);
    connect(&m_late, &QTimer::timeout, this, [this] {
        QTextStream(stderr) << "volnar-exporter: the directory has not answered for "
                            << kLateMs / 1000 << " s\n";
        Q_EMIT Failed(true);
    });
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &DirectoryReader::Read);
}

DirectoryReader::~DirectoryReader() = default;

void DirectoryReader::Read() {
    if (m_reading) {
        m_again = true;
        return;
    }
    m_reading = true;
    m_retry.stop();
    m_late.start(kLateMs);
    // The thread outlives nothing it uses: main() ends the process without
    // waiting for a read that still runs (see Reading()).
    std::thread([this, location = m_location] {
        const auto rows = LoadDirectory(location);
        QMetaObject::invokeMethod(
            this,
            [this, ok = rows.has_value(), records = rows.value_or(std::vector<StationRecord>{})] {
                Done(ok, records);
            },
            Qt::QueuedConnection);
    }).detach();
}

void DirectoryReader::Done(bool ok, const std::vector<StationRecord>& records) {
    m_reading = false;
    m_late.stop();
    if (ok) {
        m_retryMs = 1'000;
        Q_EMIT Loaded(records);
    } else {
        QTextStream(stderr) << "volnar-exporter: reading the directory again in "
                            << m_retryMs / 1000 << " s\n";
        m_retry.start(m_retryMs);
        m_retryMs = std::min(m_retryMs * 2, kLongestRetryMs);
        Q_EMIT Failed(false);
    }
    if (m_again) {
        m_again = false;
        Read();
    }
}

}  // namespace volnar
