// SPDX-License-Identifier: GPL-3.0-or-later
#include "adc/adc_settings.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>

#include "link/dispatch_rules.h"
#include "support/qt_print.h"

namespace volnar::adc {
namespace {

// Channel 3, voltmeter, high 2.0000 enabled with "30 Seconds" and alert 4,
// low 1.5000 enabled with "Continous" and scripts 2 and 7, adjustment 1.0000,
// precision 2, shunt edits showing 0.
SettingsForm WorkedExample() {
    SettingsForm form;
    form.channel = 3;
    form.ampRating = form.millivoltRating = QStringLiteral("0");
    form.precision = QStringLiteral("2");
    form.adjustment = QStringLiteral("1.0000");
    form.highFlapText = QStringLiteral("30 Seconds");
    form.lowFlapText = QStringLiteral("Continous");
    form.highEnabled = form.lowEnabled = true;
    form.highValue = QStringLiteral("2.0000");
    form.lowValue = QStringLiteral("1.5000");
    form.idLists[static_cast<std::size_t>(ActionsList::HighAlerts)] = {4};
    form.idLists[static_cast<std::size_t>(ActionsList::LowScripts)] = {2, 7};
    return form;
}

// A valid ammeter on channel 6: 50 A / 50 mV, high 40 enabled, low 1.5.
SettingsForm Ammeter() {
    SettingsForm form = WorkedExample();
    form.channel = 6;
    form.ammeter = true;
    form.ampRating = form.millivoltRating = QStringLiteral("50");
    form.highValue = QStringLiteral("40");
    return form;
}

std::vector<int> Ids(int count, int id) {
    return std::vector<int>(static_cast<std::size_t>(count), id);
}

TEST(AdcRecord, TwentyFieldsEachTextWhole) {
    EXPECT_EQ(SettingsRecord(WorkedExample()),
              QByteArray("3|2.0000|1.5000|1|1|4.||||||2.7.||30|0|1.0000|2|v|0|0|"));
    SettingsForm empty;
    empty.channel = 8;
    EXPECT_EQ(SettingsRecord(empty), QByteArray("8|||0|0|||||||||0|0|||v|||"));
    empty.ammeter = true;
    empty.highFlapText = QStringLiteral("24 Hours");
    empty.lowFlapText = QStringLiteral("1 hour");  // not a flap text: 0
    EXPECT_EQ(SettingsRecord(empty), QByteArray("8|||0|0|||||||||86400|0|||a|||"));
    SettingsForm lists;
    for (std::size_t i = 0; i < kActionsListCount; ++i) {
        lists.idLists[i] = {static_cast<int>(i + 1), static_cast<int>(10 * (i + 1))};
    }
    EXPECT_EQ(SettingsRecord(lists),
              QByteArray("1|||0|0|1.10.|2.20.|3.30.|4.40.|5.50.|6.60.|7.70.|8.80.|0|0|||v|||"));
}

TEST(AdcIdList, EachIdAsUnsignedDecimalFollowedByAPoint) {
    EXPECT_EQ(IdListText({}), QByteArray());
    EXPECT_EQ(IdListText({3, 12}), QByteArray("3.12."));
    EXPECT_EQ(IdListText({3, 3}), QByteArray("3.3.")) << "an action added twice goes out twice";
    EXPECT_EQ(IdListText({-1}), QByteArray("4294967295."));
}

// A change to the worked example (or to the ammeter): each field given
// replaces the base's.
struct CheckCase {
    const char* name;
    bool ammeter = false;  // base: Ammeter() rather than WorkedExample()
    int channel = 0;       // 0: the base's
    const char* amps = nullptr;
    const char* millivolts = nullptr;
    const char* precision = nullptr;
    const char* adjustment = nullptr;
    const char* high = nullptr;
    const char* low = nullptr;
    std::optional<bool> highOn = {};
    std::optional<bool> lowOn = {};
    std::function<void(IdLists&)> ids = {};
    const char* message = nullptr;  // nullptr: every check passes

