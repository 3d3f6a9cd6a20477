#pragma once

#include <QString>
#include <optional>
#include <utility>
#include <variant>

namespace volnar {

// Why something could not be done, in the words an operator reads. Core code
// returns it; the screen decides whether and how a box shows it.
struct Failure {
    QString text;
};

// A value or the reason there is none: the part of std::expected<T, QString>
// this project uses (GCC 12 and clang 14 do not both offer <expected> yet).
template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : m_content(std::in_place_index<0>, std::move(value)) {}
    Result(Failure failure) : m_content(std::in_place_index<1>, std::move(failure)) {}

    bool has_value() const { return m_content.index() == 0; }
    explicit operator bool() const { return has_value(); }

    T& value() & { return std::get<0>(m_content); }
    const T& value() const& { return std::get<0>(m_content); }
    T&& value() && { return std::get<0>(std::move(m_content)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    // Only when there is no value.
    const QString& error() const { return std::get<1>(m_content).text; }

private:
    std::variant<T, Failure> m_content;
};

// Done, or the reason it was not.
template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Failure failure) : m_failure(std::move(failure)) {}

    bool has_value() const { return !m_failure.has_value(); }
    explicit operator bool() const { return has_value(); }
    const QString& error() const { return m_failure->text; }

private:
    std::optional<Failure> m_failure;
};

}  // namespace volnar
