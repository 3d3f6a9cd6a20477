// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/socket_watch.h"

#include <sys/epoll.h>
#include <unistd.h>

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <vector>

#include "link/logging.h"

namespace volnar {

// The thread's epoll descriptor and the one notifier Qt's event loop polls.
// Each socket's epoll entry carries its descriptor and the generation of its
// watch, so an event for a watch destroyed earlier in the same wake-up (its
// descriptor perhaps already reused by a new one) reaches nobody.
class SocketWatch::Hub final {
public:
    static Hub* ForThisThread(bool create);

    bool Add(SocketWatch* watch);
    void Remove(SocketWatch* watch);
    std::uint32_t NextGeneration() { return ++m_generation; }
    int Count() const { return m_count; }
    // The last watch gone: the descriptor closes and the next watch of the
    // thread opens a new one.
    void CloseIfUnused();

private:
    explicit Hub(int epoll);
    ~Hub();
    void Dispatch();

    int m_epoll;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::vector<SocketWatch*> m_byFd;
    int m_count = 0;
    std::uint32_t m_generation = 0;

    Q_DISABLE_COPY_MOVE(Hub)
};

namespace {

thread_local SocketWatch::Hub* t_hub = nullptr;

std::uint64_t Key(int socket, std::uint32_t generation) {
    return static_cast<std::uint64_t>(generation) << 32 | static_cast<std::uint32_t>(socket);
}

}  // namespace

SocketWatch::Hub* SocketWatch::Hub::ForThisThread(bool create) {
    if (t_hub == nullptr && create) {
        const int epoll = epoll_create1(EPOLL_CLOEXEC);
        if (epoll < 0) {
            qCWarning(lcLinkSession)
                << "cannot create an epoll descriptor:" << std::strerror(errno);
            return nullptr;
        }
        t_hub = new Hub(epoll);
    }
    return t_hub;
}

SocketWatch::Hub::Hub(int epoll)
    : m_epoll(epoll), m_notifier(std::make_unique<QSocketNotifier>(epoll, QSocketNotifier::Read)) {
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                     [this] { Dispatch(); });
}

SocketWatch::Hub::~Hub() {
    m_notifier.reset();
    close(m_epoll);
}

bool SocketWatch::Hub::Add(SocketWatch* watch) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = Key(watch->m_socket, watch->m_generation);
    if (epoll_ctl(m_epoll, EPOLL_CTL_ADD, watch->m_socket, &event) != 0) {
        qCWarning(lcLinkSession) << "cannot watch socket" << watch->m_socket << ":"
                                 << std::strerror(errno);
        return false;
    }
    const auto slot = static_cast<std::size_t>(watch->m_socket);
    if (slot >= m_byFd.size()) {
        m_byFd.resize(slot + 1, nullptr);
    }
    m_byFd[slot] = watch;
    ++m_count;
    return true;
}

void SocketWatch::Hub::Remove(SocketWatch* watch) {
    epoll_ctl(m_epoll, EPOLL_CTL_DEL, watch->m_socket, nullptr);
    m_byFd[static_cast<std::size_t>(watch->m_socket)] = nullptr;
    --m_count;
    CloseIfUnused();
}

void SocketWatch::Hub::CloseIfUnused() {
    if (m_count == 0) {
        t_hub = nullptr;
        delete this;
    }
}

void SocketWatch::Hub::Dispatch() {
    epoll_event events[kBatch];
    const int ready = epoll_wait(m_epoll, events, kBatch, 0);
    // Callbacks may destroy watches, their own included, and start new ones:
    // each event is looked up afresh, and the hub outlives this loop.
    ++m_count;
    for (int i = 0; i < ready; ++i) {
        const std::uint64_t key = events[i].data.u64;
        const auto slot = static_cast<std::size_t>(key & 0xFFFFFFFFU);
        SocketWatch* watch = slot < m_byFd.size() ? m_byFd[slot] : nullptr;
        if (watch != nullptr && Key(watch->m_socket, watch->m_generation) == key) {
            const Ready callback = watch->m_ready;  // the watch may go inside it
            callback();
        }
    }
    if (--m_count == 0) {
        // Inside the notifier's own signal: it goes once that has returned.
        m_notifier->setEnabled(false);
        m_notifier.release()->deleteLater();
    }
    CloseIfUnused();
}

SocketWatch::SocketWatch(Hub* hub, int socket, Ready ready, std::uint32_t generation)
    : m_hub(hub), m_socket(socket), m_ready(std::move(ready)), m_generation(generation) {}

std::unique_ptr<SocketWatch> SocketWatch::Start(int socket, Ready ready) {
    if (socket < 0) {
        return nullptr;
    }
    Hub* hub = Hub::ForThisThread(true);
    if (hub == nullptr) {
        return nullptr;
    }
    std::unique_ptr<SocketWatch> watch(
        new SocketWatch(hub, socket, std::move(ready), hub->NextGeneration()));
    if (!hub->Add(watch.get())) {
        watch->m_hub = nullptr;  // nothing to remove
        hub->CloseIfUnused();
        return nullptr;
    }
    return watch;
}

SocketWatch::~SocketWatch() {
    if (m_hub != nullptr) {
        m_hub->Remove(this);
    }
}

int SocketWatch::CountOnThisThread() {
    const Hub* hub = Hub::ForThisThread(false);
    return hub == nullptr ? 0 : hub->Count();
}

bool SocketWatch::HubOpenOnThisThread() {
    return Hub::ForThisThread(false) != nullptr;
}

}  // namespace volnar
