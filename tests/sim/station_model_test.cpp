// SPDX-License-Identifier: GPL-3.0-or-later
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

// Field n (1-based, as the panel numbers them) of the status record.
std::string StatusField(const std::string& record, int field) {
    return Fields(record).at(static_cast<std::size_t>(field - 1));
}

std::vector<std::string> EventNames(StationModel& model) {
    std::vector<std::string> names;
    for (const ModelEvent& event : model.TakeEvents()) {
        names.push_back(event.details.at("event").AsString());
    }
    return names;
}

StationModel Reloaded(const StationModel& model) {
    const auto parsed = ParseJson(model.ToJson().Serialize());
    EXPECT_TRUE(parsed.value) << parsed.error;
    auto loaded = StationModel::FromJson(parsed.value.value_or(JsonValue()));
    EXPECT_TRUE(loaded.model) << loaded.error;
    return loaded.model.value_or(StationModel());
}

TEST(SplitRecord, FinalBarEndsTheLastField) {
    const struct {
        std::string record;
        std::vector<std::string> fields;
    } cases[] = {
        {.record = "a|b|", .fields = {"a", "b"}}, {.record = "a|b", .fields = {"a", "b"}},
        {.record = "", .fields = {""}},           {.record = "a||", .fields = {"a", ""}},
        {.record = "|", .fields = {""}},          {.record = "||x|", .fields = {"", "", "x"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Fields(c.record), c.fields) << c.record;
    }
}

TEST(CommandCodes, RelayAndIoSetsReadTheSameCodeDifferently) {
    constexpr std::optional<int> kNone;
    const struct {
        const char* code;
        std::optional<int> relay;  // seconds, -1 an action, nullopt no such code
        std::optional<int> io;
    } cases[] = {
        {.code = "00", .relay = -1, .io = -1},        // Relay 1 ON / pin 1 HIGH
        {.code = "0C", .relay = 5, .io = -1},         // Delay 5 Seconds
        {.code = "0S", .relay = 3600, .io = 1},       // Delay 1 Hour / Delay 1 Second
        {.code = "0Y", .relay = 86400, .io = 7},      // Delay 24 Hours
        {.code = "0Z", .relay = kNone, .io = 8},      // past the relay set
        {.code = "0k", .relay = kNone, .io = 86400},  // the I/O set's last code
        {.code = "0l", .relay = kNone, .io = kNone},  // past both sets
        {.code = "6D", .relay = -1, .io = kNone},     // RDB6.Output OFF; I/O has group 0 only
        {.code = "6E", .relay = kNone, .io = kNone}, {.code = "7", .relay = kNone, .io = kNone},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RelayCodeDelay(c.code), c.relay) << c.code;
        EXPECT_EQ(IoCodeDelay(c.code), c.io) << c.code;
    }
}

TEST(Scripts, AddsNumberRowsUpdatesKeepTheirIdAndDeletedIdsStayRetired) {
    StationModel model;
    ASSERT_EQ(model.SetScriptRecord("0|relay|Pump|Start pump|000C01|"), kNoError);
    EXPECT_EQ(model.lastAddedId(), 1u);
    ASSERT_EQ(model.SetScriptRecord("0|IO|Gate|Open gate|0E0Z0F|"), kNoError);
    EXPECT_EQ(StationModel::ScriptRow(model.scripts().at(2)), "2|io|Gate|Open gate|0E0Z0F|");
    ASSERT_EQ(model.SetScriptRecord("1|relay|Pump 2|Other notes|00|"), kNoError);
    EXPECT_EQ(StationModel::ScriptRow(model.scripts().at(1)), "1|relay|Pump 2|Other notes|00|");
    ASSERT_EQ(model.DeleteScript(2), kNoError);
    EXPECT_EQ(model.DeleteScript(2), kBadValue);
    ASSERT_EQ(model.SetScriptRecord("0|relay|C|c|00|"), kNoError);
    EXPECT_EQ(model.lastAddedId(), 3u);
    EXPECT_EQ(model.scripts().size(), 2u);
    // The longest texts fit, and notes keep their line breaks.
    const std::string notes = std::string(508, 'd') + "\r\n";
    EXPECT_EQ(model.SetScriptRecord("0|relay|" + std::string(63, 'n') + "|" + notes + "|" +
                                    std::string(512, '0') + "|"),
              kNoError);
    EXPECT_EQ(model.scripts().at(4).description, notes);
}

