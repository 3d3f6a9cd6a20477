// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

namespace volnar::testing {

// Runs volnar-station on a free loopback port for one test. The simulator
// logs every request it receives to a file in its own temporary folder;
// LogLines() reads it back as parsed JSON objects. Destruction stops it
// (SIGTERM, then SIGKILL if it does not end).
//
//     StationSimulator sim({"--scripts", "3"});
//     ASSERT_TRUE(sim.Start()) << qPrintable(sim.errorText());
//     ... talk to 127.0.0.1:sim.port() with community sim.community() ...
//     EXPECT_TRUE(sim.WaitForLog([](const QJsonObject& l) { return l["pdu"] == "SET"; }));
class StationSimulator final {
public:
    // extraArgs go after --listen, --community and --log; community is also
    // what community() reports.
    explicit StationSimulator(QStringList extraArgs = {},
                              QString community = QStringLiteral("public"));
    ~StationSimulator();
    StationSimulator(const StationSimulator&) = delete;
    StationSimulator& operator=(const StationSimulator&) = delete;

    // Starts the process and waits (up to timeoutMs) for its "listening on"
    // line. False with errorText() set when it does not come.
    bool Start(int timeoutMs = 10000);
    // SIGTERM and wait; true when the simulator ended cleanly with status 0.
    bool Stop(int timeoutMs = 5000);
    bool isRunning() const;

    quint16 port() const { return m_port; }
    QString community() const { return m_community; }
    QString host() const { return QStringLiteral("127.0.0.1"); }
    QString logFilePath() const;
    // A folder that lives as long as this object, for state files and the like.
    QString workDir() const;
    QString errorText() const { return m_error; }
    // What the simulator wrote to stderr so far.
    QString standardError();

    // Every line of the log parsed as JSON (lines that do not parse are
    // skipped). Request lines carry "pdu"; lines the station writes about
    // its own doings (alert_executed, relay_switched, script_executed, ...)
    // carry "event" instead.
    QList<QJsonObject> LogLines() const;
    QList<QJsonObject> Requests() const;
    QList<QJsonObject> Events() const;

    // Polls the log (processing Qt events meanwhile) until a line matches;
    // false after timeoutMs.
    bool WaitForLog(const std::function<bool(const QJsonObject&)>& match, int timeoutMs = 5000);

private:
    QStringList m_extraArgs;
    QString m_community;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
    QString m_error;
    QByteArray m_stderr;
};

}  // namespace volnar::testing
