// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "board_agent.h"

namespace volnar::sim {

struct FailRule {
    Oid oid;
    int status = 0;
};

// Drop rate, duplicate rate or delay given for one station of several
// (`--drop 0.3@17`).
struct StationOverride {
    std::optional<double> dropRate;
    std::optional<double> duplicateRate;
    std::optional<int> delayMs;
    std::optional<int> jitterMs;
};

struct Options {
    std::string listenAddress;  // always in 127.0.0.0/8
    std::uint16_t listenPort = 0;
    std::string community = "public";
    std::optional<std::string> stateFile;
    std::optional<std::string> logFile;
    std::optional<std::uint64_t> seed;
    double dropRate = 0;
    double duplicateRate = 0;  // --duplicate RATE: share of answers sent twice
    int delayMs = 0;
    int jitterMs = 0;
    std::vector<FailRule> failRules;
    int scripts = 0;
    int alerts = 0;
    int modems = 0;
    int stuckRelay = 0;  // --stuck-relay N: relay N never changes state
    Oid stalledWalk;     // --stall-walk OID: GETNEXT under OID does not advance
    Oid statusOid;       // --status-oid OID: a GET of the status record answers OID
    int stations = 1;    // --stations N
    std::map<int, StationOverride> stationOverrides;  // by station number, 1 and up
    bool help = false;
    bool version = false;  // --version: print the version and exit
};

// One socket each, served through epoll: the bound is loopback addresses and
// descriptors (the soft limit is raised to the hard one), not a select() set.
inline constexpr int kMaxStations = 50000;

struct OptionsResult {
    std::optional<Options> options;
    std::string error;
};

// Parses the command line (without the program name). Refuses any listen
// address outside the loopback range before anything is opened.
OptionsResult ParseOptions(const std::vector<std::string>& args);

// Error status by number (1 and up) or by its SNMP name ("genErr").
std::optional<int> ParseErrorStatus(const std::string& text);

// The address of station k (1 and up) of several: the --listen address for
// the first, then the following addresses, skipping last octets 0 and 255.
// Empty when it would leave 127.0.0.0/8.
std::string StationAddress(const std::string& first, int k);

// The options one station of several runs with: its own address, seed,
// state file (FILE.k for k > 1) and its own --drop/--duplicate/--delay when
// given.
Options OptionsForStation(const Options& all, int k);

extern const char* const kUsage;
// Follows the usage in --help: every option with an example.
extern const char* const kHelp;

}  // namespace volnar::sim
