// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet_view/fleet_table_model.h"

#include <limits>

#include <QBrush>
#include <QColor>

#include "core/status_panel.h"
#include "fleet/fleet_poller.h"

namespace volnar {

FleetSummary SummaryOf(const FleetPoller& poller) {
    FleetSummary summary;
    for (int n = 0; n < poller.RowCount(); ++n) {
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
        }
    }
    return summary;
}

QString SummaryText(const FleetSummary& summary) {
    return QStringLiteral("answering %1 · late %2 · silent %3 · never %4")
        .arg(summary.answering)
        .arg(summary.late)
        .arg(summary.silent)
        .arg(summary.never);
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
    const FleetRow& row = m_poller.Row(index.row());
    const FleetState state = m_poller.StateOf(index.row());
    // A station without a socket is as unheard as a silent one.
    const bool silent = state == FleetState::Silent || state == FleetState::NoSocket;
    if (role == kSilentRole) {
        return silent ? 1 : 0;
    }
    if (role == Qt::BackgroundRole) {
        if (silent) {
            return QBrush(QColor(0xF4, 0xC7, 0xC3));
        }
        if (state == FleetState::Late) {
            return QBrush(QColor(0xFC, 0xE8, 0xB2));
        }
        return {};
    }
    if (role != Qt::DisplayRole && role != kSortRole) {
        return {};
    }
    const bool sort = role == kSortRole;
    const StatusPanel& readings = *row.readings;
    const StatusRecord& record = readings.Record();
    const int column = index.column();
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
            return sort
                       ? QVariant(static_cast<int>(state))
                       : QVariant(StateWithAge(FleetStateText(state), m_poller.AgeMs(index.row())));
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
        Q_EMIT dataChanged(index(0, kState), index(m_poller.RowCount() - 1, kState));
    }
}

}  // namespace volnar
