// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet/fleet_poller.h"

#include <QLoggingCategory>
#include <QTimer>

#include <algorithm>
#include <set>
#include <utility>

#include <QRandomGenerator>

#include "core/freshness.h"
#include "core/status_panel.h"
#include "link/channel_record_read.h"
#include "link/snmp_session.h"

Q_LOGGING_CATEGORY(lcFleet, "volnar.fleet")

namespace volnar {

namespace {

constexpr qint64 kDefaultTimeoutMs = 1'000;  // net-snmp's own, for TIMEOUT 0

}  // namespace

QString FleetStateText(FleetState state) {
    switch (state) {
        case FleetState::Answering:
            return QStringLiteral("answering");
        case FleetState::Late:
            return QStringLiteral("late");
        case FleetState::NoSocket:
            return QStringLiteral("no socket");
        case FleetState::Unwatched:
            return QStringLiteral("not watched");
        case FleetState::Silent:
            break;
    }
    return QStringLiteral("silent");
}

FleetState StateForAge(std::optional<qint64> ageMs, qint64 periodMs, qint64 timeoutMs) {
    switch (FreshnessOfAge(ageMs, periodMs, timeoutMs)) {
        case Freshness::Fresh:
            return FleetState::Answering;
        case Freshness::Late:
            return FleetState::Late;
        case Freshness::Silent:
            break;
    }
    return FleetState::Silent;
}

std::optional<StationSettings> FleetSettingsFor(const StationRecord& record) {
    const std::optional<QString> address = CanonicalIpv4(record.IPADDRESS.trimmed());
    if (!address || *address == QLatin1String(kProtectedAddress)) {
        return std::nullopt;
    }
    return StationSettingsOf(*address, record);
}

FleetPoller::FleetPoller(QObject* parent, TransportFactory factory)
    : QObject(parent), m_factory(std::move(factory)), m_timer(new QTimer(this)) {
    if (!m_factory) {
        m_factory = [] { return std::make_unique<SnmpSession>(); };
    }
    m_clock.start();
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &FleetPoller::Tick);
}

FleetPoller::~FleetPoller() {
    for (Poll& poll : m_polls) {
        poll.transport->Close();
    }
}

