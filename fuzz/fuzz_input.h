// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// What every fuzz target shares: a check that stops the run, and the
// fuzzer's bytes read front to back (past the end everything is 0).
namespace volnar::fuzz {

// The caller's file and line are printed (clang 14 has no std::source_location).
inline void Check(bool condition, const char* file = __builtin_FILE(),
                  int line = __builtin_LINE()) {
    if (!condition) {
        std::fprintf(stderr, "check failed at %s:%d\n", file, line);
        std::abort();
    }
}

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    bool Empty() const { return m_pos >= m_size; }
    std::uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    std::uint16_t Short() { return static_cast<std::uint16_t>(Byte() << 8 | Byte()); }
    std::uint32_t Word() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            value = value << 8 | Byte();
        }
        return value;
    }
    // At most `most` of the bytes left.
    std::string Bytes(std::size_t most) {
        const std::size_t start = std::min(m_pos, m_size);
        const std::size_t n = std::min(most, m_size - start);
        m_pos = start + n;
        return std::string(reinterpret_cast<const char*>(m_data) + start, n);
    }
    std::string Rest() { return Bytes(m_size); }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

}  // namespace volnar::fuzz
