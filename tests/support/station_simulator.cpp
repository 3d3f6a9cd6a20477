// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/station_simulator.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTest>

namespace volnar::testing {

StationSimulator::StationSimulator(QStringList extraArgs, QString community)
    : m_extraArgs(std::move(extraArgs)),
      m_community(std::move(community)),
      m_dir(std::make_unique<QTemporaryDir>()) {}

StationSimulator::~StationSimulator() {
    Stop();
}

QString StationSimulator::logFilePath() const {
    return m_dir->filePath(QStringLiteral("requests.log"));
}

QString StationSimulator::workDir() const {
    return m_dir->path();
}

bool StationSimulator::isRunning() const {
    return m_process && m_process->state() != QProcess::NotRunning;
}

bool StationSimulator::Start(int timeoutMs) {
    if (isRunning()) {
        return true;
    }
    if (!m_dir->isValid()) {
        m_error = QStringLiteral("cannot create a temporary folder");
        return false;
    }
    m_process = std::make_unique<QProcess>();
    m_process->setProgram(QStringLiteral(VOLNAR_SIM_BINARY));
    // A restart after Stop() listens on the same port again.
    QStringList args = {QStringLiteral("--listen"),    QStringLiteral("127.0.0.1:%1").arg(m_port),
                        QStringLiteral("--community"), m_community,
                        QStringLiteral("--log"),       logFilePath()};
    args += m_extraArgs;
    m_process->setArguments(args);
    m_process->start();
    if (!m_process->waitForStarted(timeoutMs)) {
        m_error = QStringLiteral("cannot start %1: %2")
                      .arg(QStringLiteral(VOLNAR_SIM_BINARY), m_process->errorString());
        return false;
    }
    static const QRegularExpression kListening(
        QStringLiteral("^listening on 127\\.\\d+\\.\\d+\\.\\d+:(\\d+)$"));
    const QDeadlineTimer deadline(timeoutMs);
    QByteArray output;
    while (!deadline.hasExpired()) {
        if (m_process->canReadLine()) {
            const QString line = QString::fromUtf8(m_process->readLine()).trimmed();
            const auto match = kListening.match(line);
            if (match.hasMatch()) {
                m_port = static_cast<quint16>(match.captured(1).toUInt());
                return true;
            }
            continue;
        }
        if (m_process->state() == QProcess::NotRunning) {
            break;
        }
        m_process->waitForReadyRead(static_cast<int>(qMin<qint64>(deadline.remainingTime(), 100)));
    }
    m_error = QStringLiteral("volnar-station did not report its port: %1").arg(standardError());
    Stop();
    return false;
}

bool StationSimulator::Stop(int timeoutMs) {
    if (!m_process) {
        return false;
    }
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(timeoutMs)) {
            m_process->kill();
            m_process->waitForFinished(timeoutMs);
            m_stderr += m_process->readAllStandardError();
            return false;
        }
    }
    m_stderr += m_process->readAllStandardError();
    return m_process->exitStatus() == QProcess::NormalExit && m_process->exitCode() == 0;
}

QString StationSimulator::standardError() {
    if (m_process) {
        m_stderr += m_process->readAllStandardError();
    }
    return QString::fromUtf8(m_stderr);
}

QList<QJsonObject> StationSimulator::LogLines() const {
    QList<QJsonObject> lines;
    QFile file(logFilePath());
    if (!file.open(QIODevice::ReadOnly)) {
        return lines;
    }
    const QList<QByteArray> raw = file.readAll().split('\n');
    for (const QByteArray& line : raw) {
        if (line.trimmed().isEmpty()) {
            continue;
        }
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        if (error.error == QJsonParseError::NoError && document.isObject()) {
            lines.append(document.object());
        }
    }
    return lines;
}

QList<QJsonObject> StationSimulator::Requests() const {
    QList<QJsonObject> requests;
    for (const QJsonObject& line : LogLines()) {
        if (line.contains(QStringLiteral("pdu"))) {
            requests.append(line);
        }
    }
    return requests;
}

QList<QJsonObject> StationSimulator::Events() const {
    QList<QJsonObject> events;
    for (const QJsonObject& line : LogLines()) {
        if (line.contains(QStringLiteral("event"))) {
            events.append(line);
        }
    }
    return events;
}

bool StationSimulator::WaitForLog(const std::function<bool(const QJsonObject&)>& match,
                                  int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (true) {
        for (const QJsonObject& line : LogLines()) {
            if (match(line)) {
                return true;
            }
        }
        if (deadline.hasExpired()) {
            return false;
        }
        QTest::qWait(20);
    }
}

}  // namespace volnar::testing
