// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet_view/fleet_table_model.h"

#include <limits>

#include <QBrush>
#include <QColor>
#include <QDateTime>

#include "core/status_panel.h"
#include "fleet/fleet_poller.h"

namespace volnar {

FleetSummary SummaryOf(const FleetPoller& poller) {
    FleetSummary summary;
    for (int n = 0; n < poller.RowCount(); ++n) {
        const FleetRow& row = poller.Row(n);
        if (!row.watched) {
            ++summary.unwatched;
            continue;
        }
        if (row.hasRecord &&
            AlarmsOf(row.readings->Record(), row.triggers, row.relays).Count() > 0) {
            ++summary.alarms;
        }
        if (!poller.AgeMs(n)) {
            ++summary.never;
            continue;
        }
        switch (poller.StateOf(n)) {
            case FleetState::Answering:
                ++summary.answering;
                break;
            case FleetState::Late:
                ++summary.late;
                break;
            case FleetState::Silent:
            case FleetState::NoSocket:  // answered once, now without a socket
                ++summary.silent;
                break;
            case FleetState::Unwatched:
                break;
        }
    }
    return summary;
}

QString SummaryText(const FleetSummary& summary) {
    QString text = QStringLiteral("answering %1 · late %2 · silent %3 · never %4")
                       .arg(summary.answering)
                       .arg(summary.late)
                       .arg(summary.silent)
                       .arg(summary.never);
    if (summary.alarms > 0) {
        text += QStringLiteral(" · in alarm %1").arg(summary.alarms);
    }
    if (summary.unwatched > 0) {
        text += QStringLiteral(" · not watched %1").arg(summary.unwatched);
    }
    return text;
}

QString StateWithAge(const QString& state, std::optional<qint64> ageMs) {
    if (!ageMs) {
        return state + QStringLiteral(" (never)");
    }
    const qint64 seconds = *ageMs / 1000;
    if (seconds < 120) {
        return state + QStringLiteral(" (%1 s)").arg(seconds);
    }
    if (seconds < 7200) {
        return state + QStringLiteral(" (%1 min)").arg(seconds / 60);
    }
    return state + QStringLiteral(" (%1 h)").arg(seconds / 3600);
}

FleetTableModel::FleetTableModel(FleetPoller& poller, QObject* parent)
    : QAbstractTableModel(parent), m_poller(poller) {
    connect(&m_poller, &FleetPoller::RowChanged, this,
            [this](int row) { Q_EMIT dataChanged(index(row, 0), index(row, kColumnCount - 1)); });
}

int FleetTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_poller.RowCount();
}

int FleetTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant FleetTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_poller.RowCount()) {
        return {};
    }
    if (role != Qt::DisplayRole && role != kSortRole) {
        return LookData(index, role);
    }
    const FleetRow& row = m_poller.Row(index.row());
    const FleetState state = m_poller.StateOf(index.row());
    const bool sort = role == kSortRole;
    const StatusPanel& readings = *row.readings;
    const StatusRecord& record = readings.Record();
    const int column = index.column();
    if (column >= kAlarm && column <= kLoss) {
        return HealthData(index.row(), column, sort);
    }
    switch (column) {
        case kAddress:
            // Sorted by the address's value, not its text.
            return sort ? QVariant(QVariant::fromValue(
                              row.address.section(QLatin1Char('.'), 0, 0).toUInt() << 24 |
                              row.address.section(QLatin1Char('.'), 1, 1).toUInt() << 16 |
                              row.address.section(QLatin1Char('.'), 2, 2).toUInt() << 8 |
                              row.address.section(QLatin1Char('.'), 3, 3).toUInt()))
                        : QVariant(row.address);
        case kComment:
            return row.comment;
        case kStation:
            return row.hasRecord ? readings.StationName().trimmed() : QString();
        case kState:
            if (sort) {
                return static_cast<int>(state);
            }
            // An unwatched station that never answered has no age to give.
            if (state == FleetState::Unwatched && !row.lastAnswerMs) {
                return FleetStateText(state);
            }
            if (!row.asked) {
                return tr("not asked yet");
            }
            return StateWithAge(FleetStateText(state), m_poller.AgeMs(index.row()));
        case kRoundTrip:
            if (!row.rttMs) {
                return {};
            }
            return sort ? QVariant(*row.rttMs) : QVariant(QStringLiteral("%1 ms").arg(*row.rttMs));
        case kTemperature:
            if (!row.hasRecord) {
                return {};
            }
            return sort ? QVariant(record.Celsius().value_or(qQNaN()))
                        : QVariant(readings.TemperatureCelsius().trimmed() + QStringLiteral(" °C"));
        default:
            break;
    }
    if (!row.hasRecord) {
        return {};
    }
    if (column < kFirstReading) {
        const int relay = column - kFirstRelay + 1;
        const std::optional<bool> on = record.Relay(relay).On();
        if (sort) {
            return on ? QVariant(*on ? 1 : 0) : QVariant(-1);
        }
        return readings.RelayName(relay).trimmed() + (!on   ? QStringLiteral(": ?")
                                                      : *on ? QStringLiteral(": on")
                                                            : QStringLiteral(": off"));
    }
    // Sorted by the value: a reading that is no number sorts below every number.
    const ChannelStatus& channel = record.Channel(column - kFirstReading + 1);
    if (sort) {
        return channel.Value().value_or(-std::numeric_limits<double>::infinity());
    }
    return QString::fromLatin1(ReadingText(channel)).trimmed() + QLatin1Char(' ') +
           UnitSymbol(channel.unit);
}

