// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "link/board_objects.h"
#include "link/channel_record_read.h"

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

// A channel's record read on its own takes only the answer of that channel's
// record, whole, as an octet string with no error.
TEST(BoardObjects, AChannelRecordReadTakesOnlyItsOwnChannelsRecord) {
    const std::string third(kChannelRecord[3]);
    EXPECT_EQ(ChannelRecordRead::Request({}, 3, 77).oid, third);
    EXPECT_EQ(ChannelRecordRead::Request({}, 3, 77).requestId, 77);
    EXPECT_TRUE(ChannelRecordRead::Request({}, 9, 77).oid.empty());
    struct Case {
        const char* what;
        int channel;
        int errorStatus;
        bool hasBinding;
        int syntax;
        std::string oid;
        bool taken;
    };
    const Case cases[] = {
        {"its own answer", 3, 0, true, kSyntaxOctetString, third, true},
        {"an error status", 3, 2, true, kSyntaxOctetString, third, false},
        {"no binding", 3, 0, false, kSyntaxOctetString, third, false},
        {"an integer", 3, 0, true, kSyntaxInteger, third, false},
        {"another channel's record", 4, 0, true, kSyntaxOctetString, third, false},
        {"an object below the record", 3, 0, true, kSyntaxOctetString, third + ".1", false},
        {"channel 0", 0, 0, true, kSyntaxOctetString, std::string(kChannelRecord[0]), false},
        {"channel 9", 9, 0, true, kSyntaxOctetString, third, false},
    };
    for (const Case& c : cases) {
        BoardResponse response;
        response.errorStatus = c.errorStatus;
        response.hasBinding = c.hasBinding;
        response.syntax = c.syntax;
        response.oid = c.oid;
        response.value = QByteArray("1|2|3", 5);
        const auto record = ChannelRecordRead::Record(response, c.channel);
        ASSERT_EQ(record.has_value(), c.taken) << c.what;
        if (record) {
            EXPECT_EQ(*record, "1|2|3") << c.what;
        }
    }
}

}  // namespace
}  // namespace volnar::board
