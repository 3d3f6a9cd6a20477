#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "station_model.h"

namespace volnar::sim {
namespace {

std::vector<std::string> Fields(const std::string& record) {
    std::vector<std::string> out;
    for (const auto field : SplitRecord(record)) {
        out.emplace_back(field);
    }
    return out;
}

// Fields of the status record, 1-based as the panel numbers them.
std::string StatusField(const std::string& record, int field) {
    return Fields(record).at(static_cast<std::size_t>(field - 1));
}

TEST(SplitRecord, FinalBarEndsTheLastField) {
    struct Case {
        std::string record;
        std::vector<std::string> fields;
    };
    const std::vector<Case> cases = {
        {"a|b|", {"a", "b"}}, {"a|b", {"a", "b"}}, {"", {""}},
        {"a||", {"a", ""}},   {"|", {""}},         {"||x|", {"", "", "x"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Fields(c.record), c.fields) << c.record;
    }
}

TEST(CommandCodes, RelayAndIoSetsReadTheSameCodeDifferently) {
    EXPECT_EQ(RelayCodeDelay("00"), -1);     // Relay 1 ON
    EXPECT_EQ(RelayCodeDelay("0C"), 5);      // Delay 5 Seconds
    EXPECT_EQ(RelayCodeDelay("0S"), 3600);   // Delay 1 Hour
    EXPECT_EQ(IoCodeDelay("0S"), 1);         // Delay 1 Second
    EXPECT_EQ(RelayCodeDelay("0Y"), 86400);  // Delay 24 Hours
    EXPECT_EQ(RelayCodeDelay("0Z"), std::nullopt);
    EXPECT_EQ(RelayCodeDelay("6D"), -1);  // RDB6.Output OFF
    EXPECT_EQ(RelayCodeDelay("6E"), std::nullopt);
    EXPECT_EQ(RelayCodeDelay("7"), std::nullopt);
    EXPECT_EQ(IoCodeDelay("0k"), 86400);
    EXPECT_EQ(IoCodeDelay("0l"), std::nullopt);
    EXPECT_EQ(IoCodeDelay("10"), std::nullopt);  // the I/O set has group 0 only
}

TEST(Scripts, AddsNumberRowsAndUpdatesKeepTheirId) {
    StationModel model;
    ASSERT_EQ(model.SetScriptRecord("0|relay|Pump|Start pump|000C01|"), kNoError);
    EXPECT_EQ(model.lastAddedId(), 1u);
    ASSERT_EQ(model.SetScriptRecord("0|IO|Gate|Open gate|0E0Z0F|"), kNoError);
    EXPECT_EQ(model.lastAddedId(), 2u);
    ASSERT_EQ(model.scripts().size(), 2u);
    EXPECT_EQ(StationModel::ScriptRow(model.scripts().at(1)), "1|relay|Pump|Start pump|000C01|");
    EXPECT_EQ(StationModel::ScriptRow(model.scripts().at(2)), "2|io|Gate|Open gate|0E0Z0F|");

    ASSERT_EQ(model.SetScriptRecord("1|relay|Pump 2|Other notes|00|"), kNoError);
    EXPECT_EQ(model.scripts().size(), 2u);
    EXPECT_EQ(StationModel::ScriptRow(model.scripts().at(1)), "1|relay|Pump 2|Other notes|00|");
}

TEST(Scripts, DeletedIdsAreNotHandedOutAgain) {
    StationModel model;
    ASSERT_EQ(model.SetScriptRecord("0|relay|A|a|00|"), kNoError);
    ASSERT_EQ(model.SetScriptRecord("0|relay|B|b|00|"), kNoError);
    ASSERT_EQ(model.DeleteScript(2), kNoError);
    EXPECT_EQ(model.DeleteScript(2), kBadValue);
    ASSERT_EQ(model.SetScriptRecord("0|relay|C|c|00|"), kNoError);
    EXPECT_EQ(model.lastAddedId(), 3u);
    EXPECT_EQ(model.scripts().count(2), 0u);
}

TEST(Scripts, MalformedRecordsAreRefusedAndChangeNothing) {
    const std::vector<std::string> records = {
        "",
        "0|relay|Name|Notes|",               // four fields
        "0|relay|Name|Notes|00|extra|",      // six fields
        "x|relay|Name|Notes|00|",            // id not a number
        "-1|relay|Name|Notes|00|",           // signed id
        "99999999999|relay|Name|Notes|00|",  // id beyond 32 bits
        "7|relay|Name|Notes|00|",            // unknown id
        "0|pump|Name|Notes|00|",             // unknown type
        "0|relay||Notes|00|",                // empty name
        "0|relay|Name|Notes||",              // no commands
        "0|relay|Name|Notes|000|",           // odd code text
        "0|relay|Name|Notes|00ZZ01|",        // code outside the relay set
        "0|io|Name|Notes|10|",               // relay-board code in an I/O script
        "0|relay|Na\x01me|Notes|00|",        // control character in the name
        "0|relay|" + std::string(64, 'n') + "|Notes|00|",
        "0|relay|Name|" + std::string(511, 'd') + "|00|",
        "0|relay|Name|Notes|" + std::string(514, '0') + "|",  // 257 commands
    };
    for (const std::string& record : records) {
        StationModel model;
        ASSERT_EQ(model.SetScriptRecord("0|relay|Keep|Keep|00|"), kNoError);
        const auto before = model.changeCount();
        EXPECT_EQ(model.SetScriptRecord(record), kBadValue) << record;
        EXPECT_EQ(model.scripts().size(), 1u) << record;
        EXPECT_EQ(StationModel::ScriptRow(model.scripts().at(1)), "1|relay|Keep|Keep|00|");
        EXPECT_EQ(model.changeCount(), before) << record;
    }
}

TEST(Scripts, LimitsAtTheEdgeAreAccepted) {
    StationModel model;
    EXPECT_EQ(model.SetScriptRecord("0|relay|" + std::string(63, 'n') + "|" +
                                    std::string(510, 'd') + "|" + std::string(512, '0') + "|"),
              kNoError);
    // Notes keep their line breaks.
    EXPECT_EQ(model.SetScriptRecord("0|relay|Name|line 1\r\nline 2|00|"), kNoError);
    EXPECT_EQ(model.scripts().at(2).description, "line 1\r\nline 2");
}

TEST(Scripts, RelayScriptSwitchesRelaysHonouringItsDelays) {
    StationModel model;
    // Relay 1 ON, Delay 5 Seconds, Relay 1 OFF, Relay 2 ON.
    ASSERT_EQ(model.SetScriptRecord("0|relay|Pump|Start pump|000C0102|"), kNoError);
    ASSERT_EQ(model.ExecuteScript(1, 100.0), kNoError);
    EXPECT_TRUE(model.relay(1).on);
    EXPECT_FALSE(model.relay(2).on);
    ASSERT_TRUE(model.NextDueTime().has_value());
    EXPECT_DOUBLE_EQ(*model.NextDueTime(), 105.0);

    model.Advance(104.9);
    EXPECT_TRUE(model.relay(1).on);
    model.Advance(105.0);
    EXPECT_FALSE(model.relay(1).on);
    EXPECT_TRUE(model.relay(2).on);
    EXPECT_FALSE(model.NextDueTime().has_value());

    std::vector<std::string> kinds;
    for (const ModelEvent& event : model.TakeEvents()) {
        kinds.push_back(event.details.at("event").AsString());
    }
    EXPECT_EQ(kinds,
              (std::vector<std::string>{"script_executed", "relay_switched", "relay_switched",
                                        "relay_switched", "script_finished"}));
}

TEST(Scripts, LateAdvanceRunsEveryDueStepInOrder) {
    StationModel model;
    // Relay 3 ON, 1 s, Relay 3 OFF, 1 s, Relay 3 ON.
    ASSERT_EQ(model.SetScriptRecord("0|relay|Blink|b|0408050804|"), kNoError);
    ASSERT_EQ(model.ExecuteScript(1, 10.0), kNoError);
    model.Advance(50.0);
    EXPECT_TRUE(model.relay(3).on);
    EXPECT_FALSE(model.NextDueTime().has_value());
}

TEST(Scripts, IoScriptSetsPinsAndLeavesRelaysAlone) {
    StationModel model;
    ASSERT_EQ(model.SetScriptRecord("0|io|Gate|g|000102|"), kNoError);
    ASSERT_EQ(model.ExecuteScript(1, 0.0), kNoError);
    for (int k = 1; k <= kRelayCount; ++k) {
        EXPECT_FALSE(model.relay(k).on) << k;
    }
    int pinEvents = 0;
    for (const ModelEvent& event : model.TakeEvents()) {
        pinEvents += event.details.at("event").AsString() == "io_pin_set";
    }
    EXPECT_EQ(pinEvents, 3);
}

TEST(Scripts, ExecutingOrDeletingAnUnknownIdIsBadValue) {
    StationModel model;
    ASSERT_EQ(model.SetScriptRecord("0|relay|A|a|00|"), kNoError);
    for (const std::int64_t id : {0LL, -1LL, 2LL, 4294967297LL}) {
        EXPECT_EQ(model.ExecuteScript(id, 0), kBadValue) << id;
        EXPECT_EQ(model.DeleteScript(id), kBadValue) << id;
    }
    EXPECT_FALSE(model.relay(1).on);
    EXPECT_EQ(model.scripts().size(), 1u);
}

TEST(Relays, PulseSwitchesOnThenOffAfterItsSeconds) {
    StationModel model;
    ASSERT_EQ(model.PulseRelay(2, 3, 10.0), kNoError);
    EXPECT_TRUE(model.relay(2).on);
    model.Advance(12.9);
    EXPECT_TRUE(model.relay(2).on);
    model.Advance(13.0);
    EXPECT_FALSE(model.relay(2).on);
}

TEST(Relays, SwitchingDuringAPulseCancelsItsEnd) {
    StationModel model;
    ASSERT_EQ(model.PulseRelay(1, 5, 0.0), kNoError);
    ASSERT_EQ(model.SwitchRelay(1, 1), kNoError);
    model.Advance(10.0);
    EXPECT_TRUE(model.relay(1).on);
}

TEST(Relays, OutOfRangeValuesAreBadValue) {
    struct Case {
        int relay;
        std::int64_t value;
        bool pulse;
    };
    const std::vector<Case> cases = {{1, 2, false}, {1, -1, false}, {0, 1, false}, {5, 1, false},
                                     {1, 0, true},  {1, 61, true},  {1, -5, true}, {5, 10, true}};
    for (const Case& c : cases) {
        StationModel model;
        const int status =
            c.pulse ? model.PulseRelay(c.relay, c.value, 0) : model.SwitchRelay(c.relay, c.value);
        EXPECT_EQ(status, kBadValue) << c.relay << " " << c.value << " " << c.pulse;
        for (int k = 1; k <= kRelayCount; ++k) {
            EXPECT_FALSE(model.relay(k).on);
        }
    }
}

TEST(Relays, NamesAndNotesFollowTheirLimits) {
    StationModel model;
    EXPECT_EQ(model.SetRelayName(1, std::string(19, 'n')), kNoError);
    EXPECT_EQ(model.SetRelayName(1, std::string(20, 'n')), kBadValue);
    EXPECT_EQ(model.SetRelayName(1, "a|b"), kBadValue);  // would split the status record
    EXPECT_EQ(model.SetRelayName(2, ""), kNoError);
    EXPECT_EQ(model.relay(1).name, std::string(19, 'n'));
    EXPECT_EQ(model.SetRelayNotes(3, "line|with bar\r\nnext"), kNoError);
    EXPECT_EQ(model.relay(3).notes, "line|with bar\r\nnext");
    EXPECT_EQ(model.SetRelayNotes(3, std::string(512, 'x')), kBadValue);
    EXPECT_EQ(model.relay(3).notes, "line|with bar\r\nnext");
}

TEST(StatusRecord, HoldsSixtyFieldsInPanelOrder) {
    StationModel model;
    ASSERT_EQ(model.SetRelayName(2, "Fan"), kNoError);
    ASSERT_EQ(model.SwitchRelay(2, 1), kNoError);
    ASSERT_EQ(model.SetStationName("North Hut"), kNoError);
    ASSERT_EQ(model.SetChannelName(4, "Battery"), kNoError);
    model.SetStartTime(1000.0);
    const std::string record = model.StatusRecord(1000.0 + 86400 + 3661);
    ASSERT_EQ(Fields(record).size(), 60u);
    EXPECT_EQ(record.back(), '|');
    EXPECT_EQ(StatusField(record, 7), "Battery");
    EXPECT_EQ(StatusField(record, 19), "Fan");
    EXPECT_EQ(StatusField(record, 20), "1");
    EXPECT_EQ(StatusField(record, 18), "0");
    EXPECT_EQ(StatusField(record, 27), "North Hut");
    EXPECT_EQ(StatusField(record, 28), "1 days, 01:01:01");
    const double celsius = std::atof(StatusField(record, 25).c_str());
    const double fahrenheit = std::atof(StatusField(record, 26).c_str());
    EXPECT_NEAR(fahrenheit, celsius * 9 / 5 + 32, 0.051);
    // Channel 6 is an ammeter on a 50 A / 50 mV shunt, the others voltmeters.
    EXPECT_EQ(StatusField(record, 29 + 5), "a");
    EXPECT_EQ(StatusField(record, 29), "v");
    EXPECT_EQ(StatusField(record, 37 + 5), "50");
    EXPECT_EQ(StatusField(record, 45 + 5), "50");
    EXPECT_EQ(StatusField(record, 53 + 5), "4");
}

TEST(StatusRecord, ReadingsMoveWithinTheChannelRangesAndRepeatUnderASeed) {
    StationModel first;
    StationModel second;
    StationModel other;
    first.SetSeed(42);
    second.SetSeed(42);
    other.SetSeed(43);
    bool moved = false;
    bool differs = false;
    std::string previous;
    for (int i = 0; i < 300; ++i) {
        const std::string a = first.StatusRecord(0);
        const std::string b = second.StatusRecord(0);
        const std::string c = other.StatusRecord(0);
        ASSERT_EQ(a, b) << i;
        differs = differs || a != c;
        moved = moved || (!previous.empty() && previous != a);
        previous = a;
        const double ranges[] = {2.5, 2.5, 2.5, 30, 30, 30, 60, 60};
        for (int n = 1; n <= kChannelCount; ++n) {
            const double reading = std::atof(StatusField(a, 2 * n).c_str());
            if (n == 6) {
                // Shunt voltage of the ammeter: below the 50 mV rating.
                EXPECT_GT(reading, 0.0);
                EXPECT_LT(reading, 0.050);
            } else {
                EXPECT_GT(reading, 0.0) << n;
                EXPECT_LT(reading, ranges[n - 1]) << n;
            }
        }
    }
    EXPECT_TRUE(moved);
    EXPECT_TRUE(differs);
}

TEST(ChannelSettings, WorkedExampleReachesTheChannelRecord) {
    StationModel model;
    ASSERT_EQ(model.SetChannelSettings(3, "3|2.0000|1.5000|1|1|4.||||||2.7.||30|0|1.000|2|v|0|0|"),
              kNoError);
    const auto record = Fields(model.ChannelRecord(3));
    ASSERT_EQ(record.size(), 19u);
    EXPECT_EQ(record[0], "3");
    EXPECT_EQ(record[3], "2.0000");
    EXPECT_EQ(record[4], "1.5000");
    EXPECT_EQ(record[5], "1");
    EXPECT_EQ(record[6], "1");
    EXPECT_EQ(record[7], "4.");     // high alerts
    EXPECT_EQ(record[13], "2.7.");  // low scripts
    EXPECT_EQ(record[14], "");
    EXPECT_EQ(record[15], "30");
    EXPECT_EQ(record[16], "0");
    EXPECT_EQ(record[17], "1.000");
    EXPECT_EQ(record[18], "2");
}

TEST(ChannelSettings, AmmeterModeReachesTheStatusRecord) {
    StationModel model;
    ASSERT_EQ(model.SetChannelSettings(2, "2|40|0|1|0|||||||||0|0|1.0|3|a|100|75|"), kNoError);
    const std::string status = model.StatusRecord(0);
    EXPECT_EQ(StatusField(status, 30), "a");
    EXPECT_EQ(StatusField(status, 38), "100");
    EXPECT_EQ(StatusField(status, 46), "75");
    EXPECT_EQ(StatusField(status, 54), "3");
    // The reading is now a shunt voltage under the 75 mV rating.
    EXPECT_LT(std::atof(StatusField(status, 4).c_str()), 0.075);
    // And back to a voltmeter with empty shunt edits.
    ASSERT_EQ(model.SetChannelSettings(2, "2|2.0|0|0|0|||||||||0|0|1.0|0|v|||"), kNoError);
    const std::string after = model.StatusRecord(0);
    EXPECT_EQ(StatusField(after, 30), "v");
    EXPECT_EQ(StatusField(after, 38), "0");
    EXPECT_EQ(StatusField(after, 54), "0");
}

TEST(ChannelSettings, MalformedRecordsAreRefusedAndChangeNothing) {
    const std::string good = "1|2.0|1.0|1|1|||||||||0|0|1.0|2|v|0|0|";
    ASSERT_EQ(StationModel().SetChannelSettings(1, good), kNoError);
    const std::vector<std::string> records = {
        "2|2.0|1.0|1|1|||||||||0|0|1.0|2|v|0|0|",     // another channel's number
        "1|2.0|1.0|1|1||||||||0|0|1.0|2|v|0|0|",      // nineteen fields
        "1|2.0|1.0|1|1|||||||||0|0|1.0|2|v|0|0|0|",   // twenty-one fields
        "1|2.0|1.0|2|1|||||||||0|0|1.0|2|v|0|0|",     // enabled flag 2
        "1||1.0|1|1|||||||||0|0|1.0|2|v|0|0|",        // enabled high trigger without value
        "1|2..0|1.0|0|1|||||||||0|0|1.0|2|v|0|0|",    // two points
        "1|2.0|.|1|1|||||||||0|0|1.0|2|v|0|0|",       // a lone point
        "1|2.0|1.0|1|1|3.5||||||||0|0|1.0|2|v|0|0|",  // id without its final point
        "1|2.0|1.0|1|1|a.||||||||0|0|1.0|2|v|0|0|",
        "1|2.0|1.0|1|1|||||||||90000|0|1.0|2|v|0|0|",  // flap beyond 24 hours
        "1|2.0|1.0|1|1|||||||||x|0|1.0|2|v|0|0|",
        "1|2.0|1.0|1|1|||||||||0|0||2|v|0|0|",     // no adjustment
        "1|2.0|1.0|1|1|||||||||0|0|1.0|7|v|0|0|",  // precision 7
        "1|2.0|1.0|1|1|||||||||0|0|1.0||v|0|0|",
        "1|2.0|1.0|1|1|||||||||0|0|1.0|2|V|0|0|",   // mode is lower case
        "1|2.0|1.0|1|1|||||||||0|0|1.0|2|a|0|50|",  // ammeter with 0 A
        "1|2.0|1.0|1|1|||||||||0|0|1.0|2|a|50||",   // ammeter without mV rating
        "1|2.0|1.0|1|1|||||||||0|0|1.0|2|v|x|0|",
        "1|2.0|1.0|1|1|" + std::string(128, '1') + ".||||||||0|0|1.0|2|v|0|0|",
    };
    for (const std::string& record : records) {
        StationModel model;
        const std::string before = model.ChannelRecord(1);
        const std::string statusBefore = model.StatusRecord(0);
        EXPECT_EQ(model.SetChannelSettings(1, record), kBadValue) << record;
        EXPECT_EQ(model.ChannelRecord(1), before) << record;
        EXPECT_EQ(StatusField(model.StatusRecord(0), 29), StatusField(statusBefore, 29));
        EXPECT_EQ(model.changeCount(), 0u) << record;
    }
}

TEST(Alerts, AddUpdateExecuteDelete) {
    StationModel model;
    const std::string sms = "0|SMS|Door|P|Modem1|Door open|-|-|-|-|-|-|-|-|";
    ASSERT_EQ(model.SetAlertRecord(sms), kNoError);
    ASSERT_EQ(model.SetAlertRecord("0|email|Hi|Desc|a@b|smtp|c@d|Subj|Text|-|-|-|-|-|"), kNoError);
    EXPECT_EQ(StationModel::AlertRow(model.alerts().at(1)),
              "1|SMS|Door|P|Modem1|Door open|-|-|-|-|-|-|-|-|");
    EXPECT_EQ(model.alerts().at(2).fields.at(0), "EMAIL");  // stored upper-case

    ASSERT_EQ(model.SetAlertRecord("1|SMS|Door|Q|Modem2|Door shut|-|-|-|-|-|-|-|-|"), kNoError);
    EXPECT_EQ(model.alerts().at(1).fields.at(2), "Q");
    EXPECT_EQ(model.SetAlertRecord("9|SMS|Door|Q|Modem2|Door shut|-|-|-|-|-|-|-|-|"), kBadValue);
    EXPECT_EQ(model.SetAlertRecord("0|FAX|Door|Q|Modem2|Door shut|-|-|-|-|-|-|-|-|"), kBadValue);
    EXPECT_EQ(model.SetAlertRecord("0|SMS|Door|Q|Modem2|Door shut|-|-|-|-|-|-|-|"), kBadValue);
    EXPECT_EQ(model.SetAlertRecord("0|SMS||Q|Modem2|Door shut|-|-|-|-|-|-|-|-|"), kBadValue);
    EXPECT_EQ(model.alerts().size(), 2u);

    model.TakeEvents();
    ASSERT_EQ(model.ExecuteAlert(2), kNoError);
    const auto events = model.TakeEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].details.at("event").AsString(), "alert_executed");
    EXPECT_EQ(events[0].details.at("name").AsString(), "Hi");
    EXPECT_EQ(model.ExecuteAlert(3), kBadValue);

