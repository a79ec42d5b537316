// The articles list's name filter: does a record name contain the typed text,
// without regard to case, in the characters of the record code page.
#pragma once

#include <array>
#include <string>
#include <string_view>

class NameFilter {
 public:
  // No text: every name matches.
  NameFilter() = default;
  // utf8 as typed; a character the code page lacks can be in no name.
  explicit NameFilter(std::string_view utf8);

  bool Active() const { return active_; }
  bool Matches(std::string_view recordName) const;

 private:
  bool active_ = false;
  bool impossible_ = false;
  std::string needle_;  // lower-case code-page bytes
  std::array<char, 256> lower_{};
};
