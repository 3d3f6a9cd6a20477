#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <sstream>
#include <string>
#include <vector>

#include "link/board_objects.h"
#include "sim/snmp_client.h"
#include "support/snmp_datagram.h"
#include "support/station_simulator.h"

namespace volnar::testing {
namespace {

const std::string kPrefix(board::kPrefix);
const std::string kSysName(board::kSysName);

std::string B(const std::string& suffix) {
    return kPrefix + "." + suffix;
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

// Identifiers that snmpwalk printed under table.
std::vector<std::string> WalkWithTool(std::uint16_t port, const std::string& table) {
    int exitCode = -1;
    const std::string output = RunSnmpTool("snmpwalk", port, "public", {table}, &exitCode);
    std::vector<std::string> oids;
    std::istringstream lines(output);
    std::string line;
    const std::string prefix = "." + table + ".";
    while (std::getline(lines, line)) {
        if (line.rfind(prefix, 0) == 0) {
            oids.push_back(line.substr(1, line.find(' ') - 1));
        }
    }
    return oids;
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

TEST_F(StationSim, EveryTableWalksWithSnmpwalkEmptyOneAndMany) {
    struct Case {
        const char* option;
        std::string table;
        std::size_t fields;
    };
    const Case tables[] = {
        {"--scripts", B("72"), 5}, {"--alerts", B("65"), 14}, {"--modems", B("60"), 2}};
    for (const Case& c : tables) {
        for (const int rows : {0, 1, 25}) {
            Start({QString::fromLatin1(c.option), QString::number(rows)});
            const auto oids = WalkWithTool(sim->port(), c.table);
            ASSERT_EQ(oids.size(), static_cast<std::size_t>(rows)) << c.option << " " << rows;
            for (int i = 0; i < rows; ++i) {
                EXPECT_EQ(oids[static_cast<std::size_t>(i)], c.table + "." + std::to_string(i + 1));
            }
            // The same rows through the library: id first, in id order.
            const auto walked = client->Walk(c.table);
            ASSERT_EQ(walked.size(), static_cast<std::size_t>(rows));
            for (std::size_t i = 0; i < walked.size(); ++i) {
                const auto fields = SplitFields(walked[i].value.text);
                EXPECT_EQ(fields.size(), c.fields) << walked[i].value.text;
                EXPECT_EQ(walked[i].oid, c.table + "." + fields.at(0));
            }
        }
    }
}

TEST_F(StationSim, SysNameGetAndSetWithTheTools) {
    Start();
    int exitCode = -1;
    std::string output = RunSnmpTool("snmpget", sim->port(), "public", {kSysName}, &exitCode);
    EXPECT_EQ(exitCode, 0);
    EXPECT_NE(output.find("VOLN-SIM"), std::string::npos) << output;
    output = RunSnmpTool("snmpset", sim->port(), "public", {kSysName, "s", "Ridge Hut"}, &exitCode);
    EXPECT_EQ(exitCode, 0) << output;
    output = RunSnmpTool("snmpget", sim->port(), "public", {kSysName}, &exitCode);
    EXPECT_NE(output.find("Ridge Hut"), std::string::npos) << output;
    EXPECT_EQ(StatusField(*client, 27), "Ridge Hut");
    output = RunSnmpTool("snmpgetnext", sim->port(), "public", {"1.3.6.1"}, &exitCode);
    EXPECT_EQ(output.rfind("." + kSysName + " = ", 0), 0u) << output;
}

TEST_F(StationSim, WrongCommunityIsNotAnswered) {
    Start();
    const SnmpClient intruder(sim->port(), "private", 300);
    EXPECT_FALSE(intruder.SetInteger(B("75.1"), 1).has_value());
    EXPECT_EQ(StatusField(*client, 18), "0");
    const auto requests = sim->Requests();
    ASSERT_FALSE(requests.isEmpty());
    const QJsonObject first = requests.first();
    EXPECT_EQ(first[QStringLiteral("community")], QStringLiteral("private"));
    EXPECT_EQ(first[QStringLiteral("pdu")], QStringLiteral("SET"));
    EXPECT_TRUE(first[QStringLiteral("error_status")].isNull());
}

TEST_F(StationSim, DropOneLeavesEveryRequestUnanswered) {
    Start({QStringLiteral("--drop"), QStringLiteral("1")});
    const SnmpClient impatient(sim->port(), "public", 300);
    EXPECT_FALSE(impatient.Get(B("77")).has_value());
    EXPECT_FALSE(impatient.SetInteger(B("75.1"), 1).has_value());
    const auto requests = sim->Requests();
    ASSERT_EQ(requests.size(), 2);
    for (const QJsonObject& line : requests) {
        EXPECT_TRUE(line[QStringLiteral("error_status")].isNull());
    }
}

TEST_F(StationSim, FailInjectsTheStatusWithTheRightIndex) {
    Start({QStringLiteral("--fail"), QString::fromStdString(B("75.2") + "=genErr"),
           QStringLiteral("--fail"), QString::fromStdString(B("72.2") + "=17")});
    const auto reply = client->Send(
        SnmpPdu::Set, {{B("75.1"), SnmpValue::Integer(1)}, {B("75.2"), SnmpValue::Integer(1)}});
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->errorStatus, 5);
    EXPECT_EQ(reply->errorIndex, 2);
    ASSERT_EQ(reply->bindings.size(), 2u);
    EXPECT_EQ(reply->bindings[1].oid, B("75.2"));
    EXPECT_EQ(StatusField(*client, 18), "0");  // nothing applied
    EXPECT_EQ(client->SetInteger(B("75.1"), 1)->errorStatus, 0);

    // A GETNEXT that would land on the failing row fails too.
    ASSERT_EQ(client->SetText(B("69"), "0|relay|A|a|00|")->errorStatus, 0);
    ASSERT_EQ(client->SetText(B("69"), "0|relay|B|b|00|")->errorStatus, 0);
    EXPECT_EQ(client->GetNext(B("72"))->errorStatus, 0);
    const auto next = client->GetNext(B("72.1"));
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
        {.name = "774 names, some 15 kB", .oid = kSysName, .count = 774, .errorStatus = 0},
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

TEST_F(StationSim, ResponsesItReceivesAreLoggedAndNotAnswered) {
    Start();
    const LoopbackSender stranger("127.0.0.1");
    ASSERT_TRUE(stranger.Ok());
    ASSERT_TRUE(stranger.SendTo(sim->port(), V1Message(kResponse, "public", 4242, kSysName, "x")));
    ASSERT_TRUE(sim->WaitForLog([](const QJsonObject& line) {
        return line[QStringLiteral("pdu")] == QStringLiteral("RESPONSE");
    }));
    for (const QJsonObject& line : sim->Requests()) {
        if (line[QStringLiteral("pdu")] == QStringLiteral("RESPONSE")) {
            EXPECT_EQ(line[QStringLiteral("request_id")].toInt(), 4242);
            EXPECT_EQ(line[QStringLiteral("note")], QStringLiteral("not a request"));
            EXPECT_TRUE(line[QStringLiteral("error_status")].isNull());
        }
    }
    char byte = 0;
    EXPECT_LT(::recv(stranger.Socket(), &byte, 1, MSG_DONTWAIT), 0) << "answered a Response";
}

TEST_F(StationSim, StateIsSavedAndReloaded) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString state = dir.filePath(QStringLiteral("station.json"));
    Start({QStringLiteral("--state"), state});
    EXPECT_TRUE(QFile::exists(state));  // created at start
    ASSERT_EQ(client->SetText(B("69"), "0|relay|Pump|p|00|")->errorStatus, 0);
    ASSERT_EQ(client->SetText(kSysName, "Saved Hut")->errorStatus, 0);
    ASSERT_EQ(client->SetInteger(B("75.3"), 1)->errorStatus, 0);
    ASSERT_EQ(client->SetText(B("78.7"), "7|50|10|1|0|||||||||0|0|1.0|1|v|0|0|")->errorStatus, 0);
    EXPECT_TRUE(sim->Stop());

    // --scripts fills the table up to 2 rows: one generated row joins the
    // saved one, and a further restart adds nothing.
    Start({QStringLiteral("--state"), state, QStringLiteral("--scripts"), QStringLiteral("2")});
    const auto rows = client->Walk(B("72"));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].value.text, "1|relay|Pump|p|00|");
    EXPECT_EQ(rows[1].oid, B("72.2"));
    EXPECT_EQ(client->GetText(kSysName), "Saved Hut");
    EXPECT_EQ(StatusField(*client, 22), "1");
    EXPECT_EQ(SplitFields(*client->GetText(B("66.7"))).at(3), "50");
    EXPECT_TRUE(sim->Stop());
    Start({QStringLiteral("--state"), state, QStringLiteral("--scripts"), QStringLiteral("2")});
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
    for (const char* listen : {"10.10.10.10:161", "0.0.0.0:0", "192.168.0.1:1161"}) {
        QProcess process;
        process.start(QStringLiteral(VOLNAR_SIM_BINARY),
                      {QStringLiteral("--listen"), QString::fromLatin1(listen)});
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitCode(), 2) << listen;
        EXPECT_TRUE(process.readAllStandardOutput().isEmpty()) << listen;
        EXPECT_TRUE(process.readAllStandardError().contains("loopback")) << listen;
    }
}

