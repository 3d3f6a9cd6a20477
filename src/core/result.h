// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>
#include <utility>
#include <variant>

namespace volnar {

// What kind of failure it is, for the code that handles it: a refusal of
// what was asked (a rule, the operator's input), something named that is not
// there, or a source that did not work (a database, a connection) and may
// work again later.
enum class FailureKind { Refused, NotFound, Unavailable };

// Why something could not be done, in the words an operator reads, with a
// technical detail (a driver's own message) the operator can unfold. Core
// code returns it; the screen decides whether and how a box shows it.
struct Failure {
    Failure(QString operatorText, FailureKind failureKind = FailureKind::Refused,
            QString detail = {})
        : text(std::move(operatorText)), kind(failureKind), details(std::move(detail)) {}
    QString text;
    FailureKind kind;
    QString details;
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
    const QString& error() const { return failure().text; }
    const Failure& failure() const { return std::get<1>(m_content); }
    FailureKind kind() const { return failure().kind; }

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
    const Failure& failure() const { return *m_failure; }
    FailureKind kind() const { return m_failure->kind; }

private:
    std::optional<Failure> m_failure;
};

}  // namespace volnar