    SettingsForm Form() const {
        SettingsForm form = ammeter ? Ammeter() : WorkedExample();
        const auto set = [](QString& field, const char* value) {
            if (value != nullptr) {
                field = QString::fromUtf8(value);
            }
        };
        form.channel = channel != 0 ? channel : form.channel;
        set(form.ampRating, amps);
        set(form.millivoltRating, millivolts);
        set(form.precision, precision);
        set(form.adjustment, adjustment);
        set(form.highValue, high);
        set(form.lowValue, low);
        form.highEnabled = highOn.value_or(form.highEnabled);
        form.lowEnabled = lowOn.value_or(form.lowEnabled);
        if (ids) {
            ids(form.idLists);
        }
        return form;
    }
};
// Messages many cases end with.
constexpr const char* kBadPrecision = "Precision must be a number between 0 and 6 !";
constexpr const char* kBadAdjustment = "Adjustment must contain a valid number !";
constexpr const char* kBadHigh = "Invalid high trigger value !";
constexpr const char* kBadLow = "Invalid low trigger value !";
constexpr const char* kHighOver2_5 = "Hi Trigger Must Be Less Than 2.5 Volts !";
constexpr const char* kBadAmps = "Invalid Shunt Amperage Rating !";
constexpr const char* kBadMillivolts = "Invalid Shunt Millivolt Rating !";
constexpr const char* kNotAboveLow = "Hi Trigger Must Be Greater Than The Low Trigger !";

// clang-format off
const CheckCase kCheckCases[] = {
    {.name = "WorkedExamplePasses"},
    {.name = "ValidAmmeterPasses", .ammeter = true},
    // 1. ratings
    {.name = "AmmeterEmptyMillivoltBeforePrecision", .ammeter = true, .millivolts = "", .precision = "", .message = kBadMillivolts},
    {.name = "AmmeterEmptyAmpBeforeEmptyMillivolt", .ammeter = true, .amps = "", .millivolts = "", .message = kBadAmps},
    {.name = "VoltmeterIgnoresEmptyRatings", .amps = "", .millivolts = ""},
    {.name = "VoltmeterRatingWithSeparator", .amps = "5|", .message = kBadAmps},
    // 2. precision
    {.name = "PrecisionSeven", .precision = "7", .message = kBadPrecision},
    {.name = "PrecisionNotADigit", .precision = "x", .message = kBadPrecision},
    {.name = "PrecisionSixPasses", .precision = "6"},
    {.name = "PrecisionZeroPasses", .precision = "0"},
    {.name = "PrecisionOfTwoCharactersRefused", .precision = "34", .message = kBadPrecision},
    {.name = "PrecisionBeforeAdjustment", .precision = "", .adjustment = "", .message = kBadPrecision},
    // 3. adjustment
    {.name = "AdjustmentWithSeparator", .adjustment = "1|2", .message = kBadAdjustment},
    {.name = "AdjustmentNotANumber", .adjustment = "abc", .message = kBadAdjustment},
    {.name = "AdjustmentTwoPoints", .adjustment = "1..5", .message = kBadAdjustment},
    {.name = "AdjustmentLonePoint", .adjustment = ".", .message = kBadAdjustment},
    {.name = "AdjustmentThreeParts", .adjustment = "1.2.3", .message = kBadAdjustment},
    {.name = "AdjustmentOfElevenPasses", .adjustment = "12.34567890"},
    {.name = "AdjustmentBeforeTriggers", .adjustment = "", .high = "0", .message = kBadAdjustment},
    // Longer than the station keeps, or not storable: refused, never cut.
    {.name = "AdjustmentOfTwelveRefused", .adjustment = "12.345678901", .message = "The field \"Adjustment\" holds at most 11 characters; it has 12."},
    {.name = "RatingOfSixPasses", .ammeter = true, .amps = "100000"},
    {.name = "AmpRatingOfSevenRefused", .ammeter = true, .amps = "1000000", .message = "The field \"Amp Rating\" holds at most 6 characters; it has 7."},
    {.name = "RatingOfSevenRefused", .ammeter = true, .millivolts = "1000000", .message = "The field \"Millivolt Rating\" holds at most 6 characters; it has 7."},
    {.name = "TriggerValueOfTwelveRefused", .low = "1.5000000000", .message = "The field \"Low Trigger\" holds at most 11 characters; it has 12."},
    {.name = "TriggerValueNotStorable", .high = "2\u2154", .message = "The field \"High Trigger\" contains the character \"\u2154\" (U+2154), which the station cannot store. Remove or replace it."},
    // 5, 6. trigger values
    {.name = "EnabledHighOfOne", .high = "1", .message = kBadHigh},
    {.name = "EnabledHighJustAboveOne", .high = "1.0001", .low = "1.0000", .lowOn = false},
    {.name = "EnabledHighEmpty", .high = "", .message = kBadHigh},
    {.name = "DisabledHighOfOnePasses", .high = "1", .highOn = false},
    {.name = "EnabledLowLonePoint", .low = ".", .message = kBadLow},
    {.name = "EnabledHighWithExponent", .high = "2e0", .message = kBadHigh},
    {.name = "EnabledLowWithSign", .low = "+1.5", .message = kBadLow},
    {.name = "EnabledLowTwoPoints", .low = "1.2.3", .message = kBadLow},
    {.name = "HighCheckedBeforeLow", .high = "0.5", .low = ".", .message = kBadHigh},
    {.name = "DisabledLowWithSeparator", .low = "1|", .lowOn = false, .message = kBadLow},
    // 7. voltmeter limits
    {.name = "Channel2High245", .channel = 2, .high = "2.45", .message = kHighOver2_5},
    {.name = "Channel2High24Passes", .channel = 2, .high = "2.4"},
    {.name = "Channel2High24000Passes", .channel = 2, .high = "2.4000"},
    {.name = "Channel3High2401", .high = "2.4001", .message = kHighOver2_5},
    {.name = "Channel5High295", .channel = 5, .high = "29.5", .message = "Hi Trigger Must Be Less Than 30 Volts !"},
    {.name = "Channel4High29Passes", .channel = 4, .high = "29"},
    {.name = "Channel8High295Passes", .channel = 8, .high = "29.5"},
    {.name = "Channel8High595", .channel = 8, .high = "59.5", .message = "Hi Trigger Must Be Less Than 60 Volts !"},
    {.name = "Channel7High59Passes", .channel = 7, .high = "59"},
    {.name = "DisabledHighStillLimited", .channel = 1, .high = "3.0000", .highOn = false, .message = kHighOver2_5},
    {.name = "DisabledHighNotANumberNeverPassesTheLimit", .high = "", .highOn = false, .message = kHighOver2_5},
    {.name = "EqualValuesBothEnabled", .high = "2.0", .low = "2.0000", .message = kNotAboveLow},
    {.name = "EqualValuesHighDisabledPass", .high = "2.0", .low = "2.0000", .highOn = false},
    {.name = "HighBelowLowWithLowDisabled", .low = "2.2", .lowOn = false, .message = kNotAboveLow},
    {.name = "DisabledLowNotANumberAgainstEnabledHigh", .low = "", .lowOn = false, .message = kNotAboveLow},
    {.name = "VoltLimitBeforeLowComparison", .high = "3.0", .low = "4.0", .message = kHighOver2_5},
    // 7. ammeter
    {.name = "AmpRatingBelowHigh", .ammeter = true, .high = "60", .message = "Hi Trigger Must Be Less Than 50 Amps !"},
    {.name = "HighEqualToAmpRatingPasses", .ammeter = true, .high = "50"},
    {.name = "AmpsMessageCarriesTheRatingAsTyped", .ammeter = true, .amps = "007", .high = "8", .message = "Hi Trigger Must Be Less Than 007 Amps !"},
    {.name = "AmpRatingZeroHighZero", .ammeter = true, .amps = "0", .high = "0.0000", .highOn = false, .message = kBadAmps},
    {.name = "PastedAmpRatingNotANumber", .ammeter = true, .amps = "5a", .message = kBadAmps},
    {.name = "PastedMillivoltRatingNotANumber", .ammeter = true, .millivolts = "x", .message = kBadMillivolts},
    {.name = "AmmeterDisabledHighNotANumber", .ammeter = true, .high = "", .highOn = false, .message = "Hi Trigger Must Be Less Than 50 Amps !"},
    {.name = "AmmeterHasNoVoltLimit", .ammeter = true, .channel = 1, .high = "45"},
    {.name = "AmmeterEqualValues", .ammeter = true, .high = "5", .low = "5", .message = kNotAboveLow},
    {.name = "AmmeterRatingChecksBeforeLowComparison", .ammeter = true, .millivolts = "0", .low = "45", .message = kBadMillivolts},
    // Lengths: refused, never cut; checked last.
    {.name = "IdListOf127Passes", .ids = [](IdLists& l) { l[0] = Ids(25, 1234); l[0].push_back(1); }},
    {.name = "IdListOf128Refused", .ids = [](IdLists& l) { l[2] = Ids(25, 1234); l[2].push_back(12); }, .message = "Too many High Trigger scripts: their id list would be longer than 127 characters !"},
    {.name = "RecordOver1023Refused", .ids = [](IdLists& l) { l.fill(Ids(25, 1234)); }, .message = "Too many actions: the settings record would be longer than 1023 characters !"},
    {.name = "LengthsCheckedLast", .precision = "", .ids = [](IdLists& l) { l[7] = Ids(40, 1234); }, .message = kBadPrecision},
};
// clang-format on

TEST(AdcChecks, FirstFailedCheckGivesItsMessage) {
    for (const CheckCase& c : kCheckCases) {
        SCOPED_TRACE(c.name);
        const Result<QByteArray> planned = PlanUpload(c.Form());
        EXPECT_EQ(CheckSettings(c.Form()).has_value(), c.message == nullptr);
        if (c.message == nullptr) {
            EXPECT_TRUE(planned.has_value()) << planned.error().toStdString();
        } else {
            EXPECT_EQ(planned.has_value() ? "accepted" : planned.error().toStdString(), c.message);
        }
    }
}

TEST(AdcRecordLength, FullestRecordThatPassesIsWithinTheLimit) {
    SettingsForm form = WorkedExample();
    form.highValue = QStringLiteral("2.3999");
    form.lowValue = QStringLiteral("1.0001");
    form.adjustment = QStringLiteral("1.234");
    form.highFlapText = form.lowFlapText = QStringLiteral("24 Hours");
    form.ampRating = form.millivoltRating = QStringLiteral("999");
    // Seven lists of 125 characters leave room for one of 90: exactly 1023.
    form.idLists.fill(Ids(25, 1234));
    form.idLists[7] = Ids(18, 1234);
    const Result<QByteArray> fits = PlanUpload(form);
    ASSERT_TRUE(fits.has_value()) << fits.error().toStdString();
    EXPECT_EQ(fits->size(), kRecordLimit);
    form.idLists[7].push_back(1);
    ASSERT_EQ(SettingsRecord(form).size(), kRecordLimit + 2);
    EXPECT_FALSE(PlanUpload(form).has_value());
}

TEST(AdcFlapReading, SecondsOfTheExactTextAnyOtherIsZero) {
    const std::pair<const char*, int> cases[] = {
        {"Continous", 0},
        {"1 Second", 1},
        {"2 Seconds", 2},
        {"59 Seconds", 59},
        {"1 Minute", 60},
        {"2 Minutes", 120},
        {"60 Minutes", 3600},
        {"1 Hour", 3600},
        {"2 Hours", 7200},
        {"24 Hours", 86400},
        // Typed, empty or not quite a text of the list.
        {"1 hour", 0},
        {"", 0},
        {"Continuous", 0},
        {" 30 Seconds", 0},
        {"30 Seconds ", 0},
        {"1 Seconds", 0},
        {"60 Seconds", 0},
        {"61 Minutes", 0},
        {"25 Hours", 0},
        {"90", 0},
        {"30 Seconds                                  ", 0}};
    for (const auto& [text, seconds] : cases) {
        EXPECT_EQ(FlapSeconds(QString::fromLatin1(text)), seconds) << '"' << text << '"';
    }
}

TEST(AdcFlapTimes, TextsAreUniqueInRisingOrderAndReadBackAsTheirSeconds) {
    const QStringList texts = FlapTimeTexts();
    ASSERT_EQ(texts.size(), 144);
    EXPECT_EQ(std::set<QString>(texts.begin(), texts.end()).size(), 144u);
    int previous = -1;
    for (const FlapTime& time : FlapTimes()) {
        EXPECT_GE(time.seconds, previous) << time.text.toStdString();
        previous = time.seconds;
        // The dispatcher shows seconds as the first text that has them;
        // reading that text must give the seconds back.
        const std::optional<QString> shown = DurationText(time.seconds);
        ASSERT_TRUE(shown.has_value()) << time.seconds;
        EXPECT_EQ(FlapSeconds(*shown), time.seconds) << shown->toStdString();
    }
    EXPECT_EQ(DurationText(3600), QStringLiteral("60 Minutes"));
    EXPECT_FALSE(DurationText(90).has_value()) << "90 leaves the combo's text";
}

TEST(AdcKeyFilters, LetThroughOnlyTheirSetAndBackspace) {
    // A character whose low byte is a digit or a point (U+0131, U+012E) is
    // neither.
    const struct {
        KeyFilter filter;
        std::u32string lets, drops;
    } cases[] = {
        {KeyFilter::ShuntRating, U"09\b", U".a-\u0131"},
        {KeyFilter::Precision, U"06\b", U"7."},
        {KeyFilter::DecimalNumber, U".5\b", U"-e |\u012E"},
    };
    for (const auto& c : cases) {
        for (const char32_t character : c.lets) {
            EXPECT_TRUE(KeyFilterLets(c.filter, character))
                << static_cast<int>(c.filter) << " U+" << static_cast<unsigned>(character);
        }
        for (const char32_t character : c.drops) {
            EXPECT_FALSE(KeyFilterLets(c.filter, character))
                << static_cast<int>(c.filter) << " U+" << static_cast<unsigned>(character);
        }
    }
}

}  // namespace
}  // namespace volnar::adc
