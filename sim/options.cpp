// SPDX-License-Identifier: GPL-3.0-or-later
#include "options.h"

#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string_view>
#include <utility>

namespace volnar::sim {

const char* const kUsage =
    "usage: volnar-station --listen 127.0.0.1:PORT [--community TEXT] [--state FILE]\n"
    "                      [--seed N] [--log FILE] [--drop RATE] [--duplicate RATE]\n"
    "                      [--delay MS[:JITTER]] [--fail OID=STATUS]... [--scripts N]\n"
    "                      [--alerts N] [--modems N] [--stuck-relay N] [--stall-walk OID]\n"
    "                      [--status-oid OID] [--stations N] [--version]\n"
    "                      [--drop RATE@K]... [--duplicate RATE@K]...\n"
    "                      [--delay MS[:JITTER]@K]...\n";

const char* const kHelp =
    "\n"
    "An SNMP v1 agent that behaves like a Volnar station, for training, demos and tests.\n"
    "It listens on a loopback address (127.0.0.0/8) only.\n"
    "\n"
    "Options:\n"
    "  --listen 127.0.0.1:PORT  required; PORT 0 picks a free port (printed at start)\n"
    "                           Example: volnar-station --listen 127.0.0.1:1161\n"
    "  --community TEXT         the community answered (default public)\n"
    "                           Example: volnar-station --listen 127.0.0.1:1161 --community demo\n"
    "  --state FILE             JSON state, loaded at start and saved after every change\n"
    "                           Example: volnar-station --listen 127.0.0.1:1161 --state st.json\n"
    "  --seed N                 seeds the readings, the drops, the duplicates and the jitter\n"
    "                           Example: volnar-station --listen 127.0.0.1:1161 --seed 7\n"
    "  --log FILE               appends one JSON line per request and per event\n"
    "                           Example: volnar-station --listen 127.0.0.1:1161 --log st.log\n"
    "  --drop RATE              the share (0.0 to 1.0) of requests left unanswered\n"
    "                           Example: volnar-station --listen 127.0.0.1:1161 --drop 0.2\n"
    "  --duplicate RATE         the share (0.0 to 1.0) of answers sent twice, the copy a few\n"
    "                           milliseconds later; the request is carried out once\n"
    "                           Example: volnar-station --listen 127.0.0.1:1161 --duplicate 1\n"
    "  --delay MS[:JITTER]      answers MS +- JITTER milliseconds late\n"
    "                           Example: volnar-station --listen 127.0.0.1:1161 --delay 300:100\n"
    "  --fail OID=STATUS        answers OID and what lies under it with that error status\n"
    "                           (1-255 or a name such as genErr); repeatable\n"
    "                           Example: volnar-station --listen 127.0.0.1:1161 \\\n"
    "                                      --fail 1.3.6.1.4.1.32473.3.1.2.75=genErr\n"
    "  --scripts N, --alerts N, --modems N\n"
    "                           fill the table with generated rows up to N rows\n"
    "                           Example: volnar-station --listen 127.0.0.1:1161 --scripts 3\n"
    "  --stuck-relay N          relay N's switches are answered but never change its state\n"
    "                           Example: volnar-station --listen 127.0.0.1:1161 --stuck-relay 2\n"
    "  --stall-walk OID         a faulty walk: GETNEXT of a row under OID is answered with\n"
    "                           that same row, so the walk never advances\n"
    "                           Example: volnar-station --listen 127.0.0.1:1161 --scripts 3 \\\n"
    "                                      --stall-walk 1.3.6.1.4.1.32473.3.1.2.72\n"
    "  --status-oid OID         a faulty station: a GET of the status record is answered with\n"
    "                           the record under identifier OID instead of its own\n"
    "                           Example: volnar-station --listen 127.0.0.1:1161 \\\n"
    "                                      --status-oid 1.3.6.1.4.1.32473.3.1.2.77.0\n"
    "  --stations N             serves N independent stations (1 to 50000) on consecutive\n"
    "                           loopback addresses from the --listen one, same port\n"
    "                           Example: volnar-station --listen 127.0.1.1:1161 --stations 20\n"
    "  --drop RATE@K, --duplicate RATE@K, --delay MS[:JITTER]@K\n"
    "                           the drop rate, duplicate rate or delay of station K only;\n"
    "                           repeatable\n"
    "                           Example: volnar-station --listen 127.0.1.1:1161 --stations 20 \\\n"
    "                                      --drop 1@3 --delay 1500@4 --duplicate 0.5@5\n"
    "  --version                print the version and exit\n"
    "                           Example: volnar-station --version\n"
    "  -h, --help               print this help and exit\n"
    "                           Example: volnar-station --help\n";

namespace {

constexpr std::array<std::pair<const char*, int>, 18> kStatusNames = {{
    {"tooBig", 1},
    {"noSuchName", 2},
    {"badValue", 3},
    {"readOnly", 4},
    {"genErr", 5},
    {"noAccess", 6},
    {"wrongType", 7},
    {"wrongLength", 8},
    {"wrongEncoding", 9},
    {"wrongValue", 10},
    {"noCreation", 11},
    {"inconsistentValue", 12},
    {"resourceUnavailable", 13},
    {"commitFailed", 14},
    {"undoFailed", 15},
    {"authorizationError", 16},
    {"notWritable", 17},
    {"inconsistentName", 18},
}};

std::optional<long long> ParseInteger(const std::string& text, long long min, long long max) {
    if (text.empty() || text.size() > 12) {
        return std::nullopt;
    }
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
    }
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (value < min || value > max) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::pair<std::string, std::uint16_t>> ParseListen(const std::string& text) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos) {
        return std::nullopt;
    }
    const std::string host = text.substr(0, colon);
    const auto port = ParseInteger(text.substr(colon + 1), 0, 65535);
    in_addr address{};
    if (!port || inet_pton(AF_INET, host.c_str(), &address) != 1) {
        return std::nullopt;
    }
    // Loopback only: 127.0.0.0/8.
    if ((ntohl(address.s_addr) >> 24) != 127) {
        return std::nullopt;
    }
    return std::make_pair(host, static_cast<std::uint16_t>(*port));
}

}  // namespace

