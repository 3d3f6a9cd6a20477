// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <string>

#include "core/status_record.h"

namespace volnar::testing {

// A well-formed status record whose fields can be changed by meaning: input
// n is "Input n", a voltmeter reading 1.25 at precision 2 on a 100 A / 50 mV
// shunt; relay r is "Pump r", off; 21.5 C, 70.7 F, "North gate", "3 days".
struct StatusFields {
    std::array<std::string, kStatusFieldCount> fields;

    StatusFields() {
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
    std::string& StationName() { return fields[26]; }
    std::string& Unit(int n) { return fields[static_cast<std::size_t>(28 + n - 1)]; }
    std::string& AmpRating(int n) { return fields[static_cast<std::size_t>(36 + n - 1)]; }
    std::string& MillivoltRating(int n) { return fields[static_cast<std::size_t>(44 + n - 1)]; }
    std::string& Precision(int n) { return fields[static_cast<std::size_t>(52 + n - 1)]; }

    // The first `count` fields joined by "|".
    std::string Join(std::size_t count = kStatusFieldCount) const {
        std::string value = fields[0];
        for (std::size_t i = 1; i < count; ++i) {
            value += '|' + fields[i];
        }
        return value;
    }
};

}  // namespace volnar::testing
