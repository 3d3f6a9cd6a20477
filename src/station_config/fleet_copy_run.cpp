// SPDX-License-Identifier: GPL-3.0-or-later
#include "station_config/fleet_copy_run.h"

#include <QTimer>

#include "link/board_link.h"

namespace volnar::config {

namespace {

QStringList Addresses(const std::vector<StationRecord>& records) {
    QStringList addresses;
    for (const StationRecord& record : records) {
        addresses << record.IPADDRESS;
    }
    return addresses;
}

}  // namespace

FleetCopyRun::FleetCopyRun(StationConfig source, const std::vector<StationRecord>& targets,
                           const CopyOptions& options, QObject* parent)
    : QObject(parent), m_book(Addresses(targets)) {
    for (std::size_t i = 0; i < targets.size(); ++i) {
        m_links.push_back(LinkForStation(targets[i]));
        auto* run = new RestoreRun(*m_links.back(), source, targets[i].IPADDRESS, this);
        run->SetCopyOptions(options);
        const int index = static_cast<int>(i);
        connect(run, &RestoreRun::Planned, this, [this, index, run] {
            m_book.Read(index, run->Report().plan);
            Q_EMIT StationChanged(index);
            ReadNext();
        });
        connect(run, &RestoreRun::ItemEnded, this, [this, index, run](const ItemResult& result) {
            if (!m_book.ItemEnded(index, result)) {
                run->Cancel();
            }
            Q_EMIT ItemEnded(index, result);
            Q_EMIT StationChanged(index);
        });
        connect(run, &RestoreRun::Finished, this, [this, index] { OnRunFinished(index); });
        m_runs.push_back(run);
    }
}

// The runs and their operations go before the links they run on.
FleetCopyRun::~FleetCopyRun() {
    qDeleteAll(m_runs);
    m_runs.clear();
}

void FleetCopyRun::Plan() {
    for (int k = 0; k < kParallelReads; ++k) {
        ReadNext();
    }
}

void FleetCopyRun::ReadNext() {
    if (m_book.IsCancelled()) {
        if (m_book.Finished()) {
            SendNext();  // the reads on their way have ended
        }
        return;
    }
    if (m_nextRead < m_book.Count()) {
        const int index = m_nextRead++;
        m_book.Reading(index);
        Q_EMIT StationChanged(index);
        m_runs[static_cast<std::size_t>(index)]->Plan();
        return;
    }
    if (m_book.AllRead() && m_nextRead == m_book.Count()) {
        m_nextRead = m_book.Count() + 1;  // Planned once
        Q_EMIT Planned();
    }
}

void FleetCopyRun::OnRunFinished(int index) {
    const StationCopy& station = m_book.Station(index);
    if (station.state == CopyState::Reading) {
        m_book.Read(index, Failure{m_runs[static_cast<std::size_t>(index)]->Report().failure});
        Q_EMIT StationChanged(index);
        ReadNext();
        return;
    }
    m_book.StationEnded(index, m_runs[static_cast<std::size_t>(index)]->Report().failure);
    Q_EMIT StationChanged(index);
    // The next station once this run has returned from its own signal.
    QTimer::singleShot(0, this, &FleetCopyRun::SendNext);
}

void FleetCopyRun::Apply() {
    SendNext();
}

void FleetCopyRun::SendNext() {
    if (const std::optional<int> next = m_book.NextToSend()) {
        Q_EMIT StationChanged(*next);
        m_runs[static_cast<std::size_t>(*next)]->Apply();
        return;
    }
    if (!m_finished && m_book.Finished()) {
        m_finished = true;
        Q_EMIT Finished();
    }
}

void FleetCopyRun::Cancel() {
    m_book.Cancel();
    for (int i = 0; i < m_book.Count(); ++i) {
        if (m_book.Station(i).state == CopyState::Sending) {
            m_runs[static_cast<std::size_t>(i)]->Cancel();
        }
        Q_EMIT StationChanged(i);
    }
    if (m_book.Finished()) {
        QTimer::singleShot(0, this, &FleetCopyRun::SendNext);
    }
}

}  // namespace volnar::config