std::string StationAddress(const std::string& first, int k) {
    in_addr address{};
    if (k < 1 || inet_pton(AF_INET, first.c_str(), &address) != 1) {
        return {};
    }
    std::uint32_t host = ntohl(address.s_addr);
    for (int i = 1; i < k; ++i) {
        do {
            ++host;
        } while ((host & 0xFF) == 0 || (host & 0xFF) == 255);
    }
    if ((host >> 24) != 127) {
        return {};
    }
    address.s_addr = htonl(host);
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

Options OptionsForStation(const Options& all, int k) {
    Options one = all;
    one.stations = 1;
    one.stationOverrides.clear();
    one.listenAddress = StationAddress(all.listenAddress, k);
    if (all.seed) {
        one.seed = *all.seed + static_cast<std::uint64_t>(k - 1);
    }
    if (all.stateFile && k > 1) {
        one.stateFile = *all.stateFile + "." + std::to_string(k);
    }
    if (const auto found = all.stationOverrides.find(k); found != all.stationOverrides.end()) {
        one.dropRate = found->second.dropRate.value_or(one.dropRate);
        one.duplicateRate = found->second.duplicateRate.value_or(one.duplicateRate);
        one.delayMs = found->second.delayMs.value_or(one.delayMs);
        one.jitterMs = found->second.jitterMs.value_or(one.jitterMs);
    }
    return one;
}

std::optional<int> ParseErrorStatus(const std::string& text) {
    for (const auto& [name, status] : kStatusNames) {
        if (text == name) {
            return status;
        }
    }
    if (const auto number = ParseInteger(text, 1, 255)) {
        return static_cast<int>(*number);
    }
    return std::nullopt;
}

namespace {

// Takes one option's value into options: each returns the error text, empty
// when the value was taken.
using OptionTaker = std::string (*)(const std::string& name, const std::string& value,
                                    Options& options);

std::string TakeListen(const std::string&, const std::string& value, Options& options) {
    const auto listen = ParseListen(value);
    if (!listen) {
        return "--listen takes a loopback address 127.x.y.z:PORT, not " + value;
    }
    options.listenAddress = listen->first;
    options.listenPort = listen->second;
    return {};
}

std::string TakeText(const std::string& name, const std::string& value, Options& options) {
    if (name == "--community") {
        options.community = value;
    } else if (name == "--state") {
        options.stateFile = value;
    } else {
        options.logFile = value;
    }
    return {};
}

std::string TakeSeed(const std::string&, const std::string& value, Options& options) {
    const auto seed = ParseInteger(value, 0, 999999999999LL);
    if (!seed) {
        return "--seed takes a number";
    }
    options.seed = static_cast<std::uint64_t>(*seed);
    return {};
}

std::string TakeStations(const std::string&, const std::string& value, Options& options) {
    const auto count = ParseInteger(value, 1, kMaxStations);
    if (!count) {
        return "--stations takes a count from 1 to " + std::to_string(kMaxStations);
    }
    options.stations = static_cast<int>(*count);
    return {};
}

// --drop RATE@K, --duplicate RATE@K or --delay MS[:JITTER]@K: the value is
// read as the option for one station would be.
std::string TakeStationOverride(const std::string& name, const std::string& value,
                                Options& options) {
    const auto at = value.rfind('@');
    const auto station = ParseInteger(value.substr(at + 1), 1, kMaxStations);
    auto single = ParseOptions({"--listen", "127.0.0.1:0", name, value.substr(0, at)});
    if (!station || !single.options) {
        return name + " takes VALUE@STATION, station 1 to " + std::to_string(kMaxStations);
    }
    StationOverride& override = options.stationOverrides[static_cast<int>(*station)];
    if (name == "--drop") {
        override.dropRate = single.options->dropRate;
    } else if (name == "--duplicate") {
        override.duplicateRate = single.options->duplicateRate;
    } else {
        override.delayMs = single.options->delayMs;
        override.jitterMs = single.options->jitterMs;
    }
    return {};
}

// --drop or --duplicate RATE.
std::string TakeRate(const std::string& name, const std::string& value, Options& options) {
    char* end = nullptr;
    const double rate = std::strtod(value.c_str(), &end);
    if (value.empty() || end == nullptr || *end != '\0' || !(rate >= 0.0 && rate <= 1.0)) {
        return name + " takes a rate from 0.0 to 1.0";
    }
    (name == "--drop" ? options.dropRate : options.duplicateRate) = rate;
    return {};
}

std::string TakeDelay(const std::string&, const std::string& value, Options& options) {
    const auto colon = value.find(':');
    const auto ms = ParseInteger(value.substr(0, colon), 0, 600000);
    const auto jitter = colon == std::string::npos
                            ? std::optional<long long>(0)
                            : ParseInteger(value.substr(colon + 1), 0, 600000);
    if (!ms || !jitter) {
        return "--delay takes MS or MS:JITTER";
    }
    options.delayMs = static_cast<int>(*ms);
    options.jitterMs = static_cast<int>(*jitter);
    return {};
}

std::string TakeFail(const std::string&, const std::string& value, Options& options) {
    const auto equals = value.find('=');
    if (equals == std::string::npos) {
        return "--fail takes OID=STATUS";
    }
    const auto oid = OidFromText(value.substr(0, equals));
    const auto status = ParseErrorStatus(value.substr(equals + 1));
    if (!oid || !status) {
        return "--fail takes a dotted OID and a status (1-255 or a name)";
    }
    options.failRules.push_back({*oid, *status});
    return {};
}

// --stall-walk or --status-oid OID.
std::string TakeOid(const std::string& name, const std::string& value, Options& options) {
    const auto oid = OidFromText(value);
    if (!oid || oid->empty()) {
        return name + " takes a dotted OID";
    }
    (name == "--stall-walk" ? options.stalledWalk : options.statusOid) = *oid;
    return {};
}

std::string TakeStuckRelay(const std::string&, const std::string& value, Options& options) {
    const auto relay = ParseInteger(value, 1, 4);
    if (!relay) {
        return "--stuck-relay takes a relay number from 1 to 4";
    }
    options.stuckRelay = static_cast<int>(*relay);
    return {};
}

std::string TakeRowCount(const std::string& name, const std::string& value, Options& options) {
    const auto count = ParseInteger(value, 0, static_cast<long long>(kMaxTableRows));
    if (!count) {
        return name + " takes a row count up to " + std::to_string(kMaxTableRows);
    }
    int& target = name == "--scripts"  ? options.scripts
                  : name == "--alerts" ? options.alerts
                                       : options.modems;
    target = static_cast<int>(*count);
    return {};
}

constexpr std::array<std::pair<std::string_view, OptionTaker>, 16> kTakers = {{
    {"--listen", TakeListen},
    {"--community", TakeText},
    {"--state", TakeText},
    {"--log", TakeText},
    {"--seed", TakeSeed},
    {"--stations", TakeStations},
    {"--drop", TakeRate},
    {"--duplicate", TakeRate},
    {"--delay", TakeDelay},
    {"--fail", TakeFail},
    {"--stall-walk", TakeOid},
    {"--status-oid", TakeOid},
    {"--stuck-relay", TakeStuckRelay},
    {"--scripts", TakeRowCount},
    {"--alerts", TakeRowCount},
    {"--modems", TakeRowCount},
}};

std::string UnknownOption(const std::string& name) {
    return (name.rfind('-', 0) == 0 ? "unknown option " : "unknown argument ") + name;
}

bool IsKnownOption(const std::string& name) {
    return std::any_of(kTakers.begin(), kTakers.end(),
                       [&name](const auto& taker) { return taker.first == name; });
}

std::string TakeOption(const std::string& name, const std::string& value, Options& options) {
    if ((name == "--drop" || name == "--duplicate" || name == "--delay") &&
        value.find('@') != std::string::npos) {
        return TakeStationOverride(name, value, options);
    }
    for (const auto& [option, take] : kTakers) {
        if (option == name) {
            return take(name, value, options);
        }
    }
    return UnknownOption(name);
}

// What the options as a whole must satisfy; the error text, empty when they do.
std::string CheckOptions(const Options& options) {
    if (options.listenAddress.empty()) {
        return "--listen 127.0.0.1:PORT is required";
    }
    if (StationAddress(options.listenAddress, options.stations).empty()) {
        return "--stations " + std::to_string(options.stations) + " from " + options.listenAddress +
               " would leave 127.0.0.0/8";
    }
    for (const auto& [station, override] : options.stationOverrides) {
        if (station > options.stations) {
            // Appended, not "@" + …: GCC 12 warns wrongly (-Wrestrict) on that at -O3.
            return std::string("@")
                .append(std::to_string(station))
                .append(" names a station beyond --stations");
        }
    }
    return {};
}

}  // namespace

OptionsResult ParseOptions(const std::vector<std::string>& args) {
    OptionsResult result;
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name == "--help" || name == "-h" || name == "--version") {
            options.help = name != "--version";
            options.version = name == "--version";
            result.options = options;
            return result;
        }
        if (i + 1 >= args.size()) {
            result.error = IsKnownOption(name) ? name + " needs a value" : UnknownOption(name);
            return result;
        }
        result.error = TakeOption(name, args[++i], options);
        if (!result.error.empty()) {
            return result;
        }
    }
    result.error = CheckOptions(options);
    if (result.error.empty()) {
        result.options = std::move(options);
    }
    return result;
}

}  // namespace volnar::sim
