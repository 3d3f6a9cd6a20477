// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The station table lists and their screens against the recorded link: the
// station's answers are fed to the link's dispatcher by hand.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPointer>

#include "link/board_commands.h"
#include "link/board_objects.h"
#include "lists/list_navigator.h"
#include "support/recorded_link.h"

namespace volnar::testing {

class RecordedListTest : public ::testing::Test, public RecordedLink {
protected:
    void SetUp() override {
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
        RecordedLink::Answer(oid, value, requestId);
        Drain();
        Drain();
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

    QList<QPointer<BoardOperation>> commands;
    std::unique_ptr<ListNavigator> screens;
};

}  // namespace volnar::testing
