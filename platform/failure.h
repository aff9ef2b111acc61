// Failures that carry a reason: what could not be done, to what, and why,
// told the same way by every service, and the outcome of an operation that
// either gives its value or such a failure. A caller acts on the outcome and
// shows the message; it never takes the message text apart.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace platform {

// Failure is why one operation failed.
struct Failure {
    std::string operation; // what could not be done, such as "cannot write"; may be ""
    std::string path;      // what it was done to: a file, a key, a program; may be ""
    std::string reason;    // the system's reason or the rule broken, such as "Permission denied"

    // message joins the parts for people: "cannot write /etc/x: Permission
    // denied", "/etc/x: no such file" without an operation, the reason alone
    // without both, and no ": " without a reason.
    std::string message() const {
        std::string text = operation;
        if (!path.empty()) {
            text.append(text.empty() ? "" : " ").append(path);
        }
        if (!reason.empty()) {
            text.append(text.empty() ? "" : ": ").append(reason);
        }
        return text;
    }
};

// Outcome is the value of an operation that succeeded, or its failure (a
// Failure, or a type that adds to it what callers act on). It converts to
// true on success. Outcome<void> carries no value: `return {};` succeeds.
template <typename T, typename E = Failure> class [[nodiscard]] Outcome {
  public:
    Outcome(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Outcome(E failure) : m_state(std::in_place_index<1>, std::move(failure)) {}

    explicit operator bool() const { return m_state.index() == 0; }

    // value is the result; only on success.
    const T& value() const& { return std::get<0>(m_state); }
    T&& value() && { return std::get<0>(std::move(m_state)); }

    // value_or is the result, or `fallback` after a failure.
    T value_or(T fallback) const& { return *this ? value() : std::move(fallback); }

    // failure is why the operation failed; only after a failure.
    const E& failure() const { return std::get<1>(m_state); }

  private:
    std::variant<T, E> m_state;
};

template <typename E> class [[nodiscard]] Outcome<void, E> {
  public:
    Outcome() = default;
    Outcome(E failure) : m_failure(std::move(failure)) {}

    explicit operator bool() const { return !m_failure; }

    // failure is why the operation failed; only after a failure.
    const E& failure() const { return *m_failure; }

  private:
    std::optional<E> m_failure;
};

} // namespace platform
