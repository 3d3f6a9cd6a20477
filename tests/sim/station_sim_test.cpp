// SPDX-License-Identifier: GPL-3.0-or-later
// volnar-station as a process, driven by the net-snmp command-line tools as
// an independent client, with its request log as the witness of what it
// answered: what only the server adds to the agent (community, fail,
// status-oid and duplicate injection, resent requests, tooBig, Responses, the
// state file, the listen check). Plain
// answers, table walks, drops, delays and most log fields are exercised by
// the agent's own tests and the client's end-to-end tests.
#include <gtest/gtest.h>
#include <poll.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "station_model.h"
#include "support/snmp_datagram.h"
#include "support/station_simulator.h"

namespace volnar::testing {
namespace {

const QString kSysName = QStringLiteral("1.3.6.1.2.1.1.5");

QString B(const char* suffix) {
    return QStringLiteral("1.3.6.1.4.1.32473.3.1.2.") + QLatin1String(suffix);
}

struct ToolRun {
    int exitCode = -1;
    std::string output;  // stdout and stderr
};

// Runs snmpget, snmpset, snmpgetnext or snmpwalk against 127.0.0.1:port with
// numeric identifiers, quick output, no MIB files and none of the machine's
// configuration; one try of at most two seconds.
ToolRun RunTool(const char* tool, quint16 port, const QStringList& args,
                const QString& community = QStringLiteral("public")) {
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("SNMPCONFPATH"), home.path());
    environment.insert(QStringLiteral("SNMP_PERSISTENT_DIR"), home.path());
    environment.insert(QStringLiteral("MIBS"), QString());
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    const QStringList options =
        QStringLiteral("-v1 -On -Oq -t 2 -r 0 -M /dev/null -c").split(u' ') +
        QStringList{community, QStringLiteral("127.0.0.1:%1").arg(port)};
    process.start(QString::fromLatin1(tool), options + args);
    process.waitForFinished(30000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAll().toStdString()};
}

// Identifier and text value of each line the tool printed (`.oid "text"`).
std::vector<std::pair<std::string, std::string>> Lines(const std::string& output) {
    std::vector<std::pair<std::string, std::string>> lines;
    std::size_t start = 0;
    while (start < output.size()) {
        const std::size_t end = std::min(output.find('\n', start), output.size());
        const std::string line = output.substr(start, end - start);
        const std::size_t space = line.find(" \"");
        if (line.rfind(".", 0) == 0 && space != std::string::npos && line.back() == '"') {
            lines.emplace_back(line.substr(1, space - 1),
                               line.substr(space + 2, line.size() - space - 3));
        }
        start = end + 1;
    }
    return lines;
}

// The next datagram on socket, nullopt when none comes within timeoutMs.
std::optional<std::string> Receive(int socket, int timeoutMs) {
    pollfd ready{socket, POLLIN, 0};
    if (::poll(&ready, 1, timeoutMs) != 1) {
        return std::nullopt;
    }
    std::string datagram(65536, '\0');
    datagram.resize(static_cast<std::size_t>(
        std::max<ssize_t>(0, ::recv(socket, datagram.data(), datagram.size(), 0))));
    return datagram;
}

class StationSim : public ::testing::Test {
protected:
    void Start(QStringList args = {}) {
        sim = std::make_unique<StationSimulator>(std::move(args));
        ASSERT_TRUE(sim->Start()) << sim->errorText().toStdString();
    }
    ToolRun Tool(const char* tool, QStringList args) { return RunTool(tool, sim->port(), args); }
    // The text value of oid, or what the tool said instead.
    std::string Text(const QString& oid) {
        const ToolRun run = Tool("snmpget", {oid});
        const auto lines = Lines(run.output);
        return run.exitCode == 0 && lines.size() == 1 ? lines[0].second : run.output;
    }
    // Field n (1-based) of the status record.
    std::string StatusField(int n) {
        const std::string record = Text(B("77"));
        const auto fields = sim::SplitRecord(record);
        return fields.size() == 60 ? std::string(fields.at(static_cast<std::size_t>(n - 1)))
                                   : "<malformed>";
    }
    // The error status and index the last request was answered with.
    std::pair<int, int> LastAnswer() {
        const auto requests = sim->Requests();
        const QJsonObject last = requests.isEmpty() ? QJsonObject() : requests.last();
        return {last[QStringLiteral("error_status")].toInt(-1),
                last[QStringLiteral("error_index")].toInt(-1)};
    }