// A record the station refuses leaves everything as it was: no row added or
// changed, no change counted.
TEST(Records, MalformedOnesAreRefusedAndChangeNothing) {
    enum class To { Script, Alert, Adc };
    using enum To;
    std::string longIds;  // 64 ids, 128 bytes: one over the limit
    for (int i = 0; i < 64; ++i) {
        longIds += "1.";
    }
    const auto set = [](StationModel& m, To to, const std::string& record) {
        return to == Script  ? m.SetScriptRecord(record)
               : to == Alert ? m.SetAlertRecord(record)
                             : m.SetChannelSettings(1, record);
    };
    const struct {
        To to;
        std::string record;
    } cases[] = {
        {.to = Script, .record = ""},
        {.to = Script, .record = "0|relay|Name|Notes|"},               // four fields
        {.to = Script, .record = "0|relay|Name|Notes|00|extra|"},      // six fields
        {.to = Script, .record = "x|relay|Name|Notes|00|"},            // id not a number
        {.to = Script, .record = "-1|relay|Name|Notes|00|"},           // signed id
        {.to = Script, .record = "99999999999|relay|Name|Notes|00|"},  // id beyond 32 bits
        {.to = Script, .record = "7|relay|Name|Notes|00|"},            // unknown id
        {.to = Script, .record = "0|pump|Name|Notes|00|"},             // unknown type
        {.to = Script, .record = "1|relay|Name|Notes||"},              // no commands
        {.to = Script, .record = "0|relay|Name|Notes|000|"},           // odd code text
        {.to = Script, .record = "0|relay|Name|Notes|00ZZ01|"},        // not a relay code
        {.to = Script, .record = "0|io|Name|Notes|10|"},               // relay board in I/O
        {.to = Script, .record = "0|relay|N|d|" + std::string(514, '0') + "|"},  // 257 codes
        {.to = Script, .record = "1|relay||Notes|00|"},                          // empty name
        {.to = Script, .record = "0|relay|Na\x01me|Notes|00|"},  // control character
        {.to = Script, .record = "0|relay|" + std::string(64, 'n') + "|Notes|00|"},
        {.to = Script, .record = "0|relay|Name|" + std::string(511, 'd') + "|00|"},
        {.to = Alert, .record = "9|SMS|Door|Q|Modem2|Door shut|-|-|-|-|-|-|-|-|"},  // unknown id
        {.to = Alert, .record = "0|FAX|Door|Q|Modem2|Door shut|-|-|-|-|-|-|-|-|"},
        {.to = Alert, .record = "1|SMS|Door|Q|Modem2|Door shut|-|-|-|-|-|-|-|"},  // 13 fields
        {.to = Alert, .record = "0|SMS||Q|Modem2|Door shut|-|-|-|-|-|-|-|-|"},    // no name
        {.to = Adc, .record = "2|2.0|1.0|1|1|||||||||0|0|1.0|2|v|0|0|"},          // another channel
        {.to = Adc, .record = "1|2.0|1.0|1|1||||||||0|0|1.0|2|v|0|0|"},           // 19 fields
        {.to = Adc, .record = "1|2.0|1.0|1|1|||||||||0|0|1.0|2|v|0|0|0|"},        // 21 fields
        {.to = Adc, .record = "1|2.0|1.0|2|1|||||||||0|0|1.0|2|v|0|0|"},          // enabled flag 2
        {.to = Adc, .record = "1||1.0|1|1|||||||||0|0|1.0|2|v|0|0|"},        // high on, no value
        {.to = Adc, .record = "1|2..0|1.0|0|1|||||||||0|0|1.0|2|v|0|0|"},    // two points
        {.to = Adc, .record = "1|2.0|.|1|1|||||||||0|0|1.0|2|v|0|0|"},       // a lone point
        {.to = Adc, .record = "1|2.0|1.0|1|1|3.5||||||||0|0|1.0|2|v|0|0|"},  // no final point
        {.to = Adc, .record = "1|2.0|1.0|1|1|a.||||||||0|0|1.0|2|v|0|0|"},
        {.to = Adc, .record = "1|2.0|1.0|1|1|||||||||90000|0|1.0|2|v|0|0|"},  // flap over 24 h
        {.to = Adc, .record = "1|2.0|1.0|1|1|||||||||x|0|1.0|2|v|0|0|"},
        {.to = Adc, .record = "1|2.0|1.0|1|1|||||||||0|0||2|v|0|0|"},     // no adjustment
        {.to = Adc, .record = "1|2.0|1.0|1|1|||||||||0|0|1.0|7|v|0|0|"},  // precision 7
        {.to = Adc, .record = "1|2.0|1.0|1|1|||||||||0|0|1.0||v|0|0|"},
        {.to = Adc, .record = "1|2.0|1.0|1|1|||||||||0|0|1.0|2|V|0|0|"},   // mode in capitals
        {.to = Adc, .record = "1|2.0|1.0|1|1|||||||||0|0|1.0|2|a|0|50|"},  // ammeter with 0 A
        {.to = Adc, .record = "1|2.0|1.0|1|1|||||||||0|0|1.0|2|a|50||"},   // no mV rating
        {.to = Adc, .record = "1|2.0|1.0|1|1|||||||||0|0|1.0|2|v|x|0|"},
        {.to = Adc, .record = "1|2.0|1.0|1|1|" + longIds + "||||||||0|0|1.0|2|v|0|0|"},
    };
    StationModel base;
    ASSERT_EQ(base.SetScriptRecord("0|relay|Keep|Keep|00|"), kNoError);
    ASSERT_EQ(base.SetAlertRecord("0|SMS|Door|P|Modem1|Door open|-|-|-|-|-|-|-|-|"), kNoError);
    ASSERT_EQ(base.SetChannelSettings(1, "1|2.0|1.0|1|1|||||||||0|0|1.0|2|v|0|0|"), kNoError);
    const std::string before = base.ToJson().Serialize();
    for (const auto& c : cases) {
        StationModel model = base;
        EXPECT_EQ(set(model, c.to, c.record), kBadValue) << c.record;
        EXPECT_EQ(model.ToJson().Serialize(), before) << c.record;
        EXPECT_EQ(model.changeCount(), base.changeCount()) << c.record;
    }
}

