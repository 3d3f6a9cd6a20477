// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <QPointer>
#include <QSignalSpy>
#include <functional>

#include "link/board_commands.h"
#include "link/board_link.h"
#include "link/board_objects.h"
#include "support/recorded_link.h"

namespace volnar {

inline std::string Object(std::string_view suffix) {
    return std::string(board::kPrefix) + std::string(suffix);
}
inline const std::string kStatus(board::kStatusRecord);

using Start = std::function<BoardOperation*(BoardLink&, QObject*)>;
struct FailureCase;
// An operation a screen starts: `call` is a board command on link l, owner o.
#define OPERATION(call) [&](BoardLink& l, QObject* o) { return commands::call; }

// A board link on a recording transport, and the screen that owns its
// operations.
class BoardLinkTest : public ::testing::Test, public testing::RecordedLink {
public:
    // A new link and screen, as for a new test.
    void Fresh() {
        owner.reset();
        Reset();
        owner = std::make_unique<QObject>();
    }

    // START with an accepted first request; the transport has recorded it.
    void Connect() {
        link->Start();
        ASSERT_TRUE(transport);
        ASSERT_EQ(transport->requests.size(), 1u);
        ASSERT_TRUE(messages.boxes.empty()) << messages.Texts().join(u'|').toStdString();
    }

    // Runs one case of StoppingFailures and checks the idle look it leaves.
    void Fail(const FailureCase& c);

    std::unique_ptr<QObject> owner = std::make_unique<QObject>();  // the screen
};

}  // namespace volnar
