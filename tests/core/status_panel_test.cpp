#include <gtest/gtest.h>

#include <QSignalSpy>

#include <array>
#include <climits>
#include <string>

#include "core/station_text.h"
#include "core/status_panel.h"

namespace volnar {
namespace {

QString Latin1(std::string_view bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// A well-formed status record whose fields can be changed by meaning.
struct Record {
    std::array<std::string, StatusPanel::kStatusFieldCount> fields;

    Record() {
        for (int n = 1; n <= 8; ++n) {
            AdcName(n) = "Input " + std::to_string(n);
            Reading(n) = "1.25";
            Unit(n) = "v";
            AmpRating(n) = "100";
            MillivoltRating(n) = "50";
            Precision(n) = "2";
        }
        for (int r = 1; r <= 4; ++r) {
            RelayName(r) = "Pump " + std::to_string(r);
            RelayState(r) = "0";
        }
        fields[24] = "21.5";
        fields[25] = "70.7";
        fields[26] = "North gate";
        fields[27] = "3 days";
    }

    std::string& AdcName(int n) { return fields[static_cast<std::size_t>(2 * n - 2)]; }
    std::string& Reading(int n) { return fields[static_cast<std::size_t>(2 * n - 1)]; }
    std::string& RelayName(int r) { return fields[static_cast<std::size_t>(16 + 2 * r - 2)]; }
    std::string& RelayState(int r) { return fields[static_cast<std::size_t>(16 + 2 * r - 1)]; }
    std::string& Unit(int n) { return fields[static_cast<std::size_t>(28 + n - 1)]; }
    std::string& AmpRating(int n) { return fields[static_cast<std::size_t>(36 + n - 1)]; }
    std::string& MillivoltRating(int n) { return fields[static_cast<std::size_t>(44 + n - 1)]; }
    std::string& Precision(int n) { return fields[static_cast<std::size_t>(52 + n - 1)]; }

    std::string Join() const {
        std::string value;
        for (const auto& field : fields) {
            if (!value.empty() || &field != &fields[0]) {
                value += '|';
            }
            value += field;
        }
        return value;
    }
};

void ExpectIdleLook(const StatusPanel& panel) {
    for (int n = 1; n <= 8; ++n) {
        EXPECT_EQ(panel.AdcName(n), QStringLiteral("Voltmeter %1").arg(n));
        EXPECT_EQ(panel.AdcValue(n), QStringLiteral(" "));
        EXPECT_EQ(panel.AdcUnit(n), QStringLiteral("-"));
    }
    for (int r = 1; r <= 4; ++r) {
        EXPECT_EQ(panel.RelayName(r), QStringLiteral("Relay"));
        EXPECT_EQ(panel.RelayStateText(r), QStringLiteral("=========="));
    }
    EXPECT_EQ(panel.TemperatureCelsius(), QStringLiteral(" "));
    EXPECT_EQ(panel.TemperatureFahrenheit(), QStringLiteral(" "));
    EXPECT_EQ(panel.StationName(), QStringLiteral(" "));
    EXPECT_EQ(panel.Uptime(), QStringLiteral(" "));
}

TEST(StatusPanel, StartsWithTheIdleLook) {
    StatusPanel panel;
    ExpectIdleLook(panel);
    for (int r = 1; r <= 4; ++r) {
        EXPECT_EQ(panel.RelayState(r), 0);
    }
}

TEST(StatusPanel, PlacesEveryFieldByPosition) {
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
    EXPECT_EQ(panel.AdcValue(1), QStringLiteral(" 2"));
    EXPECT_EQ(panel.AdcValue(3), QStringLiteral(" 3.50"));
    EXPECT_EQ(panel.AdcValue(5), QStringLiteral(" 5.5000"));
    EXPECT_EQ(panel.AdcValue(7), QStringLiteral(" 7.500000"));
    // Ammeters: (A / M) * (X * 1000) with A = 10n, M = 1000n, so 10 * X.
    EXPECT_EQ(panel.AdcValue(2), QStringLiteral(" 25.00"));
    EXPECT_EQ(panel.AdcValue(4), QStringLiteral(" 45.00"));
    EXPECT_EQ(panel.AdcValue(8), QStringLiteral(" 85.00"));
    for (int r = 1; r <= 4; ++r) {
        EXPECT_EQ(panel.RelayName(r), QString::fromStdString(record.RelayName(r)));
        EXPECT_EQ(panel.RelayState(r), r % 2);
        EXPECT_EQ(panel.RelayStateText(r),
                  r % 2 == 1 ? QStringLiteral("ON") : QStringLiteral("OFF"));
    }
    EXPECT_EQ(panel.TemperatureCelsius(), QStringLiteral("21.5"));
    EXPECT_EQ(panel.TemperatureFahrenheit(), QStringLiteral("70.7"));
    EXPECT_EQ(panel.StationName(), QStringLiteral("North gate"));
    EXPECT_EQ(panel.Uptime(), QStringLiteral("3 days"));
}

struct ReadingCase {
    std::string unit;
    std::string reading;
    std::string precision;
    std::string amps;
    std::string millivolts;
    const char* expected;
};

TEST(StatusPanel, ConvertsReadings) {
    const ReadingCase cases[] = {
        // Voltmeters.
        {"v", "12.3456", "2", "100", "50", " 12.35"},
        {"v", "-0.5", "3", "100", "50", "-0.500"},
        {"v", "0", "7", "100", "50", " 0"},
        {"v", "7.5", "0", "100", "50", " 8"},
        {"v", "6.5", "0", "100", "50", " 6"},
        {"v", "1.5", "20", "100", "50", " 1.500000000000000"},
        {"v", "2.5", "x", "100", "50", " 2"},  // precision not a number: 0 decimals
        {"v", "1e16", "2", "100", "50", " 1.000000000000000E+0016"},
        {"v", "1e5000", "2", "100", "50", "+INFINITY"},
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
        EXPECT_EQ(panel.AdcValue(2), QStringLiteral(" 1.25"));  // neighbours untouched
        EXPECT_EQ(panel.AdcValue(4), QStringLiteral(" 1.25"));
    }
}

TEST(StatusPanel, RelayStatesOtherThanZeroOrOneKeepTheText) {
    struct Step {
        const char* state;
        const char* text;
        int kept;
    };
    const Step steps[] = {
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
        EXPECT_EQ(panel.RelayStateText(1), QStringLiteral("OFF"));
    }
}

TEST(StatusPanel, ResetGivesTheIdleLookAndKeepsTheKeptValues) {
    Record record;
    record.RelayState(3) = "1";
    record.RelayState(4) = "2";
    record.AmpRating(5) = "75";
    record.MillivoltRating(5) = "60";
    StatusPanel panel;
    panel.ShowStatusRecord(record.Join());
    QSignalSpy changed(&panel, &StatusPanel::Changed);

    panel.ResetReadouts();
    EXPECT_EQ(changed.count(), 1);
    ExpectIdleLook(panel);
    EXPECT_EQ(panel.RelayState(3), 1);
    EXPECT_EQ(panel.RelayState(4), 2);
    EXPECT_EQ(panel.ShuntAmpRating(5), QStringLiteral("75"));
    EXPECT_EQ(panel.ShuntMillivoltRating(5), QStringLiteral("60"));

    panel.ResetReadouts();
    EXPECT_EQ(changed.count(), 1);  // already idle

    // The same record again fills the panel again, values included.
    panel.ShowStatusRecord(record.Join());
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(panel.AdcValue(1), QStringLiteral(" 1.25"));
    EXPECT_EQ(panel.RelayStateText(3), QStringLiteral("ON"));
    // Relay 4 reported 2 both times: it keeps the idle text.
    EXPECT_EQ(panel.RelayStateText(4), QStringLiteral("=========="));
}

TEST(StatusPanel, SignalsOncePerRecordAndOnlyOnChange) {
    StatusPanel panel;
    QSignalSpy changed(&panel, &StatusPanel::Changed);
    Record record;
    panel.ShowStatusRecord(record.Join());
    EXPECT_EQ(changed.count(), 1);

    panel.ShowStatusRecord(record.Join());
    EXPECT_EQ(changed.count(), 1);

    // A reading change below the shown precision shows nothing new.
    record.Reading(1) = "1.2501";
    panel.ShowStatusRecord(record.Join());
    EXPECT_EQ(changed.count(), 1);

    record.Reading(1) = "1.26";
    record.AdcName(2) = "renamed";
    record.fields[27] = "4 days";
    panel.ShowStatusRecord(record.Join());
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(panel.AdcValue(1), QStringLiteral(" 1.26"));

    // A kept rating that changes counts even when the voltmeter ignores it.
    record.AmpRating(6) = "200";
    panel.ShowStatusRecord(record.Join());
    EXPECT_EQ(changed.count(), 3);
    EXPECT_EQ(panel.ShuntAmpRating(6), QStringLiteral("200"));

    // A unit change converts the same reading the other way.
    record.Unit(1) = "a";
    panel.ShowStatusRecord(record.Join());
    EXPECT_EQ(changed.count(), 4);
    EXPECT_EQ(panel.AdcValue(1), QStringLiteral(" 2520.00"));
}

TEST(StatusPanel, EmptyRecordRepeatsTheEmptyField) {
    StatusPanel panel;
    panel.ShowStatusRecord("");
    for (int n = 1; n <= 8; ++n) {
        EXPECT_EQ(panel.AdcName(n), QString());
        EXPECT_EQ(panel.AdcUnit(n), QString());
        EXPECT_EQ(panel.AdcValue(n), QStringLiteral("ERROR"));
    }
    for (int r = 1; r <= 4; ++r) {
        EXPECT_EQ(panel.RelayStateText(r), QStringLiteral("OFF"));
    }
    EXPECT_EQ(panel.StationName(), QString());
}

TEST(StatusPanel, RecordWithoutSeparatorFillsEveryField) {
    StatusPanel panel;
    panel.ShowStatusRecord("5");
    for (int n = 1; n <= 8; ++n) {
        EXPECT_EQ(panel.AdcName(n), QStringLiteral("5"));
        EXPECT_EQ(panel.AdcUnit(n), QStringLiteral("5"));
        // Ammeter: (5 / 5) * (5 * 1000) at 5 decimals, shown at 2.
        EXPECT_EQ(panel.AdcValue(n), QStringLiteral(" 5000.00"));
        EXPECT_EQ(panel.ShuntAmpRating(n), QStringLiteral("5"));
    }
    for (int r = 1; r <= 4; ++r) {
        EXPECT_EQ(panel.RelayState(r), 5);
        EXPECT_EQ(panel.RelayStateText(r), QStringLiteral("=========="));
    }
    EXPECT_EQ(panel.Uptime(), QStringLiteral("5"));
}

TEST(StatusPanel, ShortRecordRepeatsItsLastField) {
    Record record;
    std::string value;
    for (std::size_t i = 0; i < 29; ++i) {  // up to the unit of input 1
        value += (i == 0 ? "" : "|") + record.fields[i];
    }
    StatusPanel panel;
    panel.ShowStatusRecord(value);
    for (int n = 1; n <= 8; ++n) {
        EXPECT_EQ(panel.AdcUnit(n), QStringLiteral("v"));
        EXPECT_EQ(panel.ShuntAmpRating(n), QStringLiteral("v"));
        EXPECT_EQ(panel.AdcValue(n), QStringLiteral(" 1"));  // precision "v" is 0
    }
    EXPECT_EQ(panel.Uptime(), QStringLiteral("3 days"));
}

TEST(StatusPanel, FieldsPastTheSixtiethAreIgnored) {
    Record record;
    std::string value = record.Join();
    for (int i = 0; i < 940; ++i) {
        value += "|junk";
    }
    StatusPanel wide;
    StatusPanel plain;
    wide.ShowStatusRecord(value);
    plain.ShowStatusRecord(record.Join());
    for (int n = 1; n <= 8; ++n) {
        EXPECT_EQ(wide.AdcValue(n), plain.AdcValue(n));
        EXPECT_EQ(wide.AdcValue(n), QStringLiteral(" 1.25"));
    }
    EXPECT_EQ(wide.Uptime(), QStringLiteral("3 days"));
}

TEST(StatusPanel, StationBytesAreShownOneToOne) {
    const std::string bytes("\xff\xfe\x00\x80 \xc3(", 7);  // not UTF-8, with a NUL
    Record record;
    record.fields[26] = bytes;
    record.AdcName(1) = "\xe9t\xe9";
    record.AmpRating(2) =
        "\x81"
        "100";
    StatusPanel panel;
    panel.ShowStatusRecord(record.Join());
    EXPECT_EQ(panel.StationName().size(), 7);
    EXPECT_EQ(StationBytes(panel.StationName()), QByteArray(bytes.data(), 7));
    EXPECT_EQ(panel.AdcName(1), Latin1("\xe9t\xe9"));
    EXPECT_EQ(StationBytes(panel.ShuntAmpRating(2)), QByteArray("\x81"
                                                                "100"));
    EXPECT_EQ(panel.StationName().at(3), QChar(0x20AC)) << "byte 80 is the euro sign";
    EXPECT_EQ(panel.AdcValue(1), QStringLiteral(" 1.25"));
}

TEST(StatusPanel, HugeFieldsAreKeptWhole) {
    const std::string big(100000, 'x');
    Record record;
    record.fields[26] = big;
    record.Reading(1) = std::string(100000, '0');  // no significant digit: zero
    record.Reading(2) = std::string(100000, '7');  // too many digits: no number
    record.AmpRating(3) = big;
    StatusPanel panel;
    panel.ShowStatusRecord(record.Join());
    EXPECT_EQ(panel.StationName(), Latin1(big));
    EXPECT_EQ(panel.AdcValue(1), QStringLiteral(" 0"));
    EXPECT_EQ(panel.AdcValue(2), QStringLiteral("ERROR"));
    EXPECT_EQ(panel.ShuntAmpRating(3).size(), 100000);
}

TEST(StatusPanel, NumbersOutOfRangeReadAsEmpty) {
    StatusPanel panel;
    panel.ShowStatusRecord(Record().Join());
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

}  // namespace
}  // namespace volnar