TEST_F(StationSim, LogLinesCarryTheRequestFields) {
    Start();
    ASSERT_EQ(client->SetText(B("76.2"), "note")->errorStatus, 0);
    ASSERT_TRUE(client->Get(B("76.5")));
    const auto requests = sim->Requests();
    ASSERT_EQ(requests.size(), 2);
    const QJsonObject set = requests[0];
    EXPECT_EQ(set[QStringLiteral("pdu")], QStringLiteral("SET"));
    EXPECT_EQ(set[QStringLiteral("oid")], QString::fromStdString(B("76.2")));
    EXPECT_EQ(set[QStringLiteral("value")], QStringLiteral("note"));
    EXPECT_EQ(set[QStringLiteral("community")], QStringLiteral("public"));
    EXPECT_EQ(set[QStringLiteral("error_status")].toInt(-1), 0);
    EXPECT_TRUE(set[QStringLiteral("time")].isDouble());
    EXPECT_TRUE(set[QStringLiteral("request_id")].isDouble());
    const QJsonObject get = requests[1];
    EXPECT_EQ(get[QStringLiteral("pdu")], QStringLiteral("GET"));
    EXPECT_EQ(get[QStringLiteral("error_status")].toInt(), 2);
    EXPECT_EQ(get[QStringLiteral("error_index")].toInt(), 1);
}

TEST_F(StationSim, DelayedAnswersStillArrive) {
    Start({QStringLiteral("--delay"), QStringLiteral("100:50")});
    const auto name = client->GetText(kSysName);
    EXPECT_EQ(name, "VOLN-SIM");
}

}  // namespace
}  // namespace volnar::testing
