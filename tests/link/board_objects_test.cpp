// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "link/board_objects.h"

namespace volnar::board {
namespace {

struct MembershipCase {
    std::string_view oid;
    std::string_view table;
    bool row;
};

TEST(BoardObjects, RowMembershipComparesWholeArcs) {
    const MembershipCase cases[] = {
        {"1.3.6.1.4.1.32473.3.1.2.72.5", kScriptTable, true},
        {"1.3.6.1.4.1.32473.3.1.2.72.5.1", kScriptTable, true},
        {"1.3.6.1.4.1.32473.3.1.2.720", kScriptTable, false},
        {"1.3.6.1.4.1.32473.3.1.2.720.1", kScriptTable, false},
        {"1.3.6.1.4.1.32473.3.1.2.72", kScriptTable, false},
        {"1.3.6.1.4.1.32473.3.1.2.73.1", kScriptTable, false},
        {"1.3.6.1.4.1.32473.3.1.2.7", kScriptTable, false},
        {"1.3.6.1.4.1.32473.3.1.2.65.1", kAlertTable, true},
        {"1.3.6.1.4.1.32473.3.1.2.650", kAlertTable, false},
        {"1.3.6.1.4.1.32473.3.1.2.60.3", kModemTable, true},
        {"1.3.6.1.4.1.32473.3.1.2.62", kModemTable, false},
        {"", kModemTable, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsRowOf(c.oid, c.table), c.row) << c.oid << " in " << c.table;
    }
}

TEST(BoardObjects, AWalkAdvancesOnlyToAnObjectAfterTheOneAsked) {
    const struct {
        std::string_view oid;
        std::string_view asked;
        bool follows;
    } cases[] = {
        {"1.3.72.1", "1.3.72", true},
        {"1.3.72.5", "1.3.72.5", false},
        {"1.3.72.4", "1.3.72.5", false},
        {"1.3.72.10", "1.3.72.9", true},  // numerically, not as text
        {"1.3.72.9", "1.3.72.10", false},
        {"1.3.72.5.1", "1.3.72.5", true},
        {"1.3.72", "1.3.72.5", false},
        {"1.3.73", "1.3.72.5", true},
        {"1.3.8", "1.3.72", false},
        {"1.3.100", "1.3.99.99.99", true},
        {"1.3..5", "1.3.4", false},
        {"", "1.3", false},
        {"1.3.4294967295.1", "1.3.4294967295", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Follows(c.oid, c.asked), c.follows) << c.oid << " after " << c.asked;
    }
}

TEST(BoardObjects, MemberIndexFindsTheRelayOrChannelOfItsOwnFamilyOnly) {
    for (int relay = 1; relay <= kRelayCount; ++relay) {
        EXPECT_EQ(MemberIndex(kRelayName, kRelayName[relay]), relay);
    }
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        EXPECT_EQ(MemberIndex(kChannelSettings, kChannelSettings[channel]), channel);
    }
    EXPECT_EQ(MemberIndex(kRelayNotes, kRelayName[1]), 0);
}

}  // namespace
}  // namespace volnar::board