TEST(Scripts, RelayScriptsSwitchRelaysHonouringTheirDelaysAndIoScriptsSetPins) {
    StationModel model;
    // Relay 1 ON, Delay 5 Seconds, Relay 1 OFF, Relay 2 ON.
    ASSERT_EQ(model.SetScriptRecord("0|relay|Pump|Start pump|000C0102|"), kNoError);
    ASSERT_EQ(model.ExecuteScript(1, 100.0), kNoError);
    EXPECT_TRUE(model.relay(1).on);
    EXPECT_EQ(model.NextDueTime(), 105.0);
    model.Advance(104.9);
    EXPECT_TRUE(model.relay(1).on);
    model.Advance(105.0);
    EXPECT_FALSE(model.relay(1).on);
    EXPECT_TRUE(model.relay(2).on);
    EXPECT_FALSE(model.NextDueTime().has_value());
    EXPECT_EQ(EventNames(model),
              (std::vector<std::string>{"script_executed", "relay_switched", "relay_switched",
                                        "relay_switched", "script_finished"}));

    // A late Advance runs every due step, in order: Relay 3 ON, 1 s, OFF, 1 s, ON.
    ASSERT_EQ(model.SetScriptRecord("0|relay|Blink|b|0408050804|"), kNoError);
    ASSERT_EQ(model.ExecuteScript(2, 10.0), kNoError);
    model.Advance(50.0);
    EXPECT_TRUE(model.relay(3).on);
    EXPECT_FALSE(model.NextDueTime().has_value());

    // An I/O script sets pins and leaves the relays alone.
    ASSERT_EQ(model.SetScriptRecord("0|io|Gate|g|000102|"), kNoError);
    model.TakeEvents();
    ASSERT_EQ(model.ExecuteScript(3, 60.0), kNoError);
    EXPECT_EQ(EventNames(model),
              (std::vector<std::string>{"script_executed", "io_pin_set", "io_pin_set", "io_pin_set",
                                        "script_finished"}));
    EXPECT_TRUE(model.relay(3).on);
    EXPECT_FALSE(model.relay(1).on);
}