    std::unique_ptr<StationSimulator> sim;
};

// A request with another community and a Response from a stranger are
// logged and never answered.
TEST_F(StationSim, WrongCommunityAndResponsesAreLoggedAndNotAnswered) {
    ASSERT_NO_FATAL_FAILURE(Start());
    const ToolRun intruder =
        RunTool("snmpset", sim->port(), {B("75.1"), QStringLiteral("i"), QStringLiteral("1")},
                QStringLiteral("private"));
    EXPECT_NE(intruder.output.find("Timeout"), std::string::npos) << intruder.output;
    EXPECT_EQ(StatusField(18), "0");
    EXPECT_EQ(sim->Requests().first()[QStringLiteral("note")], QStringLiteral("wrong community"));

    const LoopbackSender stranger("127.0.0.1");
    ASSERT_TRUE(stranger.Ok());
    ASSERT_TRUE(stranger.SendTo(sim->port(),
                                V1Message(kResponse, "public", 4242, kSysName.toStdString(), "x")));
    ASSERT_TRUE(sim->WaitForLog([](const QJsonObject& line) {
        return line[QStringLiteral("pdu")] == QStringLiteral("RESPONSE") &&
               line[QStringLiteral("request_id")].toInt() == 4242 &&
               line[QStringLiteral("note")] == QStringLiteral("not a request");
    }));
    char byte = 0;
    EXPECT_LT(::recv(stranger.Socket(), &byte, 1, MSG_DONTWAIT), 0) << "answered a Response";
}

TEST_F(StationSim, FailAndStatusOidInjectTheirFaults) {
    // Identifiers with or without a leading dot, statuses by name or number.
    ASSERT_NO_FATAL_FAILURE(Start({QStringLiteral("--fail"),
                                   QStringLiteral(".") + B("75.2") + QStringLiteral("=genErr"),
                                   QStringLiteral("--fail"), B("72.2") + QStringLiteral("=17"),
                                   QStringLiteral("--status-oid"), B("77.0")}));
    const ToolRun both = Tool("snmpset", {B("75.1"), QStringLiteral("i"), QStringLiteral("1"),
                                          B("75.2"), QStringLiteral("i"), QStringLiteral("1")});
    EXPECT_NE(both.output.find("Failed object: ." + B("75.2").toStdString()), std::string::npos)
        << both.output;
    EXPECT_EQ(LastAnswer(), std::make_pair(5, 2));
    EXPECT_EQ(StatusField(18), "0");  // nothing applied
    EXPECT_EQ(Tool("snmpset", {B("75.1"), QStringLiteral("i"), QStringLiteral("1")}).exitCode, 0);

    // A GETNEXT that would land on the failing row fails too.
    for (const char* script : {"0|relay|A|a|00|", "0|relay|B|b|00|"}) {
        ASSERT_EQ(
            Tool("snmpset", {B("69"), QStringLiteral("s"), QString::fromLatin1(script)}).exitCode,
            0);
    }
    EXPECT_EQ(Tool("snmpgetnext", {B("72")}).exitCode, 0);
    Tool("snmpgetnext", {B("72.1")});
    EXPECT_EQ(LastAnswer(), std::make_pair(17, 1));

    // A GET of the status record answers it under the other identifier and
    // without an error; the other binding and GETNEXT keep their own.
    const auto got = Lines(Tool("snmpget", {B("77"), kSysName}).output);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].first, B("77.0").toStdString());
    EXPECT_EQ(sim::SplitRecord(got[0].second).size(), 60u);
    EXPECT_EQ(got[1], std::make_pair(kSysName.toStdString(), std::string("VOLN-SIM")));
    EXPECT_EQ(LastAnswer(), std::make_pair(0, 0));
    const auto next = Lines(Tool("snmpgetnext", {B("76.4")}).output);
    ASSERT_EQ(next.size(), 1u);
    EXPECT_EQ(next[0].first, B("77").toStdString());
}

