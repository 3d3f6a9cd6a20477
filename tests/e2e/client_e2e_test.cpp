// The real client binary against volnar-station on loopback: started with
// --database and --connect, it polls the status record once a second.
#include <gtest/gtest.h>
#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "directory/database_template.h"
#include "directory/station_directory.h"
#include "link/board_objects.h"
#include "support/recording_message_service.h"
#include "support/station_simulator.h"

namespace volnar {
namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

TEST(ClientE2E, StationConnectPollsStatusOnceASecondWithTheStationsCommunity) {
    testing::StationSimulator sim({S("--seed"), S("3")}, S("e2e-secret"));
    ASSERT_TRUE(sim.Start()) << sim.errorText().toStdString();

    QTemporaryDir folder;
    const QString database = folder.filePath(S("stations.db"));
    ASSERT_EQ(CreateDatabaseTemplate(database), TemplateResult::Created);
    {
        testing::RecordingMessageService messages;
        StationDirectory directory(messages);
        ASSERT_TRUE(directory.ConnectDatabase(database));
        ASSERT_TRUE(directory.AddStation({sim.host(),
                                          sim.community(),
                                          S("e2e"),
                                          {},
                                          QString::number(sim.port()),
                                          S("2"),
                                          S("1")}));
        // Only the loopback simulator in the directory the client runs with.
        ASSERT_EQ(directory.DeleteStation(S("10.10.10.10")), WriteStatus::Done);
    }

    // --record: one row per answer (appending and the header are the recorder's tests).
    const QString record = folder.filePath(S("record.csv"));

    QProcess client;
    client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(S("QT_QPA_PLATFORM"), S("offscreen"));
    client.setProcessEnvironment(environment);
    client.start(S(VOLNAR_CLIENT_BINARY), {S("--database"), database, S("--connect"),
                                           S("127.0.0.1"), S("--record"), record});
    ASSERT_TRUE(client.waitForStarted(10000));

    auto statusGets = [&sim] {
        QList<QJsonObject> gets;
        for (const QJsonObject& line : sim.Requests()) {
            if (line[S("pdu")].toString() == S("GET") &&
                line[S("oid")].toString() ==
                    QString::fromLatin1(board::kStatusRecord.data(), board::kStatusRecord.size())) {
                gets << line;
            }
        }
        return gets;
    };
    const bool polled =
        sim.WaitForLog([&](const QJsonObject&) { return statusGets().size() >= 4; }, 15000);
    client.terminate();
    client.waitForFinished(5000);
    ASSERT_TRUE(polled) << "status GETs seen: " << statusGets().size();

    QFile file(record);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = file.readAll().split('\n');
    ASSERT_GE(rows.size(), 4);  // the header, at least two answers, the empty rest
    for (qsizetype i = 1; i + 1 < rows.size(); ++i) {
        EXPECT_TRUE(rows[i].contains(",127.0.0.1,")) << rows[i].toStdString();
    }

    const QList<QJsonObject> gets = statusGets();
    for (qsizetype i = 0; i < 4; ++i) {
        EXPECT_EQ(gets[i][S("request_id")].toInt(), 501 + i);
        EXPECT_EQ(gets[i][S("community")].toString(), S("e2e-secret"));
        EXPECT_EQ(gets[i][S("error_status")].toInt(-1), 0);
        if (i > 0) {
            // The poll timer is re-armed by each answer: about a second apart.
            const double gap = gets[i][S("time")].toDouble() - gets[i - 1][S("time")].toDouble();
            EXPECT_GT(gap, 0.7) << i;
            EXPECT_LT(gap, 3.0) << i;
        }
    }
    // The client never asked for anything it was not told to.
    for (const QJsonObject& line : sim.Requests()) {
        EXPECT_EQ(line[S("community")].toString(), S("e2e-secret"));
    }
}

}  // namespace
}  // namespace volnar
