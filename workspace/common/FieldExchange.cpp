#include "workspace/common/FieldExchange.h"

#include <cinttypes>

#include "data/CFormat.h"

namespace {

// Decodes one UTF-8 sequence; malformed bytes come out one at a time as themselves.
char32_t NextCodePoint(std::string_view text, std::size_t& i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
  if (length == 0 || i + length > text.size()) {
    ++i;
    return lead;
  }
  char32_t cp = length == 1 ? lead : lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) {
      ++i;
      return lead;
    }
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  i += length;
  return cp;
}

// Small letters for the alphabets the register's single-byte code pages hold.
char32_t Fold(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 0x20;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
  if (c == 0x178) return 0xFF;
  if (c >= 0x100 && c <= 0x17E && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149) {
    // Latin Extended-A pairs capitals and small letters; the run 0x139-0x148
    // and 0x179-0x17E put the capital on the odd code point.
    const bool oddCapital = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (oddCapital ? (c % 2 == 1) : (c % 2 == 0)) return c + 1;
    return c;
  }
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;  // Greek
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;                // Cyrillic
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  return c;
}

}  // namespace

std::string FieldExchange::ShowUnsigned(std::uint32_t value) { return CFormat("%" PRIu32, value); }

std::string FieldExchange::ShowSigned(std::int64_t value) { return CFormat("%" PRId64, value); }

std::string FieldExchange::ShowNumber(double value) { return CFormat("%.15g", value); }

std::string FieldExchange::ShowQuantity(double value) { return CFormat("%0.3f", value); }

std::optional<std::int64_t> FieldExchange::ReadInteger(std::string_view text, std::int64_t low, std::int64_t high) {
  const auto value = ReadTypedInteger(text);
  if (!value || *value < low || *value > high) return std::nullopt;
  return value;
}

std::optional<double> FieldExchange::ReadDecimal(std::string_view text, double low, double high) {
  const auto value = ReadTypedNumber(text);
  if (!value || *value < low || *value > high) return std::nullopt;
  return value;
}

void FieldExchange::ShowPosition(ListControl& list, std::int32_t position) {
  list.selected = position >= 0 && static_cast<std::size_t>(position) < list.items.size() ? position : -1;
}

std::int32_t FieldExchange::ReadPosition(const ListControl& list) { return list.HasSelection() ? list.selected : -1; }

void FieldExchange::ShowPrefix(ListControl& list, std::string_view text) {
  for (std::size_t i = 0; i < list.items.size(); ++i) {
    if (StartsWithIgnoringCase(list.items[i], text)) {
      list.selected = static_cast<int>(i);
      return;
    }
  }
}

bool FieldExchange::StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  std::size_t t = 0;
  std::size_t p = 0;
  while (p < prefix.size()) {
    if (t >= text.size()) return false;
    if (Fold(NextCodePoint(text, t)) != Fold(NextCodePoint(prefix, p))) return false;
  }
  return true;
}
