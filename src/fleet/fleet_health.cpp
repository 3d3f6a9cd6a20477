// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet/fleet_health.h"

#include <QSettings>
#include <QStringList>

#include <algorithm>
#include <cmath>

#include "core/text_rules.h"
#include "link/board_request.h"

namespace volnar {

namespace {

constexpr char kUnwatchedKey[] = "fleet/unwatched";
constexpr char kPollNoteKey[] = "fleet/pollNoteRead";
constexpr char kNotifyKey[] = "fleet/notifySilence";
constexpr int kNamedInNotice = 5;

}  // namespace

void LossWindow::Add(qint64 nowMs, bool lost) {
    const qint64 minute = nowMs / kBucketMs;
    Bucket& bucket = m_buckets[static_cast<std::size_t>(minute % kBuckets)];
    if (bucket.minute != minute) {
        bucket = Bucket{.minute = minute, .ended = 0, .lost = 0};
    }
    ++bucket.ended;
    bucket.lost += lost ? 1 : 0;
}

std::optional<double> LossWindow::LossPercent(qint64 nowMs) const {
    const qint64 minute = nowMs / kBucketMs;
    quint64 ended = 0;
    quint64 lost = 0;
    for (const Bucket& bucket : m_buckets) {
        if (bucket.minute > minute - kBuckets && bucket.minute <= minute) {
            ended += bucket.ended;
            lost += bucket.lost;
        }
    }
    if (ended == 0) {
        return std::nullopt;
    }
    return 100.0 * static_cast<double>(lost) / static_cast<double>(ended);
}

QString LossText(std::optional<double> percent) {
    if (!percent) {
        return {};
    }
    // Whole percent from 10 up; one decimal below, so a rare loss shows.
    const bool whole = *percent >= 10 || *percent == std::floor(*percent);
    return QString::number(*percent, 'f', whole ? 0 : 1) + QStringLiteral(" %");
}

QString LastSeenText(const QDateTime& now, std::optional<qint64> ageMs) {
    if (!ageMs) {
        return {};
    }
    const QDateTime seen = now.addMSecs(-*ageMs);
    return seen.date() == now.date() ? seen.toString(QStringLiteral("HH:mm:ss"))
                                     : seen.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

ChannelTriggers TriggersOfChannelRecord(std::string_view record) {
    text::FieldReader fields(record);
    for (int skipped = 0; skipped < 3; ++skipped) {
        fields.Next();  // channel, name, notes
    }
    const std::string_view high = fields.Next();
    const std::string_view low = fields.Next();
    const std::string_view highEnabled = fields.Next();
    const std::string_view lowEnabled = fields.Next();
    return TriggersOf(high, text::DecimalToInt(highEnabled) != 0, low,
                      text::DecimalToInt(lowEnabled) != 0);
}

std::vector<ChannelAlarm> AlarmsOf(const StatusRecord& record, const StationTriggers& triggers) {
    std::vector<ChannelAlarm> alarms;
    for (int n = 1; n <= kChannelCount; ++n) {
        const std::optional<ChannelTriggers>& levels = triggers[static_cast<std::size_t>(n - 1)];
        const std::optional<double> value = record.Channel(n).Value();
        if (!levels || !value) {
            continue;
        }
        if (levels->high && *value > *levels->high) {
            alarms.push_back({.channel = n, .high = true});
        } else if (levels->low && *value < *levels->low) {
            alarms.push_back({.channel = n, .high = false});
        }
    }
    return alarms;
}

StationAlarms AlarmsOf(const StatusRecord& record, const StationTriggers& triggers,
                       const RelayConfirmation& relays) {
    StationAlarms alarms{AlarmsOf(record, triggers), {}};
    for (int r = 1; r <= kRelayCount; ++r) {
        if (relays.StatusOf(r) == RelayConfirmation::Status::Mismatch) {
            alarms.relays.push_back(r);
        }
    }
    return alarms;
}

QString AlarmText(const StationAlarms& alarms, const StationTriggers& triggers,
                  const RelayConfirmation& relays) {
    QStringList parts;
    for (const ChannelAlarm& alarm : alarms.channels) {
        parts << QStringLiteral("input %1 %2")
                     .arg(alarm.channel)
                     .arg(alarm.high ? QStringLiteral("high") : QStringLiteral("low"));
    }
    for (const int relay : alarms.relays) {
        parts << QStringLiteral("relay %1: %2").arg(relay).arg(relays.Note(relay));
    }
    if (!parts.isEmpty()) {
        return parts.join(QStringLiteral(", "));
    }
    const bool known = std::all_of(triggers.begin(), triggers.end(),
                                   [](const auto& channel) { return channel.has_value(); });
    return known ? QStringLiteral("none") : QString();
}

std::vector<QString> SilenceNotices::Update(const std::vector<SilenceLook>& stations) {
    std::vector<QString> told;
    std::set<QString> silent;
    std::set<QString> seen;
    for (const SilenceLook& station : stations) {
        seen.insert(station.address);
        if (!station.silent || !station.answeredOnce) {
            continue;
        }
        silent.insert(station.address);
        const bool wasSilent = m_silent.count(station.address) > 0;
        const bool firstSeen = m_seen.count(station.address) == 0;
        if (station.watched && !wasSilent && !firstSeen) {
            told.push_back(station.address);
        }
    }
    m_silent = std::move(silent);
    m_seen = std::move(seen);
    return told;
}

QString SilenceNoticeText(const std::vector<QString>& addresses) {
    if (addresses.size() == 1) {
        return QStringLiteral("%1 went silent").arg(addresses.front());
    }
    QStringList named;
    for (std::size_t i = 0; i < addresses.size() && i < kNamedInNotice; ++i) {
        named << addresses[i];
    }
    QString list = named.join(QStringLiteral(", "));
    if (addresses.size() > kNamedInNotice) {
        list += QStringLiteral(", …");
    }
    return QStringLiteral("%1 stations went silent: %2").arg(addresses.size()).arg(list);
}

QString PollNoteText(int watched, int unwatched, int periodSeconds) {
    const QString whom = watched == 1
                             ? QStringLiteral("the 1 watched station")
                             : QStringLiteral("each of the %1 watched stations").arg(watched);
    QString text = QStringLiteral(
                       "The fleet overview sends a status request to %1 every %2 s, and reads "
                       "their trigger levels every 15 minutes; it changes nothing.")
                       .arg(whom)
                       .arg(periodSeconds);
    if (unwatched > 0) {
        text += unwatched == 1
                    ? QStringLiteral(" 1 station not watched is not polled.")
                    : QStringLiteral(" %1 stations not watched are not polled.").arg(unwatched);
    }
    return text + QStringLiteral(
                      " A row's menu (right click, Menu key) turns \"Watch in the fleet overview\" "
                      "on or off.");
}

QSet<QString> FleetSettings::Unwatched() {
    const QStringList stored = QSettings().value(QString::fromLatin1(kUnwatchedKey)).toStringList();
    QSet<QString> unwatched;
    for (const QString& address : stored) {
        if (const std::optional<QString> canonical = CanonicalIpv4(address.trimmed())) {
            unwatched.insert(*canonical);
        }
    }
    return unwatched;
}

void FleetSettings::SetWatched(const QString& address, bool watched) {
    const std::optional<QString> canonical = CanonicalIpv4(address.trimmed());
    if (!canonical) {
        return;
    }
    QSet<QString> unwatched = Unwatched();
    if (watched) {
        unwatched.remove(*canonical);
    } else {
        unwatched.insert(*canonical);
    }
    QStringList stored(unwatched.begin(), unwatched.end());
    stored.sort();
    QSettings settings;
    settings.setValue(QString::fromLatin1(kUnwatchedKey), stored);
    settings.sync();
}

bool FleetSettings::PollNoteRead() {
    return QSettings().value(QString::fromLatin1(kPollNoteKey), false).toBool();
}

void FleetSettings::SetPollNoteRead() {
    QSettings settings;
    settings.setValue(QString::fromLatin1(kPollNoteKey), true);
    settings.sync();
}

bool FleetSettings::NotifySilence() {
    return QSettings().value(QString::fromLatin1(kNotifyKey), false).toBool();
}

void FleetSettings::SetNotifySilence(bool notify) {
    QSettings settings;
    settings.setValue(QString::fromLatin1(kNotifyKey), notify);
    settings.sync();
}

}  // namespace volnar
