// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The simulated station of volnar-bench-slowlink: one volnar-station process
// on a loopback port, its state file (what the tables hold at a given moment)
// and its request log (what arrived and what the station did).
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace volnar::bench::slowlink {

// The station's tables and channel notes, read from its state file.
struct StationTables {
    bool valid = false;
    // Every field of a row, id first: a script's id, type, name, description
    // and commands; an alert's id and its thirteen fields.
    QList<QStringList> scripts;
    QList<QStringList> alerts;
    QStringList channelNotes;  // channel 1 first
};

class Station {
public:
    explicit Station(QString folder);
    ~Station();
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    // Writes the state the run starts from: `scripts` and `alerts` generated
    // rows, and notes of its own on every channel, so that a channel record
    // tells which channel it is. False with the reason on stderr.
    bool Prepare(int scripts, int alerts);
    // Starts the simulator on that state with its log and `conditions`
    // (--delay, --drop, ...); the port, or 0.
    quint16 Start(const QStringList& conditions);
    void Stop();

    StationTables Tables() const;
    // Every line of the log, parsed (request lines carry "pdu", the
    // station's own doings "event").
    QList<QJsonObject> LogLines() const;

private:
    quint16 Launch(const QStringList& arguments);
    QString StatePath() const;

    QString m_folder;
    QProcess m_process;
};

}  // namespace volnar::bench::slowlink
