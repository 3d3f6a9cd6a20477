// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A small JSON value for the simulator's state file and request log. Strings
// are byte strings holding UTF-8; bytes that are not valid UTF-8 are written
// as \u00XX escapes (their Latin-1 reading), so the output is always valid
// JSON whatever a client sent.
namespace volnar::sim {

class JsonValue final {
public:
    enum class Kind { Null, Bool, Number, String, Array, Object };
    using Array = std::vector<JsonValue>;
    using Object = std::map<std::string, JsonValue>;

    JsonValue() = default;
    JsonValue(std::nullptr_t) {}
    JsonValue(bool value) : m_kind(Kind::Bool), m_bool(value) {}
    JsonValue(double value) : m_kind(Kind::Number), m_number(value) {}
    JsonValue(int value) : m_kind(Kind::Number), m_number(value) {}
    JsonValue(std::int64_t value) : m_kind(Kind::Number), m_number(static_cast<double>(value)) {}
    JsonValue(std::uint32_t value) : m_kind(Kind::Number), m_number(value) {}
    JsonValue(std::string value) : m_kind(Kind::String), m_string(std::move(value)) {}
    JsonValue(const char* value) : m_kind(Kind::String), m_string(value) {}
    JsonValue(Array value) : m_kind(Kind::Array), m_array(std::move(value)) {}
    JsonValue(Object value) : m_kind(Kind::Object), m_object(std::move(value)) {}

    Kind kind() const { return m_kind; }
    bool IsNull() const { return m_kind == Kind::Null; }
    bool IsBool() const { return m_kind == Kind::Bool; }
    bool IsNumber() const { return m_kind == Kind::Number; }
    bool IsString() const { return m_kind == Kind::String; }
    bool IsArray() const { return m_kind == Kind::Array; }
    bool IsObject() const { return m_kind == Kind::Object; }

    bool AsBool() const { return m_bool; }
    double AsNumber() const { return m_number; }
    const std::string& AsString() const { return m_string; }
    const Array& AsArray() const { return m_array; }
    const Object& AsObject() const { return m_object; }
    Array& MutableArray() { return m_array; }
    Object& MutableObject() { return m_object; }

    // Member of an object, nullptr when absent or not an object.
    const JsonValue* Find(std::string_view key) const;

    // Compact one-line text.
    std::string Serialize() const;

private:
    void SerializeTo(std::string& out) const;

    Kind m_kind = Kind::Null;
    bool m_bool = false;
    double m_number = 0;
    std::string m_string;
    Array m_array;
    Object m_object;
};

struct JsonParseResult {
    std::optional<JsonValue> value;
    std::string error;  // set when value is empty
};

// Strict RFC 8259 parsing with a nesting limit; never throws.
JsonParseResult ParseJson(std::string_view text);

// Appends text as a quoted JSON string (see the class comment for invalid
// UTF-8).
void AppendJsonString(std::string& out, std::string_view text);

}  // namespace volnar::sim

namespace volnar::sim {

// True when text is well-formed UTF-8 (no overlongs, no surrogates).
bool IsValidUtf8(std::string_view text);

// Number of code points of a well-formed UTF-8 text.
std::size_t CountCodePoints(std::string_view text);

// Station bytes as JSON text: each byte as the character of the same code
// (its Latin-1 reading), so that any bytes survive the state file and the
// log exactly, whatever their encoding.
std::string BytesAsText(std::string_view bytes);
// Back to the bytes; nullopt for a text that holds a character above U+00FF
// (or is not UTF-8).
std::optional<std::string> TextAsBytes(std::string_view text);

}  // namespace volnar::sim
