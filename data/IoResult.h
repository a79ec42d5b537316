// The outcome of a file operation: success, or what went wrong in words.
#pragma once

#include <string>
#include <utility>

struct IoResult {
  bool ok = true;
  std::string error;
  explicit operator bool() const { return ok; }
  static IoResult Ok() { return {}; }
  static IoResult Fail(std::string message) { return {false, std::move(message)}; }
};
