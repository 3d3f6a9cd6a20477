// volnar-station as a process, driven by an independent net-snmp client:
// what only the server adds to the agent (community, fail injection, tooBig,
// Responses, the state file, the listen check). Plain answers, drops, delays
// and the request log are exercised by the client's end-to-end tests.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <string>
#include <vector>

#include "sim/snmp_client.h"
#include "support/snmp_datagram.h"
#include "support/station_simulator.h"

namespace volnar::testing {
namespace {

const std::string kSysName = "1.3.6.1.2.1.1.5";

std::string B(const std::string& suffix) {
    return "1.3.6.1.4.1.32473.3.1.2." + suffix;
}

// Field n (1-based) of the status record.
std::string StatusField(const SnmpClient& client, int n) {
    const auto record = client.GetText(B("77"));
    if (!record) {
        return "<no answer>";
    }
    const auto fields = SplitFields(*record);
    return fields.size() == 60 ? fields.at(static_cast<std::size_t>(n - 1)) : "<malformed>";
}

class StationSim : public ::testing::Test {
protected:
    void Start(QStringList args = {}) {
        sim = std::make_unique<StationSimulator>(std::move(args));
        ASSERT_TRUE(sim->Start()) << sim->errorText().toStdString();
        client = std::make_unique<SnmpClient>(sim->port(), sim->community().toStdString());
    }

    std::unique_ptr<StationSimulator> sim;
    std::unique_ptr<SnmpClient> client;
};

TEST_F(StationSim, EveryTableWalksRowByRowInIdOrder) {
    Start({QStringLiteral("--scripts"), QStringLiteral("25"), QStringLiteral("--alerts"),
           QStringLiteral("25"), QStringLiteral("--modems"), QStringLiteral("25")});
    const struct {
        std::string table;
        std::size_t fields;
    } tables[] = {{.table = B("72"), .fields = 5},
                  {.table = B("65"), .fields = 14},
                  {.table = B("60"), .fields = 2}};
    for (const auto& c : tables) {
        const auto walked = client->Walk(c.table);
        ASSERT_EQ(walked.size(), 25u) << c.table;
        for (std::size_t i = 0; i < walked.size(); ++i) {
            const auto fields = SplitFields(walked[i].value.text);
            EXPECT_EQ(fields.size(), c.fields) << walked[i].value.text;
            EXPECT_EQ(walked[i].oid, c.table + "." + std::to_string(i + 1));
            EXPECT_EQ(fields.at(0), std::to_string(i + 1)) << walked[i].value.text;
        }
    }
}

TEST_F(StationSim, FailInjectsTheStatusWithTheRightIndex) {
    // Identifiers with or without a leading dot, statuses by name or number.
    Start({QStringLiteral("--fail"), QString::fromStdString("." + B("75.2") + "=genErr"),
           QStringLiteral("--fail"), QString::fromStdString(B("72.2") + "=17")});
    const auto reply = client->Send(
        SnmpPdu::Set, {{B("75.1"), SnmpValue::Integer(1)}, {B("75.2"), SnmpValue::Integer(1)}});
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->errorStatus, 5);
    EXPECT_EQ(reply->errorIndex, 2);
    ASSERT_EQ(reply->bindings.size(), 2u);
    EXPECT_EQ(reply->bindings[1].oid, B("75.2"));
    EXPECT_EQ(sim->Requests().first()[QStringLiteral("error_index")].toInt(), 2);
    EXPECT_EQ(StatusField(*client, 18), "0");  // nothing applied
    EXPECT_EQ(client->Set(B("75.1"), SnmpValue::Integer(1)), 0);

