// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <ostream>
#include <string>
#include <string_view>

namespace volnar::testing {

// A case's name as a test name: letters and digits kept, anything else
// becomes an underscore.
inline std::string TestNameOf(std::string_view text) {
    std::string name;
    for (const char c : text) {
        const bool plain =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        name += plain ? c : '_';
    }
    return name.empty() ? std::string("Empty") : name;
}
inline std::string TestNameOf(const char* text) {
    return TestNameOf(std::string_view(text != nullptr ? text : ""));
}
inline std::string TestNameOf(const QString& text) {
    return TestNameOf(text.toStdString());
}

// Name generator for INSTANTIATE_TEST_SUITE_P over cases with a name member.
struct ByCaseName {
    template <typename Case>
    std::string operator()(const ::testing::TestParamInfo<Case>& info) const {
        return TestNameOf(info.param.name);
    }
};

}  // namespace volnar::testing

// Declares PrintTo for a case type with a name member, in the namespace of
// the type, so gtest prints the name instead of the object's bytes.
#define VOLNAR_PRINT_CASE_NAME(Case)                                        \
    [[maybe_unused]] inline void PrintTo(const Case& c, std::ostream* os) { \
        *os << ::volnar::testing::TestNameOf(c.name);                       \
    }
