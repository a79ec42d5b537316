#include "converter/OoxmlText.h"

#include <cctype>

namespace ooxml {
namespace {

// True when text holds "_xHHHH_" at position at.
bool EscapeAt(std::string_view text, std::size_t at) {
  if (at + 7 > text.size() || text[at] != '_' || text[at + 1] != 'x' || text[at + 6] != '_') return false;
  for (std::size_t i = at + 2; i < at + 6; ++i)
    if (!std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
  return true;
}

void AppendUtf8(std::string& out, unsigned code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace

std::string ProtectEscapes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (EscapeAt(text, i)) out += "_x005F";
    out += text[i];
  }
  return out;
}

std::string DecodeEscapes(std::string_view text) {
  if (text.find("_x") == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    if (EscapeAt(text, i)) {
      AppendUtf8(out, static_cast<unsigned>(std::stoul(std::string(text.substr(i + 2, 4)), nullptr, 16)));
      i += 7;
    } else {
      out += text[i++];
    }
  }
  return out;
}

}  // namespace ooxml