TEST(Relays, PulseEndsAfterItsSecondsUnlessASwitchCancelsIt) {
    StationModel model;
    ASSERT_EQ(model.PulseRelay(2, 3, 10.0), kNoError);
    ASSERT_EQ(model.PulseRelay(1, 5, 10.0), kNoError);
    ASSERT_EQ(model.SwitchRelay(1, 1), kNoError);
    model.Advance(12.9);
    EXPECT_TRUE(model.relay(2).on);
    model.Advance(20.0);
    EXPECT_FALSE(model.relay(2).on);
    EXPECT_TRUE(model.relay(1).on);
}

// Names, states and settings in their fields are read back through the
// agent's objects; here the fields only the record itself makes.
TEST(StatusRecord, HoldsSixtyFieldsInPanelOrderAndAVoltmeterAgainAfterAnAmmeter) {
    StationModel model;
    model.SetStartTime(1000.0);
    const std::string record = model.StatusRecord(1000.0 + 86400 + 3661);
    ASSERT_EQ(Fields(record).size(), 60u);
    EXPECT_EQ(record.back(), '|');
    EXPECT_EQ(StatusField(record, 19), "Fan");
    EXPECT_EQ(StatusField(record, 27), "VOLN-SIM");
    EXPECT_EQ(StatusField(record, 28), "1 days, 01:01:01");
    const double celsius = std::atof(StatusField(record, 25).c_str());
    EXPECT_NEAR(std::atof(StatusField(record, 26).c_str()), celsius * 9 / 5 + 32, 0.051);
    // Channel 6 is an ammeter on a 50 A / 50 mV shunt, the others voltmeters.
    EXPECT_EQ(StatusField(record, 29), "v");
    EXPECT_EQ(StatusField(record, 29 + 5), "a");
    EXPECT_EQ(StatusField(record, 37 + 5), "50");
    EXPECT_EQ(StatusField(record, 45 + 5), "50");
    EXPECT_EQ(StatusField(record, 53 + 5), "4");

    // Settings reaching the channel and status records, ammeters included,
    // are the ADC end-to-end tests' part; here the way back to a voltmeter,
    // whose shunt edits may be empty.
    ASSERT_EQ(model.SetChannelSettings(2, "2|40|0|1|0|||||||||0|0|1.0|3|a|100|75|"), kNoError);
    EXPECT_LT(std::atof(StatusField(model.StatusRecord(1000.0), 4).c_str()),
              0.075);  // shunt voltage
    ASSERT_EQ(model.SetChannelSettings(2, "2|2.0|0|0|0|||||||||0|0|1.0|0|v|||"), kNoError);
    const std::string after = model.StatusRecord(1000.0);
    EXPECT_EQ(StatusField(after, 30), "v");
    EXPECT_EQ(StatusField(after, 38), "0");
    EXPECT_EQ(StatusField(after, 46), "0");
    EXPECT_EQ(StatusField(after, 54), "0");
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
    // Channel 6 reads its shunt's voltage, below the 50 mV rating.
    const double ranges[] = {2.5, 2.5, 2.5, 30, 30, 0.050, 60, 60};
    for (int i = 0; i < 300; ++i) {
        const std::string a = first.StatusRecord(0);
        ASSERT_EQ(a, second.StatusRecord(0)) << i;
        differs = differs || a != other.StatusRecord(0);
        moved = moved || (!previous.empty() && previous != a);
        previous = a;
        for (int n = 1; n <= kChannelCount; ++n) {
            const double reading = std::atof(StatusField(a, 2 * n).c_str());
            EXPECT_GT(reading, 0.0) << n;
            EXPECT_LT(reading, ranges[n - 1]) << n;
        }
    }
    EXPECT_TRUE(moved);
    EXPECT_TRUE(differs);
}

