// Where the converter's messages go: one line each, in the order they arise.
// The program has no window, so the operator's messages go to standard error.
#pragma once

#include <ostream>
#include <string_view>

// The messages the articles window's operator knows, word for word.
inline constexpr const char* kMsgXlsWriteError = "XLS Database Write Error";

class Reporter {
 public:
  explicit Reporter(std::ostream& out) : out_(out) {}

  void Line(std::string_view text) {
    out_ << text << '\n';
    out_.flush();
  }

 private:
  std::ostream& out_;
};
