// SPDX-License-Identifier: GPL-3.0-or-later
#include "soak_figures.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace volnar::bench::soak {

namespace {

// The id every session of the client starts its requests from.
constexpr int kFirstRequestId = 501;

}  // namespace

StationFigures ReadStationLog(const QList<QByteArray>& lines, std::string_view statusOid) {
    StationFigures figures;
    const QString status =
        QString::fromLatin1(statusOid.data(), static_cast<qsizetype>(statusOid.size()));
    int lastAnsweredId = -1;
    int lastId = -1;
    for (const QByteArray& text : lines) {
        const QJsonObject line = QJsonDocument::fromJson(text).object();
        if (line.value(QStringLiteral("pdu")).toString() != QStringLiteral("GET")) {
            continue;
        }
        const int id = line.value(QStringLiteral("request_id")).toInt(-1);
        // Every request takes the next id; a smaller one is a new session.
        if (id < lastId || (lastId < 0 && id >= kFirstRequestId)) {
            ++figures.sessions;
            lastAnsweredId = -1;
        }
        lastId = id;
        if (line.value(QStringLiteral("oid")).toString() != status) {
            continue;
        }
        ++figures.statusGets;
        if (line.value(QStringLiteral("error_status")).isNull()) {
            figures.dropped +=
                line.value(QStringLiteral("note")).toString() == QStringLiteral("dropped");
            continue;
        }
        ++figures.answered;
        if (id != lastAnsweredId) {
            ++figures.answersToClient;
        }
        lastAnsweredId = id;
    }
    return figures;
}

ClientFigures ReadClientLog(const QByteArray& log) {
    static const QRegularExpression gap(
        QStringLiteral("gap in the history of \\S+ \\((lost|not polled)\\), (\\d+) samples"));
    ClientFigures figures;
    qint64 samples = -1;
    for (const QByteArray& bytes : log.split('\n')) {
        const QString line = QString::fromUtf8(bytes);
        if (const QRegularExpressionMatch match = gap.match(line); match.hasMatch()) {
            ++figures.gaps;
            figures.lostGaps += match.captured(1) == QStringLiteral("lost");
            const qint64 now = match.captured(2).toLongLong();
            figures.historyResets += now < samples;
            samples = now;
        } else if (line.contains(QStringLiteral("- restarting in "))) {
            ++figures.restarts;
        } else if (line.contains(QStringLiteral("retrying with the next answer"))) {
            ++figures.recordingFailures;
        }
    }
    return figures;
}

int CsvRows(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const qsizetype lines = file.readAll().count("\r\n");
    return lines == 0 ? 0 : static_cast<int>(lines - 1);
}

}  // namespace volnar::bench::soak
