#pragma once

#include <exception>
#include <string>
#include <utility>
#include <variant>

namespace tavlin {

// The sentence an alert shows for a failure, whatever its type.
std::string localizedDescription(const std::exception_ptr& error);
std::string localizedDescription(const std::exception& error);

// A value or the error that prevented it: for operations that hand failures back instead of
// throwing them.
template <typename T>
class Result {
public:
    Result(T value) : storage_(std::move(value)) {}
    Result(std::exception_ptr error) : storage_(std::move(error)) {}

    bool hasValue() const { return storage_.index() == 0; }
    const T& value() const { return std::get<0>(storage_); }
    T& value() { return std::get<0>(storage_); }
    const std::exception_ptr& error() const { return std::get<1>(storage_); }
    std::string errorDescription() const { return hasValue() ? std::string() : localizedDescription(error()); }

private:
    std::variant<T, std::exception_ptr> storage_;
};

} // namespace tavlin
