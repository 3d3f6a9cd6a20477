// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <memory>
#include <vector>

#include "core/station_record.h"
#include "station_config/fleet_copy.h"

namespace volnar {
class BoardLink;
}

namespace volnar::config {

// Stations read side by side while a copy plans.
inline constexpr int kParallelReads = 8;

// Copies one configuration to several stations, each through a link of its
// own: Plan() reads every target (a few at a time) and plans its restore,
// matching rows by content, fitted by CopyFor; Planned once every station is
// planned or found unreachable; nothing is sent before Apply(), which sends
// station by station, change by change. A station that stops answering is
// given up and the next goes on; Cancel() ends after the change on its way.
class FleetCopyRun final : public QObject {
    Q_OBJECT

public:
    FleetCopyRun(StationConfig source, const std::vector<StationRecord>& targets,
                 const CopyOptions& options, QObject* parent = nullptr);
    ~FleetCopyRun() override;

    void Plan();
    void Apply();
    void Cancel();
    const CopyBook& Book() const { return m_book; }

Q_SIGNALS:
    void StationChanged(int index);
    void Planned();
    void ItemEnded(int index, const volnar::config::ItemResult& result);
    void Finished();

private:
    void ReadNext();
    void OnRunFinished(int index);
    void SendNext();

    CopyBook m_book;
    std::vector<std::unique_ptr<BoardLink>> m_links;
    std::vector<RestoreRun*> m_runs;
    int m_nextRead = 0;
    bool m_finished = false;
};

}  // namespace volnar::config