void FleetPoller::SetStations(const std::vector<StationRecord>& records) {
    // A station still in the directory keeps its row: counters, readings,
    // session and the request in flight (a re-read directory resets nobody).
    std::map<std::pair<QString, int>, std::size_t> kept;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        kept.emplace(std::pair(m_rows[i].address, m_rows[i].settings.port), i);
    }
    std::vector<FleetRow> oldRows = std::move(m_rows);
    std::vector<Poll> oldPolls = std::move(m_polls);
    std::vector<bool> reused(oldRows.size(), false);
    m_rows.clear();
    m_polls.clear();
    // Probes end now, with what is known; the rows may move.
    for (auto& [index, waiting] : std::exchange(m_probes, {})) {
        for (const auto& done : waiting) {
            done();
        }
    }
    m_nextIndex = 0;
    m_roundSent = false;
    m_duplicateRows = 0;
    std::set<std::pair<QString, int>> endpoints;
    for (const StationRecord& record : records) {
        const std::optional<StationSettings> settings = FleetSettingsFor(record);
        if (!settings) {
            qCDebug(lcFleet) << "not polled:" << record.IPADDRESS;
            continue;
        }
        const std::pair endpoint(settings->address, settings->port);
        if (!endpoints.insert(endpoint).second) {
            ++m_duplicateRows;
            qCWarning(lcFleet).noquote()
                << QStringLiteral(
                       "duplicate directory row for %1:%2 (%3): the station is "
                       "polled once")
                       .arg(settings->address)
                       .arg(settings->port)
                       .arg(record.IPADDRESS);
            continue;
        }
        const auto old = kept.find(endpoint);
        if (old != kept.end()) {
            reused[old->second] = true;
            FleetRow& row = oldRows[old->second];
            row.comment = record.COMMENT;
            row.settings = *settings;
            row.watched = !m_unwatched.contains(row.address);
            AddRow(std::move(row), oldPolls[old->second]);
        } else {
            FleetRow row;
            row.address = settings->address;
            row.comment = record.COMMENT;
            row.settings = *settings;
            row.watched = !m_unwatched.contains(row.address);
            row.readings = std::make_unique<StatusPanel>();
            Poll poll;
            poll.transport = m_factory().release();
            poll.transport->setParent(this);
            poll.nextId = static_cast<int>(QRandomGenerator::global()->bounded(1, 1'000'000'000));
            AddRow(std::move(row), poll);
        }
    }
    m_outstanding = 0;
    for (const Poll& poll : m_polls) {
        m_outstanding += poll.status.InFlightId() != 0 ? 1 : 0;
    }
    for (std::size_t i = 0; i < oldPolls.size(); ++i) {
        if (!reused[i]) {
            oldPolls[i].transport->Close();
            oldPolls[i].transport->deleteLater();
        }
    }
}

void FleetPoller::AddRow(FleetRow row, Poll poll) {
    const int index = static_cast<int>(m_rows.size());
    // Each transport answers for its own row: no search per answer.
    disconnect(poll.transport, nullptr, this, nullptr);
    connect(poll.transport, &SnmpTransport::ResponseReceived, this,
            [this, index](const BoardResponse& response) { OnAnswer(index, response); });
    connect(poll.transport, &SnmpTransport::TimedOut, this,
            [this, index](int requestId) { OnTimeout(index, requestId); });
    m_rows.push_back(std::move(row));
    m_polls.push_back(poll);
}

void FleetPoller::SetUnwatched(const QSet<QString>& addresses) {
    m_unwatched = addresses;
    for (int index = 0; index < RowCount(); ++index) {
        FleetRow& row = m_rows[static_cast<std::size_t>(index)];
        const bool watched = !m_unwatched.contains(row.address);
        if (row.watched != watched) {
            row.watched = watched;
            Q_EMIT RowChanged(index);
        }
    }
}

int FleetPoller::WatchedCount() const {
    return static_cast<int>(std::count_if(m_rows.begin(), m_rows.end(),
                                          [](const FleetRow& row) { return row.watched; }));
}

void FleetPoller::SetPeriodMs(int periodMs) {
    m_periodMs = std::max(periodMs, kShortestPeriodMs);
    if (m_timer->isActive()) {
        m_timer->start(TickMs());
    }
}

int FleetPoller::TickMs() const {
    const int perStation = RowCount() > 0 ? m_periodMs / RowCount() : m_periodMs;
    return std::clamp(perStation, kShortestTickMs, 1000);
}

void FleetPoller::Start() {
    m_roundStartMs = NowMs();
    m_nextIndex = 0;
    m_timer->start(TickMs());
    Tick();
}

void FleetPoller::Stop() {
    m_timer->stop();
}

void FleetPoller::Tick() {
    const int rows = RowCount();
    const qint64 now = NowMs();
    if (m_nextIndex >= rows) {
        if (now - m_roundStartMs < m_periodMs) {
            return;
        }
        // The next round; after a stall (a suspended machine), from now.
        m_roundStartMs += m_periodMs;
        if (now - m_roundStartMs >= m_periodMs) {
            m_roundStartMs = now;
        }
        m_nextIndex = 0;
    }
    // Station i's turn comes i periods / rows into the round: the requests
    // are spread over the period, never a burst of thousands at once.
    const qint64 due = std::min<qint64>(rows, (now - m_roundStartMs) * rows / m_periodMs + 1);
    while (m_nextIndex < due) {
        PollOne(m_nextIndex++);
    }
    m_roundSent = m_nextIndex >= rows;
}

void FleetPoller::PollAll() {
    m_roundStartMs = NowMs();
    for (int index = 0; index < RowCount(); ++index) {
        PollOne(index);
    }
    m_nextIndex = RowCount();
    m_roundSent = true;
}

void FleetPoller::PollOne(int index) {
    if (!m_rows[static_cast<std::size_t>(index)].watched) {
        return;
    }
    if (m_polls[static_cast<std::size_t>(index)].status.InFlightId() != 0) {
        ++m_rows[static_cast<std::size_t>(index)].counters.missed;
        return;
    }
    Send(index);
}

void FleetPoller::Send(int index) {
    FleetRow& row = m_rows[static_cast<std::size_t>(index)];
    Poll& poll = m_polls[static_cast<std::size_t>(index)];
    const int id = NextId(poll);
    row.asked = true;
    const SendStatus sent = poll.transport->Send(StatusPoll::Request(row.settings, id));
    row.noSocket = sent == SendStatus::SessionFailed;
    if (row.noSocket) {
        // Out of file descriptors, most likely: a row state, counted and
        // logged (the first twenty, then every thousandth), never a gap.
        if (++m_noSocketLogged <= 20 || m_noSocketLogged % 1000 == 0) {
            qCWarning(lcFleet).noquote() << QStringLiteral("no socket for %1 (%2 so far)")
                                                .arg(row.address)
                                                .arg(m_noSocketLogged);
        }
        ++row.counters.noSocket;
        row.loss.Add(NowMs(), true);
        Q_EMIT RowChanged(index);
        EndProbes(index);
        return;
    }
    if (sent != SendStatus::Accepted) {
        ++row.counters.lost;
        row.loss.Add(NowMs(), true);
        Q_EMIT RowChanged(index);
        EndProbes(index);
        return;
    }
    poll.status.Sent(id);
    ++m_outstanding;
}

void FleetPoller::OnAnswer(int index, const BoardResponse& response) {
    FleetRow& row = m_rows[static_cast<std::size_t>(index)];
    const std::optional<StatusPollEnding> ending =
        m_polls[static_cast<std::size_t>(index)].status.Answer(response);
    if (!ending) {
        if (response.requestId == m_polls[static_cast<std::size_t>(index)].triggerId) {
            OnTriggerEnding(index, &response);
        }
        return;
    }
    row.lastAnswerMs = NowMs();
    row.loss.Add(NowMs(), false);
    row.rttMs = ending->roundTripMs;
    if (ending->kind != StatusPollEnding::Kind::Answered) {
        ++row.counters.refused;
    } else {
        ++row.counters.received;
        row.readings->ShowStatusRecord(std::string_view(
            response.value.constData(), static_cast<std::size_t>(response.value.size())));
        row.hasRecord = true;
        row.relays.OnStatus(row.readings->Record());
        ReadTriggers(index);
    }
    Settle(index);
}

void FleetPoller::ChangeRowsOf(const QString& address,
                               const std::function<void(FleetRow&)>& change) {
    for (int n = 0; n < RowCount(); ++n) {
        if (m_rows[static_cast<std::size_t>(n)].address == address) {
            change(m_rows[static_cast<std::size_t>(n)]);
            Q_EMIT RowChanged(n);
        }
    }
}

void FleetPoller::ExpectRelay(const QString& address, int relay, int state) {
    ChangeRowsOf(address, [relay, state](FleetRow& row) { row.relays.Expect(relay, state); });
}

void FleetPoller::SetTriggers(const QString& address, int channel,
                              const ChannelTriggers& triggers) {
    if (channel < 1 || channel > kChannelCount) {
        return;
    }
    ChangeRowsOf(address, [channel, &triggers](FleetRow& row) {
        row.triggers[static_cast<std::size_t>(channel - 1)] = triggers;
    });
}

void FleetPoller::OnTimeout(int index, int requestId) {
    Poll& poll = m_polls[static_cast<std::size_t>(index)];
    if (!poll.status.TimeOut(requestId)) {
        if (requestId == poll.triggerId) {
            OnTriggerEnding(index, nullptr);
        }
        return;
    }
    FleetRow& row = m_rows[static_cast<std::size_t>(index)];
    ++row.counters.lost;
    row.loss.Add(NowMs(), true);
    Settle(index);
}

int FleetPoller::NextId(Poll& poll) {
    const int id = poll.nextId;
    poll.nextId = poll.nextId >= 1'000'000'000 ? 1 : poll.nextId + 1;
    return id;
}

void FleetPoller::ReadTriggers(int index) {
    const FleetRow& row = m_rows[static_cast<std::size_t>(index)];
    const Poll& poll = m_polls[static_cast<std::size_t>(index)];
    const bool due = !row.triggersReadMs || NowMs() - *row.triggersReadMs >= kTriggerRefreshMs;
    if (m_readTriggers && row.watched && poll.triggerChannel == 0 && due) {
        // Read again after the refresh time, whether this read succeeds or not.
        m_rows[static_cast<std::size_t>(index)].triggersReadMs = NowMs();
        SendTriggerRead(index, 1);
    }
}

void FleetPoller::SendTriggerRead(int index, int channel) {
    FleetRow& row = m_rows[static_cast<std::size_t>(index)];
    Poll& poll = m_polls[static_cast<std::size_t>(index)];
    const BoardRequest request = ChannelRecordRead::Request(row.settings, channel, NextId(poll));
    if (poll.transport->Send(request) != SendStatus::Accepted) {
        poll.triggerChannel = 0;
        return;
    }
    poll.triggerId = request.requestId;
    poll.triggerChannel = channel;
}

void FleetPoller::OnTriggerEnding(int index, const BoardResponse* response) {
    Poll& poll = m_polls[static_cast<std::size_t>(index)];
    const int channel = poll.triggerChannel;
    poll.triggerId = 0;
    poll.triggerChannel = 0;
    // A lost or refused read leaves the levels as they were until the next.
    const auto record = response ? ChannelRecordRead::Record(*response, channel) : std::nullopt;
    if (!record) {
        return;
    }
    m_rows[static_cast<std::size_t>(index)].triggers[static_cast<std::size_t>(channel - 1)] =
        TriggersOfChannelRecord(*record);
    if (channel < kChannelCount) {
        SendTriggerRead(index, channel + 1);
    } else {
        Q_EMIT RowChanged(index);
    }
}

void FleetPoller::Settle(int index) {
    if (--m_outstanding == 0 && m_roundSent) {
        m_lastRoundMs = NowMs() - m_roundStartMs;
        m_roundSent = false;
    }
    Q_EMIT RowChanged(index);
    EndProbes(index);
}

void FleetPoller::Probe(int index, std::function<void()> done) {
    if (index < 0 || index >= RowCount()) {
        done();
        return;
    }
    m_probes[index].push_back(std::move(done));
    if (m_polls[static_cast<std::size_t>(index)].status.InFlightId() == 0) {
        Send(index);
    }
}

void FleetPoller::EndProbes(int index) {
    const auto found = m_probes.find(index);
    if (found == m_probes.end()) {
        return;
    }
    const std::vector<std::function<void()>> waiting = std::move(found->second);
    m_probes.erase(found);
    for (const auto& done : waiting) {
        done();
    }
}

qint64 FleetPoller::TimeoutMs(const FleetRow& row) const {
    const qint64 one = row.settings.timeoutMicroseconds > 0
                           ? row.settings.timeoutMicroseconds / 1000
                           : kDefaultTimeoutMs;
    return one * (row.settings.retries + 1);
}

std::optional<qint64> FleetPoller::AgeMs(int index) const {
    const FleetRow& row = Row(index);
    if (!row.lastAnswerMs) {
        return std::nullopt;
    }
    return NowMs() - *row.lastAnswerMs;
}

FleetState FleetPoller::StateOf(int index) const {
    if (!Row(index).watched) {
        return FleetState::Unwatched;
    }
    if (Row(index).noSocket) {
        return FleetState::NoSocket;
    }
    return StateForAge(AgeMs(index), m_periodMs, TimeoutMs(Row(index)));
}

FleetCounters FleetPoller::Totals() const {
    FleetCounters totals;
    for (const FleetRow& row : m_rows) {
        totals.received += row.counters.received;
        totals.lost += row.counters.lost;
        totals.refused += row.counters.refused;
        totals.missed += row.counters.missed;
        totals.noSocket += row.counters.noSocket;
    }
    return totals;
}

}  // namespace volnar