// A duplicating network and a client that resends after its time-out (same
// request id, same bytes): every copy that arrives is carried out and logged
// once, and with --duplicate its answer goes out twice, both after --delay.
TEST_F(StationSim, DuplicatedAnswersAndResentRequests) {
    const std::string add = ber::Tlv(4, "0|relay|Dup|d|00|");
    const struct {
        const char* name;
        const char* rate;  // of --duplicate
        const char* args;
        int pdu;
        QString oid;
        std::string value;   // the request's, encoded
        std::string answer;  // the answer's value, encoded
        int sends;
        int delayMs = 0;
        const char* event = nullptr;  // what each copy sets off
        std::optional<bool> changed;
        int firstAddedId = 0;  // of the row each copy adds
    } cases[] = {
        // clang-format off
        {.name = "alert executed", .rate = "1", .args = "--alerts 1", .pdu = kSet, .oid = B("63"),
         .value = ber::Integer(1), .answer = ber::Integer(1), .sends = 2,
         .event = "alert_executed", .changed = false, .firstAddedId = 0},
        {.name = "script added, late", .rate = "1", .args = "--delay 300 --scripts 1",
         .pdu = kSet, .oid = B("69"), .value = add, .answer = add, .sends = 2, .delayMs = 300,
         .event = nullptr, .changed = true, .firstAddedId = 2},
        {.name = "half the answers twice", .rate = "0.5", .args = "--seed 3", .pdu = kGet,
         .oid = kSysName, .value = ber::Tlv(5, {}), .answer = ber::Tlv(4, "VOLN-SIM"),
         .sends = 16, .delayMs = 0, .event = nullptr, .changed = std::nullopt, .firstAddedId = 0},
        // clang-format on
    };
    constexpr int kId = 77;
    for (const auto& c : cases) {
        ASSERT_NO_FATAL_FAILURE(
            Start(QStringList{QStringLiteral("--duplicate"), QString::fromLatin1(c.rate)} +
                  QString::fromLatin1(c.args).split(u' ')));
        const LoopbackSender client("127.0.0.1");
        ASSERT_TRUE(client.Ok());
        const std::string request =
            V1Message(c.pdu, "public", kId, c.oid.toStdString(), {}, 0, c.value);
        const std::string answer =
            V1Message(kResponse, "public", kId, c.oid.toStdString(), {}, 0, c.answer);
        std::vector<int> copies;
        for (int send = 0; send < c.sends; ++send) {
            QElapsedTimer clock;
            clock.start();
            ASSERT_TRUE(client.SendTo(sim->port(), request));
            copies.push_back(0);
            for (int wait = 3000; const auto got = Receive(client.Socket(), wait); wait = 150) {
                EXPECT_EQ(*got, answer) << c.name;
                EXPECT_GE(clock.elapsed(), c.delayMs) << c.name;
                ++copies.back();
            }
        }
        const QList<QJsonObject> lines = sim->Requests();
        ASSERT_EQ(lines.size(), c.sends) << c.name;
        int duplicated = 0;
        for (int i = 0; i < c.sends; ++i) {
            const QJsonObject& line = lines[i];
            const bool twice = line[QStringLiteral("duplicated")].toBool();
            duplicated += twice ? 1 : 0;
            EXPECT_EQ(line[QStringLiteral("request_id")].toInt(), kId) << c.name;
            EXPECT_EQ(copies[static_cast<std::size_t>(i)], twice ? 2 : 1) << c.name << " " << i;
            EXPECT_EQ(line[QStringLiteral("changed")].toVariant(),
                      c.changed ? QVariant(*c.changed) : QVariant())
                << c.name;
            EXPECT_EQ(line[QStringLiteral("added_id")].toInt(),
                      c.firstAddedId > 0 ? c.firstAddedId + i : 0)
                << c.name;
        }
        EXPECT_GT(duplicated, 0) << c.name;
        EXPECT_EQ(duplicated == c.sends, std::string(c.rate) == "1") << c.name;
        int caused = 0;
        for (const QJsonObject& event : sim->Events()) {
            caused += event[QStringLiteral("request_id")].toInt() == kId &&
                      event[QStringLiteral("event")].toString() == QLatin1String(c.event);
        }
        EXPECT_EQ(caused, c.event != nullptr ? c.sends : 0) << c.name;
    }
}