    // A GETNEXT that would land on the failing row fails too.
    ASSERT_EQ(client->Set(B("69"), SnmpValue::Text("0|relay|A|a|00|")), 0);
    ASSERT_EQ(client->Set(B("69"), SnmpValue::Text("0|relay|B|b|00|")), 0);
    EXPECT_EQ(client->Send(SnmpPdu::GetNext, {{B("72"), {}}})->errorStatus, 0);
    const auto next = client->Send(SnmpPdu::GetNext, {{B("72.1"), {}}});
    ASSERT_TRUE(next);
    EXPECT_EQ(next->errorStatus, 17);
    EXPECT_EQ(next->errorIndex, 1);
}

TEST_F(StationSim, AnswerTooBigForADatagramIsTooBig) {
    Start();
    // The limit is what one UDP datagram holds (65507 bytes), not less.
    const struct {
        const char* name;
        std::string oid;
        std::size_t count;
        long errorStatus;
    } cases[] = {
        {.name = "250 status records, some 80 kB", .oid = B("77"), .count = 250, .errorStatus = 1},
        {.name = "20 status records", .oid = B("77"), .count = 20, .errorStatus = 0},
        {.name = "2500 names, some 50 kB", .oid = kSysName, .count = 2500, .errorStatus = 0},
    };
    for (const auto& c : cases) {
        const auto reply = client->Send(SnmpPdu::Get, std::vector(c.count, SnmpBinding{c.oid, {}}));
        ASSERT_TRUE(reply) << c.name;
        EXPECT_EQ(reply->errorStatus, c.errorStatus) << c.name;
        EXPECT_EQ(reply->errorIndex, 0) << c.name;
        EXPECT_EQ(reply->bindings.size(), c.count) << c.name;
    }
}

// A request with another community and a Response from a stranger are
// logged and never answered.
TEST_F(StationSim, WrongCommunityAndResponsesAreLoggedAndNotAnswered) {
    Start();
    const SnmpClient intruder(sim->port(), "private", 300);
    EXPECT_EQ(intruder.Set(B("75.1"), SnmpValue::Integer(1)), -1);
    EXPECT_EQ(StatusField(*client, 18), "0");
    EXPECT_EQ(sim->Requests().first()[QStringLiteral("note")], QStringLiteral("wrong community"));

    const LoopbackSender stranger("127.0.0.1");
    ASSERT_TRUE(stranger.Ok());
    ASSERT_TRUE(stranger.SendTo(sim->port(), V1Message(kResponse, "public", 4242, kSysName, "x")));
    ASSERT_TRUE(sim->WaitForLog([](const QJsonObject& line) {
        return line[QStringLiteral("pdu")] == QStringLiteral("RESPONSE") &&
               line[QStringLiteral("request_id")].toInt() == 4242 &&
               line[QStringLiteral("note")] == QStringLiteral("not a request");
    }));
    char byte = 0;
    EXPECT_LT(::recv(stranger.Socket(), &byte, 1, MSG_DONTWAIT), 0) << "answered a Response";
}

TEST_F(StationSim, StateIsSavedAndReloaded) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString state = dir.filePath(QStringLiteral("station.json"));
    Start({QStringLiteral("--state"), state});
    EXPECT_TRUE(QFile::exists(state));  // created at start
    ASSERT_EQ(client->Set(B("69"), SnmpValue::Text("0|relay|Pump|p|00|")), 0);
    ASSERT_EQ(client->Set(kSysName, SnmpValue::Text("Saved Hut")), 0);
    ASSERT_EQ(client->Set(B("75.3"), SnmpValue::Integer(1)), 0);
    EXPECT_TRUE(sim->Stop());

    // --scripts fills the table up to 2 rows: one generated row joins the
    // saved one, and a further restart adds nothing.
    const QStringList again = {QStringLiteral("--state"), state, QStringLiteral("--scripts"),
                               QStringLiteral("2")};
    Start(again);
    const auto rows = client->Walk(B("72"));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].value.text, "1|relay|Pump|p|00|");
    EXPECT_EQ(client->GetText(kSysName), "Saved Hut");
    EXPECT_EQ(StatusField(*client, 22), "1");
    EXPECT_TRUE(sim->Stop());
    Start(again);
    EXPECT_EQ(client->Walk(B("72")).size(), 2u);
}

TEST_F(StationSim, CorruptStateFileIsRefusedAndLeftAlone) {
    QTemporaryDir dir;
    const QString state = dir.filePath(QStringLiteral("station.json"));
    QFile file(state);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{\"scripts\": [");
    file.close();
    StationSimulator broken({QStringLiteral("--state"), state});
    EXPECT_FALSE(broken.Start());
    EXPECT_TRUE(broken.errorText().contains(QStringLiteral("not valid JSON")))
        << broken.errorText().toStdString();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("{\"scripts\": ["));
}

TEST_F(StationSim, NonLoopbackListenIsRefusedBeforeBinding) {
    for (const char* listen : {"10.10.10.10:161", "0.0.0.0:0"}) {
        QProcess process;
        process.start(QStringLiteral(VOLNAR_SIM_BINARY),
                      {QStringLiteral("--listen"), QString::fromLatin1(listen)});
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitCode(), 2) << listen;
        EXPECT_TRUE(process.readAllStandardOutput().isEmpty()) << listen;
        EXPECT_TRUE(process.readAllStandardError().contains("loopback")) << listen;
    }
}

}  // namespace
}  // namespace volnar::testing
