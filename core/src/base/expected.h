#pragma once
// A small stand-in for C++23 std::expected: a value or an error, never both.
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace kest {

template <class E> struct Unexpected { E error; };

template <class E> Unexpected<std::decay_t<E>> unexpected(E&& e) {
    return Unexpected<std::decay_t<E>>{std::forward<E>(e)};
}

template <class T, class E = std::string> class Expected {
public:
    Expected(T value) : v_(std::in_place_index<0>, std::move(value)) {}
    template <class G> Expected(Unexpected<G> u) : v_(std::in_place_index<1>, std::move(u.error)) {}

    bool has_value() const { return v_.index() == 0; }
    explicit operator bool() const { return has_value(); }

    T& value() & { return std::get<0>(v_); }
    const T& value() const& { return std::get<0>(v_); }
    T&& value() && { return std::get<0>(std::move(v_)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T&& operator*() && { return std::move(*this).value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    const E& error() const { return std::get<1>(v_); }
    E& error() { return std::get<1>(v_); }

private:
    std::variant<T, E> v_;
};

template <class E> class Expected<void, E> {
public:
    Expected() = default;
    template <class G> Expected(Unexpected<G> u) : err_(std::move(u.error)) {}

    bool has_value() const { return !err_.has_value(); }
    explicit operator bool() const { return has_value(); }
    const E& error() const { return *err_; }

private:
    std::optional<E> err_;
};

} // namespace kest
