#include "CellConversion.h"

#include <cmath>
#include <algorithm>
#include <cstring>
#include <string_view>

#include "CFormat.h"
#include "CodePage.h"

namespace cells {
namespace {

// A number cell whose value the field cannot hold is refused, not saturated.
std::optional<std::string> TruncatedInRange(const Cell& cell, double low, double high, double& truncated) {
  if (cell.IsEmpty()) return "empty cell where a number belongs";
  if (!cell.IsNumber()) return "text \"" + cell.text.substr(0, 40) + "\" where a number belongs";
  if (!std::isfinite(cell.number)) return "not a finite number";
  truncated = std::trunc(cell.number);
  if (truncated < low || truncated > high) return "number " + CFormat("%.17g", cell.number) + " out of range";
  return std::nullopt;
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

std::optional<std::string> ReadDouble(const Cell& cell, double& out) {
  if (cell.IsEmpty()) return "empty cell where a number belongs";
  if (!cell.IsNumber()) return "text \"" + cell.text.substr(0, 40) + "\" where a number belongs";
  out = cell.number;
  return std::nullopt;
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
  const auto bytes = codepage::FromUtf8(Utf8Prefix(text, kMaxNameLength));
  if (!bytes) return NotInCodePage();
  SetName(out, *bytes);  // cut in code-page bytes, where the 49 characters count
  return std::nullopt;
}

}  // namespace cells
