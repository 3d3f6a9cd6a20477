// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <vector>

#include "core/station_record.h"

namespace volnar {

// Reads the stations of a directory on a thread of its own, so that no
// directory (a PostgreSQL server that accepts and then stays silent) holds
// the exporter: the login is bounded, a read that takes longer than
// kLateMs is reported Late while it goes on, and a failed read is tried
// again after 1, 2, 4 … 60 seconds. One read at a time; Read() during one
// reads again once it ends.
class DirectoryReader final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DirectoryReader)

public:
    static constexpr int kLateMs = 10'000;
    static constexpr int kLoginTimeoutSeconds = 5;
    static constexpr int kLongestRetryMs = 60'000;

    explicit DirectoryReader(QString location, QObject* parent = nullptr);
    ~DirectoryReader() override;

    void Read();
    // A read is still running (its thread cannot be stopped).
    bool Reading() const { return m_reading; }

Q_SIGNALS:
    void Loaded(const std::vector<volnar::StationRecord>& records);
    // The read failed (the reason is on stderr), or is late.
    void Failed(bool late);

private:
    void Done(bool ok, const std::vector<StationRecord>& records);

    QString m_location;
    QTimer m_late;
    QTimer m_retry;
    int m_retryMs = 1'000;
    bool m_reading = false;
    bool m_again = false;
};

}  // namespace volnar
