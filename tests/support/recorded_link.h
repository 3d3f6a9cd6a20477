// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QPointer>
#include <memory>
#include <optional>
#include <vector>

#include "link/board_link.h"
#include "support/qt_print.h"
#include "support/recording_message_service.h"
#include "support/recording_transport.h"

namespace volnar::testing {

// A board link that never touches the network: its sessions are
// RecordingTransports, its directory holds one station (127.0.0.1, community
// "s3cret") the test may change or remove, its boxes are recorded. Answers
// are fed to the link by hand.
class RecordedLink {
public:
    RecordedLink() { Reset(); }
    virtual ~RecordedLink() = default;
    RecordedLink(const RecordedLink&) = delete;
    RecordedLink& operator=(const RecordedLink&) = delete;

    // A new link, directory and record, as after construction.
    void Reset() {
        link.reset();
        messages.boxes.clear();
        messages.answers.clear();
        allRequests.clear();
        lookups.clear();
        sessionsMade = 0;
        factoryFails = false;
        directoryWaiting = false;
        station = StationRecord{
            QStringLiteral("127.0.0.1"), QStringLiteral("s3cret"), QString(),
            QStringLiteral("YES"),       QStringLiteral("1161"),   QStringLiteral("10"),
            QStringLiteral("2")};
        link = std::make_unique<BoardLink>(
            [this](const QString& address) -> StationLookupAnswer {
                lookups << address;
                if (directoryWaiting) {
                    return StationLookupAnswer::Waiting();
                }
                return station && address == station->IPADDRESS ? station : std::nullopt;
            },
            [this]() -> std::unique_ptr<SnmpTransport> {
                ++sessionsMade;
                if (factoryFails) {
                    return nullptr;
                }
                auto made = std::make_unique<RecordingTransport>();
                made->alsoRecordTo = &allRequests;
                transport = made.get();
                return made;
            });
        link->ChooseStation(QStringLiteral("127.0.0.1"));
        // The box a screen shows for a stop on an error.
        QObject::connect(link.get(), &BoardLink::StoppedByError, link.get(),
                         [this](const QString& text, bool boxDue) {
                             if (boxDue) {
                                 messages.ShowError(text);
                             }
                         });
    }

    std::size_t RequestCount() const { return transport ? transport->requests.size() : 0; }
    const BoardRequest& LastRequest() const { return transport->requests.back(); }

    // Feeds the station's answer (an OCTET STRING unless `syntax` says
    // otherwise) for `requestId`, 0 meaning the last request sent.
    void Answer(std::string oid, QByteArray value, int requestId = 0,
                int syntax = kSyntaxOctetString, int errorStatus = 0) {
        BoardResponse r;
        r.requestId = requestId != 0 ? requestId : LastRequest().requestId;
        r.oid = std::move(oid);
        r.value = std::move(value);
        r.syntax = syntax;
        r.errorStatus = errorStatus;
        link->HandleBoardResponse(r);
    }

    // Runs the link's queued follow-ups.
    static void Drain() { QCoreApplication::processEvents(); }

    RecordingMessageService messages;
    std::optional<StationRecord> station;
    QStringList lookups;            // every address the link looked up
    bool factoryFails = false;      // no session object can be made
    bool directoryWaiting = false;  // the directory has not answered any lookup
    int sessionsMade = 0;
    QPointer<RecordingTransport> transport;  // the newest session
    std::vector<BoardRequest> allRequests;   // of every session
    std::unique_ptr<BoardLink> link;
};

}  // namespace volnar::testing
