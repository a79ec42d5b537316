#include "workspace/common/RecordNameText.h"

#include <algorithm>

#include "data/CodePage.h"

namespace {

std::size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead >> 5) == 0x6) return 2;
  if ((lead >> 4) == 0xE) return 3;
  if ((lead >> 3) == 0x1E) return 4;
  return 1;
}

}  // namespace

void RecordNameText::Load(std::string_view recordBytes) {
  original_.assign(recordBytes.substr(0, kMaxNameLength));
  shown_ = codepage::ToUtf8(original_);
}

std::size_t RecordNameText::CodePageLength(std::string_view utf8) {
  if (const auto bytes = codepage::FromUtf8(utf8)) return bytes->size();
  std::size_t length = 0;
  for (std::size_t i = 0; i < utf8.size(); ++length) {
    const std::size_t step = SequenceLength(static_cast<unsigned char>(utf8[i]));
    const auto one = codepage::FromUtf8(utf8.substr(i, step));
    if (one && !one->empty()) length += one->size() - 1;
    i += step;
  }
  return length;
}

std::string RecordNameText::Unstorable(std::string_view utf8) {
  std::string found;
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t step = std::min(SequenceLength(static_cast<unsigned char>(utf8[i])), utf8.size() - i);
    const std::string_view character = utf8.substr(i, step);
    if (!codepage::FromUtf8(character) && found.find(character) == std::string::npos) {
      if (!found.empty()) found += ' ';
      found += character;
    }
    i += step;
  }
  return found;
}

std::optional<std::string> RecordNameText::Check(std::string_view utf8) const {
  if (utf8 == shown_) return std::nullopt;
  if (!codepage::FromUtf8(utf8)) {
    return "The name holds characters that cannot be stored in the register: " + Unstorable(utf8) +
           "\nPlease replace them.";
  }
  if (!Fits(utf8)) return "A name can hold at most 49 characters.";
  return std::nullopt;
}

void RecordNameText::Store(std::string_view utf8, char (&name)[kNameFieldSize]) const {
  if (utf8 == shown_) {
    SetName(name, original_);
    return;
  }
  // Check() has refused anything the code page cannot hold; SetName cuts to 49 bytes.
  SetName(name, codepage::FromUtf8(utf8).value_or(std::string()));
}
