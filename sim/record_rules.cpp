// SPDX-License-Identifier: GPL-3.0-or-later
#include "record_rules.h"

#include <algorithm>
#include <string>

namespace volnar::sim {

namespace {

constexpr std::string_view kIndexCharacters = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijk";

// Delays of the relay set (group "0", index 8 on) and of the I/O set (index
// 28 on), in seconds.
constexpr std::array<int, 27> kRelayDelays = {
    1,   2,   3,   4,   5,    6,    7,    8,    9,     10,    20,    30,    60,   120,
    180, 240, 300, 600, 1200, 1800, 3600, 7200, 10800, 14400, 18000, 36000, 86400};
constexpr std::array<int, 19> kIoDelays = {1,  2,  3,    4,    5,     6,     7,     8,     9,    10,
                                           20, 30, 3600, 7200, 10800, 14400, 18000, 36000, 86400};

constexpr std::size_t kScriptNameLimit = 63;
constexpr std::size_t kScriptDescriptionLimit = 510;
constexpr std::size_t kScriptCommandsLimit = 512;
constexpr std::size_t kAlertFieldLimit = 511;
constexpr std::size_t kIdListLimit = 127;
constexpr std::size_t kNumberTextLimit = 11;

bool IsDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

std::string UpperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

bool IsValidCommandList(std::string_view type, std::string_view commands) {
    if (commands.empty() || commands.size() % 2 != 0 || commands.size() > kScriptCommandsLimit) {
        return false;
    }
    for (std::size_t i = 0; i < commands.size(); i += 2) {
        const auto code = commands.substr(i, 2);
        const auto delay = type == "relay" ? RelayCodeDelay(code) : IoCodeDelay(code);
        if (!delay) {
            return false;
        }
    }
    return true;
}

}  // namespace

namespace rules {

int IndexOf(char c) {
    const auto pos = kIndexCharacters.find(c);
    return pos == std::string_view::npos ? -1 : static_cast<int>(pos);
}

bool IsStorableText(std::string_view text, const TextRules& rules) {
    if (text.empty()) {
        return rules.allowEmpty;
    }
    if (text.size() > rules.maxBytes) {
        return false;
    }
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '|' && !rules.allowBar) {
            return false;
        }
        if ((c == '\r' || c == '\n') && rules.allowLineBreaks) {
            continue;
        }
        if ((u < 0x20 && c != '\t') || u == 0x7F) {
            return false;
        }
    }
    return true;
}

bool IsDecimalText(std::string_view text) {
    if (text.empty() || text.size() > kNumberTextLimit) {
        return false;
    }
    std::size_t i = text[0] == '-' ? 1 : 0;
    bool point = false;
    bool digit = false;
    for (; i < text.size(); ++i) {
        if (text[i] == '.') {
            if (point) {
                return false;
            }
            point = true;
        } else if (text[i] >= '0' && text[i] <= '9') {
            digit = true;
        } else {
            return false;
        }
    }
    return digit;
}

// Ids each followed by ".", e.g. "3.12."; the empty list is "".
bool IsIdList(std::string_view text) {
    if (text.size() > kIdListLimit) {
        return false;
    }
    std::size_t digits = 0;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            if (++digits > 10) {
                return false;
            }
        } else if (c == '.' && digits > 0) {
            digits = 0;
        } else {
            return false;
        }
    }
    return digits == 0;
}

std::optional<std::uint32_t> ParseUnsigned(std::string_view text, std::uint32_t max) {
    if (!IsDigits(text) || text.size() > 10) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : text) {
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > max) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

bool ParseScriptFields(const std::vector<std::string_view>& fields, Script& script) {
    if (fields.size() != 5) {
        return false;
    }
    const std::string type = LowerAscii(fields[1]);
    if (type != "relay" && type != "io") {
        return false;
    }
    if (!IsStorableText(fields[2], {kScriptNameLimit, false, false, false}) ||
        !IsStorableText(fields[3], {kScriptDescriptionLimit, true, false, true}) ||
        !IsValidCommandList(type, fields[4])) {
        return false;
    }
    script.type = type;
    script.name = std::string(fields[2]);
    script.description = std::string(fields[3]);
    script.commands = std::string(fields[4]);
    return true;
}

bool ParseAlertFields(const std::vector<std::string_view>& fields, Alert& alert) {
    if (fields.size() != 14) {
        return false;
    }
    const std::string type = UpperAscii(fields[1]);
    if (type != "EMAIL" && type != "SMS") {
        return false;
    }
    std::vector<std::string> stored{type};
    for (std::size_t i = 2; i < fields.size(); ++i) {
        if (!IsStorableText(fields[i], {kAlertFieldLimit, true, false, false})) {
            return false;
        }
        stored.emplace_back(fields[i]);
    }
    alert.fields = std::move(stored);
    return true;
}

}  // namespace rules

std::optional<int> RelayCodeDelay(std::string_view code) {
    if (code.size() != 2) {
        return std::nullopt;
    }
    const int index = rules::IndexOf(code[1]);
    if (index < 0) {
        return std::nullopt;
    }
    if (code[0] == '0') {
        if (index < 8) {
            return -1;
        }
        if (index - 8 < static_cast<int>(kRelayDelays.size())) {
            return kRelayDelays.at(static_cast<std::size_t>(index - 8));
        }
        return std::nullopt;
    }
    if (code[0] >= '1' && code[0] <= '6' && index < 14) {
        return -1;
    }
    return std::nullopt;
}

std::optional<int> IoCodeDelay(std::string_view code) {
    if (code.size() != 2 || code[0] != '0') {
        return std::nullopt;
    }
    const int index = rules::IndexOf(code[1]);
    if (index < 0) {
        return std::nullopt;
    }
    if (index < 28) {
        return -1;
    }
    return kIoDelays.at(static_cast<std::size_t>(index - 28));
}

std::vector<std::string_view> SplitRecord(std::string_view record) {
    std::vector<std::string_view> fields;
    if (!record.empty() && record.back() == '|') {
        record.remove_suffix(1);
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t bar = record.find('|', start);
        if (bar == std::string_view::npos) {
            fields.push_back(record.substr(start));
            return fields;
        }
        fields.push_back(record.substr(start, bar - start));
        start = bar + 1;
    }
}

}  // namespace volnar::sim
