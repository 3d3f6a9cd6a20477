// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "station_config/config_compare.h"
#include "station_config/config_link.h"
#include "station_config/fleet_copy.h"
#include "station_config/station_config.h"
#include "support/qt_print.h"
#include "support/recorded_link.h"

namespace volnar::config {
namespace {

QByteArray AllBytes() {
    QByteArray bytes;
    for (int b = 0; b < 256; ++b) {
        bytes += static_cast<char>(b);
    }
    return bytes;
}

TableRow Row(int id, QList<QByteArray> fields) {
    return TableRow{id, std::move(fields)};
}

TableRow Script(int id, const QByteArray& name, const QByteArray& commands = "00") {
    return Row(id, {"relay", name,
                    "Pumpe S\xFC"
                    "d\r\nzweite Zeile",
                    commands});
}

TableRow Email(int id, const QByteArray& name) {
    return Row(id, {"EMAIL", name, "d", "a@b", "smtp", "c@d", "subj", "Text\rmit CR"});
}

// A station as the tests know it: Western text, line breaks of every kind,
// a channel firing scripts and alerts.
StationConfig Station(const QString& source) {
    StationConfig c;
    c.source = source;
    c.name =
        "Br\xFC"
        "cke Nord";
    c.relays[0] = {"Pump North",
                   "first\r\nsecond\rthird\xA0"
                   "end"};
    c.relays[3] = {"\x80uro \x93quoted\x94", ""};
    for (int i = 0; i < kChannels; ++i) {
        ChannelConfig& ch = c.channels[static_cast<std::size_t>(i)];
        ch.name = "ADC " + QByteArray::number(i + 1);
        ch.precision = "4";
        ch.adjustment = "0";
        ch.highValue = "2.4";
        ch.lowValue = "0";
        ch.ampRating = "50";
        ch.millivoltRating = "50";
    }
    ChannelConfig& ch3 = c.channels[2];
    ch3.ammeter = true;
    ch3.highValue = "24.0";
    ch3.highEnabled = true;
    ch3.highFlapSeconds = 90;
    ch3.notes = " leading and trailing ";
    ch3.lists[static_cast<std::size_t>(ActionsList::HighScripts)] = {12, 13};
    ch3.lists[static_cast<std::size_t>(ActionsList::LowAlerts)] = {3};
    c.scripts = {Script(12, "Start pump"), Script(13, "Stop pump", "0102")};
    c.alerts = {Email(3, "Mail tech"),
                Row(4, {"SMS", "Pager", "+4912345", "Modem 1", "Hallo", "-", "-", "-"})};
    return c;
}

TEST(StationConfigText, EscapesWhatIsNotPrintableAndRoundTripsEveryByte) {
    struct Case {
        QByteArray bytes;
        QString written;
    };
    const Case cases[] = {
        {"S\xFC"
         "d",
         QStringLiteral("Süd")},
        {"a\r\nb", QStringLiteral("a\\r\\nb")},
        {"a\rb\nc\td", QStringLiteral("a\\rb\\nc\\td")},
        {"no\xA0"
         "break",
         QStringLiteral("no\\xA0break")},
        {" x y ", QStringLiteral("\\x20x y\\x20")},
        {"back\\slash", QStringLiteral("back\\\\slash")},
        {"\x80\x81\x9D\x9F", QStringLiteral("€\\x81\\x9DŸ")},
        {"\x01\x7F\xAD", QStringLiteral("\\x01\\x7F\\xAD")},
        {"", QString()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EscapeStationText(c.bytes), c.written);
        const Result<QByteArray> back = UnescapeStationText(c.written);
        ASSERT_TRUE(back) << back.error().toStdString();
        EXPECT_EQ(*back, c.bytes);
    }
    const Result<QByteArray> all = UnescapeStationText(EscapeStationText(AllBytes()));
    ASSERT_TRUE(all);
    EXPECT_EQ(*all, AllBytes());
}

TEST(StationConfigText, RefusesBadEscapesAndForeignCharacters) {
    struct Case {
        QString text;
        QString error;
    };
    const Case cases[] = {
        {QStringLiteral("a\\qb"), QStringLiteral("unknown escape \"\\q\"")},
        {QStringLiteral("\\x4"), QStringLiteral("\"\\x\" must be followed by two hex digits")},
        {QStringLiteral("\\xZZ"), QStringLiteral("\"\\x\" must be followed by two hex digits")},
        {QStringLiteral("Насос"),
         QStringLiteral("the character U+041D is not in the station's code page")},
    };
    for (const Case& c : cases) {
        const Result<QByteArray> back = UnescapeStationText(c.text);
        ASSERT_FALSE(back) << c.text.toStdString();
        EXPECT_EQ(back.error(), c.error);
    }
    // "e" and a combining acute accent are the code page's one byte.
    EXPECT_EQ(*UnescapeStationText(QStringLiteral("Caf"
                                                  "e\u0301")),
              QByteArray("Caf\xE9"));
}

TEST(StationConfigFile, RoundTripsByteForByte) {
    StationConfig config = Station(QStringLiteral("127.0.0.1"));
    config.relays[1].notes = AllBytes();
    const QByteArray file = WriteConfigFile(config);
    const Result<StationConfig> parsed = ParseConfigFile(file);
    ASSERT_TRUE(parsed) << parsed.error().toStdString();
    EXPECT_EQ(*parsed, config);
    EXPECT_EQ(WriteConfigFile(*parsed), file);
    // One setting a line, readable.
    EXPECT_TRUE(file.contains(
        "\n[relay 1]\nname = Pump North\nnotes = first\\r\\nsecond\\rthird\\xA0end\n"));
    EXPECT_TRUE(file.contains("\n[channel 3]\n"));
    EXPECT_TRUE(file.contains("\ntrigger high scripts = 12 13\n"));
    EXPECT_TRUE(file.contains("\n[script 12]\ntype = relay\nname = Start pump\n"));
    EXPECT_TRUE(
        file.contains("\n[alert 4]\ntype = SMS\ndescription = Pager\nphone number = +4912345\n"));
    EXPECT_TRUE(file.startsWith("# Volnar station configuration"));
}

TEST(StationConfigFile, RefusesWhatItCannotRestoreExactly) {
    const QByteArray good = WriteConfigFile(Station(QStringLiteral("127.0.0.1")));
    struct Case {
        QByteArray from;
        QByteArray to;
        QString error;  // a part of the message
    };
    const Case cases[] = {
        {"format = 1", "format = 2", QStringLiteral("format 2, newer than this program reads (1)")},
        {"board = volnar", "board = other", QStringLiteral("another kind of board (\"other\")")},
        {"format = 1\n", "", QStringLiteral("no \"format\" line")},
        {"[relay 4]", "[relay 5]", QStringLiteral("unknown section [relay 5]")},
        {"[channel 8]\nname = ADC 8\n", "[channel 8]\n",
         QStringLiteral("[channel 8] lacks \"name\"")},
        {"precision = 4\n", "precision = 4\ncolour = red\n",
         QStringLiteral("has no setting \"colour\"")},
        {"name = Pump North\n", "name = Pump North\nname = again\n",
         QStringLiteral("\"name\" twice")},
        {"trigger high scripts = 12 13", "trigger high scripts = 12 x",
         QStringLiteral("not an id: x")},
        {"trigger high enabled = yes", "trigger high enabled = on",
         QStringLiteral("\"yes\" or \"no\"")},
        {"name = Start pump", "name = \xD0\x9D", QStringLiteral("U+041D")},
        {"name = Start pump", "name = \xFF", QStringLiteral("not UTF-8")},
        {"name = Start pump", "name Start pump", QStringLiteral("expected \"key = value\"")},
        {"[script 13]", "[script 12]", QStringLiteral("[script 12] twice")},
    };
    for (const Case& c : cases) {
        QByteArray file = good;
        ASSERT_TRUE(file.contains(c.from)) << c.from.toStdString();
        file.replace(file.indexOf(c.from), c.from.size(), c.to);
        const Result<StationConfig> parsed = ParseConfigFile(file);
        ASSERT_FALSE(parsed) << c.to.toStdString();
        EXPECT_TRUE(parsed.error().contains(c.error)) << parsed.error().toStdString();
    }
}

TEST(StationConfigDiff, OneLinePerDifference) {
    const StationConfig a = Station(QStringLiteral("127.0.0.1"));
    struct Case {
        const char* name;
        std::function<void(StationConfig&)> change;  // made to B, from another station
        QStringList lines;
    };
    const Case cases[] = {
        {"same content, other ids",
         [](StationConfig& b) {
             b.scripts = {Script(1, "Start pump"), Script(2, "Stop pump", "0102")};
             b.alerts[0].id = 7;
             b.channels[2].lists[static_cast<std::size_t>(ActionsList::HighScripts)] = {1, 2};
             b.channels[2].lists[static_cast<std::size_t>(ActionsList::LowAlerts)] = {7};
         },
         {}},
        {"settings",
         [](StationConfig& b) {
             b.channels[2].highValue = "25.5";
             b.relays[0].notes = "x";
             b.name = "";
         },
         {QStringLiteral("station name: Brücke Nord -> \"\""),
          QStringLiteral("relay 1 notes: first\\r\\nsecond\\rthird\\xA0end -> x"),
          QStringLiteral("channel 3 trigger high: 24.0 -> 25.5")}},
        {"rows",
         [](StationConfig& b) {
             b.scripts = {Script(20, "Stop pump", "03"), Script(21, "Other")};
             b.channels[2].lists[static_cast<std::size_t>(ActionsList::HighScripts)] = {21, 20};
         },
         {QStringLiteral("channel 3 trigger high scripts: 12 13 -> 21 20"),
          QStringLiteral("script 13 (20 in B) commands: 0102 -> 03"),
          QStringLiteral("script 12: only in A"), QStringLiteral("script 21: only in B")}},
    };
    for (const Case& c : cases) {
        StationConfig b = Station(QStringLiteral("127.0.0.2"));
        c.change(b);
        EXPECT_EQ(DiffConfigs(a, b), c.lines) << c.name;
    }
}

// The station as a restore changes it: what the tests' plan application
// leaves behind, added rows numbered from `nextId`.
void Apply(StationConfig& s, const std::vector<PlanItem>& plan, int& nextId) {
    for (const PlanItem& item : plan) {
        const QList<QByteArray> f = item.value.split('|');
        auto& rows = s.Rows(item.kind);
        switch (item.step) {
            case PlanStep::StationName:
                s.name = item.value;
                break;
            case PlanStep::RelayName:
                s.relays[static_cast<std::size_t>(item.index - 1)].name = item.value;
                break;
            case PlanStep::RelayNotes:
                s.relays[static_cast<std::size_t>(item.index - 1)].notes = item.value;
                break;
            case PlanStep::ChannelName:
                s.channels[static_cast<std::size_t>(item.index - 1)].name = item.value;
                break;
            case PlanStep::ChannelNotes:
                s.channels[static_cast<std::size_t>(item.index - 1)].notes = item.value;
                break;
            case PlanStep::AddRow:
            case PlanStep::UpdateRow: {
                const int count = item.kind == RowKind::Script ? kScriptFields : kAlertFields;
                TableRow row{item.step == PlanStep::AddRow ? nextId++ : f[0].toInt(),
                             f.mid(1, count)};
                std::erase_if(rows, [&](const TableRow& r) { return r.id == row.id; });
                rows.push_back(row);
                break;
            }
            case PlanStep::DeleteRow:
                std::erase_if(rows, [&](const TableRow& r) { return r.id == item.index; });
                break;
            case PlanStep::ChannelSettings: {
                ChannelConfig& ch = s.channels[static_cast<std::size_t>(item.index - 1)];
                ch.highValue = f[1];
                ch.lowValue = f[2];
                ch.highEnabled = f[3] == "1";
                ch.lowEnabled = f[4] == "1";
                for (std::size_t l = 0; l < kActionsListCount; ++l) {
                    ch.lists[l].clear();
                    for (const QByteArray& id : f[static_cast<qsizetype>(5 + l)].split('.')) {
                        if (!id.isEmpty())
                            ch.lists[l].push_back(id.toInt());
                    }
                }
                ch.highFlapSeconds = f[13].toInt();
                ch.lowFlapSeconds = f[14].toInt();
                ch.adjustment = f[15];
                ch.precision = f[16];
                ch.ammeter = f[17] == "a";
                ch.ampRating = f[18];
                ch.millivoltRating = f[19];
                break;
            }
        }
    }
}

QStringList Texts(const std::vector<PlanItem>& plan) {
    QStringList texts;
    for (const PlanItem& item : plan) {
        texts << item.text;
    }
    return texts;
}

struct PlanCase {
    const char* name;
    QString target;                               // the station restored to
    std::function<void(StationConfig&)> station;  // what it holds before
    QStringList plan;
    std::optional<CopyOptions> copy;  // a copy from another station, not a restore
    QStringList left;                 // the difference that stays, by design
};

std::vector<PlanCase> PlanCases() {
    const auto empty = [](StationConfig& s) { s = StationConfig{}; };
    return {
        {"a blank station",
         QStringLiteral("127.0.0.2"),
         empty,
         {QStringLiteral("station name: \"\" -> Brücke Nord"),
          QStringLiteral("relay 1 name: \"\" -> Pump North"),
          QStringLiteral("relay 1 notes: \"\" -> first\\r\\nsecond\\rthird\\xA0end"),
          QStringLiteral("relay 4 name: \"\" -> €uro “quoted”"),
          QStringLiteral("channel 1 name: \"\" -> ADC 1"),
          QStringLiteral("channel 2 name: \"\" -> ADC 2"),
          QStringLiteral("channel 3 name: \"\" -> ADC 3"),
          QStringLiteral("channel 3 notes: \"\" -> \\x20leading and trailing\\x20"),
          QStringLiteral("channel 4 name: \"\" -> ADC 4"),
          QStringLiteral("channel 5 name: \"\" -> ADC 5"),
          QStringLiteral("channel 6 name: \"\" -> ADC 6"),
          QStringLiteral("channel 7 name: \"\" -> ADC 7"),
          QStringLiteral("channel 8 name: \"\" -> ADC 8"),
          QStringLiteral("add script \"Start pump\" (script 12 of the file)"),
          QStringLiteral("add script \"Stop pump\" (script 13 of the file)"),
          QStringLiteral("add alert \"Mail tech\" (alert 3 of the file)"),
          QStringLiteral("add alert \"Pager\" (alert 4 of the file)"),
          QStringLiteral("channel 1 settings: shunt amps, shunt millivolts, precision, adjustment, "
                         "trigger high, trigger low"),
          QStringLiteral("channel 2 settings: shunt amps, shunt millivolts, precision, adjustment, "
                         "trigger high, trigger low"),
          QStringLiteral("channel 3 settings: mode, shunt amps, shunt millivolts, precision, "
                         "adjustment, trigger high, trigger high enabled, trigger high flap "
                         "seconds, trigger high scripts, trigger low, trigger low alerts"),
          QStringLiteral("channel 4 settings: shunt amps, shunt millivolts, precision, adjustment, "
                         "trigger high, trigger low"),
          QStringLiteral("channel 5 settings: shunt amps, shunt millivolts, precision, adjustment, "
                         "trigger high, trigger low"),
          QStringLiteral("channel 6 settings: shunt amps, shunt millivolts, precision, adjustment, "
                         "trigger high, trigger low"),
          QStringLiteral("channel 7 settings: shunt amps, shunt millivolts, precision, adjustment, "
                         "trigger high, trigger low"),
          QStringLiteral("channel 8 settings: shunt amps, shunt millivolts, precision, adjustment, "
                         "trigger high, trigger low")},
         {},
         {}},
        {"another station holding the rows under other ids, one changed, one extra",
         QStringLiteral("127.0.0.2"),
         [](StationConfig& s) {
             s.scripts = {Script(1, "Start pump"), Script(2, "Stop pump", "03"),
                          Script(3, "Extra")};
             s.alerts = {Row(5, s.alerts[1].fields), Row(6, s.alerts[0].fields)};
             s.channels[2].lists[static_cast<std::size_t>(ActionsList::HighScripts)] = {1, 2};
             s.channels[2].lists[static_cast<std::size_t>(ActionsList::LowAlerts)] = {6};
         },
         {QStringLiteral("update script 2: commands"),
          QStringLiteral("delete script 3 \"Extra\" (not in the file)")},
         {},
         {}},
        {"the same station after its script 12 was deleted and 13 edited",
         QStringLiteral("127.0.0.1"),
         [](StationConfig& s) {
             s.scripts = {Row(13, {"relay", "Renamed", "x", "00"})};
         },
         {QStringLiteral("update script 13: name, description, commands"),
          QStringLiteral("add script \"Start pump\" (script 12 of the file)"),
          QStringLiteral("channel 3 settings: trigger high scripts")},
         {},
         {}},
    };
}

// Copies from another station: the target's own name stays unless asked.
std::vector<PlanCase> CopyPlanCases() {
    return {
        {"a copy to another station: it keeps its own name",
         QStringLiteral("127.0.0.2"),
         [](StationConfig& s) {
             s.name = "Pumpwerk 7";
             s.relays[1].name = "Fan";
         },
         {QStringLiteral("relay 2 name: Fan -> \"\"")},
         CopyOptions{.stationName = false},
         {QStringLiteral("station name: Brücke Nord -> Pumpwerk 7")}},
        {"a copy with the name asked for",
         QStringLiteral("127.0.0.2"),
         [](StationConfig& s) { s.name = "Pumpwerk 7"; },
         {QStringLiteral("station name: Pumpwerk 7 -> Brücke Nord")},
         CopyOptions{.stationName = true},
         {}},
    };
}

TEST(StationConfigPlan, AppliesOnlyWhatDiffersAndNothingTheSecondTime) {
    const StationConfig file = Station(QStringLiteral("127.0.0.1"));
    std::vector<PlanCase> cases = PlanCases();
    std::ranges::move(CopyPlanCases(), std::back_inserter(cases));
    for (const PlanCase& c : cases) {
        StationConfig station = Station(c.target);
        c.station(station);
        station.source = c.target;
        const StationConfig wanted = c.copy ? CopyFor(file, station, *c.copy) : file;
        const std::vector<PlanItem> plan = PlanRestore(wanted, station);
        EXPECT_EQ(Texts(plan), c.plan) << c.name;
        // Applied in two steps as a restore does (the rows, then the
        // settings naming the new ids), the station holds the file.
        int nextId = 100;
        std::vector<PlanItem> rows;
        std::copy_if(plan.begin(), plan.end(), std::back_inserter(rows),
                     [](const PlanItem& i) { return i.step < PlanStep::ChannelSettings; });
        Apply(station, rows, nextId);
        Apply(station, PlanRestore(wanted, station), nextId);
        EXPECT_EQ(Texts(PlanRestore(wanted, station)), QStringList()) << c.name;
        EXPECT_EQ(DiffConfigs(file, station), c.left) << c.name;
        EXPECT_EQ(station.scripts.size(), file.scripts.size()) << c.name;
    }
}

// A copy to several stations as the bookkeeping sees it: each station read
// (a number of changes, or unreachable), the results in the order they come,
// the operator cancelling after some of them.
// A change that is not sent once sets what it sets however often it arrives:
// one without an answer goes once more. One sent once (a row added) never
// goes again: it may have been done.
TEST(StationConfigApply, AChangeWithoutAnAnswerGoesAgainUnlessSentOnce) {
    using E = OperationEnding;
    const PlanItem rename{PlanStep::StationName, 0, RowKind::Script, "Hut", "station name"};
    const PlanItem add{PlanStep::AddRow, 0, RowKind::Script, "0|relay|a|b|00", "add script"};
    const struct {
        const char* name;
        PlanItem item;
        std::vector<bool> answered;  // each request sent, in turn
        E ending;
    } cases[] = {
        {"answered at once", rename, {true}, E::Done},
        {"answered the second time", rename, {false, true}, E::Done},
        {"never answered", rename, {false, false}, E::TimedOut},
        {"sent once, no answer", add, {false}, E::Unknown},
    };
    for (const auto& c : cases) {
        testing::RecordedLink recorded;
        PlanApplier applier(*recorded.link);
        QSignalSpy started(&applier, &PlanApplier::ItemStarted);
        QSignalSpy finished(&applier, &PlanApplier::Finished);
        applier.Apply({c.item});
        for (std::size_t i = 0; i < c.answered.size(); ++i) {
            testing::RecordedLink::Drain();
            ASSERT_EQ(recorded.allRequests.size(), i + 1) << c.name;
            const BoardRequest& sent = recorded.allRequests.back();
            EXPECT_EQ(sent.value.octets, c.item.value) << c.name;
            if (c.answered[i]) {
                recorded.Answer(sent.oid, c.item.value, sent.requestId);
            } else {
                recorded.link->HandleTimeOut(sent.requestId);
            }
        }
        for (int i = 0; i < 3; ++i) {
            testing::RecordedLink::Drain();
        }
        EXPECT_EQ(recorded.allRequests.size(), c.answered.size()) << c.name;
        EXPECT_EQ(started.size(), 1) << c.name;
        EXPECT_EQ(finished.size(), 1) << c.name;
        ASSERT_EQ(applier.Results().size(), 1u) << c.name;
        EXPECT_EQ(applier.Results()[0].ending, c.ending) << c.name;
    }
}

struct CopyCase {
    const char* name;
    std::vector<std::optional<int>> planned;  // changes per station; nullopt: no answer
    std::vector<OperationEnding> endings;     // in sending order
    int cancelAfter;                          // results before Cancel(); -1: never
    QStringList lines;                        // per station at the end
    QString summary;
    bool allApplied;
};

TEST(StationConfigCopy, StationsEndAppliedRefusedUnreachableOrCancelled) {
    using E = OperationEnding;
    const CopyCase cases[] = {
        {.name = "every change applied, one station already holding it",
         .planned = {2, 0, 1},
         .endings = {E::Done, E::Done, E::Done},
         .cancelAfter = -1,
         .lines = {"2 applied", "already holds this configuration", "1 applied"},
         .summary = "3 station(s): 2 copied, 1 already held it.",
         .allApplied = true},
        {.name = "a station not answering, a refusal: the rest goes on",
         .planned = {std::nullopt, 3},
         .endings = {E::Done, E::Refused, E::Done},
         .cancelAfter = -1,
         .lines = {"unreachable: no answer", "2 applied, 1 refused"},
         .summary = "2 station(s): 1 with failures, 1 unreachable.",
         .allApplied = false},
        {.name = "a station that stops answering is given up, the next goes on",
         .planned = {8, 1},
         .endings = {E::Done, E::TimedOut, E::Refused, E::TimedOut, E::Unknown, E::NotSent,
                     E::Done},
         .cancelAfter = -1,
         .lines = {"unreachable (1 applied, 1 refused, 4 without an answer, 2 not sent): the "
                   "station stopped answering",
                   "1 applied"},
         .summary = "2 station(s): 1 copied, 1 unreachable.",
         .allApplied = false},
        {.name = "cancelled after the change on its way",
         .planned = {3, 2},
         .endings = {E::Done},
         .cancelAfter = 1,
         .lines = {"cancelled: 1 applied, 2 not sent", "cancelled, nothing sent"},
         .summary = "2 station(s): 2 cancelled.",
         .allApplied = false},
    };
    for (const CopyCase& c : cases) {
        QStringList addresses;
        for (std::size_t i = 0; i < c.planned.size(); ++i) {
            addresses << QStringLiteral("127.0.0.%1").arg(i + 2);
        }
        CopyBook book(addresses);
        for (int i = 0; i < book.Count(); ++i) {
            book.Reading(i);
            EXPECT_FALSE(book.AllRead()) << c.name;
            const std::optional<int> n = c.planned[static_cast<std::size_t>(i)];
            book.Read(i, n ? Result<std::vector<PlanItem>>(
                                 std::vector<PlanItem>(static_cast<std::size_t>(*n)))
                           : Result<std::vector<PlanItem>>(Failure{QStringLiteral("no answer")}));
        }
        EXPECT_TRUE(book.AllRead()) << c.name;
        EXPECT_EQ(book.SentItems(), 0) << c.name;
        std::size_t next = 0;
        while (const std::optional<int> station = book.NextToSend()) {
            bool going = true;
            const auto planned = static_cast<std::size_t>(*c.planned[std::size_t(*station)]);
            for (std::size_t k = 0; k < planned && going && next < c.endings.size(); ++k) {
                going = book.ItemEnded(*station, {{}, c.endings[next++], {}});
                if (static_cast<int>(next) == c.cancelAfter) {
                    book.Cancel();
                    going = false;
                }
            }
            book.StationEnded(*station, {});
        }
        EXPECT_EQ(next, c.endings.size()) << c.name;
        EXPECT_TRUE(book.Finished()) << c.name;
        QStringList lines;
        for (const StationCopy& station : book.Stations()) {
            lines << StationSummary(station);
        }
        EXPECT_EQ(lines, c.lines) << c.name;
        EXPECT_EQ(CopySummary(book.Stations()), c.summary) << c.name;
        EXPECT_EQ(book.AllApplied(), c.allApplied) << c.name;
    }
}

}  // namespace
}  // namespace volnar::config
