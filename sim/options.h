#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "board_agent.h"

namespace volnar::sim {

struct FailRule {
    Oid oid;
    int status = 0;
};

struct Options {
    std::string listenAddress;  // always in 127.0.0.0/8
    std::uint16_t listenPort = 0;
    std::string community = "public";
    std::optional<std::string> stateFile;
    std::optional<std::string> logFile;
    std::optional<std::uint64_t> seed;
    double dropRate = 0;
    int delayMs = 0;
    int jitterMs = 0;
    std::vector<FailRule> failRules;
    int scripts = 0;
    int alerts = 0;
    int modems = 0;
    int stuckRelay = 0;  // --stuck-relay N: relay N never changes state
    bool help = false;
};

struct OptionsResult {
    std::optional<Options> options;
    std::string error;
};

// Parses the command line (without the program name). Refuses any listen
// address outside the loopback range before anything is opened.
OptionsResult ParseOptions(const std::vector<std::string>& args);

// Error status by number (1 and up) or by its SNMP name ("genErr").
std::optional<int> ParseErrorStatus(const std::string& text);

extern const char* const kUsage;
// Follows the usage in --help: every option with an example.
extern const char* const kHelp;

}  // namespace volnar::sim
