// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What volnar-bench-soak reads after its run: the station's request log, the
// client's log and the recording. Plain code over the files' bytes.
#include <QByteArray>
#include <QList>
#include <QString>
#include <string_view>

namespace volnar::bench::soak {

struct StationFigures {
    int statusGets = 0;  // status GET datagrams that arrived, resends included
    int dropped = 0;     // of those, left unanswered by --drop
    int answered = 0;    // of those, answered
    // Status polls the station answered: answered GETs, a second answered
    // copy of the same request id right after the first counted once.
    int answersToClient = 0;
    int sessions = 0;  // runs of request ids from 501 upward: the client's session starts
};

// `lines`: the simulator's log, one JSON object a line (its restarts append).
StationFigures ReadStationLog(const QList<QByteArray>& lines, std::string_view statusOid);

struct ClientFigures {
    int gaps = 0;           // gaps opened in the history (a run of losses or a stop is one)
    int lostGaps = 0;       // of those, opened by a lost answer
    int restarts = 0;       // unattended restarts announced
    int historyResets = 0;  // a gap line with fewer samples than the one before it
    int recordingFailures = 0;
};

// The client's stderr with volnar.history's info lines on.
ClientFigures ReadClientLog(const QByteArray& log);

// Rows (lines after the header) of a CSV file whose rows end with CR LF and
// hold no line break inside a field, as the recorder writes the status
// answers; -1 when the file cannot be read.
int CsvRows(const QString& path);

}  // namespace volnar::bench::soak
