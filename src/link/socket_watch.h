// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <cstdint>
#include <functional>
#include <memory>

namespace volnar {

// Waits for a socket to be readable, on the thread that started the watch.
//
// Every watch of a thread shares one epoll descriptor behind one
// QSocketNotifier: Qt's event loop then polls a single descriptor however
// many sockets are watched, and a wake-up asks epoll which sockets are ready
// and calls only their callbacks. With one QSocketNotifier per socket, the
// event loop checked every socket at every wake-up, so the cost of each
// answer grew with the number of stations.
//
// Level-triggered: a socket left unread is reported again at the next turn
// of the event loop. A wake-up serves at most kBatch sockets and leaves the
// rest for the next turn, so timers and other events are never starved.
class SocketWatch final {
public:
    using Ready = std::function<void()>;
    static constexpr int kBatch = 64;

    // Watches `socket` for reading; `ready` runs on this thread whenever it
    // is readable, until the watch is destroyed (on this thread too). nullptr when the socket
    // cannot be watched (epoll refused it; the reason is logged).
    static std::unique_ptr<SocketWatch> Start(int socket, Ready ready);
    ~SocketWatch();

    int Socket() const { return m_socket; }

    // Watches on the calling thread, and whether its shared descriptor is
    // open (for tests: it is closed with the thread's last watch).
    static int CountOnThisThread();
    static bool HubOpenOnThisThread();

    class Hub;  // the thread's shared descriptor (socket_watch.cpp)

private:
    friend class Hub;
    SocketWatch(Hub* hub, int socket, Ready ready, std::uint32_t generation);

    Hub* m_hub;  // of the thread that started the watch, which also ends it
    int m_socket;
    Ready m_ready;
    std::uint32_t m_generation;

    Q_DISABLE_COPY_MOVE(SocketWatch)
};

}  // namespace volnar
