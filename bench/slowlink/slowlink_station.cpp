// SPDX-License-Identifier: GPL-3.0-or-later
#include "slowlink_station.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <cstdio>

namespace volnar::bench::slowlink {

namespace {

constexpr int kStartMs = 20000;

// The state file keeps each byte of a station text as the character of the
// same code; the benchmark's texts are ASCII, so a plain string reads them.
QStringList TextsOf(const QJsonArray& values) {
    QStringList texts;
    for (const QJsonValue& value : values) {
        texts << value.toString();
    }
    return texts;
}

}  // namespace

Station::Station(QString folder) : m_folder(std::move(folder)) {}

Station::~Station() {
    Stop();
}

QString Station::StatePath() const {
    return m_folder + QStringLiteral("/station.json");
}

quint16 Station::Launch(const QStringList& arguments) {
    m_process.setProgram(QStringLiteral(VOLNAR_SIM_BINARY));
    m_process.setArguments(QStringList{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                                       QStringLiteral("--state"), StatePath()} +
                           arguments);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start();
    const QRegularExpression listening(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
    QByteArray output;
    QDeadlineTimer deadline(kStartMs);
    while (!deadline.hasExpired() && m_process.state() != QProcess::NotRunning) {
        m_process.waitForReadyRead(100);
        output += m_process.readAllStandardOutput();
        const auto match = listening.match(QString::fromLatin1(output));
        if (match.hasMatch()) {
            return static_cast<quint16>(match.captured(1).toUInt());
        }
    }
    return 0;
}

void Station::Stop() {
    if (m_process.state() == QProcess::NotRunning) {
        return;
    }
    // SIGTERM saves the state and ends cleanly.
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

bool Station::Prepare(int scripts, int alerts) {
    // A first short run writes the generated rows and the simulator's own
    // defaults; only the channel notes are changed here, so the state file
    // stays the simulator's format.
    if (Launch({QStringLiteral("--scripts"), QString::number(scripts), QStringLiteral("--alerts"),
                QString::number(alerts)}) == 0) {
        std::fprintf(stderr, "volnar-bench-slowlink: the simulator did not start\n");
        return false;
    }
    Stop();
    QFile file(StatePath());
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "volnar-bench-slowlink: no state file\n");
        return false;
    }
    QJsonObject state = QJsonDocument::fromJson(file.readAll()).object();
    file.close();
    QJsonArray channels = state.value(QStringLiteral("channels")).toArray();
    for (qsizetype i = 0; i < channels.size(); ++i) {
        QJsonObject channel = channels.at(i).toObject();
        channel[QStringLiteral("notes")] = QStringLiteral("Notes of channel %1").arg(i + 1);
        channels.replace(i, channel);
    }
    state[QStringLiteral("channels")] = channels;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(QJsonDocument(state).toJson()) < 0) {
        std::fprintf(stderr, "volnar-bench-slowlink: the state file could not be written\n");
        return false;
    }
    return true;
}

quint16 Station::Start(const QStringList& conditions) {
    return Launch(QStringList{QStringLiteral("--log"), m_folder + QStringLiteral("/station.log")} +
                  conditions);
}

StationTables Station::Tables() const {
    StationTables tables;
    QFile file(StatePath());
    if (!file.open(QIODevice::ReadOnly)) {
        return tables;
    }
    // The simulator replaces the file by a rename, so this is one whole state.
    const QJsonObject state = QJsonDocument::fromJson(file.readAll()).object();
    for (const QJsonValue& value : state.value(QStringLiteral("scripts")).toArray()) {
        const QJsonObject row = value.toObject();
        tables.scripts << QStringList{QString::number(row.value(QStringLiteral("id")).toInteger()),
                                      row.value(QStringLiteral("type")).toString(),
                                      row.value(QStringLiteral("name")).toString(),
                                      row.value(QStringLiteral("description")).toString(),
                                      row.value(QStringLiteral("commands")).toString()};
    }
    for (const QJsonValue& value : state.value(QStringLiteral("alerts")).toArray()) {
        const QJsonObject row = value.toObject();
        tables.alerts << QStringList{QString::number(row.value(QStringLiteral("id")).toInteger())} +
                             TextsOf(row.value(QStringLiteral("fields")).toArray());
    }
    for (const QJsonValue& value : state.value(QStringLiteral("channels")).toArray()) {
        tables.channelNotes << value.toObject().value(QStringLiteral("notes")).toString();
    }
    tables.valid = !state.isEmpty();
    return tables;
}

QList<QJsonObject> Station::LogLines() const {
    QList<QJsonObject> lines;
    QFile file(m_folder + QStringLiteral("/station.log"));
    if (!file.open(QIODevice::ReadOnly)) {
        return lines;
    }
    while (!file.atEnd()) {
        const QJsonDocument line = QJsonDocument::fromJson(file.readLine());
        if (line.isObject()) {
            lines << line.object();
        }
    }
    return lines;
}

}  // namespace volnar::bench::slowlink
