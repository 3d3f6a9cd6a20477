// SPDX-License-Identifier: GPL-3.0-or-later
#include "station_config/fleet_copy.h"

#include <QObject>
#include <algorithm>

namespace volnar::config {

namespace {

bool Silent(OperationEnding ending) {
    return ending == OperationEnding::TimedOut || ending == OperationEnding::Unknown ||
           ending == OperationEnding::NotSent;
}

int CountResults(const StationCopy& station, const auto& match) {
    return static_cast<int>(std::count_if(station.results.begin(), station.results.end(), match));
}

bool Final(CopyState state) {
    return state == CopyState::Unreachable || state == CopyState::Ended ||
           state == CopyState::Cancelled;
}

// "4 applied, 1 refused, 2 without an answer, 3 not sent", zeros left out
// but the first.
QString Counts(const StationCopy& station, bool withNotSent) {
    QStringList parts{QObject::tr("%1 applied").arg(station.Applied())};
    if (station.Refused() > 0) {
        parts << QObject::tr("%1 refused").arg(station.Refused());
    }
    if (station.Unanswered() > 0) {
        parts << QObject::tr("%1 without an answer").arg(station.Unanswered());
    }
    if (withNotSent && station.NotSent() > 0) {
        parts << QObject::tr("%1 not sent").arg(station.NotSent());
    }
    return parts.join(QStringLiteral(", "));
}

}  // namespace

int StationCopy::Applied() const {
    return CountResults(*this, [](const ItemResult& r) { return r.Done(); });
}

int StationCopy::Refused() const {
    return CountResults(*this,
                        [](const ItemResult& r) { return r.ending == OperationEnding::Refused; });
}

int StationCopy::Unanswered() const {
    return static_cast<int>(results.size()) - Applied() - Refused();
}

int StationCopy::NotSent() const {
    return std::max(0, static_cast<int>(plan.size()) - static_cast<int>(results.size()));
}

CopyBook::CopyBook(const QStringList& addresses) {
    for (const QString& address : addresses) {
        m_stations.push_back({.address = address,
                              .state = CopyState::Waiting,
                              .failure = {},
                              .plan = {},
                              .results = {},
                              .silentInRow = 0});
    }
}

void CopyBook::Reading(int index) {
    m_stations[Index(index)].state = CopyState::Reading;
}

void CopyBook::Read(int index, const Result<std::vector<PlanItem>>& plan) {
    StationCopy& station = m_stations[Index(index)];
    if (!plan) {
        station.state = CopyState::Unreachable;
        station.failure = plan.error();
        return;
    }
    station.plan = *plan;
    station.state = station.plan.empty() ? CopyState::Ended : CopyState::Planned;
    if (m_cancelled && station.state == CopyState::Planned) {
        station.state = CopyState::Cancelled;
    }
}

bool CopyBook::AllRead() const {
    return std::none_of(m_stations.begin(), m_stations.end(), [](const StationCopy& s) {
        return s.state == CopyState::Waiting || s.state == CopyState::Reading;
    });
}

int CopyBook::PlannedItems() const {
    int items = 0;
    for (const StationCopy& station : m_stations) {
        if (station.state != CopyState::Unreachable || !station.results.empty()) {
            items += static_cast<int>(station.plan.size());
        }
    }
    return items;
}

int CopyBook::SentItems() const {
    int items = 0;
    for (const StationCopy& station : m_stations) {
        items += static_cast<int>(station.results.size());
    }
    return items;
}

std::optional<int> CopyBook::NextToSend() {
    if (m_cancelled) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < m_stations.size(); ++i) {
        if (m_stations[i].state == CopyState::Planned) {
            m_stations[i].state = CopyState::Sending;
            return static_cast<int>(i);
        }
    }
    return std::nullopt;
}

