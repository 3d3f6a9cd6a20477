// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <memory>
#include <vector>

#include "link/socket_watch.h"

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

}  // namespace
}  // namespace volnar
