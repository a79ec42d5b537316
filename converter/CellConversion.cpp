#include "CellConversion.h"

#include <cmath>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <string_view>

#include "CFormat.h"
#include "CodePage.h"

namespace cells {
namespace {

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Text that is a plain decimal number as a person types one: a sign, digits
// with at most one full stop, an exponent. No thousands separators, no hex.
bool IsNumberText(std::string_view text) {
  std::size_t i = 0, digits = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) ++digits;
  if (i < text.size() && text[i] == '.')
    for (++i; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) ++digits;
  if (digits == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t exponent = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) ++exponent;
    if (exponent == 0) return false;
  }
  return i == text.size();
}

bool IsEmptyValue(const Cell& cell) { return cell.IsEmpty() || (cell.IsText() && Trimmed(cell.text).empty()); }

// The number a cell holds: a number cell, or a text cell whose whole text is
// a number (a barcode kept as text for its leading zeros).
std::optional<std::string> NumberOf(const Cell& cell, double& out) {
  if (IsEmptyValue(cell)) return "empty cell where a number belongs";
  if (cell.IsDate()) return "date or time \"" + cell.text.substr(0, 40) + "\" where a number belongs";
  if (cell.IsNumber()) {
    out = cell.number;
    return std::nullopt;
  }
  const std::string_view text = Trimmed(cell.text);
  if (IsNumberText(text))
    if (const auto value = ReadLeadingDouble(text); value && std::isfinite(*value)) {
      out = *value;
      return std::nullopt;
    }
  return "text \"" + cell.text.substr(0, 40) + "\" where a number belongs";
}

// A number cell whose value the field cannot hold is refused, not saturated.
std::optional<std::string> TruncatedInRange(const Cell& cell, double low, double high, double& truncated) {
  double number = 0;
  if (auto problem = NumberOf(cell, number)) return problem;
  if (!std::isfinite(number)) return "not a finite number";
  truncated = std::trunc(number);
  if (truncated < low || truncated > high) return "number " + CFormat("%.17g", number) + " out of range";
  return std::nullopt;
}

// Line breaks, tabs and other control characters would end or garble the
// name in the register's command text.
bool HasControlCharacter(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
  });
}

// A number typed into a text column is taken as the text a spreadsheet shows for it.
std::string TextOf(const Cell& cell) {
  if (cell.IsNumber()) return CFormat("%.15g", cell.number);
  return cell.text;
}

std::size_t Utf8SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 1;  // invalid: the conversion below refuses it
}

// The first count characters of UTF-8 text (all of it when shorter).
std::string_view Utf8Prefix(std::string_view text, std::size_t count) {
  std::size_t at = 0;
  for (std::size_t n = 0; n < count && at < text.size(); ++n)
    at += Utf8SequenceLength(static_cast<unsigned char>(text[at]));
  return text.substr(0, std::min(at, text.size()));
}

std::string NotInCodePage() { return "a character has no place in code page " + codepage::Current(); }

}  // namespace

double Rounded(double value, int decimals) {
  if (!std::isfinite(value)) return value;
  return ReadLeadingDouble(CFormat("%.*f", decimals, value)).value_or(value);
}

std::optional<Cell> FloatCell(double value, int decimals) {
  if (!std::isfinite(value)) return std::nullopt;
  return Cell::Number(Rounded(value, decimals));
}

Cell TaxGroupCell(char letter) {
  if (letter == '\0') return Cell::Empty();
  return Cell::Text(codepage::ToUtf8(std::string_view(&letter, 1)));
}

Cell NameCell(const char (&name)[kNameFieldSize], bool* undefined) {
  const std::string_view bytes = NameOf(name);
  std::string utf8 = codepage::ToUtf8(bytes);
  if (undefined) {
    const auto back = codepage::FromUtf8(utf8);
    *undefined = !back || *back != bytes;
  }
  if (utf8.empty()) return Cell::Empty();
  return Cell::Text(std::move(utf8));
}