    ASSERT_EQ(model.DeleteAlert(1), kNoError);
    EXPECT_EQ(model.DeleteAlert(1), kBadValue);
    EXPECT_EQ(model.alerts().size(), 1u);
}

TEST(StationName, BarAndControlCharactersAreRefused) {
    StationModel model;
    EXPECT_EQ(model.SetStationName("Hut|7"), kBadValue);
    EXPECT_EQ(model.SetStationName("Hut\n7"), kBadValue);
    EXPECT_EQ(model.SetStationName(std::string(256, 'h')), kBadValue);
    EXPECT_EQ(model.stationName(), "VOLN-SIM");
    EXPECT_EQ(model.SetStationName("Hütte 7"), kNoError);
    EXPECT_EQ(StatusField(model.StatusRecord(0), 27), "Hütte 7");
}

// The station keeps text as the bytes it was sent, whatever their encoding:
// Windows-1252 and UTF-8 alike come back byte for byte, and survive the
// state file.
TEST(StationText, BytesAreStoredAndServedBackUnchanged) {
    const std::string western(
        "Pumpe S\xfc"
        "d \x80\xa0",
        11);
    const std::string utf8(
        "S\xc3\xbc"
        "d");
    StationModel model;
    ASSERT_EQ(model.SetStationName(western), kNoError);
    ASSERT_EQ(model.SetRelayName(1, western), kNoError);
    ASSERT_EQ(model.SetRelayNotes(2, "a\r\nb\rc\xa0"), kNoError);
    ASSERT_EQ(model.SetChannelName(3, utf8), kNoError);
    ASSERT_EQ(model.SetScriptRecord("0|relay|Pr\xfc"
                                    "fung|n\xe4|00|"),
              kNoError);
    ASSERT_EQ(model.SetRelayName(3, std::string(19, '\xe9')), kNoError) << "19 bytes fit";
    EXPECT_EQ(model.SetRelayName(4, std::string(20, '\xe9')), kBadValue);
    const auto parsed = ParseJson(model.ToJson().Serialize());
    ASSERT_TRUE(parsed.value) << parsed.error;
    auto loaded = StationModel::FromJson(*parsed.value);
    ASSERT_TRUE(loaded.model) << loaded.error;
    StationModel& reloaded = *loaded.model;
    for (StationModel* m : {&model, &reloaded}) {
        EXPECT_EQ(StatusField(m->StatusRecord(0), 27), western);
        EXPECT_EQ(m->relay(1).name, western);
        EXPECT_EQ(m->relay(2).notes, "a\r\nb\rc\xa0");
        EXPECT_EQ(StatusField(m->StatusRecord(0), 5), utf8);
        EXPECT_EQ(m->scripts().at(1).name,
                  "Pr\xfc"
                  "fung");
    }
}

TEST(StateJson, RoundTripKeepsEverythingTheFileHolds) {
    StationModel model;
    ASSERT_EQ(model.SetScriptRecord("0|relay|Pump|Start pump|000C01|"), kNoError);
    ASSERT_EQ(model.SetScriptRecord("0|io|Gate|g|00|"), kNoError);
    ASSERT_EQ(model.DeleteScript(2), kNoError);
    ASSERT_EQ(model.SetAlertRecord("0|SMS|Door|P|Modem1|Door open|-|-|-|-|-|-|-|-|"), kNoError);
    model.AddGeneratedModems(2);
    ASSERT_EQ(model.SetStationName("Hut \"7\""), kNoError);
    ASSERT_EQ(model.SetRelayNotes(4, "notes\r\nwith | bar"), kNoError);
    ASSERT_EQ(model.SwitchRelay(4, 1), kNoError);
    ASSERT_EQ(
        model.SetChannelSettings(5, "5|20|10|1|1|1.|2.|3.|4.|5.|6.|7.|8.|60|3600|0.99|1|a|10|60|"),
        kNoError);
    ASSERT_EQ(model.SetChannelNotes(5, "ch5"), kNoError);

    const std::string text = model.ToJson().Serialize();
    const auto parsed = ParseJson(text);
    ASSERT_TRUE(parsed.value) << parsed.error;
    auto loaded = StationModel::FromJson(*parsed.value);
    ASSERT_TRUE(loaded.model) << loaded.error;
    StationModel& copy = *loaded.model;
    EXPECT_EQ(copy.ToJson().Serialize(), text);
    EXPECT_EQ(copy.ChannelRecord(5), model.ChannelRecord(5));
    EXPECT_EQ(copy.relay(4).notes, "notes\r\nwith | bar");
    EXPECT_TRUE(copy.relay(4).on);
    EXPECT_EQ(copy.modems().size(), 2u);
    // The deleted script's id stays retired after a reload.
    ASSERT_EQ(copy.SetScriptRecord("0|relay|New|n|00|"), kNoError);
    EXPECT_EQ(copy.lastAddedId(), 3u);
}

TEST(StateJson, InvalidStatesAreRefused) {
    const std::vector<std::string> states = {
        "[]",
        R"({"relays":[{"name":"a","notes":"","on":true}]})",
        R"({"scripts":[{"id":1,"type":"relay","name":"A","description":"","commands":"ZZ"}]})",
        R"({"scripts":[{"id":0,"type":"relay","name":"A","description":"","commands":"00"}]})",
        R"({"scripts":[{"id":1,"type":"relay","name":"A","description":"","commands":"00"},)"
        R"({"id":1,"type":"relay","name":"B","description":"","commands":"00"}]})",
        R"({"alerts":[{"id":1,"fields":["SMS","a"]}]})",
        R"({"station_name":"a|b"})",
        R"({"modems":[{"id":1.5,"name":"M"}]})",
    };
    for (const std::string& state : states) {
        const auto parsed = ParseJson(state);
        ASSERT_TRUE(parsed.value) << state;
        EXPECT_FALSE(StationModel::FromJson(*parsed.value).model.has_value()) << state;
    }
}

}  // namespace
}  // namespace volnar::sim

