// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include "link/snmp_transport.h"

namespace volnar {

// A transport that never touches the network: it records every request and
// answers with a scripted status. Tests, the fuzzer and the benchmarks feed
// answers to the link directly.
class RecordingTransport final : public SnmpTransport {
    Q_OBJECT

public:
    using SnmpTransport::SnmpTransport;

    SendStatus Send(const BoardRequest& request) override {
        if (closed) {
            return SendStatus::SendFailed;
        }
        if (nextStatus == SendStatus::Accepted) {
            requests.push_back(request);
            if (alsoRecordTo != nullptr) {
                alsoRecordTo->push_back(request);
            }
        }
        return nextStatus;
    }
    void Close() override { closed = true; }

    std::vector<BoardRequest> requests;
    // Where the requests of every transport of a test are kept as well.
    std::vector<BoardRequest>* alsoRecordTo = nullptr;
    SendStatus nextStatus = SendStatus::Accepted;
    bool closed = false;

private:
    Q_DISABLE_COPY_MOVE(RecordingTransport)
};

}  // namespace volnar
