#pragma once
// What a platform call that can fail gives back: what it made, or why it could not.
#include <concepts>
#include <optional>
#include <string>
#include <utility>

namespace platform {

// Why something could not be done. The reason names the file or thing it concerned, so a
// caller can show it as it is.
struct Failure {
  std::string reason;
  bool missing = false;  // there was nothing by that name
};

// The value of a call that has nothing else to give back.
struct Done {};

template <class T = Done>
class [[nodiscard]] Result {
 public:
  Result()
    requires std::same_as<T, Done>
      : value_(Done{}) {}
  Result(T value) : value_(std::move(value)) {}
  Result(Failure failure) : failure_(std::move(failure)) {}

  bool Ok() const { return value_.has_value(); }
  explicit operator bool() const { return Ok(); }
  T& operator*() { return *value_; }
  const T& operator*() const { return *value_; }
  T* operator->() { return &*value_; }
  const T* operator->() const { return &*value_; }

  const std::string& Reason() const { return failure_.reason; }  // empty when it worked
  bool Missing() const { return failure_.missing; }
  const Failure& Why() const { return failure_; }

 private:
  std::optional<T> value_;
  Failure failure_;
};

}  // namespace platform
