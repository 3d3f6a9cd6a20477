// SPDX-License-Identifier: GPL-3.0-or-later
// Sends arbitrary datagrams over loopback to a polling board link's real
// net-snmp session, from the station's own socket or from a stranger on
// 127.0.0.2, and checks that only what the station sent, as a Response with
// its community, is ever dispatched. The test plays the station itself.
#include <sys/socket.h>

#include <QCoreApplication>
#include <QPointer>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "fuzz_input.h"
#include "link/board_link.h"
#include "link/board_objects.h"
#include "link/snmp_session.h"
#include "support/snmp_datagram.h"

namespace {

using namespace volnar;
using volnar::testing::LoopbackSender;

using fuzz::Check;

// The stops on an error (each one a box in the client).
struct CountingMessages {
    int boxes = 0;
};

using fuzz::Input;

constexpr const char* kCommunity = "fuzz";

struct World {
    LoopbackSender station{"127.0.0.1"};
    LoopbackSender stranger{"127.0.0.2"};
    CountingMessages messages;
    QPointer<SnmpSession> session;
    std::unique_ptr<BoardLink> link;
};

World* g_world = nullptr;

void Drain(const LoopbackSender& socket) {
    char buffer[65536];
    while (::recv(socket.Socket(), buffer, sizeof(buffer), MSG_DONTWAIT) >= 0) {
    }
}

std::string Datagram(Input& in, int requestId) {
    const std::uint8_t mode = in.Byte();
    if (mode % 4 == 0) {
        return in.Rest();  // raw bytes
    }
    static const int kPdus[] = {testing::kResponse, testing::kGet,  testing::kGetNext,
                                testing::kSet,      testing::kTrap, 0xA5};
    const int pdu = kPdus[in.Byte() % std::size(kPdus)];
    const std::uint8_t pick = in.Byte();
    const std::string community = pick % 4 == 0 ? "public" : kCommunity;
    const std::int64_t id = pick & 0x10 ? static_cast<std::int32_t>(in.Word()) : requestId;
    const std::int64_t errorStatus = pick & 0x20 ? in.Byte() % 20 : 0;
    static const std::string_view kObjects[] = {board::kStatusRecord, board::kSysName,
                                                board::kScriptTable, board::kRelayName[1]};
    const std::string oid(kObjects[in.Byte() % std::size(kObjects)]);
    const std::uint8_t tag = in.Byte();
    std::string value = in.Rest();
    if (tag % 3 == 0) {
        value = testing::ber::Tlv(tag, value);  // any syntax
    } else {
        value = testing::ber::Tlv(0x04, value);
    }
    return testing::V1Message(pdu, community, id, oid, {}, errorStatus, value);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    static World world;
    Check(world.station.Ok() && world.stranger.Ok());
    const StationRecord record{
        QStringLiteral("127.0.0.1"), QString::fromLatin1(kCommunity),       QString(),
        QStringLiteral("YES"),       QString::number(world.station.Port()), QStringLiteral("100"),
        QStringLiteral("0")};
    world.link = std::make_unique<BoardLink>(
        [record](const QString&) -> std::optional<StationRecord> { return record; },
        []() -> std::unique_ptr<SnmpTransport> {
            auto made = std::make_unique<SnmpSession>();
            g_world->session = made.get();
            return made;
        });
    world.link->ChooseStation(QStringLiteral("127.0.0.1"));
    QObject::connect(world.link.get(), &BoardLink::StoppedByError, world.link.get(),
                     [](const QString&, bool) { ++world.messages.boxes; });
    g_world = &world;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    World& w = *g_world;
    BoardLink& link = *w.link;
    if (!link.IsSessionOpen()) {
        link.Start();
    } else if (link.IsPollTimerActive()) {
        link.PollTick();  // the next status request, without waiting a second
    }
    QCoreApplication::processEvents();
    Drain(w.station);
    Check(w.session != nullptr);
    const std::uint16_t client = w.session->LocalPort();
    Check(client != 0);

    Input in(data, size);
    const bool fromStation = in.Byte() & 1;
    const std::string datagram = Datagram(in, link.LastRequestId());
    const int received = link.ReceivedCount();
    const int boxes = w.messages.boxes;
    const int dropped = w.session->DroppedCount();
    const SnmpSession* session = w.session;
    Check((fromStation ? w.station : w.stranger).SendTo(client, datagram));
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();

    if (!fromStation) {
        // Nothing from a stranger is an answer: dropped, counted, nothing moves.
        Check(w.session == session && w.session->DroppedCount() == dropped + 1);
        Check(link.ReceivedCount() == received);
        Check(w.messages.boxes == boxes);
    }
    if (w.messages.boxes != boxes) {
        Check(link.State() == ConnectionState::NotConnected);
    }
    Check(link.ReceivedCount() <= link.SentCount());
    Drain(w.station);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
