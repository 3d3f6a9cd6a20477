#include "panel/text_rules.h"

// Placeholder bodies; the rules are filled in by the text-rules work.
namespace volnar::text {
std::int32_t DecimalToInt(std::string_view) { return 0; }
std::string IntToDecimal(std::int32_t value) { return std::to_string(value); }
Real DecimalToReal(std::string_view) { return 0; }
std::string RealToDecimal(Real, int) { return {}; }
Real RealMultiply(Real a, Real b) { return a * b; }
Real RealDivide(Real a, Real b) { return a / b; }
int RealCompare(Real, Real) { return 0; }
void ToUpperAscii(std::string&) {}
void ToLowerAscii(std::string&) {}
std::string RightTrim(std::string_view text) { return std::string(text); }
bool TextEquals(std::string_view a, std::string_view b) { return !a.empty() && a == b; }
int FindText(int, std::string_view, std::string_view) { return 0; }
bool BeginsWith(std::string_view, std::string_view) { return false; }
std::string_view FieldReader::Next() { return {}; }
}  // namespace volnar::text
