// A workbook's shared strings, kept end to end in one buffer: a table of
// millions of short strings costs their characters and four bytes each, not
// a string object each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class StringPool {
 public:
  void Add(std::string_view text) {
    if (chars_.size() + text.size() > UINT32_MAX) throw std::length_error("shared strings too large");
    chars_.append(text);
    ends_.push_back(static_cast<std::uint32_t>(chars_.size()));
  }
  std::size_t size() const { return ends_.size(); }
  std::string_view operator[](std::size_t i) const {
    const std::uint32_t begin = i == 0 ? 0 : ends_[i - 1];
    return std::string_view(chars_).substr(begin, ends_[i] - begin);
  }
  void reserve(std::size_t count) { ends_.reserve(count); }
  // The memory the strings take.
  std::size_t Bytes() const { return chars_.size() + ends_.size() * sizeof(std::uint32_t); }

 private:
  std::string chars_;
  std::vector<std::uint32_t> ends_;
};
