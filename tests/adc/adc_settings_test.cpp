#include "adc/adc_settings.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "link/dispatch_rules.h"
#include "support/param_name.h"
#include "support/qt_print.h"

namespace volnar::adc {
namespace {

// Channel 3, voltmeter, high 2.0000 enabled with "30 Seconds" and alert 4,
// low 1.5000 enabled with "Continous" and scripts 2 and 7, adjustment 1.0000,
// precision 2, shunt edits showing 0.
SettingsForm WorkedExample() {
    SettingsForm form;
    form.channel = 3;
    form.ammeter = false;
    form.ampRating = QStringLiteral("0");
    form.millivoltRating = QStringLiteral("0");
    form.precision = QStringLiteral("2");
    form.adjustment = QStringLiteral("1.0000");
    form.highFlapText = QStringLiteral("30 Seconds");
    form.lowFlapText = QStringLiteral("Continous");
    form.highEnabled = true;
    form.lowEnabled = true;
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
    form.ampRating = QStringLiteral("50");
    form.millivoltRating = QStringLiteral("50");
    form.highValue = QStringLiteral("40");
    return form;
}

TEST(AdcRecord, WorkedExampleComesOutExactly) {
    EXPECT_EQ(SettingsRecord(WorkedExample()),
              QByteArray("3|2.0000|1.5000|1|1|4.||||||2.7.||30|0|1.0000|2|v|0|0|"));
    const UploadPlan plan = PlanUpload(WorkedExample());
    EXPECT_FALSE(plan.error.has_value()) << plan.error.value_or(QString()).toStdString();
    EXPECT_EQ(plan.record, SettingsRecord(WorkedExample()));
}

TEST(AdcRecord, EmptyListsAndEmptyTextsGiveEmptyFields) {
    SettingsForm form;
    form.channel = 8;
    EXPECT_EQ(SettingsRecord(form), QByteArray("8|||0|0|||||||||0|0|||v|||"));
    form.idLists = {};
    form.ammeter = true;
    form.highFlapText = QStringLiteral("24 Hours");
    form.lowFlapText = QStringLiteral("1 hour");
    EXPECT_EQ(SettingsRecord(form), QByteArray("8|||0|0|||||||||86400|0|||a|||"));
}

// Nothing is cut: a polled 1000 A shunt and an untouched 400.00 go back whole.
TEST(AdcRecord, TextsGoOutWhole) {
    SettingsForm form = Ammeter();
    form.highValue = QStringLiteral("400.00");
    form.lowValue = QStringLiteral("1.50001");
    form.adjustment = QStringLiteral("12.3456");
    form.ampRating = QStringLiteral("1000");
    form.millivoltRating = QStringLiteral("100");
    const UploadPlan plan = PlanUpload(form);
    ASSERT_FALSE(plan.error.has_value()) << plan.error->toStdString();
    EXPECT_EQ(plan.record,
              QByteArray("6|400.00|1.50001|1|1|4.||||||2.7.||30|0|12.3456|2|a|1000|100|"));
}

TEST(AdcRecord, OnePerListInTheStationsOrder) {
    SettingsForm form;
    form.channel = 1;
    for (std::size_t i = 0; i < kActionsListCount; ++i) {
        form.idLists[i] = {static_cast<int>(i + 1), static_cast<int>(10 * (i + 1))};
    }
    EXPECT_EQ(SettingsRecord(form),
              QByteArray("1|||0|0|1.10.|2.20.|3.30.|4.40.|5.50.|6.60.|7.70.|8.80.|0|0|||v|||"));
}

TEST(AdcIdList, EachIdAsUnsignedDecimalFollowedByAPoint) {
    EXPECT_EQ(IdListText({}), QByteArray());
    EXPECT_EQ(IdListText({3}), QByteArray("3."));
    EXPECT_EQ(IdListText({3, 12}), QByteArray("3.12."));
    EXPECT_EQ(IdListText({3, 3}), QByteArray("3.3.")) << "an action added twice goes out twice";
    EXPECT_EQ(IdListText({-1}), QByteArray("4294967295."));
    // Round trip through the dispatcher's reading.
    EXPECT_EQ(ParseIdList("3.12.7."), (std::vector<int>{3, 12, 7}));
}

struct CheckCase {
    const char* name;
    std::function<SettingsForm()> form;
    std::optional<const char*> message;  // nullopt: every check passes
};

void PrintTo(const CheckCase& c, std::ostream* os) {
    *os << c.name;
}

class AdcChecks : public ::testing::TestWithParam<CheckCase> {};

TEST_P(AdcChecks, FirstFailedCheckGivesItsMessage) {
    const CheckCase& c = GetParam();
    const std::optional<QString> result = CheckSettings(c.form());
    if (c.message) {
        ASSERT_TRUE(result.has_value()) << "expected: " << *c.message;
        EXPECT_EQ(result->toStdString(), std::string(*c.message));
        EXPECT_FALSE(PlanUpload(c.form()).error == std::nullopt);
        EXPECT_TRUE(PlanUpload(c.form()).record.isEmpty()) << "nothing to send";
    } else {
        EXPECT_FALSE(result.has_value()) << result.value_or(QString()).toStdString();
    }
}

template <typename Change>
std::function<SettingsForm()> From(std::function<SettingsForm()> base, Change change) {
    return [base, change] {
        SettingsForm form = base();
        change(form);
        return form;
    };
}

// The base form with one text field set.
std::function<SettingsForm()> Set(std::function<SettingsForm()> base, QString SettingsForm::*field,
                                  const char* value) {
    return From(std::move(base),
                [field, value](SettingsForm& f) { f.*field = QString::fromUtf8(value); });
}

// The worked example on another channel with another high trigger.
std::function<SettingsForm()> High(int channel, const char* value) {
    return From(WorkedExample, [channel, value](SettingsForm& f) {
        f.channel = channel;
        f.highValue = QString::fromLatin1(value);
    });
}

std::vector<int> Ids(int count, int id) {
    return std::vector<int>(static_cast<std::size_t>(count), id);
}

// Messages many cases end with.
constexpr const char* kBadPrecision = "Precision must be a number between 0 and 6 !";
constexpr const char* kBadAdjustment = "Adjustment must contain a valid number !";
constexpr const char* kBadHigh = "Invalid high trigger value !";
constexpr const char* kBadLow = "Invalid low trigger value !";
constexpr const char* kHighOver2_5 = "Hi Trigger Must Be Less Than 2.5 Volts !";
constexpr const char* kBadAmps = "Invalid Shunt Amperage Rating !";

const CheckCase kCheckCases[] = {
    {"WorkedExamplePasses", WorkedExample, std::nullopt},
    {"ValidAmmeterPasses", Ammeter, std::nullopt},
    // 1. ratings
    {"AmmeterEmptyAmpRating", Set(Ammeter, &SettingsForm::ampRating, ""), kBadAmps},
    {"AmmeterEmptyMillivoltBeforePrecision",
     From(Ammeter,
          [](SettingsForm& f) {
              f.millivoltRating.clear();
              f.precision.clear();
          }),
     "Invalid Shunt Millivolt Rating !"},
    {"AmmeterEmptyAmpBeforeEmptyMillivolt",
     From(Ammeter,
          [](SettingsForm& f) {
              f.ampRating.clear();
              f.millivoltRating.clear();
          }),
     kBadAmps},
    {"VoltmeterIgnoresEmptyRatings",
     From(WorkedExample,
          [](SettingsForm& f) {
              f.ampRating.clear();
              f.millivoltRating.clear();
          }),
     std::nullopt},
    {"VoltmeterRatingWithSeparator", Set(WorkedExample, &SettingsForm::ampRating, "5|"), kBadAmps},
    // 2. precision
    {"EmptyPrecision", Set(WorkedExample, &SettingsForm::precision, ""), kBadPrecision},
    {"PastedPrecisionNine", Set(WorkedExample, &SettingsForm::precision, "9"), kBadPrecision},
    {"PrecisionSeven", Set(WorkedExample, &SettingsForm::precision, "7"), kBadPrecision},
    {"PrecisionNotADigit", Set(WorkedExample, &SettingsForm::precision, "x"), kBadPrecision},
    {"PrecisionSixPasses", Set(WorkedExample, &SettingsForm::precision, "6"), std::nullopt},
    {"PrecisionZeroPasses", Set(WorkedExample, &SettingsForm::precision, "0"), std::nullopt},
    {"PrecisionOfTwoCharactersRefused", Set(WorkedExample, &SettingsForm::precision, "34"),
     kBadPrecision},
    {"PrecisionBeforeAdjustment",
     From(WorkedExample,
          [](SettingsForm& f) {
              f.precision.clear();
              f.adjustment.clear();
          }),
     kBadPrecision},
    // 3. adjustment
    {"EmptyAdjustment", Set(WorkedExample, &SettingsForm::adjustment, ""), kBadAdjustment},
    {"AdjustmentWithSeparator", Set(WorkedExample, &SettingsForm::adjustment, "1|2"),
     kBadAdjustment},
    {"AdjustmentNotANumber", Set(WorkedExample, &SettingsForm::adjustment, "abc"), kBadAdjustment},
    {"AdjustmentTwoPoints", Set(WorkedExample, &SettingsForm::adjustment, "1..5"), kBadAdjustment},
    {"AdjustmentLonePoint", Set(WorkedExample, &SettingsForm::adjustment, "."), kBadAdjustment},
    {"AdjustmentThreeParts", Set(WorkedExample, &SettingsForm::adjustment, "1.2.3"),
     kBadAdjustment},
    {"AdjustmentOfElevenPasses", Set(WorkedExample, &SettingsForm::adjustment, "12.34567890"),
     std::nullopt},
    // Longer than the station keeps, or not storable: refused, never cut.
    {"AdjustmentOfTwelveRefused", Set(WorkedExample, &SettingsForm::adjustment, "12.345678901"),
     "The field \"Adjustment\" holds at most 11 characters; it has 12."},
    {"RatingOfSixPasses", Set(Ammeter, &SettingsForm::ampRating, "100000"), std::nullopt},
    {"RatingOfSevenRefused", Set(Ammeter, &SettingsForm::millivoltRating, "1000000"),
     "The field \"Millivolt Rating\" holds at most 6 characters; it has 7."},
    {"TriggerValueOfTwelveRefused", Set(WorkedExample, &SettingsForm::lowValue, "1.5000000000"),
     "The field \"Low Trigger\" holds at most 11 characters; it has 12."},
    {"TriggerValueNotStorable", Set(WorkedExample, &SettingsForm::highValue, "2\u2154"),
     "The field \"High Trigger\" contains the character \"\u2154\" (U+2154), which the "
     "station cannot store. Remove or replace it."},
    {"AdjustmentBeforeTriggers",
     From(WorkedExample,
          [](SettingsForm& f) {
              f.adjustment.clear();
              f.highValue = QStringLiteral("0");
          }),
     kBadAdjustment},
    // 5, 6. trigger values
    {"EnabledHighOfOne", Set(WorkedExample, &SettingsForm::highValue, "1"), kBadHigh},
    {"EnabledHighJustAboveOne",
     From(WorkedExample,
          [](SettingsForm& f) {
              f.highValue = QStringLiteral("1.0001");
              f.lowEnabled = false;
              f.lowValue = QStringLiteral("1.0000");
          }),
     std::nullopt},
    {"EnabledHighEmpty", Set(WorkedExample, &SettingsForm::highValue, ""), kBadHigh},
    {"DisabledHighOfOnePasses",
     From(WorkedExample,
          [](SettingsForm& f) {
              f.highEnabled = false;
              f.highValue = QStringLiteral("1");
          }),
     std::nullopt},
    {"EnabledLowLonePoint", Set(WorkedExample, &SettingsForm::lowValue, "."), kBadLow},
    {"EnabledHighWithExponent", Set(WorkedExample, &SettingsForm::highValue, "2e0"), kBadHigh},
    {"EnabledLowWithSign", Set(WorkedExample, &SettingsForm::lowValue, "+1.5"), kBadLow},
    {"EnabledLowTwoPoints", Set(WorkedExample, &SettingsForm::lowValue, "1.2.3"), kBadLow},
    {"HighCheckedBeforeLow",
     From(WorkedExample,
          [](SettingsForm& f) {
              f.highValue = QStringLiteral("0.5");
              f.lowValue = QStringLiteral(".");
          }),
     kBadHigh},
    {"DisabledLowWithSeparator",
     From(WorkedExample,
          [](SettingsForm& f) {
              f.lowEnabled = false;
              f.lowValue = QStringLiteral("1|");
          }),
     kBadLow},
    // 7. voltmeter limits
    {"Channel2High245", High(2, "2.45"), kHighOver2_5},
    {"Channel2High24Passes", High(2, "2.4"), std::nullopt},
    {"Channel2High24000Passes", High(2, "2.4000"), std::nullopt},
    {"Channel3High2401", Set(WorkedExample, &SettingsForm::highValue, "2.4001"), kHighOver2_5},
    {"Channel5High295", High(5, "29.5"), "Hi Trigger Must Be Less Than 30 Volts !"},
    {"Channel4High29Passes", High(4, "29"), std::nullopt},
    {"Channel8High295Passes", High(8, "29.5"), std::nullopt},
    {"Channel8High595", High(8, "59.5"), "Hi Trigger Must Be Less Than 60 Volts !"},
    {"Channel7High59Passes", High(7, "59"), std::nullopt},
    {"DisabledHighStillLimited",
     From(WorkedExample,
          [](SettingsForm& f) {
              f.channel = 1;
              f.highEnabled = false;
              f.highValue = QStringLiteral("3.0000");
          }),
     kHighOver2_5},
    {"DisabledHighNotANumberNeverPassesTheLimit",
     From(WorkedExample,
          [](SettingsForm& f) {
              f.highEnabled = false;
              f.highValue.clear();
          }),
     kHighOver2_5},
    {"EqualValuesBothEnabled",
     From(WorkedExample,
          [](SettingsForm& f) {
              f.highValue = QStringLiteral("2.0");
              f.lowValue = QStringLiteral("2.0000");
          }),
     "Hi Trigger Must Be Greater Than The Low Trigger !"},
    {"EqualValuesHighDisabledPass",
     From(WorkedExample,
          [](SettingsForm& f) {
              f.highEnabled = false;
              f.highValue = QStringLiteral("2.0");
              f.lowValue = QStringLiteral("2.0000");
          }),
     std::nullopt},
    {"HighBelowLowWithLowDisabled",
     From(WorkedExample,
          [](SettingsForm& f) {
              f.lowEnabled = false;
              f.lowValue = QStringLiteral("2.2");
          }),
     "Hi Trigger Must Be Greater Than The Low Trigger !"},
    {"DisabledLowNotANumberAgainstEnabledHigh",
     From(WorkedExample,
          [](SettingsForm& f) {
              f.lowEnabled = false;
              f.lowValue.clear();
          }),
     "Hi Trigger Must Be Greater Than The Low Trigger !"},
    {"VoltLimitBeforeLowComparison",
     From(WorkedExample,
          [](SettingsForm& f) {
              f.highValue = QStringLiteral("3.0");
              f.lowValue = QStringLiteral("4.0");
          }),
     kHighOver2_5},
    // 7. ammeter
    {"AmpRatingBelowHigh", Set(Ammeter, &SettingsForm::highValue, "60"),
     "Hi Trigger Must Be Less Than 50 Amps !"},
    {"HighEqualToAmpRatingPasses", Set(Ammeter, &SettingsForm::highValue, "50"), std::nullopt},
    {"AmpsMessageCarriesTheRatingAsTyped",
     From(Ammeter,
          [](SettingsForm& f) {
              f.ampRating = QStringLiteral("007");
              f.highValue = QStringLiteral("8");
          }),
     "Hi Trigger Must Be Less Than 007 Amps !"},
    {"AmpRatingZeroHighZero",
     From(Ammeter,
          [](SettingsForm& f) {
              f.ampRating = QStringLiteral("0");
              f.highEnabled = false;
              f.highValue = QStringLiteral("0.0000");
          }),
     kBadAmps},
    {"MillivoltRatingZero", Set(Ammeter, &SettingsForm::millivoltRating, "0"),
     "Invalid Shunt Millivolt Rating !"},
    {"PastedAmpRatingNotANumber", Set(Ammeter, &SettingsForm::ampRating, "5a"), kBadAmps},
    {"PastedMillivoltRatingNotANumber", Set(Ammeter, &SettingsForm::millivoltRating, "x"),
     "Invalid Shunt Millivolt Rating !"},
    {"AmmeterDisabledHighNotANumber",
     From(Ammeter,
          [](SettingsForm& f) {
              f.highEnabled = false;
              f.highValue.clear();
          }),
     "Hi Trigger Must Be Less Than 50 Amps !"},
    {"AmmeterHasNoVoltLimit",
     From(Ammeter,
          [](SettingsForm& f) {
              f.channel = 1;
              f.highValue = QStringLiteral("45");
          }),
     std::nullopt},
    {"AmmeterEqualValues",
     From(Ammeter,
          [](SettingsForm& f) {
              f.highValue = QStringLiteral("5");
              f.lowValue = QStringLiteral("5");
          }),
     "Hi Trigger Must Be Greater Than The Low Trigger !"},
    {"AmmeterRatingChecksBeforeLowComparison",
     From(Ammeter,
          [](SettingsForm& f) {
              f.millivoltRating = QStringLiteral("0");
              f.lowValue = QStringLiteral("45");
          }),
     "Invalid Shunt Millivolt Rating !"},
    // Lengths: refused, never cut.
    {"IdListOf127Passes",
     From(WorkedExample,
          [](SettingsForm& f) {
              f.idLists[0] = Ids(25, 1234);
              f.idLists[0].push_back(1);
          }),
     std::nullopt},
    {"IdListOf128Refused",
     From(WorkedExample,
          [](SettingsForm& f) {
              f.idLists[2] = Ids(25, 1234);
              f.idLists[2].push_back(12);
          }),
     "Too many High Trigger scripts: their id list would be longer than 127 characters !"},
    {"RecordOver1023Refused",
     From(WorkedExample,
          [](SettingsForm& f) {
              for (auto& list : f.idLists) {
                  list = Ids(25, 1234);
              }
          }),
     "Too many actions: the settings record would be longer than 1023 characters !"},
    {"LengthsCheckedLast",
     From(WorkedExample,
          [](SettingsForm& f) {
              f.idLists[7] = Ids(40, 1234);
              f.precision.clear();
          }),
     kBadPrecision},
};

INSTANTIATE_TEST_SUITE_P(Table, AdcChecks, ::testing::ValuesIn(kCheckCases),
                         ::volnar::testing::ByCaseName{});

TEST(AdcRecordLength, FullestRecordThatPassesIsWithinTheLimit) {
    SettingsForm form = WorkedExample();
    form.highValue = QStringLiteral("2.3999");
    form.lowValue = QStringLiteral("1.0001");
    form.adjustment = QStringLiteral("1.234");
    form.highFlapText = QStringLiteral("24 Hours");
    form.lowFlapText = QStringLiteral("24 Hours");
    form.ampRating = QStringLiteral("999");
    form.millivoltRating = QStringLiteral("999");
    // Seven lists of 125 characters leave room for one of 90: exactly 1023.
    for (std::size_t i = 0; i < 7; ++i) {
        form.idLists[i] = Ids(25, 1234);
    }
    form.idLists[7] = Ids(18, 1234);
    const int fixed = SettingsRecord(form).size() - 7 * 125 - 90;
    EXPECT_EQ(fixed, 1 + 6 + 6 + 1 + 1 + 5 + 5 + 5 + 1 + 1 + 3 + 3 + 20);
    const UploadPlan fits = PlanUpload(form);
    ASSERT_FALSE(fits.error.has_value()) << fits.error->toStdString();
    EXPECT_EQ(fits.record.size(), kRecordLimit);
    form.idLists[7].push_back(1);
    ASSERT_EQ(SettingsRecord(form).size(), kRecordLimit + 2);
    EXPECT_TRUE(PlanUpload(form).error.has_value());
}

struct FlapCase {
    const char* text;
    int seconds;
};

inline void PrintTo(const FlapCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class AdcFlapReading : public ::testing::TestWithParam<FlapCase> {};

TEST_P(AdcFlapReading, SecondsOfTheExactText) {
    EXPECT_EQ(FlapSeconds(QString::fromLatin1(GetParam().text)), GetParam().seconds)
        << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, AdcFlapReading,
    ::testing::Values(FlapCase{"Continous", 0}, FlapCase{"1 Second", 1}, FlapCase{"2 Seconds", 2},
                      FlapCase{"30 Seconds", 30}, FlapCase{"59 Seconds", 59},
                      FlapCase{"1 Minute", 60}, FlapCase{"2 Minutes", 120},
                      FlapCase{"60 Minutes", 3600}, FlapCase{"1 Hour", 3600},
                      FlapCase{"2 Hours", 7200}, FlapCase{"24 Hours", 86400},
                      // Anything else, typed or empty, is 0.
                      FlapCase{"1 hour", 0}, FlapCase{"60 minutes", 0}, FlapCase{"", 0},
                      FlapCase{"Continuous", 0}, FlapCase{" 30 Seconds", 0},
                      FlapCase{"30 Seconds ", 0}, FlapCase{"1 Seconds", 0},
                      FlapCase{"60 Seconds", 0}, FlapCase{"61 Minutes", 0}, FlapCase{"25 Hours", 0},
                      FlapCase{"90", 0},
                      FlapCase{"30 Seconds                                  ", 0}),
    [](const auto& test) { return ::volnar::testing::TestNameOf(test.param.text); });

TEST(AdcFlapTimes, TheTableHoldsTheTextsInOrder) {
    const QStringList texts = FlapTimeTexts();
    ASSERT_EQ(texts.size(), 144);
    EXPECT_EQ(texts.front(), QStringLiteral("Continous"));
    EXPECT_EQ(texts[1], QStringLiteral("1 Second"));
    EXPECT_EQ(texts[59], QStringLiteral("59 Seconds"));
    EXPECT_EQ(texts[60], QStringLiteral("1 Minute"));
    EXPECT_EQ(texts[119], QStringLiteral("60 Minutes"));
    EXPECT_EQ(texts[120], QStringLiteral("1 Hour"));
    EXPECT_EQ(texts.back(), QStringLiteral("24 Hours"));
    EXPECT_EQ(std::set<QString>(texts.begin(), texts.end()).size(), 144u);
    int previous = -1;
    for (const FlapTime& time : FlapTimes()) {
        EXPECT_GE(time.seconds, previous) << time.text.toStdString();
        previous = time.seconds;
    }
}

TEST(AdcFlapTimes, ShownTextReadsBackAsTheSameSeconds) {
    // The dispatcher shows seconds as the first text that has them; reading
    // that text must give the seconds back (3600 shows "60 Minutes").
    for (const FlapTime& time : FlapTimes()) {
        const std::optional<QString> shown = DurationText(time.seconds);
        ASSERT_TRUE(shown.has_value()) << time.seconds;
        EXPECT_EQ(FlapSeconds(*shown), time.seconds) << shown->toStdString();
    }
    EXPECT_EQ(DurationText(3600), QStringLiteral("60 Minutes"));
    EXPECT_FALSE(DurationText(90).has_value()) << "90 leaves the combo's text";
}

struct KeyCase {
    KeyFilter filter;
    char32_t character;
    bool lets;
};

std::string KeyCaseName(const KeyCase& c) {
    static const char* const kFilters[] = {"Shunt", "Precision", "Decimal"};
    return std::string(kFilters[static_cast<int>(c.filter)]) + "_U" +
           QString::number(static_cast<uint>(c.character), 16).toUpper().toStdString();
}

inline void PrintTo(const KeyCase& c, std::ostream* os) {
    *os << KeyCaseName(c);
}

class AdcKeyFilters : public ::testing::TestWithParam<KeyCase> {};

TEST_P(AdcKeyFilters, LetThroughOnlyTheirSet) {
    EXPECT_EQ(KeyFilterLets(GetParam().filter, GetParam().character), GetParam().lets)
        << static_cast<int>(GetParam().filter) << " "
        << static_cast<unsigned>(GetParam().character);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AdcKeyFilters,
    ::testing::Values(
        KeyCase{KeyFilter::ShuntRating, U'0', true}, KeyCase{KeyFilter::ShuntRating, U'9', true},
        KeyCase{KeyFilter::ShuntRating, U'.', false}, KeyCase{KeyFilter::ShuntRating, U'a', false},
        KeyCase{KeyFilter::ShuntRating, U'-', false}, KeyCase{KeyFilter::ShuntRating, 8, true},
        KeyCase{KeyFilter::Precision, U'0', true}, KeyCase{KeyFilter::Precision, U'6', true},
        KeyCase{KeyFilter::Precision, U'7', false}, KeyCase{KeyFilter::Precision, U'.', false},
        KeyCase{KeyFilter::Precision, 8, true}, KeyCase{KeyFilter::DecimalNumber, U'.', true},
        KeyCase{KeyFilter::DecimalNumber, U'5', true},
        KeyCase{KeyFilter::DecimalNumber, U'-', false},
        KeyCase{KeyFilter::DecimalNumber, U'e', false},
        KeyCase{KeyFilter::DecimalNumber, U' ', false},
        KeyCase{KeyFilter::DecimalNumber, U'|', false},
        // A character whose low byte is a digit is still not a digit.
        KeyCase{KeyFilter::ShuntRating, 0x131, false},
        KeyCase{KeyFilter::DecimalNumber, 0x12E, false},
        KeyCase{KeyFilter::DecimalNumber, 8, true}),
    [](const auto& test) { return KeyCaseName(test.param); });

}  // namespace
}  // namespace volnar::adc