void PutFloat(std::span<Cell> row, std::size_t column, double value, int decimals, std::vector<CellProblem>& problems) {
  if (auto cell = FloatCell(value, decimals)) {
    row[column] = std::move(*cell);
  } else {
    problems.push_back({column, "value is not a number; the cell is left empty"});
  }
}

void PutName(std::span<Cell> row, std::size_t column, const char (&name)[kNameFieldSize],
             std::vector<CellProblem>& problems) {
  bool undefined = false;
  row[column] = NameCell(name, &undefined);
  if (undefined) problems.push_back({column, "a byte of the name has no character in the code page"});
}

std::optional<std::string> ReadDouble(const Cell& cell, double& out) { return NumberOf(cell, out); }

std::optional<std::string> ReadQuantity(const Cell& cell, std::int32_t fractional, double& out) {
  if (IsEmptyValue(cell)) {
    out = NotControlledValue(fractional);
    return std::nullopt;
  }
  return NumberOf(cell, out);
}

std::optional<std::string> ReadInt32(const Cell& cell, std::int32_t& out) {
  double value = 0;
  if (auto problem = TruncatedInRange(cell, -2147483648.0, 2147483647.0, value)) return problem;
  out = static_cast<std::int32_t>(value);
  return std::nullopt;
}

std::optional<std::string> ReadUInt32(const Cell& cell, std::uint32_t& out) {
  double value = 0;
  if (auto problem = TruncatedInRange(cell, 0.0, 4294967295.0, value)) return problem;
  out = static_cast<std::uint32_t>(value);
  return std::nullopt;
}

std::optional<std::string> ReadInt64(const Cell& cell, std::int64_t& out) {
  // Digits typed as text are taken exactly, even past what a double holds.
  if (cell.IsText()) {
    const std::string_view text = Trimmed(cell.text);
    std::int64_t exact = 0;
    const char* end = text.data() + text.size();
    const char* begin = text.starts_with('+') ? text.data() + 1 : text.data();
    if (!text.empty() && std::all_of(begin, end, [](char c) { return (c >= '0' && c <= '9') || c == '-'; })) {
      const auto [at, ec] = std::from_chars(begin, end, exact);
      if (ec == std::errc() && at == end) {
        out = exact;
        return std::nullopt;
      }
    }
  }
  double value = 0;
  // 2^63 itself is one past the largest 64-bit integer.
  if (auto problem = TruncatedInRange(cell, -9223372036854775808.0, 9223372036854774784.0, value)) return problem;
  out = static_cast<std::int64_t>(value);
  return std::nullopt;
}

std::optional<std::string> ReadFlag(const Cell& cell, std::int32_t& out) {
  double value = 0;
  if (auto problem = TruncatedInRange(cell, -HUGE_VAL, HUGE_VAL, value)) return problem;
  out = value != 0.0 ? 1 : 0;
  return std::nullopt;
}

std::optional<std::string> ReadTaxGroup(const Cell& cell, char& out) {
  out = '\0';
  if (cell.IsEmpty()) return std::nullopt;
  if (HasControlCharacter(TextOf(cell).substr(0, 1))) return "a control character where the tax letter belongs";
  const std::string text = TextOf(cell);
  if (text.empty()) return std::nullopt;
  const std::size_t length = std::min(text.size(), Utf8SequenceLength(static_cast<unsigned char>(text[0])));
  const auto bytes = codepage::FromUtf8(std::string_view(text).substr(0, length));
  if (!bytes || bytes->size() != 1) return NotInCodePage();
  out = (*bytes)[0];
  return std::nullopt;
}

std::optional<std::string> ReadName(const Cell& cell, char (&out)[kNameFieldSize]) {
  std::memset(out, 0, kNameFieldSize);
  if (cell.IsEmpty()) return std::nullopt;
  // Only the characters that fit are converted: what is cut away cannot fail.
  const std::string text = TextOf(cell);
  if (HasControlCharacter(text)) return "a line break, tab or other control character in the name";
  const auto bytes = codepage::FromUtf8(Utf8Prefix(text, kMaxNameLength));
  if (!bytes) return NotInCodePage();
  SetName(out, *bytes);  // cut in code-page bytes, where the 49 characters count
  return std::nullopt;
}

}  // namespace cells
