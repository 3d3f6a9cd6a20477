// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary answers and time-outs to the board link's dispatcher, with
// the status panel wired to its status signal as the application wires it.
// The link is the tests' recorded link: its transport records requests and
// never touches the network.
#include <QCoreApplication>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "core/status_panel.h"
#include "fuzz_input.h"
#include "link/board_commands.h"
#include "link/board_link.h"
#include "link/board_objects.h"
#include "support/recorded_link.h"

namespace {

using namespace volnar;

using fuzz::Check;

using fuzz::Input;

const std::string_view kObjects[] = {
    board::kStatusRecord, board::kScriptTable,           board::kAlertTable,
    board::kModemTable,   board::kRelayNotes[1],         board::kRelayNotes[4],
    board::kRelayName[2], board::kChannelRecord[5],      board::kSysName,
    board::kPrefix,       "1.3.6.1.4.1.32473.3.1.2.720",
};

// Mostly ids the link has sent (the status request in flight, an earlier or a
// later one), sometimes any id.
int RequestIdFrom(Input& in, const BoardLink& link) {
    const std::uint8_t pick = in.Byte();
    if (pick < 64) {
        return link.StatusRequestId();
    }
    if (pick < 192) {
        return link.LastRequestId() - 8 + pick % 16;
    }
    return static_cast<int>(in.Word());
}

std::string OidFrom(Input& in) {
    const std::uint8_t pick = in.Byte();
    if (pick < 200) {
        std::string oid(kObjects[pick % std::size(kObjects)]);
        const int extra = in.Byte() % 4;
        for (int i = 0; i < extra; ++i) {
            oid += '.' + std::to_string(in.Word() % (i == 0 ? 10 : 0xFFFFFFFFu));
        }
        return oid;
    }
    return in.Bytes(in.Byte());
}

// One of the screens' operations, started at random (or a screen closing);
// each must end exactly once, never inside the call that started it.
void StartOperation(Input& in, BoardLink& link, std::unique_ptr<QObject>& owner) {
    BoardOperation* operation = nullptr;
    switch (in.Byte() % 6) {
        case 0:
            operation = commands::LoadChannelOptions(link, owner.get(), in.Byte() % 10);
            break;
        case 1:
            operation =
                commands::WalkTable(link, owner.get(), static_cast<BoardTable>(in.Byte() % 3));
            break;
        case 2:
            operation =
                commands::SetRelayNotes(link, owner.get(), in.Byte() % 5, QStringLiteral("notes"));
            break;
        case 3:
            operation = commands::ReadRelayNotes(link, owner.get(), in.Byte() % 5);
            break;
        case 4:
            operation = commands::UploadScript(link, owner.get(), in.Byte() % 2 == 0, "0|relay|");
            break;
        default:
            owner = std::make_unique<QObject>();  // a screen closes
            return;
    }
    if (operation != nullptr) {
        Check(operation->IsPending());
        QObject::connect(operation, &BoardOperation::Ended, operation,
                         [operation, endings = 0](OperationEnding ending) mutable {
                             Check(++endings == 1);
                             Check(ending != OperationEnding::Pending);
                             Check(operation->Ending() == ending);
                         });
    }
}

BoardResponse AnswerFrom(Input& in, const BoardLink& link) {
    BoardResponse r;
    r.requestId = RequestIdFrom(in, link);
    const std::uint8_t flags = in.Byte();
    r.errorStatus = (flags & 0x0F) == 0 ? static_cast<int>(in.Word()) : 0;
    r.hasBinding = (flags & 0x30) != 0x30;
    r.syntax = (flags & 0x40) ? kSyntaxInteger : kSyntaxOctetString;
    r.oid = OidFrom(in);
    const std::uint16_t length = static_cast<std::uint16_t>(in.Byte() << 8 | in.Byte());
    r.value = QByteArray::fromStdString(in.Bytes(length));
    return r;
}

// What holds after every step, whatever came in.
void CheckLink(const testing::RecordedLink& recorded, std::size_t boxesBefore) {
    const BoardLink& link = *recorded.link;
    const auto& boxes = recorded.messages.boxes;
    // Every error has a text and ends the connection at once.
    for (std::size_t box = boxesBefore; box < boxes.size(); ++box) {
        Check(!boxes[box].text.isEmpty());
    }
    if (boxes.size() != boxesBefore) {
        Check(link.State() == ConnectionState::NotConnected);
        Check(!link.IsSessionOpen());
        Check(!link.StationControlsAreEnabled());
    }
    Check(link.SentCount() >= 0 && link.ReceivedCount() >= 0);
    // Losses spread among answers only count; kTimeOutLimit in a row end polling.
    Check(link.LostCount() >= 0);
    Check(link.TimeOutsInRow() < BoardLink::kTimeOutLimit ||
          link.State() == ConnectionState::NotConnected);
    for (const BoardRequest& request : recorded.allRequests) {
        Check(request.station.address == QStringLiteral("127.0.0.1"));
    }
    Check(static_cast<std::size_t>(link.SentCount()) <= recorded.allRequests.size());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    testing::RecordedLink recorded;
    recorded.station->PORT = QStringLiteral("16100");
    recorded.station->TIMEOUT = QStringLiteral("1");
    recorded.station->RETRIES = QStringLiteral("0");
    const auto& messages = recorded.messages;
    std::unique_ptr<BoardLink>& link = recorded.link;
    StatusPanel panel;
    QObject::connect(
        link.get(), &BoardLink::StatusRecordReceived, &panel, [&panel](const QByteArray& record) {
            panel.ShowStatusRecord(
                std::string_view(record.constData(), static_cast<std::size_t>(record.size())));
        });
    QObject::connect(link.get(), &BoardLink::ReadoutsReset, &panel, &StatusPanel::ResetReadouts);
    // The screens' operations: started, answered and given up at random.
    auto owner = std::make_unique<QObject>();
    link->Start();

    for (int step = 0; step < 64 && !in.Empty(); ++step) {
        const std::size_t boxesBefore = messages.boxes.size();
        switch (in.Byte() % 8) {
            case 0:
                link->HandleTimeOut(RequestIdFrom(in, *link));
                break;
            case 1:
                link->PollTick();
                break;
            case 2:
                if (in.Byte() % 4 == 0) {
                    link->StopPolling();
                } else {
                    link->Start();
                }
                break;
            case 3:
                StartOperation(in, *link, owner);
                break;
            default:
                link->HandleBoardResponse(AnswerFrom(in, *link));
                break;
        }
        QCoreApplication::processEvents();
        CheckLink(recorded, boxesBefore);
    }
    owner.reset();
    link.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
