#pragma once

// The station table lists and their screens against a board link whose
// transport records requests; the station's answers are fed to the link's
// dispatcher by hand.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPointer>

#include "link/board_commands.h"
#include "link/board_link.h"
#include "link/board_objects.h"
#include "link/recording_transport.h"
#include "lists/list_navigator.h"
#include "support/recording_message_service.h"

namespace volnar::testing {

class RecordedListTest : public ::testing::Test {
protected:
    void SetUp() override {
        link = std::make_unique<BoardLink>(
            messages,
            [](const QString& address) -> std::optional<StationRecord> {
                return StationRecord{address,
                                     QStringLiteral("public"),
                                     QString(),
                                     QStringLiteral("YES"),
                                     QStringLiteral("1161"),
                                     QStringLiteral("10"),
                                     QStringLiteral("1")};
            },
            [] { return QStringLiteral("127.0.0.1"); },
            [this]() -> std::unique_ptr<SnmpTransport> {
                auto made = std::make_unique<RecordingTransport>();
                transport = made.get();
                return made;
            });
        ASSERT_TRUE(link->StartSnmpSession());
        QObject::connect(link.get(), &BoardLink::OperationStarted, link.get(),
                         [this](BoardOperation* operation) { commands << operation; });
    }
    void TearDown() override {
        screens.reset();
        QCoreApplication::processEvents();
        // Closed dialogs are deleted later; let that happen before the link goes.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        link.reset();
    }

    void Navigate(NavigatorSettings settings) {
        screens = std::make_unique<ListNavigator>(std::move(settings), *link, messages, nullptr);
    }

    // Feeds one answer to the link and lets queued follow-ups run.
    void Answer(const std::string& oid, const QByteArray& value, int requestId = 0) {
        BoardResponse r;
        r.requestId = requestId == 0 ? transport->requests.back().requestId : requestId;
        r.oid = oid;
        r.value = value;
        r.syntax = kSyntaxOctetString;
        link->HandleBoardResponse(r);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }

    // Opens the list and answers its walk of `table` with these records,
    // then with an object past the table.
    TableListDialog* OpenListWith(std::string_view table, const QList<QByteArray>& records) {
        screens->OpenList();
        TableListDialog* list = screens->List();
        EXPECT_NE(list, nullptr);
        int id = 1;
        for (const QByteArray& record : records) {
            Answer(std::string(table) + "." + std::to_string(id++), record);
        }
        Answer(std::string(board::kPrefix) + ".76.1", "past the table");
        return list;
    }

    // Lets a closed screen go and a queued next screen open.
    static void Settle() {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }

    BoardOperation* LastCommand() const { return commands.isEmpty() ? nullptr : commands.last(); }
    const BoardRequest& Last() const { return transport->requests.back(); }
    std::size_t Sent() const { return transport->requests.size(); }

    RecordingMessageService messages;
    std::unique_ptr<BoardLink> link;
    RecordingTransport* transport = nullptr;
    QList<QPointer<BoardOperation>> commands;
    std::unique_ptr<ListNavigator> screens;
};

}  // namespace volnar::testing
