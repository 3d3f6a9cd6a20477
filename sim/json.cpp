// SPDX-License-Identifier: GPL-3.0-or-later
#include "json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace volnar::sim {

namespace {

constexpr int kMaxDepth = 64;

// Length of the valid UTF-8 sequence starting at text[i], 0 when invalid.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    std::uint32_t codePoint = 0;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
        codePoint = (codePoint << 6) | (byte(i + k) & 0x3F);
    }
    if ((length == 3 && codePoint < 0x800) || (length == 4 && codePoint < 0x10000) ||
        codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        return 0;
    }
    return length;
}

void AppendUtf8(std::string& out, std::uint32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

class Parser final {
public:
    explicit Parser(std::string_view text) : m_text(text) {}

    JsonParseResult Run() {
        JsonParseResult result;
        JsonValue value;
        SkipBlanks();
        if (!ParseValue(value, 0)) {
            result.error = m_error + " at offset " + std::to_string(m_pos);
            return result;
        }
        SkipBlanks();
        if (m_pos != m_text.size()) {
            result.error = "trailing text at offset " + std::to_string(m_pos);
            return result;
        }
        result.value = std::move(value);
        return result;
    }

private:
    bool Fail(const char* what) {
        if (m_error.empty()) {
            m_error = what;
        }
        return false;
    }

    void SkipBlanks() {
        while (m_pos < m_text.size() && (m_text[m_pos] == ' ' || m_text[m_pos] == '\t' ||
                                         m_text[m_pos] == '\n' || m_text[m_pos] == '\r')) {
            ++m_pos;
        }
    }

    bool Literal(std::string_view word) {
        if (m_text.substr(m_pos, word.size()) != word) {
            return Fail("unknown literal");
        }
        m_pos += word.size();
        return true;
    }

    bool ParseValue(JsonValue& out, int depth) {
        if (depth > kMaxDepth) {
            return Fail("nesting too deep");
        }
        if (m_pos >= m_text.size()) {
            return Fail("unexpected end");
        }
        switch (m_text[m_pos]) {
            case 'n':
                out = JsonValue();
                return Literal("null");
            case 't':
                out = JsonValue(true);
                return Literal("true");
            case 'f':
                out = JsonValue(false);
                return Literal("false");
            case '"': {
                std::string text;
                if (!ParseString(text)) {
                    return false;
                }
                out = JsonValue(std::move(text));
                return true;
            }
            case '[':
                return ParseArray(out, depth);
            case '{':
                return ParseObject(out, depth);
            default:
                return ParseNumber(out);
        }
    }

    bool ParseNumber(JsonValue& out) {
        const std::size_t start = m_pos;
        auto digits = [&] {
            const std::size_t from = m_pos;
            while (m_pos < m_text.size() && m_text[m_pos] >= '0' && m_text[m_pos] <= '9') {
                ++m_pos;
            }
            return m_pos - from;
        };
        if (m_pos < m_text.size() && m_text[m_pos] == '-') {
            ++m_pos;
        }
        const std::size_t intStart = m_pos;
        const std::size_t intDigits = digits();
        if (intDigits == 0 || (intDigits > 1 && m_text[intStart] == '0')) {
            return Fail("bad number");
        }
        if (m_pos < m_text.size() && m_text[m_pos] == '.') {
            ++m_pos;
            if (digits() == 0) {
                return Fail("bad number");
            }
        }
        if (m_pos < m_text.size() && (m_text[m_pos] == 'e' || m_text[m_pos] == 'E')) {
            ++m_pos;
            if (m_pos < m_text.size() && (m_text[m_pos] == '+' || m_text[m_pos] == '-')) {
                ++m_pos;
            }
            if (digits() == 0) {
                return Fail("bad number");
            }
        }
        const std::string number(m_text.substr(start, m_pos - start));
        const double value = std::strtod(number.c_str(), nullptr);
        if (!std::isfinite(value)) {
            return Fail("number out of range");
        }
        out = JsonValue(value);
        return true;
    }

    bool ParseHex4(std::uint32_t& value) {
        if (m_pos + 4 > m_text.size()) {
            return Fail("bad escape");
        }
        value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = m_text[m_pos++];
            value <<= 4;
            if (c >= '0' && c <= '9') {
                value |= static_cast<std::uint32_t>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                value |= static_cast<std::uint32_t>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                value |= static_cast<std::uint32_t>(c - 'A' + 10);
            } else {
                return Fail("bad escape");
            }
        }
        return true;
    }

    bool ParseString(std::string& out) {
        ++m_pos;  // opening quote
        while (true) {
            if (m_pos >= m_text.size()) {
                return Fail("unterminated string");
            }
            const char c = m_text[m_pos];
            if (c == '"') {
                ++m_pos;
                return true;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                return Fail("control character in string");
            }
            if (c != '\\') {
                const std::size_t length = Utf8SequenceLength(m_text, m_pos);
                if (length == 0) {
                    return Fail("invalid UTF-8");
                }
                out.append(m_text.substr(m_pos, length));
                m_pos += length;
                continue;
            }
            ++m_pos;
            if (!ParseEscape(out)) {
                return false;
            }
        }
    }

    // One escape after its backslash.
    bool ParseEscape(std::string& out) {
        if (m_pos >= m_text.size()) {
            return Fail("unterminated string");
        }
        const char e = m_text[m_pos++];
        switch (e) {
            case '"':
                out += '"';
                return true;
            case '\\':
                out += '\\';
                return true;
            case '/':
                out += '/';
                return true;
            case 'b':
                out += '\b';
                return true;
            case 'f':
                out += '\f';
                return true;
            case 'n':
                out += '\n';
                return true;
            case 'r':
                out += '\r';
                return true;
            case 't':
                out += '\t';
                return true;
            case 'u':
                return ParseUnicodeEscape(out);
            default:
                return Fail("bad escape");
        }
    }

    // The four hex digits of a "u" escape, and the low surrogate's escape
    // that must follow a high one.
    bool ParseUnicodeEscape(std::string& out) {
        std::uint32_t codePoint = 0;
        if (!ParseHex4(codePoint)) {
            return false;
        }
        if (codePoint >= 0xD800 && codePoint <= 0xDBFF) {
            std::uint32_t low = 0;
            if (m_text.substr(m_pos, 2) != "\\u") {
                return Fail("lone surrogate");
            }
            m_pos += 2;
            if (!ParseHex4(low) || low < 0xDC00 || low > 0xDFFF) {
                return Fail("lone surrogate");
            }
            codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (low - 0xDC00);
        } else if (codePoint >= 0xDC00 && codePoint <= 0xDFFF) {
            return Fail("lone surrogate");
        }
        AppendUtf8(out, codePoint);
        return true;
    }

    bool ParseArray(JsonValue& out, int depth) {
        ++m_pos;
        JsonValue::Array items;
        SkipBlanks();
        if (m_pos < m_text.size() && m_text[m_pos] == ']') {
            ++m_pos;
            out = JsonValue(std::move(items));
            return true;
        }
        while (true) {
            SkipBlanks();
            JsonValue item;
            if (!ParseValue(item, depth + 1)) {
                return false;
            }
            items.push_back(std::move(item));
            SkipBlanks();
            if (m_pos < m_text.size() && m_text[m_pos] == ',') {
                ++m_pos;
                continue;
            }
            if (m_pos < m_text.size() && m_text[m_pos] == ']') {
                ++m_pos;
                out = JsonValue(std::move(items));
                return true;
            }
            return Fail("expected , or ]");
        }
    }

    bool ParseObject(JsonValue& out, int depth) {
        ++m_pos;
        JsonValue::Object members;
        SkipBlanks();
        if (m_pos < m_text.size() && m_text[m_pos] == '}') {
            ++m_pos;
            out = JsonValue(std::move(members));
            return true;
        }
        while (true) {
            SkipBlanks();
            if (m_pos >= m_text.size() || m_text[m_pos] != '"') {
                return Fail("expected member name");
            }
            std::string key;
            if (!ParseString(key)) {
                return false;
            }
            SkipBlanks();
            if (m_pos >= m_text.size() || m_text[m_pos] != ':') {
                return Fail("expected :");
            }
            ++m_pos;
            SkipBlanks();
            JsonValue value;
            if (!ParseValue(value, depth + 1)) {
                return false;
            }
            members[std::move(key)] = std::move(value);
            SkipBlanks();
            if (m_pos < m_text.size() && m_text[m_pos] == ',') {
                ++m_pos;
                continue;
            }
            if (m_pos < m_text.size() && m_text[m_pos] == '}') {
                ++m_pos;
                out = JsonValue(std::move(members));
                return true;
            }
            return Fail("expected , or }");
        }
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
    std::string m_error;
};

}  // namespace

