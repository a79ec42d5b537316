// Splits a register reply into fields: separators before a field are skipped and
// the field ends at the next separator given for it, so a run of separators
// counts as one and an empty field between two commas does not exist.
#pragma once

#include <optional>
#include <string>
#include <string_view>

class FieldReader {
 public:
  explicit FieldReader(std::string text) : text_(std::move(text)) {}

  // The next field, ended by any character of separators; nullopt when the text
  // holds no further field.
  std::optional<std::string_view> Next(std::string_view separators);

 private:
  std::string text_;
  std::size_t position_ = 0;
};

// Every ",\n" becomes ", \n", so that an empty name still occupies its place.
std::string MarkEmptyNames(std::string_view reply);