bool CopyBook::ItemEnded(int index, const ItemResult& result) {
    StationCopy& station = m_stations[Index(index)];
    station.results.push_back(result);
    station.silentInRow = Silent(result.ending) ? station.silentInRow + 1 : 0;
    if (station.silentInRow >= kSilentItemsToGiveUp && station.state == CopyState::Sending) {
        station.state = CopyState::Unreachable;
        station.failure = QObject::tr("the station stopped answering");
        return false;
    }
    return station.state == CopyState::Sending;
}

void CopyBook::StationEnded(int index, const QString& failure) {
    StationCopy& station = m_stations[Index(index)];
    if (station.state != CopyState::Sending) {
        return;  // given up on already
    }
    if (!failure.isEmpty()) {
        station.state = CopyState::Unreachable;
        station.failure = failure;
    } else if (m_cancelled && station.NotSent() > 0) {
        station.state = CopyState::Cancelled;
    } else {
        station.state = CopyState::Ended;
    }
}

void CopyBook::Cancel() {
    m_cancelled = true;
    for (StationCopy& station : m_stations) {
        if (station.state == CopyState::Planned || station.state == CopyState::Waiting) {
            station.state = CopyState::Cancelled;
        }
    }
}

bool CopyBook::Finished() const {
    return std::all_of(m_stations.begin(), m_stations.end(),
                       [](const StationCopy& s) { return Final(s.state); });
}

bool CopyBook::AllApplied() const {
    return std::all_of(m_stations.begin(), m_stations.end(), [](const StationCopy& s) {
        return s.state == CopyState::Ended && s.Applied() == static_cast<int>(s.results.size());
    });
}

QString StationSummary(const StationCopy& station) {
    switch (station.state) {
        case CopyState::Waiting:
            return QObject::tr("waiting");
        case CopyState::Reading:
            return QObject::tr("reading…");
        case CopyState::Unreachable:
            return station.results.empty() ? QObject::tr("unreachable: %1").arg(station.failure)
                                           : QObject::tr("unreachable (%1): %2")
                                                 .arg(Counts(station, true), station.failure);
        case CopyState::Planned:
            return QObject::tr("%n change(s)", nullptr, static_cast<int>(station.plan.size()));
        case CopyState::Sending:
            return QObject::tr("sending %1 of %2")
                .arg(station.results.size() + 1)
                .arg(std::max(station.plan.size(), station.results.size() + 1));
        case CopyState::Ended:
            return station.plan.empty() ? QObject::tr("already holds this configuration")
                                        : Counts(station, false);
        case CopyState::Cancelled:
            return station.results.empty()
                       ? QObject::tr("cancelled, nothing sent")
                       : QObject::tr("cancelled: %1").arg(Counts(station, true));
    }
    return {};
}

QString CopySummary(const std::vector<StationCopy>& stations) {
    int copied = 0;
    int held = 0;
    int failed = 0;
    int unreachable = 0;
    int cancelled = 0;
    int open = 0;
    for (const StationCopy& s : stations) {
        const bool clean = s.Applied() == static_cast<int>(s.results.size());
        copied += s.state == CopyState::Ended && clean && !s.plan.empty();
        held += s.state == CopyState::Ended && s.plan.empty();
        failed += s.state == CopyState::Ended && !clean;
        unreachable += s.state == CopyState::Unreachable;
        cancelled += s.state == CopyState::Cancelled;
        open += !Final(s.state);
    }
    QStringList parts;
    const auto add = [&parts](int count, const QString& text) {
        if (count > 0) {
            parts << text.arg(count);
        }
    };
    add(copied, QObject::tr("%1 copied"));
    add(held, QObject::tr("%1 already held it"));
    add(failed, QObject::tr("%1 with failures"));
    add(unreachable, QObject::tr("%1 unreachable"));
    add(cancelled, QObject::tr("%1 cancelled"));
    add(open, QObject::tr("%1 not done yet"));
    return QObject::tr("%n station(s): ", nullptr, static_cast<int>(stations.size())) +
           parts.join(QStringLiteral(", ")) + QLatin1Char('.');
}

}  // namespace volnar::config
