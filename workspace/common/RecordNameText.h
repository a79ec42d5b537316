// The name of a record as the editors show it (UTF-8) and store it (at most 49
// bytes in the record's code page). A name the operator left untouched is
// stored with its original bytes, even bytes the code page leaves undefined;
// an edited name must fit and must hold only characters the code page has.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "data/Records.h"

class RecordNameText {
 public:
  // Takes the record's name bytes; Shown() is what the name field starts with.
  void Load(std::string_view recordBytes);
  const std::string& Shown() const { return shown_; }

  // Bytes the text takes in the code page; a character the code page lacks
  // counts as the one byte it would take.
  static std::size_t CodePageLength(std::string_view utf8);
  static bool Fits(std::string_view utf8) { return CodePageLength(utf8) <= kMaxNameLength; }
  // The characters of the text the code page cannot hold, each once, in order.
  static std::string Unstorable(std::string_view utf8);

  // Why the text cannot become the record's name, or nullopt when it can.
  std::optional<std::string> Check(std::string_view utf8) const;
  // Writes the text into a record's name field.
  void Store(std::string_view utf8, char (&name)[kNameFieldSize]) const;

 private:
  std::string original_;
  std::string shown_;
};