const JsonValue* JsonValue::Find(std::string_view key) const {
    if (m_kind != Kind::Object) {
        return nullptr;
    }
    const auto it = m_object.find(std::string(key));
    return it == m_object.end() ? nullptr : &it->second;
}

std::string JsonValue::Serialize() const {
    std::string out;
    SerializeTo(out);
    return out;
}

void JsonValue::SerializeTo(std::string& out) const {
    switch (m_kind) {
        case Kind::Null:
            out += "null";
            break;
        case Kind::Bool:
            out += m_bool ? "true" : "false";
            break;
        case Kind::Number: {
            if (!std::isfinite(m_number)) {
                out += "null";
                break;
            }
            char buffer[40];
            if (m_number == std::floor(m_number) && std::fabs(m_number) < 1e15) {
                std::snprintf(buffer, sizeof buffer, "%.0f", m_number);
            } else {
                std::snprintf(buffer, sizeof buffer, "%.17g", m_number);
            }
            out += buffer;
            break;
        }
        case Kind::String:
            AppendJsonString(out, m_string);
            break;
        case Kind::Array: {
            out += '[';
            bool first = true;
            for (const JsonValue& item : m_array) {
                if (!first) {
                    out += ',';
                }
                first = false;
                item.SerializeTo(out);
            }
            out += ']';
            break;
        }
        case Kind::Object: {
            out += '{';
            bool first = true;
            for (const auto& [key, value] : m_object) {
                if (!first) {
                    out += ',';
                }
                first = false;
                AppendJsonString(out, key);
                out += ':';
                value.SerializeTo(out);
            }
            out += '}';
            break;
        }
    }
}