TEST_F(StationSim, AnswerTooBigForADatagramIsTooBig) {
    ASSERT_NO_FATAL_FAILURE(Start());
    const LoopbackSender client("127.0.0.1");
    ASSERT_TRUE(client.Ok());
    // The limit is what one UDP datagram holds (65507 bytes), not less. The
    // tools send at most 128 bindings, so these requests are built by hand.
    const struct {
        const char* name;
        QString oid;
        std::size_t count;
        int errorStatus;
    } cases[] = {
        {.name = "250 status records, some 80 kB", .oid = B("77"), .count = 250, .errorStatus = 1},
        {.name = "20 status records", .oid = B("77"), .count = 20, .errorStatus = 0},
        {.name = "2500 names, some 50 kB", .oid = kSysName, .count = 2500, .errorStatus = 0},
    };
    for (const auto& c : cases) {
        std::string bindings;
        for (std::size_t i = 0; i < c.count; ++i) {
            bindings += ber::Tlv(0x30, ber::Oid(ber::Arcs(c.oid.toStdString())) + ber::Tlv(5, {}));
        }
        const std::string body =
            ber::Integer(7) + ber::Integer(0) + ber::Integer(0) + ber::Tlv(0x30, bindings);
        ASSERT_TRUE(client.SendTo(
            sim->port(),
            ber::Tlv(0x30, ber::Integer(0) + ber::Tlv(4, "public") + ber::Tlv(kGet, body))));
        const auto answer = Receive(client.Socket(), 5000);
        ASSERT_TRUE(answer) << c.name << ": no answer";
        EXPECT_EQ(LastAnswer(), std::make_pair(c.errorStatus, 0)) << c.name;
        // tooBig carries the request's bindings back; a full answer their values.
        EXPECT_EQ(answer->find(bindings) != std::string::npos, c.errorStatus != 0) << c.name;
    }
}

// What a SET changed survives a restart. A save that fails (its temporary
// file cannot be made) is said, tried again until it succeeds, and makes the
// run end with a non-zero status.
TEST_F(StationSim, StateIsSavedRetriedAndReloadedAndACorruptOneIsRefusedAndLeftAlone) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString state = dir.filePath(QStringLiteral("station.json"));
    ASSERT_NO_FATAL_FAILURE(Start({QStringLiteral("--state"), state}));
    EXPECT_TRUE(QFile::exists(state));  // created at start
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("station.json.tmp")));
    ASSERT_EQ(Tool("snmpset", {B("69"), QStringLiteral("s"), QStringLiteral("0|relay|Pump|p|00|"),
                               kSysName, QStringLiteral("s"), QStringLiteral("Saved Hut"),
                               B("75.3"), QStringLiteral("i"), QStringLiteral("1")})
                  .exitCode,
              0);
    EXPECT_TRUE(QTest::qWaitFor(
        [this] { return sim->standardError().contains(QStringLiteral("cannot write state")); }));
    ASSERT_TRUE(QDir(dir.filePath(QStringLiteral("station.json.tmp"))).removeRecursively());
    const auto saved = [&state] {
        QFile file(state);
        return file.open(QIODevice::ReadOnly) && file.readAll().contains("Saved Hut");
    };
    EXPECT_TRUE(QTest::qWaitFor(saved, 10000)) << "the acknowledged change was not saved";
    EXPECT_FALSE(sim->Stop());
    EXPECT_TRUE(sim->standardError().contains(QStringLiteral("1 state save(s) failed")))
        << sim->standardError().toStdString();

    // --scripts fills the table up to 2 rows: one generated row joins the
    // saved one, and a further restart adds nothing.
    const QStringList again = {QStringLiteral("--state"), state, QStringLiteral("--scripts"),
                               QStringLiteral("2")};
    ASSERT_NO_FATAL_FAILURE(Start(again));
    const auto rows = Lines(Tool("snmpwalk", {B("72")}).output);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].second, "1|relay|Pump|p|00|");
    EXPECT_EQ(Text(kSysName), "Saved Hut");
    EXPECT_EQ(StatusField(22), "1");
    EXPECT_TRUE(sim->Stop());
    ASSERT_NO_FATAL_FAILURE(Start(again));
    EXPECT_EQ(Lines(Tool("snmpwalk", {B("72")}).output).size(), 2u);
    EXPECT_TRUE(sim->Stop());

    // A corrupt state file is refused and left as it is; so is one with a
    // member of the wrong type, which read as missing would be saved empty.
    const struct {
        QByteArray content;
        const char* error;
    } corrupt[] = {
        {"{\"scripts\": [", "not valid JSON"},
        {"{\"scripts\": {\"id\": 1}}", "scripts is of the wrong JSON type"},
    };
    for (const auto& c : corrupt) {
        QFile file(state);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.content);
        file.close();
        StationSimulator broken({QStringLiteral("--state"), state});
        EXPECT_FALSE(broken.Start());
        EXPECT_TRUE(broken.errorText().contains(QString::fromLatin1(c.error)))
            << broken.errorText().toStdString();
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), c.content);
    }
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
