#include "options.h"

#include <arpa/inet.h>

#include <array>
#include <cstdlib>
#include <utility>

namespace volnar::sim {

const char* const kUsage =
    "usage: volnar-station --listen 127.0.0.1:PORT [--community TEXT] [--state FILE]\n"
    "                      [--seed N] [--log FILE] [--drop RATE] [--delay MS[:JITTER]]\n"
    "                      [--fail OID=STATUS]... [--scripts N] [--alerts N] [--modems N]\n"
    "                      [--stuck-relay N]\n";

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
    "  --seed N                 seeds the readings, the drops and the jitter\n"
    "                           Example: volnar-station --listen 127.0.0.1:1161 --seed 7\n"
    "  --log FILE               appends one JSON line per request and per event\n"
    "                           Example: volnar-station --listen 127.0.0.1:1161 --log st.log\n"
    "  --drop RATE              the share (0.0 to 1.0) of requests left unanswered\n"
    "                           Example: volnar-station --listen 127.0.0.1:1161 --drop 0.2\n"
    "  --delay MS[:JITTER]      answers MS +- JITTER milliseconds late\n"
    "                           Example: volnar-station --listen 127.0.0.1:1161 --delay 300:100\n"
    "  --fail OID=STATUS        answers OID and what lies under it with that error status\n"
    "                           (1-255 or a name such as genErr); repeatable\n"
    "                           Example: volnar-station --listen 127.0.0.1:1161 \\\n"
    "                                      --fail 1.3.6.1.4.1.32473.3.1.2.75=genErr\n"
    "  --scripts N, --alerts N, --modems N\n"
    "                           fill the table with generated rows up to N rows\n"
    "                           Example: volnar-station --listen 127.0.0.1:1161 --scripts 3\n"
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

OptionsResult ParseOptions(const std::vector<std::string>& args) {
    OptionsResult result;
    Options options;
    bool listenGiven = false;
    const auto fail = [&result](std::string what) {
        result.error = std::move(what);
        return result;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name == "--help" || name == "-h") {
            options.help = true;
            result.options = options;
            return result;
        }
        if (i + 1 >= args.size()) {
            return fail(name.rfind("--", 0) == 0 ? name + " needs a value"
                                                 : "unknown argument " + name);
        }
        const std::string& value = args[++i];
        if (name == "--listen") {
            const auto listen = ParseListen(value);
            if (!listen) {
                return fail("--listen takes a loopback address 127.x.y.z:PORT, not " + value);
            }
            options.listenAddress = listen->first;
            options.listenPort = listen->second;
            listenGiven = true;
        } else if (name == "--community") {
            options.community = value;
        } else if (name == "--state") {
            options.stateFile = value;
        } else if (name == "--log") {
            options.logFile = value;
        } else if (name == "--seed") {
            const auto seed = ParseInteger(value, 0, 999999999999LL);
            if (!seed) {
                return fail("--seed takes a number");
            }
            options.seed = static_cast<std::uint64_t>(*seed);
        } else if (name == "--drop") {
            char* end = nullptr;
            const double rate = std::strtod(value.c_str(), &end);
            if (value.empty() || end == nullptr || *end != '\0' || !(rate >= 0.0 && rate <= 1.0)) {
                return fail("--drop takes a rate from 0.0 to 1.0");
            }
            options.dropRate = rate;
        } else if (name == "--delay") {
            const auto colon = value.find(':');
            const auto ms = ParseInteger(value.substr(0, colon), 0, 600000);
            const auto jitter = colon == std::string::npos
                                    ? std::optional<long long>(0)
                                    : ParseInteger(value.substr(colon + 1), 0, 600000);
            if (!ms || !jitter) {
                return fail("--delay takes MS or MS:JITTER");
            }
            options.delayMs = static_cast<int>(*ms);
            options.jitterMs = static_cast<int>(*jitter);
        } else if (name == "--fail") {
            const auto equals = value.find('=');
            if (equals == std::string::npos) {
                return fail("--fail takes OID=STATUS");
            }
            const auto oid = OidFromText(value.substr(0, equals));
            const auto status = ParseErrorStatus(value.substr(equals + 1));
            if (!oid || !status) {
                return fail("--fail takes a dotted OID and a status (1-255 or a name)");
            }
            options.failRules.push_back({*oid, *status});
        } else if (name == "--stuck-relay") {
            const auto relay = ParseInteger(value, 1, 4);
            if (!relay) {
                return fail("--stuck-relay takes a relay number from 1 to 4");
            }
            options.stuckRelay = static_cast<int>(*relay);
        } else if (name == "--scripts" || name == "--alerts" || name == "--modems") {
            const auto count = ParseInteger(value, 0, static_cast<long long>(kMaxTableRows));
            if (!count) {
                return fail(name + " takes a row count up to " + std::to_string(kMaxTableRows));
            }
            int& target = name == "--scripts"  ? options.scripts
                          : name == "--alerts" ? options.alerts
                                               : options.modems;
            target = static_cast<int>(*count);
        } else {
            return fail("unknown argument " + name);
        }
    }
    if (!listenGiven) {
        return fail("--listen 127.0.0.1:PORT is required");
    }
    result.options = std::move(options);
    return result;
}

}  // namespace volnar::sim