QVariant FleetTableModel::LookData(const QModelIndex& index, int role) const {
    const FleetRow& row = m_poller.Row(index.row());
    const FleetState state = m_poller.StateOf(index.row());
    // A station without a socket is as unheard as a silent one.
    // Silent only once asked: before the first poll nothing is known.
    const bool silent = row.asked && (state == FleetState::Silent || state == FleetState::NoSocket);
    switch (role) {
        case kSilentRole:
            return silent ? 1 : 0;
        case kAddressRole:
            return row.address;
        case Qt::ForegroundRole: {
            if (!row.watched) {
                return QBrush(QColor(0x6E, 0x6E, 0x6E));
            }
            // A station in alarm: its alarm text in dark red (7:1 on white).
            const bool alarm =
                index.column() == kAlarm && HealthData(index.row(), kAlarm, true) != 0;
            return alarm ? QVariant(QBrush(QColor(0xA0, 0x00, 0x00))) : QVariant();
        }
        case Qt::BackgroundRole:
            if (silent) {
                return QBrush(QColor(0xF4, 0xC7, 0xC3));
            }
            if (state == FleetState::Late) {
                return QBrush(QColor(0xFC, 0xE8, 0xB2));
            }
            return {};
        default:
            return {};
    }
}

QVariant FleetTableModel::HealthData(int index, int column, bool sort) const {
    const FleetRow& row = m_poller.Row(index);
    if (column == kLastSeen) {
        const std::optional<qint64> age = m_poller.AgeMs(index);
        if (sort) {
            return age ? QVariant(-*age) : QVariant(std::numeric_limits<qint64>::min());
        }
        return LastSeenText(QDateTime::currentDateTime(), age);
    }
    if (column == kLoss) {
        const std::optional<double> loss = row.loss.LossPercent(m_poller.NowMs());
        return sort ? QVariant(loss.value_or(-1)) : QVariant(LossText(loss));
    }
    // kAlarm: what a station last said is kept; its channels' values and
    // the levels read decide, and the relays it did not switch as asked.
    const StationAlarms alarms = row.hasRecord
                                     ? AlarmsOf(row.readings->Record(), row.triggers, row.relays)
                                     : StationAlarms{};
    if (sort) {
        return alarms.Count();
    }
    return row.hasRecord ? AlarmText(alarms, row.triggers, row.relays) : QString();
}

QVariant FleetTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    switch (section) {
        case kAddress:
            return tr("Address");
        case kComment:
            return tr("Comment");
        case kStation:
            return tr("Station");
        case kState:
            return tr("State");
        case kAlarm:
            return tr("Alarm");
        case kLastSeen:
            return tr("Last seen");
        case kLoss:
            return tr("Loss (1 h)");
        case kRoundTrip:
            return tr("Round trip");
        case kTemperature:
            return tr("Temperature");
        default:
            break;
    }
    if (section < kFirstReading) {
        return tr("Relay %1").arg(section - kFirstRelay + 1);
    }
    return tr("Input %1").arg(section - kFirstReading + 1);
}

void FleetTableModel::Reset() {
    beginResetModel();
    endResetModel();
}

void FleetTableModel::RefreshStates() {
    if (m_poller.RowCount() > 0) {
        Q_EMIT dataChanged(index(0, kState), index(m_poller.RowCount() - 1, kLoss));
    }
}

}  // namespace volnar
