// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the status panel and to every text rule, and checks
// the invariants the rest of the client relies on.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "core/status_panel.h"
#include "core/text_rules.h"
#include "fuzz_input.h"

namespace {

using volnar::text::Real;

using volnar::fuzz::Check;

// A text that RealToDecimal may produce: "ERROR", a signed infinity, or a
// sign character followed by digits.
void CheckFormatted(const std::string& out) {
    Check(!out.empty() && out.size() <= 40);
    if (out == "ERROR" || out == "+INFINITY" || out == "-INFINITY") {
        return;
    }
    Check(out[0] == ' ' || out[0] == '-');
    // Every finite form reads back as a number.
    Check(!std::isnan(volnar::text::DecimalToReal(out)));
}

void FuzzTextRules(std::string_view text, int decimals) {
    using namespace volnar::text;

    (void)DecimalToInt(text);

    const Real value = DecimalToReal(text);
    const std::string formatted = RealToDecimal(value, decimals);
    CheckFormatted(formatted);
    if (std::isnan(value)) {
        Check(formatted == "ERROR");
    }
    // Up to 16 significant digits survive a round trip.
    if (std::isfinite(value) && std::fabs(value) < 1e16L && decimals >= 0) {
        const Real back = DecimalToReal(formatted);
        Check(!std::isnan(back));
        Check(RealCompare(back, value) != kCompareNotANumber);
    }

    // A long double that is not from text: a double's bits scaled up or down.
    if (text.size() >= sizeof(double) + 2) {
        double bits = 0;
        std::memcpy(&bits, text.data(), sizeof bits);
        const int shift = static_cast<signed char>(text[sizeof bits]) * 64;
        CheckFormatted(RealToDecimal(std::ldexp(static_cast<Real>(bits), shift),
                                     static_cast<signed char>(text[sizeof bits + 1])));
    }

    const std::string trimmed = RightTrim(text);
    Check(text.substr(0, trimmed.size()) == trimmed);
    Check(trimmed.empty() || static_cast<unsigned char>(trimmed.back()) >= '!');

    std::string upper(text);
    ToUpperAscii(upper);
    std::string lower(upper);
    ToLowerAscii(lower);
    Check(upper.size() == text.size() && lower.size() == text.size());

    const std::size_t half = text.size() / 2;
    const std::string_view pattern =
        text.substr(half, text.size() - half > 8 ? 8 : text.size() - half);
    const int at = FindText(decimals, text.substr(0, half), pattern);
    Check(at >= 0 && static_cast<std::size_t>(at) <= half + 1);
    if (at > 0) {
        Check(text.substr(static_cast<std::size_t>(at) - 1, pattern.size()) == pattern);
    }
    Check(BeginsWith(text, text.substr(0, half)));
    (void)TextEquals(text, pattern);

    // Every field lies inside the value, and the reader ends on the last one.
    FieldReader reader(text);
    std::size_t total = 0;
    for (;;) {
        const std::size_t before = reader.Cursor();
        const std::string_view field = reader.Next();
        Check(field.data() >= text.data() &&
              field.data() + field.size() <= text.data() + text.size());
        total += field.size();
        Check(total <= text.size());
        if (reader.Cursor() == before) {
            Check(reader.Next() == field);
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static volnar::StatusPanel panel;
    if (size == 0) {
        panel.ShowStatusRecord({});
        return 0;
    }
    const int decimals = static_cast<signed char>(data[0]);
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    if ((data[0] & 0x0F) == 0) {
        panel.ResetReadouts();
    }
    panel.ShowStatusRecord(text);
    for (int n = 1; n <= volnar::StatusPanel::kAdcInputCount; ++n) {
        Check(!panel.AdcValue(n).isEmpty());
    }
    FuzzTextRules(text, decimals);
    return 0;
}
