// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QSet>
#include <QString>

#include <array>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

#include "core/relay_confirmation.h"
#include "core/status_record.h"

// What the fleet overview says of each station beyond its last answer: the
// share of requests lost over the last hour, the channels past an enabled
// trigger, which stations have newly gone silent, and the operator's own
// choices (which stations are watched, whether silence is told). Plain
// logic; the window only shows it.
namespace volnar {

// The requests that ended over the last hour, in one-minute buckets, so a
// station polled every second costs 60 buckets, not 3,600 entries.
class LossWindow final {
public:
    static constexpr qint64 kBucketMs = 60'000;
    static constexpr int kBuckets = 60;

    // A request ended at nowMs (a monotonic clock): answered, or lost (timed
    // out or not sent).
    void Add(qint64 nowMs, bool lost);
    // The lost share in percent of the requests that ended in the last
    // kBuckets minutes (the current one included); nullopt when none did.
    std::optional<double> LossPercent(qint64 nowMs) const;

private:
    struct Bucket {
        qint64 minute = -1;
        quint32 ended = 0;
        quint32 lost = 0;
    };
    std::array<Bucket, kBuckets> m_buckets{};
};

// "0 %", "2.5 %", "100 %"; empty for nullopt.
QString LossText(std::optional<double> percent);

// When a station last answered, on the wall clock: "14:03:27" today,
// "2026-12-06 23:59" before; empty when it never answered.
QString LastSeenText(const QDateTime& now, std::optional<qint64> ageMs);

// A channel's two triggers as its configuration record holds them: the level of
// each enabled trigger (nullopt: disabled, or a level that is no number).
// From the channel's configuration record (.66.n, station text): field 4 the
// high level, 5 the low level, 6 and 7 their enabled flags (an integer, 0
// off).
ChannelTriggers TriggersOfChannelRecord(std::string_view record);

using StationTriggers = std::array<std::optional<ChannelTriggers>, kChannelCount>;

// A channel past one of its enabled triggers: above the high level or below
// the low one, comparing the value as shown (a reading that is no number is
// past nothing).
struct ChannelAlarm {
    int channel = 0;  // 1-8
    bool high = false;
    friend bool operator==(const ChannelAlarm&, const ChannelAlarm&) = default;
};
std::vector<ChannelAlarm> AlarmsOf(const StatusRecord& record, const StationTriggers& triggers);
// A station's alarms: its channels past a trigger, and the relays whose
// switch, asked from this client, the station did not follow.
struct StationAlarms {
    std::vector<ChannelAlarm> channels;
    std::vector<int> relays;  // 1-4
    int Count() const { return static_cast<int>(channels.size() + relays.size()); }
};
StationAlarms AlarmsOf(const StatusRecord& record, const StationTriggers& triggers,
                       const RelayConfirmation& relays);
// "input 3 high, input 5 low, relay 2: station still reports OFF"; "none"
// without alarms when every channel's triggers are known; empty while none
// are known and no relay is in alarm.
QString AlarmText(const StationAlarms& alarms, const StationTriggers& triggers,
                  const RelayConfirmation& relays);

// One station as the silence notices see it.
struct SilenceLook {
    QString address;
    bool watched = true;
    bool answeredOnce = false;
    bool silent = false;  // silent, or without a socket
};

// Which stations have just gone silent: a watched station that had answered
// and is silent now, once per silent spell. An unwatched station, one that
// never answered, or one silent when first seen (the window opened on it) is
// never told.
class SilenceNotices final {
public:
    std::vector<QString> Update(const std::vector<SilenceLook>& stations);

private:
    std::set<QString> m_silent;  // silent at the last update (told or not)
    std::set<QString> m_seen;
};

// The desktop notice: "127.0.1.5 went silent"; for more,
// "3 stations went silent: 127.0.1.5, 127.0.1.6, 127.0.1.9" (at most five
// named, then "…").
QString SilenceNoticeText(const std::vector<QString>& addresses);

// The note shown before the first poll: what will be polled and how often.
QString PollNoteText(int watched, int unwatched, int periodSeconds);

// The operator's own choices for the fleet overview, kept in the client's
// settings (never in the station table): the stations not watched, by
// canonical address (127.0.3.01 is 127.0.3.1), whether the note before the
// first poll was read, whether a station going silent raises a desktop notice.
class FleetSettings final {
public:
    static QSet<QString> Unwatched();
    // An address that is no IPv4 address is ignored.
    static void SetWatched(const QString& address, bool watched);
    static bool PollNoteRead();
    static void SetPollNoteRead();
    static bool NotifySilence();
    static void SetNotifySilence(bool notify);
};

}  // namespace volnar