// Adding, editing, executing and deleting alerts through the client are the
// alert end-to-end tests' part; here the type kept in capitals and the log.
TEST(Alerts, TypeInCapitalsAndExecutingLogsTheAlert) {
    StationModel model;
    ASSERT_EQ(model.SetAlertRecord("0|email|Hi|Desc|a@b|smtp|c@d|Subj|Text|-|-|-|-|-|"), kNoError);
    EXPECT_EQ(StationModel::AlertRow(model.alerts().at(1)),
              "1|EMAIL|Hi|Desc|a@b|smtp|c@d|Subj|Text|-|-|-|-|-|");
    model.TakeEvents();
    ASSERT_EQ(model.ExecuteAlert(1), kNoError);
    const auto events = model.TakeEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].details.at("event").AsString(), "alert_executed");
    EXPECT_EQ(events[0].details.at("name").AsString(), "Hi");
}

TEST(StateJson, RoundTripKeepsEverythingTheFileHolds) {
    StationModel model;
    ASSERT_EQ(model.SetScriptRecord("0|relay|Pump|Start pump|000C01|"), kNoError);
    ASSERT_EQ(model.SetScriptRecord("0|io|Gate|g|00|"), kNoError);
    ASSERT_EQ(model.DeleteScript(2), kNoError);
    ASSERT_EQ(model.SetAlertRecord("0|SMS|Door|P|Modem1|Door open|-|-|-|-|-|-|-|-|"), kNoError);
    model.AddGeneratedModems(2);
    ASSERT_EQ(model.SetStationName("Hut \"7\" \xfc"), kNoError);
    ASSERT_EQ(model.SetRelayNotes(4, "notes\r\nwith | bar"), kNoError);
    ASSERT_EQ(model.SwitchRelay(4, 1), kNoError);
    ASSERT_EQ(
        model.SetChannelSettings(5, "5|20|10|1|1|1.|2.|3.|4.|5.|6.|7.|8.|60|3600|0.99|1|a|10|60|"),
        kNoError);
    ASSERT_EQ(model.SetChannelNotes(5, "ch5"), kNoError);

    StationModel copy = Reloaded(model);
    EXPECT_EQ(copy.ToJson().Serialize(), model.ToJson().Serialize());
    EXPECT_EQ(copy.ChannelRecord(5), model.ChannelRecord(5));
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
        // A member of the wrong type is no missing member: read as one, the
        // state would be saved over the file without it.
        R"({"scripts":{"id":1,"type":"relay","name":"A","description":"","commands":"00"}})",
        R"({"station_name":7})",
        R"({"relays":null})",
        R"({"channels":"8"})",
        R"({"alerts":{}})",
        R"({"modems":true})",
        R"({"next_ids":[4,4,4]})",
        R"({"next_ids":{"script":"9"}})",
        R"({"version":"1"})",
    };
    for (const std::string& state : states) {
        const auto parsed = ParseJson(state);
        ASSERT_TRUE(parsed.value) << state;
        EXPECT_FALSE(StationModel::FromJson(*parsed.value).model.has_value()) << state;
    }
}

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
    const auto set = [&model](int round, const std::string& record) {
        return round % 4 == 0   ? model.SetScriptRecord(record)
               : round % 4 == 1 ? model.SetAlertRecord(record)
               : round % 4 == 2 ? model.SetChannelSettings(4, record)
                                : model.SetChannelNotes(4, record);
    };
    int accepted = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string record = seeds[random() % seeds.size()];
        for (int e = 1 + static_cast<int>(random() % 4); e > 0 && !record.empty(); --e) {
            const std::size_t at = random() % record.size();
            const std::uint32_t edit = random() % 3;
            if (edit == 0) {
                record[at] = alphabet[random() % alphabet.size()];
            } else if (edit == 1) {
                record.insert(at, 1, alphabet[random() % alphabet.size()]);
            } else {
                record.erase(at, 1 + random() % 3);
            }
        }
        const int status = set(round, record);
        ASSERT_TRUE(status == kNoError || status == kBadValue) << record;
        accepted += status == kNoError;
    }
    EXPECT_GT(accepted, 0);
    EXPECT_EQ(Reloaded(model).ToJson().Serialize(), model.ToJson().Serialize());
}

}  // namespace
}  // namespace volnar::sim
