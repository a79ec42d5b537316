#include "data/CodePage.h"

#include <array>
#include <cerrno>
#include <iconv.h>
#include <memory>
#include <mutex>
#include <locale.h>
#include <unordered_map>
#include <wctype.h>

namespace codepage {
namespace {

// A single-byte code page is small enough to tabulate once: 256 UTF-8 strings one
// way and a map the other way. Conversion is then lock-free and cheap.
struct Table {
  std::string name;
  std::array<std::string, 256> toUtf8;
  std::unordered_map<std::string, char> fromUtf8;
  std::array<char, 256> lower;
};

// The Unicode code point of a UTF-8 character of the table (at most four bytes).
char32_t Decode(const std::string& utf8) {
  if (utf8.empty()) return 0;
  const auto lead = static_cast<unsigned char>(utf8[0]);
  if (lead < 0x80) return lead;
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  char32_t cp = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length && i < utf8.size(); ++i)
    cp = (cp << 6) | (static_cast<unsigned char>(utf8[i]) & 0x3F);
  return cp;
}

std::string Encode(char32_t cp) {
  std::string out;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return out;
}

// Case mapping by Unicode, whatever locale the program runs in.
void FillLowerCase(Table& table) {
  static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  for (int b = 0; b < 256; ++b) {
    table.lower[static_cast<std::size_t>(b)] = static_cast<char>(b);
    const char32_t cp = Decode(table.toUtf8[static_cast<std::size_t>(b)]);
    const auto wide = static_cast<wint_t>(cp);
    const char32_t small = static_cast<char32_t>(unicode ? towlower_l(wide, unicode) : towlower(wide));
    if (small == cp) continue;
    const auto found = table.fromUtf8.find(Encode(small));
    if (found != table.fromUtf8.end()) table.lower[static_cast<std::size_t>(b)] = found->second;
  }
}

std::unique_ptr<Table> Build(const std::string& name) {
  iconv_t cd = iconv_open("UTF-8", name.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
  auto table = std::make_unique<Table>();
  table->name = name;
  bool singleByte = true;
  for (int b = 0; b < 256; ++b) {
    char in = static_cast<char>(b);
    char out[8];
    char* inPtr = &in;
    size_t inLeft = 1;
    char* outPtr = out;
    size_t outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    const size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    if (rc == static_cast<size_t>(-1)) {
      if (errno == EINVAL) singleByte = false;  // a lead byte: multi-byte code page
      table->toUtf8[b] = "\xEF\xBF\xBD";
      continue;
    }
    std::string utf8(out, static_cast<size_t>(outPtr - out));
    table->toUtf8[b] = utf8;
    table->fromUtf8.emplace(utf8, static_cast<char>(b));
  }
  iconv_close(cd);
  if (!singleByte) return nullptr;
  FillLowerCase(*table);
  return table;
}

std::mutex gMutex;
std::shared_ptr<const Table> gCurrent;

std::shared_ptr<const Table> CurrentTable() {
  std::lock_guard lock(gMutex);
  if (!gCurrent) gCurrent = Build(kDefault);
  return gCurrent;
}

// Length of the UTF-8 sequence starting with this byte, 0 when it cannot start one.
std::size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

}  // namespace

bool Select(const std::string& name) {
  auto table = Build(name);
  if (!table) return false;
  std::lock_guard lock(gMutex);
  gCurrent = std::move(table);
  return true;
}

std::string Current() { return CurrentTable()->name; }

std::optional<std::array<std::string, 256>> TableOf(const std::string& name) {
  auto table = Build(name);
  if (!table) return std::nullopt;
  return std::move(table->toUtf8);
}

std::array<char, 256> LowerCaseBytes() { return CurrentTable()->lower; }

std::string ToUtf8(std::string_view bytes) {
  const auto table = CurrentTable();
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) out += table->toUtf8[static_cast<unsigned char>(c)];
  return out;
}

namespace {

// Converts character by character; a character the code page lacks, or a
// malformed sequence, is replaced, or ends the conversion when there is no
// replacement.
std::optional<std::string> Convert(std::string_view utf8, std::optional<char> replacement) {
  const auto table = CurrentTable();
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    std::size_t length = SequenceLength(static_cast<unsigned char>(utf8[i]));
    const bool whole = length != 0 && i + length <= utf8.size();
    const auto found = whole ? table->fromUtf8.find(std::string(utf8.substr(i, length))) : table->fromUtf8.end();
    if (found != table->fromUtf8.end()) {
      out += found->second;
    } else if (replacement) {
      out += *replacement;
      if (!whole || !IsValidUtf8(utf8.substr(i, length))) length = 1;  // resynchronise on the next byte
    } else {
      return std::nullopt;
    }
    i += length;
  }
  return out;
}

}  // namespace

std::optional<std::string> FromUtf8(std::string_view utf8) { return Convert(utf8, std::nullopt); }

std::string FromUtf8Replacing(std::string_view utf8, char replacement) { return *Convert(utf8, replacement); }

bool IsValidUtf8(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const std::size_t length = SequenceLength(lead);
    if (length == 0 || i + length > bytes.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
    }
    if (length > 1) {
      const auto second = static_cast<unsigned char>(bytes[i + 1]);
      if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) || (lead == 0xF0 && second < 0x90) ||
          (lead == 0xF4 && second >= 0x90))
        return false;  // overlong, surrogate or beyond U+10FFFF
    }
    i += length;
  }
  return true;
}

}  // namespace codepage
