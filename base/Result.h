#pragma once

// The outcome of an operation that can fail for a reason worth telling: a value, or why not.
// Used where a caller decides what a failure means (a read that may fail is no exception).

#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <type_traits>
#include <utility>
#include <variant>

namespace entorra {

struct Failure {
    std::string message;  // what failed and why, e.g. "open: No such file or directory"
    int code = 0;  // an errno value (on Windows the nearest to the system's error); 0 if none
};

// "operation: the system's text for code".
inline Failure SystemFailure(std::string_view operation, int code) {
    return {std::string(operation) + ": " + std::system_category().message(code), code};
}

template <typename T>
class [[nodiscard]] Result {
public:
    template <typename U = T>
    requires std::is_constructible_v<T, U&&> &&(!std::is_same_v<std::remove_cvref_t<U>, Failure>)&&(
        !std::is_same_v<std::remove_cvref_t<U>, Result>)Result(U&& value)
        : m_state(std::in_place_index<0>, std::forward<U>(value)) {}
    Result(Failure failure) : m_state(std::in_place_index<1>, std::move(failure)) {}

    bool Ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return Ok(); }

    // The value; asking a failed result for it is a fault of the caller.
    T& Value() & { return std::get<0>(Checked()); }
    const T& Value() const& { return std::get<0>(Checked()); }
    T&& Value() && { return std::get<0>(std::move(Checked())); }
    T* operator->() { return &Value(); }
    const T* operator->() const { return &Value(); }
    T& operator*() & { return Value(); }
    const T& operator*() const& { return Value(); }

    // Why it failed; only for a failed result.
    const Failure& Error() const {
        if (Ok()) {
            throw std::logic_error("Result::Error on a value");
        }
        return std::get<1>(m_state);
    }

private:
    std::variant<T, Failure>& Checked() {
        if (!Ok()) {
            throw std::logic_error("Result::Value on a failure: " + std::get<1>(m_state).message);
        }
        return m_state;
    }
    const std::variant<T, Failure>& Checked() const {
        if (!Ok()) {
            throw std::logic_error("Result::Value on a failure: " + std::get<1>(m_state).message);
        }
        return m_state;
    }

    std::variant<T, Failure> m_state;
};

}  // namespace entorra
