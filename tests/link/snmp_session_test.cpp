// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QStringList>
#include <QTest>

#include <memory>
#include <vector>

#include "link/board_objects.h"
#include "link/snmp_session.h"
#include "link/socket_watch.h"
#include "support/snmp_datagram.h"

namespace volnar {
namespace {

// A datagram socket pair: what is sent on `out` is readable on `in`.
struct Pair {
    int in = -1;
    int out = -1;
    Pair() {
        int fds[2];
        EXPECT_EQ(socketpair(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK, 0, fds), 0);
        in = fds[0];
        out = fds[1];
    }
    ~Pair() {
        close(in);
        close(out);
    }
    Pair(const Pair&) = delete;
    Pair& operator=(const Pair&) = delete;
    void Send() const { EXPECT_EQ(send(out, "x", 1, 0), 1); }
    // Takes one datagram; false when none was waiting.
    bool Take() const {
        char byte = 0;
        return recv(in, &byte, 1, 0) == 1;
    }
};

void TurnEventLoop(int turns = 20) {
    for (int i = 0; i < turns; ++i) {
        QCoreApplication::processEvents();
    }
}

// Sockets with a datagram waiting are served, each as often as it has
// datagrams, whatever their number against one wake-up's batch; quiet ones
// never are.
TEST(SocketWatch, OnlyReadySocketsAreServedUntilDrained) {
    struct Case {
        int sockets;
        int ready;      // the first `ready` sockets get datagrams
        int datagrams;  // each
    };
    const Case cases[] = {
        {.sockets = 5, .ready = 1, .datagrams = 1},
        {.sockets = 5, .ready = 0, .datagrams = 0},
        {.sockets = 300, .ready = 3 * SocketWatch::kBatch + 7, .datagrams = 2},
    };
    for (const Case& c : cases) {
        std::vector<std::unique_ptr<Pair>> pairs;
        std::vector<int> served(static_cast<std::size_t>(c.sockets), 0);
        std::vector<std::unique_ptr<SocketWatch>> watches;
        for (int i = 0; i < c.sockets; ++i) {
            pairs.push_back(std::make_unique<Pair>());
            const Pair* pair = pairs.back().get();
            watches.push_back(SocketWatch::Start(pair->in, [pair, &served, i] {
                served[static_cast<std::size_t>(i)] +=
                    pair->Take() ? 1 : 100;  // 100: nothing to read
            }));
            ASSERT_NE(watches.back(), nullptr);
        }
        EXPECT_EQ(SocketWatch::CountOnThisThread(), c.sockets);
        for (int i = 0; i < c.ready; ++i) {
            for (int k = 0; k < c.datagrams; ++k) {
                pairs[static_cast<std::size_t>(i)]->Send();
            }
        }
        // A wake-up serves one batch; the rest come on the next turns.
        QCoreApplication::processEvents();
        int first = 0;
        for (const int count : served) {
            first += count;
        }
        EXPECT_LE(first, SocketWatch::kBatch) << c.sockets;
        TurnEventLoop(4 * c.datagrams * (c.ready / SocketWatch::kBatch + 1) + 4);
        for (int i = 0; i < c.sockets; ++i) {
            EXPECT_EQ(served[static_cast<std::size_t>(i)], i < c.ready ? c.datagrams : 0)
                << "socket " << i << " of " << c.sockets;
        }
        watches.clear();
        EXPECT_FALSE(SocketWatch::HubOpenOnThisThread()) << "the last watch closes the descriptor";
    }
}

// A callback may end other watches, its own included, and start new ones:
// an ended watch's pending event reaches nobody, even when a new watch got
// its descriptor number in the same wake-up.
TEST(SocketWatch, WatchesEndedInsideACallbackAreNeverCalled) {
    for (const bool endOwn : {false, true}) {
        Pair a;
        Pair b;
        std::unique_ptr<SocketWatch> watchA;
        std::unique_ptr<SocketWatch> watchB;
        std::unique_ptr<Pair> replacement;
        std::unique_ptr<SocketWatch> watchNew;
        int calls = 0;
        int newCalls = 0;
        // Both are ready; whichever is served first ends the other (and
        // itself when endOwn), and watches a new socket that takes the
        // other's descriptor number.
        const auto first = [&](std::unique_ptr<SocketWatch>& own, const Pair& ownPair,
                               std::unique_ptr<SocketWatch>& other, Pair& otherPair) {
            ++calls;
            ownPair.Take();
            const int reused = otherPair.in;
            other.reset();
            close(otherPair.in);
            otherPair.in = -1;
            replacement = std::make_unique<Pair>();
            ASSERT_EQ(replacement->in, reused) << "the lowest free descriptor is given";
            watchNew = SocketWatch::Start(replacement->in, [&newCalls] { ++newCalls; });
            if (endOwn) {
                own.reset();
            }
        };
        watchA = SocketWatch::Start(a.in, [&] { first(watchA, a, watchB, b); });
        watchB = SocketWatch::Start(b.in, [&] { first(watchB, b, watchA, a); });
        a.Send();
        b.Send();
        TurnEventLoop();
        EXPECT_EQ(calls, 1) << "an ended watch was called";
        EXPECT_EQ(newCalls, 0) << "the ended watch's event went to the new one";
        EXPECT_EQ(SocketWatch::CountOnThisThread(), endOwn ? 1 : 2);
        watchA.reset();
        watchB.reset();
        watchNew.reset();
        EXPECT_FALSE(SocketWatch::HubOpenOnThisThread());
    }
}

QStringList g_linkLog;

void KeepLinkLog(QtMsgType, const QMessageLogContext& context, const QString& message) {
    if (context.category != nullptr && QByteArray(context.category) == "volnar.link") {
        g_linkLog << message;
    }
}

// A session waiting for the answer to a GET sent to `station`.
std::unique_ptr<SnmpSession> SessionWaitingOn(const testing::LoopbackSender& station) {
    auto session = std::make_unique<SnmpSession>();
    BoardRequest request;
    request.station =
        StationSettings{QStringLiteral("127.0.0.1"), station.Port(), "s3cret", 5'000'000, 0};
    request.requestId = 501;
    request.oid = std::string(board::kSysName);
    EXPECT_EQ(session->Send(request), SendStatus::Accepted);
    return session;
}

// Whether the log shows the program's drop number `n`.
bool DropLogged(quint64 n) {
    return n <= 20 || n % 1000 == 0;
}

// A datagram net-snmp takes without calling back (so the session cannot see
// it) is logged with what net-snmp says of it and who sent it.
TEST(SnmpSession, DatagramsNetSnmpRefusesAreLoggedWithWhyAndFromWhom) {
    using namespace testing;
    const LoopbackSender station("127.0.0.1");
    const LoopbackSender stranger("127.0.0.2");
    ASSERT_TRUE(station.Ok() && stranger.Ok());
    const std::unique_ptr<SnmpSession> session = SessionWaitingOn(station);
    const std::string name(board::kSysName);
    std::string otherVersion = V1Message(kResponse, "s3cret", 501, name, "v2c");
    otherVersion.replace(otherVersion.find(std::string("\x02\x01\x00", 3)), 3, "\x02\x01\x01");
    const QString fromStation = QStringLiteral(", from 127.0.0.1:%1").arg(station.Port());
    const QString fromStranger =
        QStringLiteral(", from 127.0.0.2:%1 (not the station)").arg(stranger.Port());
    const struct {
        const LoopbackSender* from;
        std::string bytes;
        QString says;
    } cases[] = {
        {.from = &station,
         .bytes = V1Message(kResponse, "s3cret", 502, name, "late"),
         .says = QStringLiteral("a response no request waits for") + fromStation},
        {.from = &stranger,
         .bytes = V1Message(kResponse, "s3cret", 9, name, "a port's former owner's"),
         .says = QStringLiteral("a response no request waits for") + fromStranger},
        {.from = &station,
         .bytes = std::string("\x30\x03\x02\x01"),
         .says = QStringLiteral("Bad parse of ASN.1 type")},
        {.from = &station,
         .bytes = otherVersion,
         .says = QStringLiteral("Bad version specified") + fromStation},
    };
    const QtMessageHandler before = qInstallMessageHandler(KeepLinkLog);
    for (const auto& c : cases) {
        g_linkLog.clear();
        const int dropped = session->DroppedCount();
        ASSERT_TRUE(c.from->SendTo(session->LocalPort(), c.bytes));
        EXPECT_TRUE(QTest::qWaitFor([&] { return session->DroppedCount() == dropped + 1; }, 5000));
        ASSERT_EQ(g_linkLog.size(), DropLogged(SnmpSession::DroppedInAll()) ? 1 : 0);
        EXPECT_TRUE(g_linkLog.isEmpty() ||
                    g_linkLog[0].contains(
                        QStringLiteral("dropped datagram (unreadable or unmatched): ") + c.says))
            << qPrintable(g_linkLog.join(u'|'));
    }
    qInstallMessageHandler(before);
}

// A fleet has a session per station: the log's limit is the program's, so
// a flood spread over many sessions logs no more than one on a single one.
TEST(SnmpSession, DropsOfAllSessionsShareOneLogLimit) {
    const testing::LoopbackSender station("127.0.0.1");
    ASSERT_TRUE(station.Ok());
    std::vector<std::unique_ptr<SnmpSession>> sessions;
    for (int i = 0; i < 3; ++i) {
        sessions.push_back(SessionWaitingOn(station));
    }
    const quint64 first = SnmpSession::DroppedInAll() + 1;
    const QtMessageHandler before = qInstallMessageHandler(KeepLinkLog);
    g_linkLog.clear();
    const std::string late =
        testing::V1Message(testing::kResponse, "s3cret", 777, std::string(board::kSysName), "x");
    for (const auto& session : sessions) {
        for (int k = 0; k < 30; ++k) {
            ASSERT_TRUE(station.SendTo(session->LocalPort(), late));
        }
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return SnmpSession::DroppedInAll() == first + 89; }, 5000));
    qInstallMessageHandler(before);
    int expected = 0;
    for (quint64 n = first; n < first + 90; ++n) {
        expected += DropLogged(n) ? 1 : 0;
    }
    EXPECT_EQ(g_linkLog.size(), expected) << "90 drops over 3 sessions";
    for (const auto& session : sessions) {
        EXPECT_EQ(session->DroppedCount(), 30);
    }
}

}  // namespace
}  // namespace volnar
