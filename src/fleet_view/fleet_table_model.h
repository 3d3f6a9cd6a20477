// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractTableModel>

namespace volnar {

class FleetPoller;

// The fleet poller's rows as a table: address, comment, station name, state
// (with the age of the last answer), alarm (the channels past an enabled
// trigger), last seen, loss over the last hour, round trip, temperature, the
// 4 relays and the 8 readings in their units. A row is refreshed when its
// answer arrives; the state, last seen and loss columns of all rows once a
// second. Unwatched rows are greyed.
class FleetTableModel final : public QAbstractTableModel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FleetTableModel)

public:
    enum Column : int {
        kAddress,
        kComment,
        kStation,
        kState,
        kAlarm,
        kLastSeen,
        kLoss,
        kRoundTrip,
        kTemperature,
        kFirstRelay,
        kFirstReading = kFirstRelay + 4,
        kColumnCount = kFirstReading + 8,
    };
    // Sorts by this role: numbers as numbers, texts as texts.
    static constexpr int kSortRole = Qt::UserRole;
    // 1 for a silent row, for the window's colour.
    static constexpr int kSilentRole = Qt::UserRole + 1;
    // The row's address (any column), for the window's row actions.
    static constexpr int kAddressRole = Qt::UserRole + 2;

    explicit FleetTableModel(FleetPoller& poller, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The poller's stations were replaced.
    void Reset();
    // Ages moved on: the state and age columns of every row.
    void RefreshStates();

private:
    // The roles other than the texts: colours, the silent mark, the address.
    QVariant LookData(const QModelIndex& index, int role) const;
    // The alarm, last seen and loss columns.
    QVariant HealthData(int index, int column, bool sort) const;

    FleetPoller& m_poller;
};

// How many stations are in each state; a station that never answered is
// counted as never, not as silent.
struct FleetSummary {
    int answering = 0;
    int late = 0;
    int silent = 0;
    int never = 0;
    int unwatched = 0;
    int alarms = 0;  // watched stations with a channel past a trigger
};
FleetSummary SummaryOf(const FleetPoller& poller);
// "answering 17 · late 1 · silent 1 · never 1", then " · in alarm 2" and
// " · not watched 3" when there are any.
QString SummaryText(const FleetSummary& summary);

// "answering (3 s)", "late (25 s)", "silent (2 min)", "silent (never)".
QString StateWithAge(const QString& state, std::optional<qint64> ageMs);

}  // namespace volnar
