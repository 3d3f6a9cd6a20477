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

}  // namespace volnar
