// Status and Result: what an expected failure (file, device, database) returns.
// Thread-safety: plain values; no shared state.
#pragma once

#include <QString>
#include <optional>
#include <utility>

namespace doruzudo {

class Status {
 public:
  Status() = default;
  static Status Ok() { return Status(); }
  static Status Error(QString message) { return Status(std::move(message)); }

  bool ok() const { return !message_.has_value(); }
  explicit operator bool() const { return ok(); }
  QString message() const { return message_.value_or(QString()); }

 private:
  explicit Status(QString message) : message_(std::move(message)) {}
  std::optional<QString> message_;
};

// A value or the reason there is none.
template <typename T>
class Result {
 public:
  Result(T value) : value_(std::move(value)) {}  // NOLINT: implicit on purpose
  Result(Status error) : error_(std::move(error)) {}  // NOLINT
  static Result Error(QString message) { return Result(Status::Error(std::move(message))); }

  bool ok() const { return value_.has_value(); }
  explicit operator bool() const { return ok(); }
  const T& value() const& { return *value_; }
  T& value() & { return *value_; }
  T&& value() && { return std::move(*value_); }
  const T& operator*() const { return *value_; }
  T& operator*() { return *value_; }
  const T* operator->() const { return &*value_; }
  T* operator->() { return &*value_; }
  Status status() const { return ok() ? Status::Ok() : error_; }
  QString message() const { return error_.message(); }

 private:
  std::optional<T> value_;
  Status error_;
};

}  // namespace doruzudo
