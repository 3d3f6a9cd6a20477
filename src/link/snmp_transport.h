// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include "link/board_request.h"

namespace volnar {

// The SNMP layer the board link sends through: one request at a time, each
// answered later by ResponseReceived or TimedOut for its request id. The real
// one is SnmpSession (net-snmp); tests, the fuzzer and the benchmarks use
// RecordingTransport, which sends nothing.
class SnmpTransport : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    ~SnmpTransport() override = default;

    virtual SendStatus Send(const BoardRequest& request) = 0;

    // Drops every request in flight or waiting and stops delivering events.
    // Safe to call from a slot connected to this transport's signals; the
    // object itself may be deleted later (deleteLater).
    virtual void Close() = 0;

Q_SIGNALS:
    void ResponseReceived(const volnar::BoardResponse& response);
    void TimedOut(int requestId);
    // A request that waited behind another one with the same id could not be
    // sent when its turn came.
    void DeferredSendFailed(volnar::SendStatus status);

private:
    Q_DISABLE_COPY_MOVE(SnmpTransport)
};

}  // namespace volnar
