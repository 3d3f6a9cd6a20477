// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "link/board_request.h"
#include "link/dispatch_rules.h"
#include "link/restart_backoff.h"

namespace volnar {
namespace {

TEST(DispatchRules, DurationTexts) {
    const struct {
        int seconds;
        const char* text;  // nullptr: no text, the combo keeps its own
    } cases[] = {
        {0, "Continous"},   {1, "1 Second"},      {2, "2 Seconds"},     {59, "59 Seconds"},
        {60, "1 Minute"},   {61, nullptr},        {90, nullptr},        {119, nullptr},
        {120, "2 Minutes"}, {3540, "59 Minutes"}, {3600, "60 Minutes"}, {3660, nullptr},
        {5400, nullptr},    {7200, "2 Hours"},    {10800, "3 Hours"},   {86400, "24 Hours"},
        {90000, nullptr},   {7260, nullptr},      {-1, nullptr},        {-60, nullptr},
    };
    for (const auto& c : cases) {
        const auto text = DurationText(c.seconds);
        if (c.text == nullptr) {
            EXPECT_FALSE(text.has_value()) << c.seconds;
        } else {
            ASSERT_TRUE(text.has_value()) << c.seconds;
            EXPECT_EQ(*text, QString::fromLatin1(c.text)) << c.seconds;
        }
    }
}

TEST(DispatchRules, IdListsIgnoreTextAfterTheLastDot) {
    const struct {
        std::string_view list;
        std::vector<int> ids;
    } cases[] = {
        {"3.5.", {3, 5}},   {"3.5", {3}},    {"", {}},   {"12", {}},
        {"3.12.", {3, 12}}, {"7..", {7, 0}}, {".", {0}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseIdList(c.list), c.ids) << c.list;
    }
}

TEST(DispatchRules, IdListCopyTakesTheFirstEntryAndSkipsUnknownIds) {
    const std::vector<AdcListItem> pool = {
        {3, QStringLiteral("EMAIL-Boss")},
        {5, QStringLiteral("SMS-Night")},
        {3, QStringLiteral("EMAIL-Second")},
    };
    const std::vector<AdcListItem> expected = {
        {5, QStringLiteral("SMS-Night")},
        {3, QStringLiteral("EMAIL-Boss")},
    };
    EXPECT_EQ(CopyIdListItems({5, 9, 3}, pool), expected);
    EXPECT_TRUE(CopyIdListItems({}, pool).empty());
}

TEST(DispatchRules, RowFieldsAreTakenAsWritten) {
    EXPECT_EQ(RowFields("4|email|Boss|a@b.example|s|m|x|y|z|extra", 9),
              (QStringList{"4", "email", "Boss", "a@b.example", "s", "m", "x", "y", "z"}));
    // A short row repeats its last field; bytes above 127 are kept.
    const QString last = QString::fromLatin1("\xe9t\xe9");
    EXPECT_EQ(RowFields("9|\xe9t\xe9", 5), (QStringList{"9", last, last, last, last}));
}

TEST(DispatchRules, AdcChannelRecordFields) {
    const std::string record = "1|2|Tank notes|12.5|1.5|7|0|3.5.|3.5|1.|2.|||4.4.|9.|3600|90|1.0|3";
    const AdcChannelRecord r = ParseAdcChannelRecord(record, 6);
    EXPECT_EQ(r.channel, 6);
    EXPECT_EQ(r.notes, QStringLiteral("Tank notes"));
    EXPECT_EQ(r.highValue, QStringLiteral("12.5"));
    EXPECT_EQ(r.lowValue, QStringLiteral("1.5"));
    EXPECT_TRUE(r.highEnabled);
    EXPECT_FALSE(r.lowEnabled);
    EXPECT_EQ(r.highAlerts, (std::vector<int>{3, 5}));
    EXPECT_EQ(r.highNormalAlerts, (std::vector<int>{3}));
    EXPECT_EQ(r.highScripts, (std::vector<int>{1}));
    EXPECT_EQ(r.highNormalScripts, (std::vector<int>{2}));
    EXPECT_TRUE(r.lowAlerts.empty());
    EXPECT_TRUE(r.lowNormalAlerts.empty());
    EXPECT_EQ(r.lowScripts, (std::vector<int>{4, 4}));
    EXPECT_EQ(r.lowNormalScripts, (std::vector<int>{9}));
    EXPECT_EQ(r.highFlapText, std::optional<QString>(QStringLiteral("60 Minutes")));
    EXPECT_FALSE(r.lowFlapText.has_value());
    EXPECT_EQ(r.adjustment, QStringLiteral("1.0"));
    EXPECT_EQ(r.precision, QStringLiteral("3"));
}

TEST(DispatchRules, AdcChannelRecordNotesAreKeptWhole) {
    const std::string notes(3000, 'n');
    const AdcChannelRecord r = ParseAdcChannelRecord("1|2|" + notes + "|4", 1);
    EXPECT_EQ(r.notes.size(), 3000);
    // Missing fields repeat the last one that was there.
    EXPECT_EQ(r.precision, QStringLiteral("4"));
    EXPECT_TRUE(r.highEnabled);
}

TEST(BoardRequest, DottedIdentifiers) {
    const struct {
        std::string_view text;
        bool valid;
    } cases[] = {
        {"1.3.6.1.4.1.32473.3.1.2.77", true},
        {"1.3", true},
        {"1.3.4294967295", true},
        {"1.3.4294967296", false},
        {".1.3.6", false},
        {"1.3.6.", false},
        {"1..3", false},
        {"1", false},
        {"", false},
        {"1.3.6.a", false},
        {"1.3 .6", false},
        {"-1.3", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseDottedOid(c.text).has_value(), c.valid) << c.text;
    }
    std::string longest = "1";
    for (int i = 1; i < 128; ++i) {
        longest += ".1";
    }
    EXPECT_TRUE(ParseDottedOid(longest).has_value());
    EXPECT_FALSE(ParseDottedOid(longest + ".1").has_value());
    const auto arcs = ParseDottedOid("1.3.6.1.2.1.1.5");
    ASSERT_TRUE(arcs);
    EXPECT_EQ(DottedOid(arcs->data(), arcs->size()), "1.3.6.1.2.1.1.5");
}

TEST(BoardRequest, OnlyDottedQuadAddressesAreAccepted) {
    const struct {
        const char* text;
        const char* canonical;  // nullptr: rejected
    } cases[] = {
        {"127.0.0.1", "127.0.0.1"},
        {"127.000.000.001", "127.0.0.1"},  // decimal, never octal
        {"255.255.255.255", "255.255.255.255"},
        {"256.0.0.1", nullptr},
        {"127.0.0", nullptr},
        {"127.0.0.1.5", nullptr},
        {"localhost", nullptr},
        {"127.0.0.1 ", nullptr},
        {" 127.0.0.1", nullptr},
        {"127.0.0.+1", nullptr},
        {"0x7f.0.0.1", nullptr},
        {"127..0.1", nullptr},
        {"1270.0.0.1", nullptr},
        {"", nullptr},
    };
    for (const auto& c : cases) {
        const auto canonical = CanonicalIpv4(QString::fromLatin1(c.text));
        if (c.canonical == nullptr) {
            EXPECT_FALSE(canonical.has_value()) << c.text;
        } else {
            ASSERT_TRUE(canonical.has_value()) << c.text;
            EXPECT_EQ(*canonical, QString::fromLatin1(c.canonical));
        }
    }
}

// Unattended restarts back off, doubling up to five minutes.
TEST(RestartBackoff, DoublesUpToFiveMinutesAndStartsAgainAfterReset) {
    RestartBackoff backoff;
    std::vector<int> delays;
    for (int n = 0; n < 8; ++n) {
        delays.push_back(backoff.NextDelayMs() / 1000);
    }
    EXPECT_EQ(delays, (std::vector<int>{5, 10, 20, 40, 80, 160, 300, 300}));
    backoff.Reset();
    EXPECT_EQ(backoff.NextDelayMs(), 5000);
}

}  // namespace
}  // namespace volnar
