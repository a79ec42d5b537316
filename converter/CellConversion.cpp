#include "converter/CellConversion.h"

#include <cmath>
#include <algorithm>
#include <cstring>
#include <string_view>

#include "data/CFormat.h"
#include "data/CodePage.h"

namespace cells {
namespace {

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::string Quoted(const Cell& cell) { return "\"" + cell.text.substr(0, 40) + "\""; }

// What no number cell or number text is: an empty cell, a date, other text.
std::optional<std::string> NotANumber(const Cell& cell) {
  if (IsEmptyValue(cell)) return "empty cell where a number belongs";
  if (cell.IsDate()) return "date or time " + Quoted(cell) + " where a number belongs";
  return "text " + Quoted(cell) + " where a number belongs";
}

std::string OutOfRange(const std::string& shown, double low, double high) {
  return "number " + shown + CFormat(" out of range (%.15g to %.15g)", low, high);
}

std::string OutOfRange(double value, double low, double high) { return OutOfRange(CFormat("%.15g", value), low, high); }

// A number cell as it is, or a text cell read as a typed number.
std::optional<std::string> NumberOf(const Cell& cell, double& out) {
  if (cell.IsNumber() && std::isfinite(cell.number)) {
    out = cell.number;
    return std::nullopt;
  }
  if (cell.IsNumber()) return "not a finite number";
  if (cell.IsText() && !IsEmptyValue(cell)) {
    if (const auto value = ReadTypedNumber(cell.text)) {
      out = *value;
      return std::nullopt;
    }
  }
  return NotANumber(cell);
}

// A number cell truncated toward zero, or a text cell that is a whole number.
std::optional<std::string> IntegerOf(const Cell& cell, field_limits::IntegerRange range, std::int64_t& out) {
  const auto low = static_cast<double>(range.low);
  const auto high = static_cast<double>(range.high);
  if (cell.IsText() && !IsEmptyValue(cell)) {
    // Digits typed as text are taken exactly (a barcode with its leading zeros).
    if (const auto value = ReadTypedInteger(cell.text)) {
      if (!range.Holds(*value)) return OutOfRange(std::to_string(*value), low, high);
      out = *value;
      return std::nullopt;
    }
    if (ReadTypedNumber(cell.text)) return "text " + Quoted(cell) + " where a whole number belongs";
  }
  if (!cell.IsNumber()) return NotANumber(cell);
  if (!std::isfinite(cell.number)) return "not a finite number";
  const double truncated = std::trunc(cell.number);
  // The ranges lie within 2^53, where a double still holds every integer.
  if (truncated < low || truncated > high) return OutOfRange(cell.number, low, high);
  out = static_cast<std::int64_t>(truncated);
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

bool IsEmptyValue(const Cell& cell) { return cell.IsEmpty() || (cell.IsText() && Trimmed(cell.text).empty()); }

std::optional<std::string> ReadDouble(const Cell& cell, double& out, field_limits::DecimalRange range) {
  double value = 0;
  if (auto problem = NumberOf(cell, value)) return problem;
  if (!range.Holds(value)) return OutOfRange(value, range.low, range.high);
  out = value;
  return std::nullopt;
}

std::optional<std::string> ReadQuantity(const Cell& cell, std::int32_t fractional, double& out) {
  const double notControlled = NotControlledValue(fractional);
  if (IsEmptyValue(cell)) {
    out = notControlled;
    return std::nullopt;
  }
  return ReadDouble(cell, out, field_limits::Quantity(notControlled));
}

std::optional<std::string> ReadInt32(const Cell& cell, std::int32_t& out, field_limits::IntegerRange range) {
  std::int64_t value = 0;
  if (auto problem = IntegerOf(cell, range, value)) return problem;
  out = static_cast<std::int32_t>(value);  // the ranges given lie within 32 bits
  return std::nullopt;
}

std::optional<std::string> ReadUInt32(const Cell& cell, std::uint32_t& out, field_limits::IntegerRange range) {
  std::int64_t value = 0;
  if (auto problem = IntegerOf(cell, range, value)) return problem;
  out = static_cast<std::uint32_t>(value);
  return std::nullopt;
}

std::optional<std::string> ReadInt64(const Cell& cell, std::int64_t& out, field_limits::IntegerRange range) {
  return IntegerOf(cell, range, out);
}

std::optional<std::string> ReadFlag(const Cell& cell, std::int32_t& out) {
  double value = 0;
  if (auto problem = NumberOf(cell, value)) return problem;
  out = std::trunc(value) != 0.0 ? 1 : 0;
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
