// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace volnar {

// One row of the station table `main`. Every field is text, as stored; a null
// column reads as an empty text. The numbers are converted by their readers.
struct StationRecord {
    QString IPADDRESS;
    QString PASSWORD;  // the SNMP community
    QString COMMENT;
    QString DEFAULT;  // "YES" marks the station chosen at start-up
    QString PORT;
    QString TIMEOUT;
    QString RETRIES;

    friend bool operator==(const StationRecord&, const StationRecord&) = default;
};

// The address every new database starts with; it can be listed and stored
// but never deleted, and nothing ever polls it.
inline constexpr char kProtectedAddress[] = "10.10.10.10";

// The ranges of a row's TIMEOUT (units of 0.64 s) and RETRIES that the
// station dialogs accept and the link uses; 0 or an empty TIMEOUT means the
// SNMP layer's default.
inline constexpr int kTimeoutMin = 1;
inline constexpr int kTimeoutMax = 100;
inline constexpr int kRetriesMin = 0;
inline constexpr int kRetriesMax = 10;

// The station address a chooser entry names: its first 15 characters (the
// longest dotted address), without trailing blanks and control characters.
// Leading blanks stay, so that such an entry names no station.
inline QString ChosenStation(const QString& chooserText) {
    constexpr qsizetype kAddressLength = 15;
    QString chosen = chooserText.left(kAddressLength);
    while (!chosen.isEmpty() && chosen.back().unicode() < u'!') {
        chosen.chop(1);
    }
    return chosen;
}

}  // namespace volnar