namespace volnar::sim {
namespace {

// Whatever a client sends, the model either stores it or refuses it, and
// what it stored always loads back from the state file.
TEST(Robustness, MutatedRecordsNeverLeaveAStateThatCannotBeReloaded) {
    const std::vector<std::string> seeds = {
        "0|relay|Pump|Start pump|000C01|",
        "1|io|Gate|Open gate|0E0Z0F|",
        "0|EMAIL|Door|Front|a@b|smtp|c@d|Subj|Text|-|-|-|-|-|",
        "0|SMS|Door|P|Modem1|Door open|-|-|-|-|-|-|-|-|",
        "4|2.0000|1.5000|1|1|4.||||||2.7.||30|0|1.000|2|a|50|75|",
    };
    const std::string alphabet = "0123456789.|-aAvVsS \r\n\t\x01\xc3\xa9\xff";
    std::mt19937 random(20261206);
    StationModel model;
    int accepted = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string record = seeds[random() % seeds.size()];
        const int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits && !record.empty(); ++e) {
            const std::size_t at = random() % record.size();
            switch (random() % 3) {
                case 0:
                    record[at] = alphabet[random() % alphabet.size()];
                    break;
                case 1:
                    record.insert(at, 1, alphabet[random() % alphabet.size()]);
                    break;
                default:
                    record.erase(at, 1 + random() % 3);
                    break;
            }
        }
        int status = kNoError;
        switch (round % 4) {
            case 0:
                status = model.SetScriptRecord(record);
                break;
            case 1:
                status = model.SetAlertRecord(record);
                break;
            case 2:
                status = model.SetChannelSettings(4, record);
                break;
            default:
                status = model.SetChannelNotes(4, record);
                break;
        }
        ASSERT_TRUE(status == kNoError || status == kBadValue) << record;
        accepted += status == kNoError;
    }
    EXPECT_GT(accepted, 0);
    const auto parsed = ParseJson(model.ToJson().Serialize());
    ASSERT_TRUE(parsed.value) << parsed.error;
    const auto loaded = StationModel::FromJson(*parsed.value);
    ASSERT_TRUE(loaded.model) << loaded.error;
    EXPECT_EQ(loaded.model->ToJson().Serialize(), model.ToJson().Serialize());
}

}  // namespace
}  // namespace volnar::sim