void AppendJsonString(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c == '\n') {
            out += "\\n";
            ++i;
        } else if (c == '\r') {
            out += "\\r";
            ++i;
        } else if (c == '\t') {
            out += "\\t";
            ++i;
        } else if (c < 0x20 || c == 0x7F) {
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
            ++i;
        } else {
            const std::size_t length = Utf8SequenceLength(text, i);
            if (length == 0) {
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 0xF];
                ++i;
            } else {
                out.append(text.substr(i, length));
                i += length;
            }
        }
    }
    out += '"';
}

JsonParseResult ParseJson(std::string_view text) {
    return Parser(text).Run();
}

bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t length = Utf8SequenceLength(text, i);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

std::size_t CountCodePoints(std::string_view text) {
    std::size_t count = 0;
    for (const char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++count;
        }
    }
    return count;
}

std::string BytesAsText(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        AppendUtf8(text, static_cast<unsigned char>(c));
    }
    return text;
}

std::optional<std::string> TextAsBytes(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = Utf8SequenceLength(text, i);
        if (length == 1) {
            bytes += static_cast<char>(lead);
        } else if (length == 2 && lead <= 0xC3) {
            bytes += static_cast<char>(((lead & 0x1F) << 6) |
                                       (static_cast<unsigned char>(text[i + 1]) & 0x3F));
        } else {
            return std::nullopt;
        }
        i += length;
    }
    return bytes;
}

}  // namespace volnar::sim
