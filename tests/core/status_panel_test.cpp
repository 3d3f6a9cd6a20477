// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QSignalSpy>

#include <climits>
#include <functional>
#include <string>

#include "core/station_text.h"
#include "core/status_panel.h"
#include "support/status_fields.h"

namespace volnar {
namespace {

using Record = testing::StatusFields;

QString S(const char* text) {
    return QString::fromUtf8(text);
}

void ExpectIdleLook(const StatusPanel& panel) {
    for (int n = 1; n <= 8; ++n) {
        EXPECT_EQ(panel.AdcName(n), S("Voltmeter %1").arg(n));
        EXPECT_EQ(panel.AdcValue(n), S(" "));
        EXPECT_EQ(panel.AdcUnit(n), S("-"));
    }
    for (int r = 1; r <= 4; ++r) {
        EXPECT_EQ(panel.RelayName(r), S("Relay"));
        EXPECT_EQ(panel.RelayStateText(r), S("=========="));
    }
    EXPECT_EQ(panel.TemperatureCelsius(), S(" "));
    EXPECT_EQ(panel.TemperatureFahrenheit(), S(" "));
    EXPECT_EQ(panel.StationName(), S(" "));
    EXPECT_EQ(panel.Uptime(), S(" "));
}

TEST(StatusPanel, PlacesEveryFieldByPositionAndNumbersOutOfRangeReadAsEmpty) {
    Record record;
    for (int n = 1; n <= 8; ++n) {
        record.AdcName(n) = "adc" + std::to_string(n);
        record.Reading(n) = std::to_string(n) + ".5";
        record.Unit(n) = n % 2 == 1 ? "v" : "a" + std::to_string(n);
        record.AmpRating(n) = std::to_string(10 * n);
        record.MillivoltRating(n) = std::to_string(1000 * n);
        record.Precision(n) = std::to_string(n - 1);
    }
    for (int r = 1; r <= 4; ++r) {
        record.RelayName(r) = "relay" + std::to_string(r);
        record.RelayState(r) = std::to_string(r % 2);
    }
    StatusPanel panel;
    panel.ShowStatusRecord(record.Join());

    for (int n = 1; n <= 8; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(panel.AdcName(n), QString::fromStdString(record.AdcName(n)));
        EXPECT_EQ(panel.AdcUnit(n), QString::fromStdString(record.Unit(n)));
        EXPECT_EQ(panel.ShuntAmpRating(n), QString::fromStdString(record.AmpRating(n)));
        EXPECT_EQ(panel.ShuntMillivoltRating(n), QString::fromStdString(record.MillivoltRating(n)));
    }
    // Voltmeters at their own precision: 1.5 at 0 decimals is a tie to even.
    EXPECT_EQ(panel.AdcValue(1), S(" 2"));
    EXPECT_EQ(panel.AdcValue(3), S(" 3.50"));
    EXPECT_EQ(panel.AdcValue(5), S(" 5.5000"));
    EXPECT_EQ(panel.AdcValue(7), S(" 7.500000"));
    // Ammeters: (A / M) * (X * 1000) with A = 10n, M = 1000n, so 10 * X.
    EXPECT_EQ(panel.AdcValue(2), S(" 25.00"));
    EXPECT_EQ(panel.AdcValue(4), S(" 45.00"));
    EXPECT_EQ(panel.AdcValue(8), S(" 85.00"));
    for (int r = 1; r <= 4; ++r) {
        EXPECT_EQ(panel.RelayName(r), QString::fromStdString(record.RelayName(r)));
        EXPECT_EQ(panel.RelayState(r), r % 2);
        EXPECT_EQ(panel.RelayStateText(r), r % 2 == 1 ? S("ON") : S("OFF"));
    }
    EXPECT_EQ(panel.TemperatureCelsius(), S("21.5"));
    EXPECT_EQ(panel.TemperatureFahrenheit(), S("70.7"));
    EXPECT_EQ(panel.StationName(), S("North gate"));
    EXPECT_EQ(panel.Uptime(), S("3 days"));
    // Numbers out of range read as empty.
    for (const int bad : {0, 9, -1, INT_MIN, INT_MAX}) {
        EXPECT_TRUE(panel.AdcName(bad).isEmpty());
        EXPECT_TRUE(panel.AdcValue(bad).isEmpty());
        EXPECT_TRUE(panel.AdcUnit(bad).isEmpty());
        EXPECT_TRUE(panel.ShuntAmpRating(bad).isEmpty());
        EXPECT_TRUE(panel.ShuntMillivoltRating(bad).isEmpty());
    }
    for (const int bad : {0, 5, -1}) {
        EXPECT_TRUE(panel.RelayName(bad).isEmpty());
        EXPECT_TRUE(panel.RelayStateText(bad).isEmpty());
        EXPECT_EQ(panel.RelayState(bad), 0);
    }
}

TEST(StatusPanel, ConvertsReadings) {
    const struct {
        std::string unit, reading, precision, amps, millivolts;
        const char* expected;
    } cases[] = {
        // Voltmeters at their precision (the forms are RealToDecimal's).
        {"v", "-0.5", "3", "100", "50", "-0.500"},
        {"v", "0", "7", "100", "50", " 0"},
        {"v", "1.5", "20", "100", "50", " 1.500000000000000"},
        {"v", "2.5", "x", "100", "50", " 2"},  // precision not a number: 0 decimals
        {"v", "12a", "2", "100", "50", "ERROR"},
        {"v", "", "2", "100", "50", "ERROR"},
        {"v", "12.3 ", "2", "100", "50", "ERROR"},
        {"v", "1.5", "2", "0", "0", " 1.50"},  // ratings do not matter
        // Ammeters: any unit other than exactly "v".
        {"a", "0.025", "3", "100", "50", " 50.00"},
        {"a", "0.0125", "4", "50", "50", " 12.50"},
        {"V", "0.025", "3", "100", "50", " 50.00"},
        {"", "0.025", "3", "100", "50", " 50.00"},
        {"v ", "0.025", "3", "100", "50", " 50.00"},
        {"vv", "0.025", "3", "100", "50", " 50.00"},
        {"a", "0.025", "0", "100", "50", " 0"},  // the rounded reading is used
        {"a", "0.0126", "2", "50", "50", " 10.00"},
        {"a", "-0.025", "3", "100", "50", "-50.00"},
        {"a", "0", "3", "100", "50", " 0"},
        {"a", "0.025", "3", "100", "0", "ERROR"},
        {"a", "0.025", "3", "100", "-0.000", "ERROR"},
        {"a", "0.025", "3", "100", "", "ERROR"},
        {"a", "0.025", "3", "x", "50", "ERROR"},
        {"a", "abc", "3", "100", "50", "ERROR"},
        {"a", "1e5000", "2", "100", "50", "ERROR"},  // "+INFINITY" reads back as no number
        {"a", "0.025", "3", "1e5000", "50", "+INFINITY"},
        {"a", "1e20", "2", "100", "50", " 2.000000000000000E+0023"},  // scientific reads back
    };
    for (const auto& c : cases) {
        Record record;
        record.Unit(3) = c.unit;
        record.Reading(3) = c.reading;
        record.Precision(3) = c.precision;
        record.AmpRating(3) = c.amps;
        record.MillivoltRating(3) = c.millivolts;
        StatusPanel panel;
        panel.ShowStatusRecord(record.Join());
        EXPECT_EQ(panel.AdcValue(3), QLatin1String(c.expected))
            << "unit '" << c.unit << "' reading '" << c.reading << "' precision '" << c.precision
            << "' A '" << c.amps << "' mV '" << c.millivolts << "'";
        EXPECT_EQ(panel.AdcValue(2), S(" 1.25"));  // neighbours untouched
        EXPECT_EQ(panel.AdcValue(4), S(" 1.25"));
    }
}

TEST(StatusPanel, RelayStatesOtherThanZeroOrOneKeepTheText) {
    const struct {
        const char* state;
        const char* text;
        int kept;
    } steps[] = {
        {"2", "==========", 2}, {"1", "ON", 1},          {"2", "ON", 2},
        {"0", "OFF", 0},        {"7", "OFF", 7},         {"", "OFF", 0},
        {"1", "ON", 1},         {"4294967297", "ON", 1}, {"-1", "OFF", 0},
    };
    StatusPanel panel;
    Record record;
    for (const auto& step : steps) {
        record.RelayState(2) = step.state;
        panel.ShowStatusRecord(record.Join());
        EXPECT_EQ(panel.RelayStateText(2), QLatin1String(step.text)) << step.state;
        EXPECT_EQ(panel.RelayState(2), step.kept) << step.state;
        EXPECT_EQ(panel.RelayStateText(1), S("OFF"));
    }
}

TEST(StatusPanel, ResetGivesTheIdleLookAndKeepsTheKeptValues) {
    Record record;
    record.RelayState(3) = "1";
    record.RelayState(4) = "2";
    record.AmpRating(5) = "75";
    record.MillivoltRating(5) = "60";
    StatusPanel panel;
    ExpectIdleLook(panel);  // a new panel looks idle too
    EXPECT_EQ(panel.RelayState(3), 0);
    panel.ShowStatusRecord(record.Join());
    QSignalSpy changed(&panel, &StatusPanel::Changed);

    panel.ResetReadouts();
    EXPECT_EQ(changed.count(), 1);
    ExpectIdleLook(panel);
    EXPECT_EQ(panel.RelayState(3), 1);
    EXPECT_EQ(panel.RelayState(4), 2);
    EXPECT_EQ(panel.ShuntAmpRating(5), S("75"));
    EXPECT_EQ(panel.ShuntMillivoltRating(5), S("60"));

    panel.ResetReadouts();
    EXPECT_EQ(changed.count(), 1);  // already idle

    // The same record again fills the panel again, values included.
    panel.ShowStatusRecord(record.Join());
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(panel.AdcValue(1), S(" 1.25"));
    EXPECT_EQ(panel.RelayStateText(3), S("ON"));
    // Relay 4 reported 2 both times: it keeps the idle text.
    EXPECT_EQ(panel.RelayStateText(4), S("=========="));
}

TEST(StatusPanel, SignalsOncePerRecordAndOnlyOnChange) {
    const struct {
        const char* what;
        std::function<void(Record&)> change;
        bool signals;
    } steps[] = {
        {"the first record", [](Record&) {}, true},
        {"the same again", [](Record&) {}, false},
        {"a reading change below the shown precision", [](Record& r) { r.Reading(1) = "1.2501"; },
         false},
        {"reading, name and uptime",
         [](Record& r) {
             r.Reading(1) = "1.26";
             r.AdcName(2) = "renamed";
             r.fields[27] = "4 days";
         },
         true},
        // A kept rating counts even when the voltmeter ignores it.
        {"a kept rating", [](Record& r) { r.AmpRating(6) = "200"; }, true},
        // The same reading converted the other way.
        {"a unit", [](Record& r) { r.Unit(1) = "a"; }, true},
        // Settings read as numbers when they change, and the value with them.
        {"a millivolt rating", [](Record& r) { r.MillivoltRating(1) = "100"; }, true},
        {"a precision", [](Record& r) { r.Precision(1) = "1"; }, true},
    };
    StatusPanel panel;
    QSignalSpy changed(&panel, &StatusPanel::Changed);
    Record record;
    for (const auto& step : steps) {
        const qsizetype before = changed.count();
        step.change(record);
        panel.ShowStatusRecord(record.Join());
        EXPECT_EQ(changed.count(), before + (step.signals ? 1 : 0)) << step.what;
    }
    EXPECT_EQ(panel.ShuntAmpRating(6), S("200"));
    EXPECT_EQ(panel.AdcValue(1), S(" 1300.00")) << "1.26 rounded to 1.3 V across 100 mV for 100 A";
}

std::string WithJunkAfter() {
    std::string value = Record().Join();
    for (int i = 0; i < 940; ++i) {
        value += "|junk";
    }
    return value;
}

// A record short of fields (here: up to the unit of input 1) repeats its last one; fields past the
// sixtieth are ignored. Every input and relay shows the same.
TEST(StatusPanel, MalformedRecordsRepeatTheLastFieldOrIgnoreTheRest) {
    // clang-format off
    const struct {
        const char* name;
        std::string record;
        const char* adcName;  // nullptr: not the same for every input
        const char* unit;
        const char* value;
        const char* amps;
        const char* relay;
        const char* uptime;
    } cases[] = {
        {.name = "Empty", .record = "", .adcName = "", .unit = "", .value = "ERROR", .amps = "", .relay = "OFF", .uptime = ""},
        // Ammeter: (5 / 5) * (5 * 1000) at 5 decimals, shown at 2.
        {.name = "NoSeparator", .record = "5", .adcName = "5", .unit = "5", .value = " 5000.00", .amps = "5", .relay = "==========", .uptime = "5"},
        // Precision "v" is 0.
        {.name = "UpToTheFirstUnit", .record = Record().Join(29), .adcName = nullptr, .unit = "v", .value = " 1", .amps = "v", .relay = "OFF", .uptime = "3 days"},
        {.name = "PastTheSixtieth", .record = WithJunkAfter(), .adcName = nullptr, .unit = "v", .value = " 1.25", .amps = "100", .relay = "OFF", .uptime = "3 days"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StatusPanel panel;
        panel.ShowStatusRecord(c.record);
        for (int n = 1; n <= 8; ++n) {
            if (c.adcName != nullptr) {
                EXPECT_EQ(panel.AdcName(n), QLatin1String(c.adcName)) << n;
            }
            EXPECT_EQ(panel.AdcUnit(n), QLatin1String(c.unit)) << n;
            EXPECT_EQ(panel.AdcValue(n), QLatin1String(c.value)) << n;
            EXPECT_EQ(panel.ShuntAmpRating(n), QLatin1String(c.amps)) << n;
        }
        for (int r = 1; r <= 4; ++r) {
            EXPECT_EQ(panel.RelayStateText(r), QLatin1String(c.relay)) << r;
        }
        EXPECT_EQ(panel.Uptime(), QLatin1String(c.uptime));
    }
}

TEST(StatusPanel, StationBytesAreShownOneToOneAndHugeFieldsWhole) {
    const std::string bytes("\xff\xfe\x00\x80 \xc3(", 7);  // not UTF-8, with a NUL
    const std::string big(100000, 'x');
    Record record;
    record.StationName() = bytes;
    record.AdcName(1) = "\xe9t\xe9";
    const std::string shunt = std::string("\x81") + "100";
    record.AmpRating(2) = shunt;
    record.AdcName(4) = big;
    record.Reading(5) = std::string(100000, '0');  // no significant digit: zero
    record.Reading(6) = std::string(100000, '7');  // too many digits: no number
    StatusPanel panel;
    panel.ShowStatusRecord(record.Join());
    EXPECT_EQ(StationBytes(panel.StationName()), QByteArray(bytes.data(), 7));
    EXPECT_EQ(panel.StationName().at(3), QChar(0x20AC)) << "byte 80 is the euro sign";
    EXPECT_EQ(panel.AdcName(1), QString::fromLatin1("\xe9t\xe9"));
    EXPECT_EQ(StationBytes(panel.ShuntAmpRating(2)), QByteArray::fromStdString(shunt));
    EXPECT_EQ(panel.AdcValue(1), S(" 1.25"));
    EXPECT_EQ(panel.AdcName(4), QString::fromStdString(big));
    EXPECT_EQ(panel.AdcValue(5), S(" 0"));
    EXPECT_EQ(panel.AdcValue(6), S("ERROR"));
}

}  // namespace
}  // namespace volnar
